#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

/// Reads and writes on a file descriptor that carry on after short transfers.
namespace FdIo {

/// Bytes read at the current position (fewer only at the end of the file or on an error).
inline size_t Read(int fd, void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(fd, static_cast<char*>(buffer) + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return done;
}

/// True when all bytes were written at the current position.
inline bool Write(int fd, const void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t put = ::write(fd, static_cast<const char*>(buffer) + done, count - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

}  // namespace FdIo
