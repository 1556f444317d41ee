#include "audio/mp3/frames/FrameScan.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "audio/mp3/frames/FileWindow.h"
#include "platform/Error.h"


Mp3Info WalkMp3Frames(const std::string& fileName,
                      const std::function<void(int64_t, const Mp3FrameHeader&, const uint8_t*)>& frame,
                      const std::function<bool()>& cancelled) {
  const int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw Error(ErrorKind::Failed, std::string("the file could not be opened: ") + ErrnoText(errno));
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  const int64_t size = lseek(fd, 0, SEEK_END);
  FileWindow in(fd, size);
  const Mp3Info info = ReadMp3Info(in);
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

int LayerOfFirstSync(const std::string& fileName) {
  std::error_code error;
  if (!std::filesystem::exists(fileName, error)) return 0;
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw Error(ErrorKind::Failed, ErrnoText(errno));

  // A header candidate starts at offset i < size - 4, so the last four bytes
  // never start one. Blocks overlap by three bytes so no offset is skipped.
  constexpr int64_t kBlock = 1 << 16;
  std::vector<uint8_t> buffer(kBlock + 3);
  int layer = 0;
  int64_t offset = 0;
  for (;;) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
      const int code = errno;
      ::close(fd);
      throw Error(ErrorKind::Failed, ErrnoText(code));
    }
    const int64_t lastStart = static_cast<int64_t>(info.st_size) - 5;
    if (offset > lastStart) break;
    const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), offset);
    if (got < 0) {
      const int code = errno;
      ::close(fd);
      throw Error(ErrorKind::Failed, ErrnoText(code));
    }
    if (got < 4) break;
    const int64_t starts = std::min<int64_t>(got - 3, lastStart - offset + 1);
    for (int64_t i = 0; i < starts && layer == 0; ++i) {
      const uint8_t* b = &buffer[i];
      if (!IsFrameSync(b)) continue;
      const int version = (b[1] >> 3) & 3;
      const int layerBits = (b[1] >> 1) & 3;
      if (version != 1 && layerBits != 0) layer = 4 - layerBits;
    }
    if (layer != 0) break;
    offset += starts;
  }
  ::close(fd);
  return layer;
}
