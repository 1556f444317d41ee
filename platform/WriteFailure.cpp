#include "platform/WriteFailure.h"

#include <cerrno>
#include <cstring>

std::string WriteFailureCause(int code) {
  switch (code) {
    case ENOSPC: return "the disk is full";
    case EDQUOT: return "the disk quota is used up";
    case EFBIG: return "the file is larger than this file system or its limit allows";
    case EROFS: return "the folder is on a read-only file system";
    case EIO: return "the disk reported an input/output error";
    default: return std::strerror(code);
  }
}

std::string WriteFailure(const std::string& what, int code) {
  return code == 0 ? what : what + ": " + WriteFailureCause(code);
}
