// clipwright-cli encode: a file to MP3 or WMA.
#include "cli/Commands.h"

#include "app/jobs/ConvertJob.h"
#include "audio/formats/AudioFormat.h"
#include "cli/CommandHelpers.h"
#include "cli/Options.h"

namespace cli {

int Encode(const Arguments& args) {
  const AudioFormat target = FormatOfFile(args.files[1]);
  if (target != AudioFormat::Mp3 && target != AudioFormat::Wma)
    return Fail(kUsage, "the target of encode is a .mp3 or .wma file");
  if (target == AudioFormat::Wma && (args.vbr || args.mode))
    return Fail(kUsage, "WMA files are written at a constant bit rate in the source's channels: --vbr and --mode are for MP3");
  ConvertRequest request;
  request.source = args.files[0];
  request.target = args.files[1];
  request.replaceTarget = args.force;
  std::string error;
  if (target == AudioFormat::Mp3 ? !Mp3Options(args, request.options, error)
                                 : !WmaBitrate(args, request.options.wmaBitrate, error))
    return Fail(kUsage, error);
  return RunJob([&request](JobEvents events) { return StartConvert(request, std::move(events)); }, args.quiet);
}

}  // namespace cli
