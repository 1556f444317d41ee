#include "audio/classes/FileStream.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "audio/classes/AuException.h"
#include "platform/Error.h"
#include "platform/FdIo.h"

namespace {

/// The system's reason, then the file it is about.
[[noreturn]] void RaiseSystemError(int code, const std::string& fileName) {
  throw EAuException(std::string(ErrnoText(code)) + ": " + fileName);
}

std::string KindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a plain file";
}

}  // namespace

TAuFileStream::TAuFileStream(const std::string& fileName, TFileMode mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case TFileMode::Read:
    case TFileMode::ReadAlone: flags |= O_RDONLY; break;
    case TFileMode::Update: flags |= O_RDWR; break;
    // Not O_TRUNC: a file another stream reads must survive until we hold the lock.
    case TFileMode::Create: flags |= O_RDWR | O_CREAT; break;
  }
  const bool exclusive = mode != TFileMode::Read;
  // Not blocking: opening a named pipe for reading would wait for a writer.
  created_ = mode == TFileMode::Create;
  fd_ = ::open(fileName.c_str(), flags | O_NONBLOCK, 0666);
  if (fd_ < 0) RaiseSystemError(errno, fileName);
  struct stat info {};
  if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
    const std::string kind = KindOfFile(info.st_mode);
    ::close(fd_);
    fd_ = -1;
    throw EAuException(fileName + " is " + kind + ", not a file that can be read or written");
  }
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  if (::flock(fd_, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    const int code = errno;
    ::close(fd_);
    fd_ = -1;
    if (code == EWOULDBLOCK) throw EAuException("The file is in use and cannot be opened: " + fileName);
    RaiseSystemError(code, fileName);
  }
  // An empty file is left alone: ext4 flushes a truncated file on close, which
  // would cost a large result its whole write-back before the run could end.
  if (mode == TFileMode::Create && info.st_size != 0 && ::ftruncate(fd_, 0) != 0) {
    const int code = errno;
    ::close(fd_);
    fd_ = -1;
    RaiseSystemError(code, fileName);
  }
}

TAuFileStream::~TAuFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

int64_t TAuFileStream::Read(void* buffer, int64_t count) {
  return std::max<int64_t>(FdIo::Read(fd_, buffer, static_cast<size_t>(std::max<int64_t>(count, 0))), 0);
}

int64_t TAuFileStream::Write(const void* buffer, int64_t count) {
  const int64_t written = FdIo::Write(fd_, buffer, static_cast<size_t>(std::max<int64_t>(count, 0)));
  // A new file is flushed to disk before it takes its name: its pages are
  // started on their way as they come, so that little is left to wait for then.
  if (created_ && written > 0 && (unflushed_ += written) >= kFlushStep) {
    ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
    unflushed_ = 0;
  }
  return written;
}

int64_t TAuFileStream::Seek(int64_t offset, Origin origin) {
  const int whence = origin == FromBeginning ? SEEK_SET : origin == FromCurrent ? SEEK_CUR : SEEK_END;
  return ::lseek(fd_, offset, whence);
}

int64_t TAuFileStream::Size() {
  struct stat info {};
  return ::fstat(fd_, &info) == 0 ? info.st_size : -1;
}

bool TAuFileStream::SetSize(int64_t size) { return ::ftruncate(fd_, size) == 0; }
