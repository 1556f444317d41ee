// clipwright-cli join and mix: two files into one.
#include "cli/Commands.h"

#include "app/jobs/JoinJob.h"
#include "cli/CommandHelpers.h"
#include "cli/Options.h"

namespace cli {

namespace {

/// join: FILE2 after FILE1; mix: both at once. The window's Joiner & Mixer job.
int JoinOrMix(const Arguments& args, TAudioMixerMode mode) {
  JoinRequest request;
  request.file1 = args.files[0];
  request.file2 = args.files[1];
  request.target = args.files[2];
  request.mode = mode;
  request.replaceTarget = args.force;
  if (std::string error; !CrossfadeOptions(args, request.crossfadeMs, request.crossfadeCurve, error))
    return Fail(kUsage, error);
  return RunJob([&request](JobEvents events) { return StartJoin(request, std::move(events)); }, args);
}

}  // namespace

int Join(const Arguments& args) { return JoinOrMix(args, amConcatenate); }
int Mix(const Arguments& args) { return JoinOrMix(args, amMix); }

}  // namespace cli
