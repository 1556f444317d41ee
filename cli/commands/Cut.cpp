// clipwright-cli cut: a range of a file, re-encoded or (MP3) copied frame by frame.
#include "cli/Commands.h"

#include "app/jobs/CutJob.h"
#include "cli/CommandHelpers.h"

namespace cli {

int Cut(const Arguments& args) {
  if (!args.start || !args.end) return Fail(kUsage, "cut needs --start and --end");
  CutRequest request;
  request.source = args.files[0];
  request.target = args.files[1];
  const auto startMs = ParseTimeArgument(*args.start), endMs = ParseTimeArgument(*args.end);
  if (!startMs) return Fail(kUsage, "not a time: " + *args.start);
  if (!endMs) return Fail(kUsage, "not a time: " + *args.end);
  request.startMs = *startMs;
  request.endMs = *endMs;
  request.lossless = args.lossless;
  request.replaceTarget = args.force;
  return RunJob([&request](JobEvents events) { return StartCut(request, std::move(events)); }, args.quiet);
}

}  // namespace cli
