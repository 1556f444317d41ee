// libFuzzer target for the FLAC, Ogg, Opus, M4A/AAC and AIFF input (FFmpeg's
// demuxers and decoders, our frame placement, TagLib's tags through TCodecIn):
// the first byte picks the tag container, the rest is a whole file.
#include "audio/classes/Sealed.h"
#include "audio/codecs/CodecIn.h"
#include "fuzz/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const auto kind = static_cast<CodecKind>(data[0] % 5);
  WithMemoryFile(data + 1, size - 1, [kind](const std::string& name) {
    try {
      Sealed<TCodecIn> input(kind);
      input.SetFileName(name);
      if (!input.Valid() || input.TotalSamples() <= 0) return;
      (void)input.Pictures();
      (void)input.Codec();
      ReadRun(input, input.TotalSamples() / 2, 2000);  // a seek into the middle
      ReadRun(input, 0, 2000);                         // then from the start
    } catch (const std::exception&) {
      // Refusals are fine; crashes and hangs are not.
    }
  });
  return 0;
}
