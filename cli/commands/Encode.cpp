// clipwright-cli encode: a file to MP3, WMA, FLAC, Ogg Vorbis, Opus or M4A.
#include "cli/Commands.h"

#include "app/jobs/ConvertJob.h"
#include "audio/formats/AudioFormat.h"
#include "cli/CommandHelpers.h"
#include "cli/Options.h"

namespace cli {

int Encode(const Arguments& args) {
  const AudioFormat target = FormatOfFile(args.files[1]);
  if (target == AudioFormat::Unknown || target == AudioFormat::Wav)
    return Fail(kUsage, "the target of encode is a .mp3, .wma, .flac, .ogg, .oga, .opus or .m4a file");
  if (target != AudioFormat::Mp3 && (args.vbr || args.mode))
    return Fail(kUsage, std::string(FormatName(target)) +
                            " files are written at their bit rate in the source's channels: --vbr and --mode are for MP3");
  if (target == AudioFormat::Flac && args.bitrate)
    return Fail(kUsage, "FLAC keeps every sample as it is: it takes no --bitrate");
  ConvertRequest request;
  request.source = args.files[0];
  request.target = args.files[1];
  request.replaceTarget = args.force;
  std::string error;
  if (target == AudioFormat::Mp3 ? !Mp3Options(args, request.options, error)
                                 : !BitrateOption(args, request.options.bitrate, error))
    return Fail(kUsage, error);
  return RunJob([&request](JobEvents events) { return StartConvert(request, std::move(events)); }, args.quiet);
}

}  // namespace cli
