// libFuzzer target for the WAV header scan, the ADPCM block decoders and the
// reader's delivery: the input is a whole file.
#include "audio/ACS_Wave.h"
#include "fuzz/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WithMemoryFile(data, size, [](const std::string& name) {
    try {
      Sealed<TWaveIn> input;
      input.SetFileName(name);
      if (!input.Valid() || input.TotalSamples() <= 0) return;
      ReadRun(input, input.TotalSamples() / 3, 10000);  // a range in the middle
      ReadRun(input, 0, 10000);                          // then everything
    } catch (const std::exception&) {
      // Refusals are fine; crashes and hangs are not.
    }
  });
  return 0;
}
