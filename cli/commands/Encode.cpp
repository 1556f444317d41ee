// clipwright-cli encode: a file to MP3, WMA, FLAC, Ogg Vorbis, Opus or M4A.
#include "cli/Commands.h"

#include "app/jobs/ConvertJob.h"
#include "audio/formats/FormatRegistry.h"
#include "cli/CommandHelpers.h"
#include "cli/Options.h"

namespace cli {

int Encode(const Arguments& args) {
  const FormatEntry* target = FormatEntryOfFile(args.files[1]);
  const auto encodes = [](const FormatEntry& entry) { return entry.encodes; };
  if (!target || !target->encodes)
    return Fail(kUsage, "the target of encode is a " + ExtensionList(encodes) + " file");
  if (!(target->encodeOptions & kVbrOption) && args.vbr)
    return Fail(kUsage, std::string(target->name) + " files are written at their bit rate in the source's channels: --vbr is for " +
                            FormatNames([](const FormatEntry& entry) { return (entry.encodeOptions & kVbrOption) != 0; }));
  if (!(target->encodeOptions & kModeOption) && args.mode)
    return Fail(kUsage, std::string(target->name) + " files are written in the source's channels: --mode is for " +
                            FormatNames([](const FormatEntry& entry) { return (entry.encodeOptions & kModeOption) != 0; }));
  if (!(target->encodeOptions & kBitrateOption) && args.bitrate)
    return Fail(kUsage, std::string(target->name) + " keeps every sample as it is: it takes no --bitrate");
  ConvertRequest request;
  request.source = args.files[0];
  request.target = args.files[1];
  request.replaceTarget = args.force;
  std::string error;
  // The MP3 options name LAME's rates and qualities; the others a bit rate.
  if ((target->encodeOptions & kVbrOption) ? !Mp3Options(args, request.options, error)
                                           : !BitrateOption(args, request.options.bitrate, error))
    return Fail(kUsage, error);
  return RunJob([&request](JobEvents events) { return StartConvert(request, std::move(events)); }, args);
}

}  // namespace cli
