#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/mp3/frames/Mp3Info.h"
#include "platform/ByteSource.h"
#include "platform/FileIdentity.h"

/// A file's bytes through a window of 4 MiB that moves as they are asked
/// for: frame walks read a few bytes at a time, from the start to the end.
class FileWindow : public media::ByteSource {
 public:
  FileWindow(int fd, int64_t size) : fd_(fd), size_(size) {}
  int64_t Size() override { return size_; }
  std::string Identity() override { return media::FileIdentity(fd_); }
  /// Copies through the window; 0 past the end.
  int64_t ReadAt(int64_t offset, void* into, int64_t count) override;
  /// `count` bytes (at most the window) at `offset`, or nullptr past the
  /// end of the file. Raises Error when the file cannot be read.
  const uint8_t* At(int64_t offset, int count);

 private:
  static constexpr int64_t kWindow = 4 << 20;
  int fd_;
  int64_t size_;
  int64_t start_ = 0;
  std::vector<uint8_t> bytes_;
};
