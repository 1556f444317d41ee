// libFuzzer target for the cue sheet path: libcue's parser through our
// reader, then the plan of the pieces it describes.
#include <stdexcept>

#include "app/jobs/SplitPlan.h"
#include "fuzz/FuzzFile.h"
#include "platform/CueSheet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WithMemoryFile(data, size, [](const std::string& name) {
    try {
      const media::CueSheet sheet = media::ReadCueSheet(name);
      constexpr int kRate = 44100;
      const auto pieces = PiecesOfCueSheet(sheet, name, "album.wav", kRate, int64_t{kRate} * 3600);
      for (const SplitPiece& piece : pieces)
        if (piece.range.startSample < 0 || piece.range.endSample < piece.range.startSample) __builtin_trap();
    } catch (const std::exception&) {
      // Refusals are fine; crashes, hangs and impossible pieces are not.
    }
  });
  return 0;
}
