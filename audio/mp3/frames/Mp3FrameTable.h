#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "audio/mp3/frames/Mp3Info.h"

class Mp3FrameDecoder;

/// Where each Layer III frame of a file lies, for decoding any run of them
/// on its own: the decoder gets the frames one by one from a few before the
/// first one wanted, so that the run decodes to the very samples a decode
/// from the start gives.
class Mp3FrameTable {
 public:
  /// The next frame of the file, in order.
  void Add(int64_t offset, const Mp3FrameHeader& header);
  int64_t Count() const { return static_cast<int64_t>(offsets_.size()); }

  /// Decodes frames [first, last] of the file open as `fd`; `frame` gets
  /// each one's index and interleaved 16-bit samples (and their count per
  /// channel). `cancelled` is asked between frames. Raises Error
  /// when the file cannot be read.
  void Decode(int fd, Mp3FrameDecoder& decoder, int64_t first, int64_t last,
              const std::function<void(int64_t index, const int16_t* samples, int frames)>& frame,
              const std::function<bool()>& cancelled = {}) const;

 private:
  /// The first frame to hand the decoder so that `first` decodes right.
  int64_t WarmUpStart(int64_t first) const;

  std::vector<int64_t> offsets_;
  std::vector<uint16_t> lengths_;
  std::vector<uint16_t> mainData_;  // bytes of main data each frame carries
};
