#pragma once
// The file a sync reader reads, as FFmpeg's demuxer sees it: the bytes of a
// COM-style stream from where it stood when opened, less a gap of junk that
// is left out of the demuxer's view (between an MP3's ID3v2 tag and its first
// frame). Inside this folder only.

#include <cstdint>
#include <memory>

#include "platform/wmvcore.h"

namespace wm {

class SourceFile {
 public:
  /// Takes the stream from where it stands; false when it cannot tell where.
  bool Attach(std::shared_ptr<IStream> stream);
  void Detach() { stream_.reset(); }
  /// Moves back to the start of the file.
  void Rewind();
  /// Leaves `bytes` at `at` out of the demuxer's view.
  void SetGap(int64_t at, int64_t bytes);
  /// The file's size, gap included.
  int64_t Size() const { return size_; }

  /// Reads up to `count` bytes at `offset` of the file (not of the demuxer's
  /// view), then goes back to where the demuxer was.
  int64_t ReadAt(int64_t offset, void* into, int64_t count);
  /// An ASF file whose header announces a larger file than there is.
  bool AsfCutShort();

  /// The demuxer's read and seek callbacks; `opaque` is the SourceFile.
  static int ReadPacket(void* opaque, uint8_t* buffer, int size);
  static int64_t Seek(void* opaque, int64_t offset, int whence);

 private:
  int64_t ViewSize() const { return size_ - gapBytes_; }
  int64_t FileOffset(int64_t view) const { return view < gapAt_ ? view : view + gapBytes_; }
  int64_t ViewOffset(int64_t file) const { return file < gapAt_ ? file : std::max(file - gapBytes_, gapAt_); }

  std::shared_ptr<IStream> stream_;
  int64_t base_ = 0;
  int64_t size_ = 0;
  int64_t gapAt_ = 0;
  int64_t gapBytes_ = 0;
};

}  // namespace wm
