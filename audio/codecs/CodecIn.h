#pragma once

#include <vector>

#include "audio/codecs/CodecTraits.h"
#include "audio/winmedia/WMIn.h"

/// The file input for FLAC, Ogg Vorbis, Opus and M4A/AAC files: decoded as
/// TWMIn decodes (FFmpeg, exact seeking, honest lengths), a FLAC file of
/// more than 16 bits as 32-bit samples, its tags (all twelve fields and the
/// pictures) read with TagLib.
class TCodecIn : public TWMIn {
 public:
  explicit TCodecIn(CodecKind kind) : kind_(kind) {}

  CodecKind Kind() const { return kind_; }

 protected:
  void OpenFile() override;
  /// The tags of what the file holds (Opus in an .ogg file has Opus's).
  media::TagContainer TagPlace(const std::string& container, const std::string& codec) override;

 private:
  const CodecKind kind_;
};
