#pragma once

#include <string>

#include "platform/FileTags.h"

/// The formats read and written through FFmpeg's codecs and TagLib's tags.
enum class CodecKind { Flac, Vorbis, Opus, Aac, Aiff };

/// What a format is written with.
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

const CodecTraits& TraitsOf(CodecKind kind);

/// How a stream of `codec` in `container` (as the decoder names them:
/// "alac" in "mp4", "opus" in "ogg") is written again in the same codec and
/// container; nothing when FFmpeg cannot write it so.
const CodecTraits* TraitsOfStream(const std::string& container, const std::string& codec);
