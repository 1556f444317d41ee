// libFuzzer target for the FLAC, Ogg, Opus, M4A/AAC and AIFF input (FFmpeg's
// demuxers and decoders, our frame placement, TagLib's tags through TCodecIn):
// the first byte picks the tag container, the rest is a whole file.
#include "audio/classes/Sealed.h"
#include "audio/codecs/CodecIn.h"
#include "audio/formats/FormatRegistry.h"
#include "fuzz/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  constexpr AudioFormat kFormats[] = {AudioFormat::Flac, AudioFormat::Vorbis, AudioFormat::Opus, AudioFormat::M4a,
                                      AudioFormat::Aiff};
  const CodecTraits& traits = CodecOf(kFormats[data[0] % 5]);
  WithMemoryFile(data + 1, size - 1, [&traits](const std::string& name) {
    try {
      Sealed<TCodecIn> input(traits);
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
