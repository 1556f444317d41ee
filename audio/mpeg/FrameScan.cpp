#include "audio/mpeg/FrameScan.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "audio/classes/AuException.h"

namespace {

/// The file's bytes through a window that slides forward in large reads.
class Window {
 public:
  Window(int fd, int64_t size) : fd_(fd), size_(size) {}
  /// `count` bytes at `offset`, or nullptr past the end of the file.
  const uint8_t* At(int64_t offset, int count) {
    if (offset < 0 || count < 0 || offset + count > size_) return nullptr;
    if (offset < start_ || offset + count > start_ + static_cast<int64_t>(bytes_.size())) {
      bytes_.resize(static_cast<size_t>(std::min<int64_t>(kWindow, size_ - offset)));
      size_t got = 0;
      while (got < bytes_.size()) {
        const ssize_t n = pread(fd_, bytes_.data() + got, bytes_.size() - got, offset + static_cast<int64_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw EAuException(std::string("the file could not be read: ") + std::strerror(n < 0 ? errno : EIO));
        got += static_cast<size_t>(n);
      }
      start_ = offset;
    }
    return bytes_.data() + (offset - start_);
  }

 private:
  static constexpr int64_t kWindow = 4 << 20;
  int fd_;
  int64_t size_;
  int64_t start_ = 0;
  std::vector<uint8_t> bytes_;
};

}  // namespace

Mp3Info WalkMp3Frames(const std::string& fileName,
                      const std::function<void(int64_t, const Mp3FrameHeader&, const uint8_t*)>& frame,
                      const std::function<bool()>& cancelled) {
  const int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EAuException(std::string("the file could not be opened: ") + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  const int64_t size = lseek(fd, 0, SEEK_END);
  Window in(fd, size);
  const Mp3Info info = ReadMp3Info(
      [&in, size](int64_t offset, void* into, int64_t count) -> int64_t {
        const int64_t available = std::min(count, size - offset);
        const uint8_t* bytes = available > 0 ? in.At(offset, static_cast<int>(available)) : nullptr;
        if (bytes == nullptr) return 0;
        std::memcpy(into, bytes, static_cast<size_t>(available));
        return available;
      },
      size);
  if (!info.found) return info;

  int64_t at = info.firstFrame;
  Mp3FrameHeader header;
  if ((info.hasXing || info.hasVbri) && ParseMp3FrameHeader(in.At(at, 4), header)) at += header.length;
  int sinceAsked = 0;
  while (const uint8_t* h = in.At(at, 4)) {
    if (++sinceAsked == 4096) {
      sinceAsked = 0;
      if (cancelled && cancelled()) break;
    }
    const uint8_t* bytes = nullptr;
    if (ParseMp3FrameHeader(h, header) && header.layer == 3 && header.sampleRate == info.sampleRate &&
        header.channels == info.channels && (bytes = in.At(at, header.length)) != nullptr) {
      frame(at, header, bytes);
      at += header.length;
    } else {
      ++at;
    }
  }
  return info;
}
