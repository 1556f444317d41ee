// libFuzzer target for the ID3v2 and ID3v1 readers: the input is a whole file.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#include "audio/ACS_Tags.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("tags", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) == static_cast<ssize_t>(size)) {
    lseek(fd, 0, SEEK_SET);
    TId3v2Tags v2;
    v2.TagExists(fd);
    v2.ReadFromFile(fd);
    TId3v1Tags v1;
    v1.TagExists(fd);
    v1.ReadFromFile(fd);
    (void)v2.Title();
    (void)v1.Genre();
  }
  close(fd);
  return 0;
}
