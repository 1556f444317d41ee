#pragma once

#include <cstdint>
#include <string>

namespace media {

/// Bytes read by position: what a decoder reads a file through.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  /// Up to `count` bytes at `offset`; fewer only at the end, -1 on a read error.
  virtual int64_t ReadAt(int64_t offset, void* into, int64_t count) = 0;
  virtual int64_t Size() = 0;
  /// What tells these bytes from any other file's while they are unchanged
  /// (device, inode, size, change time); empty when unknown.
  virtual std::string Identity() { return {}; }
};

}  // namespace media
