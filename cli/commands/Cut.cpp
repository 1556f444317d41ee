// clipwright-cli cut: a range of a file, re-encoded or (MP3) copied frame by frame.
#include "cli/Commands.h"

#include <filesystem>

#include "app/jobs/CutJob.h"
#include "app/jobs/TargetFile.h"
#include "audio/mp3cut/Mp3Stream.h"
#include "cli/CommandHelpers.h"

namespace cli {

namespace fs = std::filesystem;

/// cut --lossless: the window's Start Cut with "Keep MP3 quality" ticked.
/// The source is read by its frames only, so no decoder is loaded.
int CutLossless(const Arguments& args, int64_t startMs, int64_t endMs) {
  const std::string& sourceName = args.files[0];
  const std::string& targetName = args.files[1];
  std::error_code error;
  if (!fs::exists(sourceName, error)) return Fail(kBadSource, "no such file: " + sourceName);
  if (FormatOfFile(sourceName) != AudioFormat::Mp3) return Fail(kUsage, "--lossless cuts MP3 files only: " + sourceName);
  if (const int refused = CheckTargetFormat(AudioFormat::Mp3, targetName)) return refused;
  if (const int refused = CheckTarget(sourceName, targetName, args.force)) return refused;
  Mp3Stream stream;
  try {
    stream = ScanMp3File(sourceName);
  } catch (const Mp3StreamRefused& e) {
    return Fail(kRunFailed, LosslessRefusal(e.what(), sourceName));
  } catch (const std::exception& e) {
    return Fail(kBadSource, e.what());
  }
  const auto range = RangeOfTimes(startMs, endMs, stream.first.sampleRate, stream.GaplessSamples());
  if (!range) return Fail(kUsage, "the start must come before the end and lie within the file");
  CutPair cut = NewLosslessCutPair();
  try {
    TargetFile file(targetName);
    PrepareLosslessCut(*cut.input, *cut.output, sourceName, *range, file.TemporaryName());
    return RunPrepared(*cut.output, file, sourceName, args.quiet);
  } catch (const std::exception& e) {
    return Fail(kRunFailed, e.what());
  }
}

int Cut(const Arguments& args) {
  if (args.files.size() != 2) return Fail(kUsage, "cut takes a source and a target");
  if (!args.start || !args.end) return Fail(kUsage, "cut needs --start and --end");
  const auto startMs = ParseTimeArgument(*args.start);
  const auto endMs = ParseTimeArgument(*args.end);
  if (!startMs) return Fail(kUsage, "not a time: " + *args.start);
  if (!endMs) return Fail(kUsage, "not a time: " + *args.end);
  if (args.lossless) return CutLossless(args, *startMs, *endMs);
  const std::string& sourceName = args.files[0];
  const std::string& targetName = args.files[1];
  Source source;
  OpenSource(sourceName, source);
  if (source.refusal != kDone) return Fail(source.refusal, source.message);
  if (const int refused = CheckTargetFormat(source.format, targetName)) return refused;
  if (const int refused = CheckTarget(sourceName, targetName, args.force)) return refused;
  source.input.reset();  // the cut reads it with its own components

  // The same components, settings and tag copying as the window's Start Cut.
  CutPair cut = NewCutPair(source.format);
  try {
    const int rate = InputRate(source.format, *cut.input, sourceName);
    const auto range = RangeOfTimes(*startMs, *endMs, rate, cut.input->TotalSamples());
    if (!range) return Fail(kUsage, "the start must come before the end and lie within the file");
    TargetFile file(targetName);
    PrepareCut(source.format, *cut.input, *cut.output, sourceName, *range, file.TemporaryName());
    return RunPrepared(*cut.output, file, sourceName, args.quiet);
  } catch (const JobRefused& e) {
    return Fail(kBadSource, e.what());
  } catch (const std::exception& e) {
    return Fail(kRunFailed, e.what());
  }
}

}  // namespace cli
