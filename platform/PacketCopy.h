#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Encoder.h"

namespace media {

/// A lossless cut of an MP4 file's audio (AAC, ALAC): the source's coded
/// packets are copied, from one packet before the range (what an AAC
/// decoder overlaps with the first sample) to the one that holds its last
/// sample, into a new MP4 file on the audio's own clock, whose edit list
/// leaves out what lies before and after the range. A player decodes the
/// range's samples from the source's own packets.
class PacketCopy {
 public:
  /// `start` and `end` are samples of the source as its reader counts them
  /// ([start, end)); `muxer` is FFmpeg's name for the result's container.
  /// Throws std::runtime_error with the cause (not an MP4 file, a range the
  /// packets do not hold).
  PacketCopy(const std::string& source, const std::string& target, const std::string& muxer, int64_t start, int64_t end);
  ~PacketCopy();
  PacketCopy(const PacketCopy&) = delete;
  PacketCopy& operator=(const PacketCopy&) = delete;

  /// Copies up to `packets` more; false once the last is written.
  bool Step(int packets);
  /// Completes the file; the priming and padding are what the edit list hides.
  EncodedLength Finish();
  int Percent() const { return percent_; }

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
  std::atomic<int> percent_{0};
};

}  // namespace media
