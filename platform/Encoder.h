#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Chapter.h"
#include "platform/PcmLayout.h"

/// Encoding a file through one of libavcodec's audio encoders and one of
/// libavformat's muxers: FLAC, Ogg Vorbis, Ogg Opus, AAC in MP4.
namespace media {

struct EncoderSettings {
  std::string codec;    // FFmpeg's encoder: "flac", "libvorbis", "libopus", "aac"
  std::string muxer;    // "flac", "ogg", "ipod"
  int rate = 0;         // the encoder's sample rate; other input rates are resampled (see EncoderRate)
  int64_t bitrate = 0;  // bits per second; 0 takes the encoder's own choice
  int bits = 16;        // a lossless encoder's sample size: 16 or 24
  int frameSize = 0;    // samples a frame, for encoders that take it (FLAC); 0: the encoder's own
  /// In samples of the input's rate; the MP4 muxers write them (a chapter
  /// track and a Nero chapter list), the others leave them out.
  std::vector<Chapter> chapters;
};

/// What an encoder put around the samples it was given, which the container
/// tells readers to leave out: the priming before them, the padding after
/// the last one to the end of the last frame.
struct EncodedLength {
  int64_t samples = 0;
  int64_t priming = 0;
  int64_t padding = 0;
};

/// The sample rate the encoder takes that is nearest `rate` (`rate` itself
/// when it takes any); 0 when the encoder is not installed.
int EncoderRate(const std::string& codec, int rate);

class Encoder {
 public:
  /// Throws std::runtime_error with the cause when it cannot start (an
  /// encoder that is not installed, a file that cannot be made).
  Encoder(const EncoderSettings& settings, const PcmLayout& input, const std::string& fileName);
  /// Abandons what was not finished.
  ~Encoder();
  Encoder(const Encoder&) = delete;
  Encoder& operator=(const Encoder&) = delete;

  /// Encodes the PCM (beside the caller, which meanwhile reads the next block).
  void Write(const uint8_t* pcm, size_t bytes);
  /// Encodes the rest and completes the file. Throws std::runtime_error with the cause.
  EncodedLength Finish();

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace media
