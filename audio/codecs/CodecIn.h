#pragma once

#include <vector>

#include "audio/codecs/CodecTraits.h"
#include "audio/codecs/WMIn.h"

/// The file input for FLAC, Ogg Vorbis, Opus and M4A/AAC files: decoded as
/// TWMIn decodes (FFmpeg, exact seeking, honest lengths), a FLAC file of
/// more than 16 bits as 32-bit samples, its tags (all twelve fields and the
/// pictures) read with TagLib.
class TCodecIn : public TWMIn {
 public:
  /// `traits`: the format's own codec, whose tags the file holds when its stream does not tell.
  explicit TCodecIn(const CodecTraits& traits) : traits_(traits) {}

  const CodecTraits& Traits() const { return traits_; }

 protected:
  void OpenFile() override;
  /// The tags of what the file holds (Opus in an .ogg file has Opus's).
  media::TagContainer TagPlace(const std::string& container, const std::string& codec) override;

 private:
  const CodecTraits& traits_;
};
