// clipwright-cli decode: a file to PCM WAV.
#include "cli/Commands.h"

#include "cli/CommandHelpers.h"

namespace cli {

int Decode(const Arguments& args) {
  if (args.files.size() != 2 || args.start || args.end || args.lossless)
    return Fail(kUsage, "decode takes a source and a target");
  if (FormatOfFile(args.files[1]) != AudioFormat::Wav) return Fail(kUsage, "the target of decode is a .wav file");
  Source source;
  OpenSource(args.files[0], source);
  if (source.refusal != kDone) return Fail(source.refusal, source.message);
  if (const int refused = CheckTarget(args.files[0], args.files[1], args.force)) return refused;
  return WriteWav(*source.input, args.files[1], args.quiet);
}

}  // namespace cli
