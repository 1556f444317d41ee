#include "platform/Error.h"

#include <cerrno>
#include <cstring>

const char* ErrorText(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::Usage: return "the request cannot be carried out";
    case ErrorKind::NoSuchFile: return "no such file";
    case ErrorKind::UnreadableFile: return "not a file this program can read";
    case ErrorKind::TargetExists: return "the target exists";
    case ErrorKind::TargetIsSource: return "the target is the source file";
    case ErrorKind::MissingLibrary: return "a library this program needs is not installed";
    case ErrorKind::Failed: break;
  }
  return "the operation failed";
}

Error::Error(ErrorKind kind, const std::string& text, const std::string& file)
    : std::runtime_error(WithFileName(text, file)), kind_(kind), file_(file) {}

ErrorKind KindOf(const std::exception& error, ErrorKind otherwise) {
  const auto* ours = dynamic_cast<const Error*>(&error);
  return ours ? ours->Kind() : otherwise;
}

bool IsMissingLibrary(const std::exception& error) {
  const auto* ours = dynamic_cast<const Error*>(&error);
  return ours && ours->Kind() == ErrorKind::MissingLibrary;
}

std::string WithFileName(std::string message, const std::string& file) {
  if (!file.empty() && message.find(file) == std::string::npos) message += ": " + file;
  return message;
}

std::string ErrnoText(int code) {
  switch (code) {
    case ENOSPC: return "the disk is full";
    case EDQUOT: return "the disk quota is used up";
    case EFBIG: return "the file is larger than this file system or its limit allows";
    case EROFS: return "the folder is on a read-only file system";
    case EIO: return "the disk reported an input/output error";
    default: return std::strerror(code);
  }
}

std::string WithErrno(const std::string& what, int code) { return code == 0 ? what : what + ": " + ErrnoText(code); }
