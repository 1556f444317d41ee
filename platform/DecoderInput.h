#pragma once
// The file a decoder reads, as FFmpeg's demuxer sees it: a byte source from
// a starting offset on, less a gap of junk left out of the demuxer's view
// (between an MP3's ID3v2 tag and its first frame). Inside this folder only.

#include <algorithm>
#include <cstdint>
#include <memory>

#include "platform/ByteSource.h"

namespace media {

class DecoderInput {
 public:
  DecoderInput(std::shared_ptr<ByteSource> source, int64_t base);
  /// Leaves `bytes` at `at` out of the demuxer's view and goes back to the start.
  void SetGap(int64_t at, int64_t bytes);
  int64_t GapBytes() const { return gapBytes_; }
  /// The file's size from the base on, gap included.
  int64_t Size() const { return size_; }
  /// Reads up to `count` bytes at `offset` of the file (not of the demuxer's view).
  int64_t ReadAt(int64_t offset, void* into, int64_t count) { return source_->ReadAt(base_ + offset, into, count); }
  ByteSource& Source() { return *source_; }
  /// An ASF file whose header announces a larger file than there is.
  bool AsfCutShort();
  /// The demuxer asked for bytes past the end, and every read it made worked:
  /// an input/output error it reports then is the file ending early.
  bool RanOutCleanly() const { return ranOut_ && !readFailed_; }

  /// The demuxer's read and seek callbacks; `opaque` is the DecoderInput.
  static int ReadPacket(void* opaque, uint8_t* buffer, int size);
  static int64_t Seek(void* opaque, int64_t offset, int whence);

 private:
  int64_t ViewSize() const { return size_ - gapBytes_; }
  int64_t FileOffset(int64_t view) const { return view < gapAt_ ? view : view + gapBytes_; }

  std::shared_ptr<ByteSource> source_;
  int64_t base_ = 0;
  int64_t size_ = 0;
  int64_t gapAt_ = 0;
  int64_t gapBytes_ = 0;
  int64_t position_ = 0;  // in the demuxer's view
  bool ranOut_ = false;
  bool readFailed_ = false;
};

}  // namespace media
