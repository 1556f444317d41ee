#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

/// Reads and writes on a file descriptor that carry on after short
/// transfers and interrupted calls: the one such loop of the program.
namespace FdIo {

/// Bytes read at the current position: fewer at the end of the file, -1 on
/// an error (errno tells which) before anything was read.
inline int64_t Read(int fd, void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(fd, static_cast<char*>(buffer) + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && done == 0) return -1;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done);
}

/// The same at `offset`, leaving the file position alone.
inline int64_t ReadAt(int fd, void* buffer, size_t count, int64_t offset) {
  size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(fd, static_cast<char*>(buffer) + done, count - done, offset + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && done == 0) return -1;
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  return static_cast<int64_t>(done);
}

/// Bytes written at the current position: all of them, or fewer when the
/// writing failed (errno tells why; ENOSPC for a full disk that wrote 0).
inline int64_t Write(int fd, const void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    const ssize_t put = ::write(fd, static_cast<const char*>(buffer) + done, count - done);
    if (put < 0 && errno == EINTR) continue;
    if (put == 0) errno = ENOSPC;
    if (put <= 0) break;
    done += static_cast<size_t>(put);
  }
  return static_cast<int64_t>(done);
}

}  // namespace FdIo
