// libFuzzer target for the Windows Media reader stand-in (MP3 and WMA through
// FFmpeg): the input is a whole file, read through TWMIn with a seek.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "audio/ACS_WinMedia.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("media", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) == static_cast<ssize_t>(size)) {
    try {
      TWMIn input;
      input.SetFileName("/proc/self/fd/" + std::to_string(fd));
      (void)input.IsProtected();
      if (input.Valid() && input.TotalSamples() > 0) {
        (void)input.Bitrate();
        (void)input.Id3v2Tags().Title();
        input.SetStartSample(input.TotalSamples() / 2);
        input.Init();
        for (int blocks = 0; blocks < 2000; ++blocks) {
          void* buffer = nullptr;
          uint32_t bytes = 8192;
          input.GetData(buffer, bytes);
          if (bytes == 0) break;
        }
        input.Flush();
      }
    } catch (const std::exception&) {
      // Refusals are fine; crashes and hangs are not.
    }
  }
  close(fd);
  return 0;
}
