#include "audio/mpeg/FrameScan.h"
#include "platform/Error.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "audio/classes/AuException.h"
#include "audio/mpeg/FileWindow.h"


Mp3Info WalkMp3Frames(const std::string& fileName,
                      const std::function<void(int64_t, const Mp3FrameHeader&, const uint8_t*)>& frame,
                      const std::function<bool()>& cancelled) {
  const int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EAuException(std::string("the file could not be opened: ") + ErrnoText(errno));
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
