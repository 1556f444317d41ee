#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/classes/FileStream.h"
#include "audio/codecs/CodecOut.h"
#include "platform/FlacStream.h"

/// The FLAC output: a range of a native FLAC file is written by copying the
/// source's frames that lie wholly inside it (each given a header that
/// names its new first sample) and encoding only the samples of the frames
/// cut through at its two ends. FLAC is lossless, so the result decodes to
/// exactly the source's samples of the range; it is many times faster than
/// encoding the whole range, and the copied frames are the source's bytes.
///
/// Anything else (an input that is not a native FLAC file of 16 or 24 bits,
/// a file whose frames do not follow one another, another sample size
/// asked for) is encoded as TCodecOut encodes it.
class TFlacCopyOut : public TCodecOut {
 public:
  explicit TFlacCopyOut(const CodecTraits& traits) : TCodecOut(traits) {}
  int Progress() const override;

 protected:
  void Prepare() override;
  bool DoOutput(bool Abort) override;
  void Done() override;

 private:
  struct Frame {
    std::vector<uint8_t> bytes;  // as encoded, header and CRC-16 included
    int blockSize = 0;
  };
  /// Plans the copy; false when the range is encoded instead.
  bool PlanCopy();
  /// The frames of the source's samples [from, to), encoded.
  std::vector<Frame> EncodeEdge(int64_t from, int64_t to);
  /// Adds `frame` as the frame that starts at the result's sample `at` to what Flush writes.
  void AppendFrame(const uint8_t* frame, size_t size, int64_t at);
  void Flush();
  void Write(const void* data, size_t size);

  std::atomic<bool> copying_{false};  // set by the run, read by Progress on any thread
  std::unique_ptr<TAuFileStream> source_;
  media::FlacStream stream_;
  int64_t start_ = 0, end_ = 0;      // the range, in the source's samples
  size_t copyFrom_ = 0, copyTo_ = 0;  // the source's frames copied as they are
  size_t next_ = 0;                   // the next of them to copy
  std::vector<Frame> head_, tail_;
  int64_t written_ = 0;               // samples written so far
  int64_t copyBytes_ = 0, copiedBytes_ = 0;
  std::vector<uint8_t> read_, pending_;  // the source's frames read, the frames to write
  std::atomic<int> progress_{0};
};
