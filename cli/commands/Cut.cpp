// clipwright-cli cut: a range of a file, re-encoded or (MP3) copied frame by frame.
#include "cli/Commands.h"

#include "app/jobs/CutJob.h"
#include "cli/CommandHelpers.h"
#include "cli/Options.h"

namespace cli {

int Cut(const Arguments& args) {
  if (!args.start || !args.end) return Fail(kUsage, "cut needs --start and --end");
  CutRequest request;
  request.source = args.files[0];
  request.target = args.files[1];
  // The times' shape is checked before any file is touched; their frames
  // once the source's rate is known.
  if (!ParseFrameArgument(*args.start, 1000)) return Fail(kUsage, "not a time or a frame count: " + *args.start);
  if (!ParseFrameArgument(*args.end, 1000)) return Fail(kUsage, "not a time or a frame count: " + *args.end);
  request.frames = [start = *args.start, end = *args.end](int rate) {
    return FrameRange{*ParseFrameArgument(start, rate), *ParseFrameArgument(end, rate) - 1};
  };
  request.checkFrames = true;
  request.lossless = args.lossless;
  std::string error;
  if (!LevelOptions(args, request.levels, error)) return Fail(kUsage, error);
  if (args.replayGain) {
    if (*args.replayGain == "album") return Fail(kUsage, "--replaygain album measures the pieces of a split: a cut takes track");
    if (*args.replayGain != "track") return Fail(kUsage, "--replaygain is track or album: " + *args.replayGain);
    request.replayGainTrack = true;
  }
  request.replaceTarget = args.force;
  return RunJob([&request](JobEvents events) { return StartCut(request, std::move(events)); }, args);
}

}  // namespace cli
