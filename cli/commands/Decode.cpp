// clipwright-cli decode: a file to PCM WAV.
#include "cli/Commands.h"

#include "app/jobs/ConvertJob.h"
#include "audio/formats/FormatRegistry.h"
#include "cli/CommandHelpers.h"

namespace cli {

int Decode(const Arguments& args) {
  // Decoding writes the format encode does not: plain PCM.
  const auto decoded = [](const FormatEntry& entry) { return !entry.encodes; };
  const FormatEntry* target = FormatEntryOfFile(args.files[1]);
  if (!target || !decoded(*target)) return Fail(kUsage, "the target of decode is a " + ExtensionList(decoded) + " file");
  ConvertRequest request;
  request.source = args.files[0];
  request.target = args.files[1];
  request.replaceTarget = args.force;
  return RunJob([&request](JobEvents events) { return StartConvert(request, std::move(events)); }, args);
}

}  // namespace cli
