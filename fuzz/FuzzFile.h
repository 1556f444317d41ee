#pragma once

// Helpers the file reader fuzzers share.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "audio/classes/FileIn.h"

/// Puts the bytes into an in-memory file and calls fn with a name that opens it.
template <typename Fn>
void WithMemoryFile(const uint8_t* data, size_t size, Fn fn) {
  const int fd = memfd_create("fuzz", 0);
  if (fd < 0) return;
  if (write(fd, data, size) == static_cast<ssize_t>(size)) fn("/proc/self/fd/" + std::to_string(fd));
  close(fd);
}

/// One run of the input from startSample on, at most `blocks` deliveries.
inline void ReadRun(TAuFileIn& input, int64_t startSample, int blocks) {
  input.SetStartSample(startSample);
  input.Init();
  for (int block = 0; block < blocks; ++block) {
    void* buffer = nullptr;
    uint32_t bytes = 8192;
    input.GetData(buffer, bytes);
    if (bytes == 0) break;
  }
  input.Flush();
}
