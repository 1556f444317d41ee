// clipwright-cli remove: ranges taken out of a file.
#include "cli/Commands.h"

#include <QEventLoop>

#include <filesystem>

#include "app/jobs/Global.h"
#include "app/jobs/CutJob.h"
#include "app/jobs/SegmentJob.h"
#include "app/jobs/TargetFile.h"
#include "cli/CommandHelpers.h"

namespace cli {

namespace fs = std::filesystem;

/// The total time the Segment Cut window shows for a file: its length in
/// whole seconds, else (under a second) the decoder's own.
int64_t ShownTotalMs(const std::string& name, TAuFileIn& input) {
  if (const int64_t shown = ShownLengthMs(name); shown > 0) return shown;
  return input.SampleRate() > 0 ? input.TotalSamples() * 1000 / input.SampleRate() : 0;
}

/// remove --lossless: the one piece that remains, copied frame by frame.
/// Pieces cannot be joined so: an MP3 stream can tell a decoder to drop
/// samples at its start and end only, so a join would not be exact.
int RemoveLossless(const std::string& sourceName, const std::string& targetName, const std::vector<RemovedRange>& rows,
                   int64_t totalMs, bool quiet) {
  CutPair cut = NewLosslessCutPair();
  try {
    const int rate = InputRate(AudioFormat::Mp3, *cut.input, sourceName);
    const std::vector<FrameRange> pieces =
        PiecesOfBoundaries(BuildBoundaries(rows, totalMs), totalMs, rate, cut.input->TotalSamples());
    if (pieces.empty()) return Fail(kBadSource, kNothingRemains);
    if (pieces.size() > 1)
      return Fail(kRunFailed, "--lossless keeps one piece only: " + std::to_string(pieces.size()) +
                                  " pieces would remain, and an MP3 stream cannot tell a decoder to drop samples where "
                                  "two pieces meet, so the joins would not be exact. Remove ranges at the start and "
                                  "end only, or leave out --lossless to re-encode: " + sourceName);
    TargetFile file(targetName);
    PrepareLosslessCut(*cut.input, *cut.output, sourceName, pieces.front(), file.TemporaryName());
    return RunPrepared(*cut.output, file, sourceName, quiet);
  } catch (const JobRefused& e) {
    return Fail(kBadSource, e.what());
  } catch (const std::exception& e) {
    return Fail(kRunFailed, e.what());
  }
}

/// remove: the Segment Cut window's job, with the ranges as its list rows.
int Remove(const Arguments& args) {
  if (args.files.size() != 2 || args.start || args.end || args.bitrate || args.vbr || args.mode)
    return Fail(kUsage, "remove takes a source and a target");
  if (args.ranges.empty()) return Fail(kUsage, "remove needs at least one --range START-END");
  const std::string& sourceName = args.files[0];
  const std::string& targetName = args.files[1];
  std::vector<RemovedRange> rows;
  for (const std::string& range : args.ranges) {
    const size_t dash = range.find('-');
    const auto start = dash == std::string::npos ? std::nullopt : ParseTimeArgument(range.substr(0, dash));
    const auto end = dash == std::string::npos ? std::nullopt : ParseTimeArgument(range.substr(dash + 1));
    if (!start || !end) return Fail(kUsage, "not a range START-END of two times: " + range);
    rows.push_back({*start, *end});
  }
  Source source;
  OpenSource(sourceName, source);
  if (source.refusal != kDone) return Fail(source.refusal, source.message);
  if (const int refused = CheckTargetFormat(source.format, targetName)) return refused;
  const int64_t totalMs = ShownTotalMs(sourceName, *source.input);
  source.input.reset();  // the job reads it with its own components
  for (const RemovedRange& row : rows)
    if (const std::string refusal = CheckNewRow(row, totalMs); !refusal.empty()) return Fail(kUsage, refusal);
  if (const std::string refusal = CheckRows(rows, totalMs); !refusal.empty()) return Fail(kUsage, refusal);
  if (args.lossless && source.format != AudioFormat::Mp3)
    return Fail(kUsage, "--lossless cuts MP3 files only: " + sourceName);
  if (const int refused = CheckTarget(sourceName, targetName, args.force)) return refused;
  if (args.lossless) return RemoveLossless(sourceName, targetName, rows, totalMs, args.quiet);

  SegmentComponents components;
  SegmentJob job(components);
  QEventLoop loop;
  bool finished = false;
  std::string failure;
  job.OnFinished = [&](const std::string& why) {
    failure = why;
    finished = true;
    loop.quit();
  };
  const bool progress = !args.quiet && isatty(STDERR_FILENO);
  if (progress) job.OnStep = [](const std::string& step) { std::fprintf(stderr, "\r%s   ", step.c_str() + 3); };
  try {
    job.Start(sourceName, rows, totalMs, targetName, fs::temp_directory_path().string() + "/");
  } catch (const JobRefused& e) {
    return Fail(kBadSource, e.what());
  } catch (const std::exception& e) {
    return Fail(kRunFailed, e.what());
  }
  if (!finished) loop.exec();
  if (progress) std::fprintf(stderr, "\n");
  return failure.empty() ? kDone : Fail(kRunFailed, failure);
}

}  // namespace cli
