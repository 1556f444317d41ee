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
  /// The pictures of the file's tags (opening it if needed).
  std::vector<media::Picture> Pictures();
  /// Every field of the file's tags, repeated values and all (opening it if needed).
  media::TagSet Tags();

 protected:
  void OpenFile() override;
  void CloseFile() override;

 private:
  const CodecKind kind_;
  std::vector<media::Picture> pictures_;
  media::TagSet tags_;  // fields only: the pictures are pictures_
};
