#include "platform/DecoderInput.h"

#include <cstring>

#include "Ffmpeg.h"
#include "platform/ByteOrder.h"

namespace media {

DecoderInput::DecoderInput(std::shared_ptr<ByteSource> source, int64_t base)
    : source_(std::move(source)), base_(base), size_(std::max<int64_t>(0, source_->Size() - base)) {}

void DecoderInput::SetGap(int64_t at, int64_t bytes) {
  gapAt_ = at;
  gapBytes_ = bytes;
  position_ = 0;
}

bool DecoderInput::AsfCutShort() {
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

int DecoderInput::ReadPacket(void* opaque, uint8_t* buffer, int size) {
  auto* self = static_cast<DecoderInput*>(opaque);
  // Never read across the gap in one go.
  int64_t count = std::min<int64_t>(size, self->ViewSize() - self->position_);
  if (self->gapBytes_ > 0 && self->position_ < self->gapAt_) count = std::min(count, self->gapAt_ - self->position_);
  if (count <= 0) {
    self->ranOut_ = true;
    return AVERROR_EOF;
  }
  const int64_t read = self->ReadAt(self->FileOffset(self->position_), buffer, count);
  if (read < 0) {
    self->readFailed_ = true;
    return AVERROR(EIO);
  }
  if (read == 0) {
    self->ranOut_ = true;
    return AVERROR_EOF;
  }
  self->position_ += read;
  return static_cast<int>(read);
}

int64_t DecoderInput::Seek(void* opaque, int64_t offset, int whence) {
  auto* self = static_cast<DecoderInput*>(opaque);
  if (whence & AVSEEK_SIZE) return self->ViewSize();
  whence &= ~AVSEEK_FORCE;
  const int64_t target = whence == SEEK_CUR ? self->position_ + offset
                         : whence == SEEK_END ? self->ViewSize() + offset
                                              : offset;
  if (target < 0) return -1;
  self->position_ = target;
  return target;
}

}  // namespace media
