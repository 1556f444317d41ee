#pragma once

#include <cstdint>
#include <vector>

#include "platform/PcmLayout.h"

struct AVAudioFifo;
struct AVCodecContext;
struct AVFrame;
struct SwrContext;

namespace media {

/// Interleaved integer PCM made ready for an encoder: widened, converted to
/// the encoder's sample format, rate and channels, and held until whole
/// frames are there.
class FrameQueue {
 public:
  /// Throws std::runtime_error when the conversion cannot be set up.
  FrameQueue(const PcmLayout& input, const AVCodecContext& encoder);
  ~FrameQueue();
  FrameQueue(const FrameQueue&) = delete;
  FrameQueue& operator=(const FrameQueue&) = delete;

  /// Converts `frames` frames of input; null takes what the resampler still holds.
  bool Add(const uint8_t* pcm, int frames);
  bool AddSilence(int frames);
  /// Frames waiting.
  int Size() const;
  /// Moves the next `frames` frames into `frame` (made writable, its buffer
  /// allocated the first time) and sets its size.
  bool Take(AVFrame& frame, int frames);

 private:
  const PcmLayout input_;
  const AVCodecContext& encoder_;
  SwrContext* resampler_ = nullptr;
  AVAudioFifo* fifo_ = nullptr;
  std::vector<uint8_t> widened_;    // packed 24-bit input as 32-bit
  std::vector<uint8_t> converted_;  // the resampler's output, a plane per channel when planar
};

}  // namespace media
