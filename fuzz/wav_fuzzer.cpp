// libFuzzer target for the WAV header scan, the ADPCM block decoders and the
// reader's delivery: the input is a whole file.
#include <sys/mman.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/ACS_Wave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("wav", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) == static_cast<ssize_t>(size)) {
    try {
      TWaveIn input;
      input.SetFileName("/proc/self/fd/" + std::to_string(fd));
      if (input.Valid() && input.TotalSamples() > 0) {
        // A range in the middle, then everything.
        input.SetStartSample(input.TotalSamples() / 3);
        for (int run = 0; run < 2; ++run) {
          input.Init();
          for (int blocks = 0; blocks < 10000; ++blocks) {
            void* buffer = nullptr;
            uint32_t bytes = 4096;
            input.GetData(buffer, bytes);
            if (bytes == 0) break;
          }
          input.Flush();
        }
      }
    } catch (const std::exception&) {
      // Refusals are fine; crashes and hangs are not.
    }
  }
  close(fd);
  return 0;
}
