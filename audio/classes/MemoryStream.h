#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/classes/AuStream.h"

/// A stream over bytes held in memory, growing as it is written.
class TAuMemoryStream : public TAuStream {
 public:
  TAuMemoryStream() = default;
  explicit TAuMemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}

  int64_t Read(void* buffer, int64_t count) override {
    const int64_t available = std::max<int64_t>(0, static_cast<int64_t>(bytes_.size()) - position_);
    const int64_t n = std::clamp<int64_t>(count, 0, available);
    if (n > 0) std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
  }

  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    if (position_ + count > static_cast<int64_t>(bytes_.size())) bytes_.resize(static_cast<size_t>(position_ + count));
    std::memcpy(bytes_.data() + position_, buffer, static_cast<size_t>(count));
    position_ += count;
    return count;
  }

  int64_t Seek(int64_t offset, Origin origin) override {
    const int64_t base = origin == FromBeginning ? 0 : origin == FromCurrent ? position_ : Size();
    if (base + offset < 0) return -1;
    position_ = base + offset;
    return position_;
  }

  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }

  std::vector<uint8_t>& Bytes() { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  int64_t position_ = 0;
};
