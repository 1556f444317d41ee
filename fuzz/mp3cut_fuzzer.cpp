// libFuzzer target for the lossless MP3 cut's view of a file: the frame scan,
// the plans of a few ranges and the frames they would write.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "audio/mp3/frames/InfoFrame.h"
#include "audio/mp3/LosslessPlan.h"
#include "audio/mp3/Mp3Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("mp3cut", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) == static_cast<ssize_t>(size)) {
    try {
      const Mp3Stream stream = ScanMp3Stream(fd, static_cast<int64_t>(size));
      const int64_t total = stream.GaplessSamples();
      for (const auto& [start, end] : {std::pair<int64_t, int64_t>{0, total}, {total / 3, total / 2}, {1, total - 1},
                                       {total / 2, total}, {total - 700, total}}) {
        try {
          const LosslessPlan plan = PlanLosslessCut(stream, start, end);
          const auto frames = static_cast<int64_t>(stream.frames.size());
          if (plan.firstFrame < 0 || plan.firstFrame > plan.lastFrame || plan.lastFrame >= frames) abort();
          if (plan.delay < 0 || plan.delay > 4095 || plan.padding < 529 || plan.padding > 4095) abort();
          if (plan.carriedBytes < 0 || plan.carriedBytes > 511 || (plan.carriedBytes > 0 && !plan.silentFrame)) abort();
          const uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x44};
          Mp3FrameHeader like = stream.first;
          (void)MakeCarrierFrame(like, header, std::vector<uint8_t>(static_cast<size_t>(plan.carriedBytes), 1));
          InfoFrameFields fields;
          fields.delay = plan.delay;
          fields.padding = plan.padding;
          (void)MakeInfoFrame(like, header, fields);
        } catch (const Mp3StreamRefused&) {
        }
      }
    } catch (const Mp3StreamRefused&) {
    }
  }
  close(fd);
  return 0;
}
