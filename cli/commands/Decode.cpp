// clipwright-cli decode: a file to PCM WAV.
#include "cli/Commands.h"

#include "app/jobs/ConvertJob.h"
#include "audio/formats/AudioFormat.h"
#include "cli/CommandHelpers.h"

namespace cli {

int Decode(const Arguments& args) {
  if (FormatOfFile(args.files[1]) != AudioFormat::Wav) return Fail(kUsage, "the target of decode is a .wav file");
  ConvertRequest request;
  request.source = args.files[0];
  request.target = args.files[1];
  request.replaceTarget = args.force;
  return RunJob([&request](JobEvents events) { return StartConvert(request, std::move(events)); }, args.quiet);
}

}  // namespace cli
