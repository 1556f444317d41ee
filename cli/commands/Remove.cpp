// clipwright-cli remove: ranges taken out of a file.
#include "cli/Commands.h"

#include <cmath>
#include <filesystem>

#include "app/jobs/SegmentJob.h"
#include "app/jobs/SilenceJob.h"
#include "audio/ACS_Classes.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/peaks/FrameRangeReader.h"
#include "audio/peaks/Silences.h"
#include "cli/CommandHelpers.h"
#include "cli/Options.h"

namespace cli {

namespace {

/// A range as a list row of a file at `rate`: exact to the frame, its times
/// to the millisecond, widened by `widenFrames` on each side.
RemovedRange Row(int64_t start, int64_t end, int rate, int64_t widenFrames) {
  auto ms = [rate](int64_t frame) { return std::llround(static_cast<double>(frame) * 1000.0 / rate); };
  RemovedRange row{ms(start), ms(end), start, end, widenFrames};
  return row;
}

/// The rows of --range START-END, each time in the tool's time language:
/// exactly those samples, or with --widen SECONDS that much more on each
/// side (the window widens its typed rows by 0.1).
int RangeRows(const Arguments& args, int rate, std::vector<RemovedRange>& rows) {
  double widen = 0;
  if (std::string error; !Decimal(args.widen, "not a number of seconds to widen by: ", 0, 3600, widen, error))
    return Fail(kUsage, error);
  const int64_t widenFrames = std::llround(widen * rate);
  for (const std::string& range : args.ranges) {
    // The dash that splits the range: the one whose two sides are both times.
    std::optional<int64_t> start, end;
    for (size_t dash = range.find('-'); dash != std::string::npos && !(start && end); dash = range.find('-', dash + 1)) {
      start = ParseFrameArgument(range.substr(0, dash), rate);
      end = ParseFrameArgument(range.substr(dash + 1), rate);
    }
    if (!start || !end) return Fail(kUsage, "not a range START-END of two times: " + range);
    rows.push_back(Row(*start, *end, rate, widenFrames));
  }
  return kDone;
}

/// The rows of --silences: each silence, less what --keep leaves of it.
int SilenceRows(const Arguments& args, TAuFileIn& in, std::vector<RemovedRange>& rows) {
  std::string error;
  double threshold = -50, seconds = 0.5, keep = kKeptSilenceSeconds;
  if (!Decimal(args.threshold, "not a level in dBFS (below 0): ", -150, 0, threshold, error) ||
      !Decimal(args.minSilence, "not a number of seconds: ", 0.01, 3600, seconds, error) ||
      !Decimal(args.keep, "not a number of seconds to keep: ", 0, 3600, keep, error))
    return Fail(kUsage, error);
  const int rate = in.SampleRate();
  const int64_t total = in.TotalSamples();
  const auto silences = FindSilences(args.files[0], in.Channels(), rate, total, threshold, seconds, MachineThreads());
  for (const SilentRun& run : ShrinkSilences(silences, total, std::llround(keep * rate)))
    rows.push_back(Row(run.start, run.end, rate, 0));
  if (rows.empty()) return Fail(kRunFailed, "found no silence to remove: " + args.files[0]);
  return kDone;
}

}  // namespace

/// remove: the Segment Cut window's job, with the ranges (or the silences) as its list rows.
int Remove(const Arguments& args) {
  if (args.ranges.empty() == !args.silences)
    return Fail(kUsage, "remove needs --range START-END (one or more) or --silences, not both");
  if (!args.silences && (args.threshold || args.minSilence || args.keep))
    return Fail(kUsage, "--threshold, --min-silence and --keep go with --silences");
  if (args.silences && args.widen) return Fail(kUsage, "--widen goes with --range");
  RemoveRequest request;
  request.source = args.files[0];
  request.target = args.files[1];
  request.lossless = args.lossless;
  request.replaceTarget = args.force;
  if (std::string error; !CrossfadeOptions(args, request.crossfadeMs, request.crossfadeCurve, error))
    return Fail(kUsage, error);
  if (args.lossless && request.crossfadeMs > 0)
    return Fail(kUsage, "a crossfade changes the samples, so it is encoded again: leave out --lossless");
  request.workFolder = std::filesystem::temp_directory_path().string() + "/";
  // The rows are exact frames of the source: its rate comes first.
  const int planned = WithSource(request.source, [&args, &request](TAuFileIn& in) {
    try {
      return args.silences ? SilenceRows(args, in, request.rows) : RangeRows(args, in.SampleRate(), request.rows);
    } catch (const Error& e) {
      return Fail(e);
    }
  });
  if (planned != kDone) return planned;
  return RunJob(
      [&request](JobEvents events) {
        request.totalMs = SegmentTotalMs(request.source);
        return StartRemove(request, std::move(events));
      },
      args);
}

}  // namespace cli
