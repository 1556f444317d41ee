#include "platform/wmvsource.h"

#include <algorithm>
#include <cstring>

#include "Ffmpeg.h"
#include "platform/ByteOrder.h"

namespace wm {

bool SourceFile::Attach(std::shared_ptr<IStream> stream) {
  stream_ = std::move(stream);
  uint64_t here = 0;
  if (!stream_ || stream_->Seek(0, Origin::Current, &here) != S_OK) return false;
  base_ = static_cast<int64_t>(here);
  uint64_t size = 0;
  stream_->Stat(&size);
  size_ = static_cast<int64_t>(size) - base_;
  gapAt_ = gapBytes_ = 0;
  return true;
}

void SourceFile::Rewind() {
  uint64_t here = 0;
  stream_->Seek(base_, Origin::Begin, &here);
}

void SourceFile::SetGap(int64_t at, int64_t bytes) {
  gapAt_ = at;
  gapBytes_ = bytes;
}

int64_t SourceFile::ReadAt(int64_t offset, void* into, int64_t count) {
  uint64_t kept = 0;
  stream_->Seek(0, Origin::Current, &kept);
  uint64_t reached = 0;
  int64_t done = 0;
  if (stream_->Seek(base_ + offset, Origin::Begin, &reached) == S_OK) {
    while (done < count) {
      uint32_t read = 0;
      if (stream_->Read(static_cast<uint8_t*>(into) + done, static_cast<uint32_t>(count - done), &read) != S_OK ||
          read == 0)
        break;
      done += read;
    }
  }
  stream_->Seek(static_cast<int64_t>(kept), Origin::Begin, &kept);
  return done;
}

bool SourceFile::AsfCutShort() {
  static constexpr uint8_t kHeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                              0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  static constexpr uint8_t kFilePropertiesGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                      0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  uint8_t head[30];
  if (ReadAt(0, head, 30) != 30 || std::memcmp(head, kHeaderGuid, 16) != 0) return false;
  const int64_t headerEnd = std::min<int64_t>(static_cast<int64_t>(ByteOrder::Le64(head + 16)), size_);
  for (int64_t at = 30; at + 24 <= headerEnd;) {
    uint8_t object[48];
    if (ReadAt(at, object, 48) < 24) break;
    const int64_t objectSize = static_cast<int64_t>(ByteOrder::Le64(object + 16));
    if (objectSize < 24) break;
    if (std::memcmp(object, kFilePropertiesGuid, 16) == 0) return static_cast<int64_t>(ByteOrder::Le64(object + 40)) > size_;
    at += objectSize;
  }
  return false;
}

int SourceFile::ReadPacket(void* opaque, uint8_t* buffer, int size) {
  auto* self = static_cast<SourceFile*>(opaque);
  uint64_t here = 0;
  self->stream_->Seek(0, Origin::Current, &here);
  const int64_t view = self->ViewOffset(static_cast<int64_t>(here) - self->base_);
  if (self->FileOffset(view) != static_cast<int64_t>(here) - self->base_)  // inside the gap
    self->stream_->Seek(self->base_ + self->FileOffset(view), Origin::Begin, &here);
  // Never read across the gap in one go.
  int64_t count = size;
  if (self->gapBytes_ > 0 && view < self->gapAt_) count = std::min<int64_t>(count, self->gapAt_ - view);
  uint32_t read = 0;
  if (self->stream_->Read(buffer, static_cast<uint32_t>(count), &read) != S_OK || read == 0) return AVERROR_EOF;
  if (self->gapBytes_ > 0 && view + read == self->gapAt_)
    self->stream_->Seek(self->base_ + self->FileOffset(self->gapAt_), Origin::Begin, &here);
  return static_cast<int>(read);
}

int64_t SourceFile::Seek(void* opaque, int64_t offset, int whence) {
  auto* self = static_cast<SourceFile*>(opaque);
  if (whence & AVSEEK_SIZE) return self->ViewSize();
  int64_t target = offset;
  whence &= ~AVSEEK_FORCE;
  if (whence == SEEK_CUR) {
    uint64_t here = 0;
    self->stream_->Seek(0, Origin::Current, &here);
    target = self->ViewOffset(static_cast<int64_t>(here) - self->base_) + offset;
  } else if (whence == SEEK_END) {
    target = self->ViewSize() + offset;
  }
  if (target < 0) return -1;
  uint64_t reached = 0;
  if (self->stream_->Seek(self->base_ + self->FileOffset(target), Origin::Begin, &reached) != S_OK) return -1;
  return self->ViewOffset(static_cast<int64_t>(reached) - self->base_);
}

}  // namespace wm
