#pragma once

#include "platform/FileTags.h"

/// What a codec format is written with; the format registry holds each
/// format's and those of the other codecs a source of it may hold.
struct CodecTraits {
  const char* encoder;  // FFmpeg's name for it
  const char* wideEncoder;  // for samples of more than 16 bits, where that is another encoder
  const char* muxer;
  media::TagContainer tags;
  bool lossless;
  /// The encoder's delay and padding are also told in an iTunSMPB comment,
  /// which players that ignore the MP4 edit list read.
  bool gaplessComment;
};
