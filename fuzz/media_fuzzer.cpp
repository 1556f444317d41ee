// libFuzzer target for the MP3 and WMA input (FFmpeg's demuxers and decoders
// through TWMIn): the input is a whole file, read with a seek.
#include "audio/ACS_WinMedia.h"
#include "fuzz/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WithMemoryFile(data, size, [](const std::string& name) {
    try {
      Sealed<TWMIn> input;
      input.SetFileName(name);
      (void)input.IsProtected();
      if (!input.Valid() || input.TotalSamples() <= 0) return;
      (void)input.Bitrate();
      (void)input.Id3v2Tags().Title();
      ReadRun(input, input.TotalSamples() / 2, 2000);
    } catch (const std::exception&) {
      // Refusals are fine; crashes and hangs are not.
    }
  });
  return 0;
}
