#pragma once
// Decoded frames as interleaved PCM of one layout, for the decoder.
// Inside this folder only.

#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
}

struct AVFrame;
struct SwrContext;

namespace media {

class PcmConverter {
 public:
  ~PcmConverter() { Reset(); }
  /// Forgets the converter made for the last frames (after a seek, or a new output layout).
  void Reset();
  /// Appends `frame` less its first `skip` samples to `out` as `channels`
  /// channels of `bits` bits (16, 24 packed, or 32) at `rate`; with
  /// `floating`, 32-bit floats as the decoder made them, unclipped (a lossy
  /// decode may go above full scale).
  void Append(const AVFrame* frame, int skip, int channels, int bits, int rate, std::vector<uint8_t>& out,
              bool floating = false);

 private:
  SwrContext* resampler_ = nullptr;
  int inputFormat_ = -1;  // what the resampler was made for
  int inputRate_ = 0;
  AVChannelLayout inputLayout_{};
  int outputChannels_ = 0;
  int outputBits_ = 0;
  int outputRate_ = 0;
  bool outputFloat_ = false;
  std::vector<uint8_t> converted_;  // the resampler's output, kept from frame to frame
};

}  // namespace media
