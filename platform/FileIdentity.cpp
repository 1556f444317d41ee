#include "platform/FileIdentity.h"

#include <sys/stat.h>

namespace media {

std::string FileIdentity(int fd) {
  struct stat about {};
  if (fd < 0 || fstat(fd, &about) != 0) return {};
  return std::to_string(about.st_dev) + ":" + std::to_string(about.st_ino) + ":" + std::to_string(about.st_size) + ":" +
         std::to_string(about.st_ctim.tv_sec) + "." + std::to_string(about.st_ctim.tv_nsec);
}

}  // namespace media
