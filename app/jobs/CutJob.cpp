#include "app/jobs/CutJob.h"

#include "audio/classes/Sealed.h"
#include "audio/mix/Levels.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/jobs/Global.h"
#include "app/jobs/LoudnessJob.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/mp3/MP3LosslessOut.h"
#include "audio/mp3/Mp3Stream.h"
#include "audio/ACS_Classes.h"

void PrepareLosslessCut(TAuFileIn& input, TAuFileOut& output, const std::string& source, const FrameRange& range,
                        const std::string& outputName) {
  // The output reads the file's frames itself: the input only names the range.
  if (input.FileName() != source) input.SetFileName(source);
  input.SetStartSample(range.startSample);
  input.SetEndSample(range.endSample);
  output.SetFileName(outputName);
  output.SetInput(&input);
}

void RefuseSource(const std::exception& error, const std::string& source) {
  // The library is at fault, not the file: the message must not read as if the file were the library.
  if (IsMissingLibrary(error))
    throw JobRefused(ErrorKind::MissingLibrary, std::string(error.what()) + " (reading " + source + " needs it)", source);
  throw JobRefused(ErrorKind::UnreadableFile, error.what(), source);
}

std::string LosslessFormatsOnly() {
  return "--lossless cuts " + FormatNames([](const FormatEntry& entry) { return entry.newLosslessOutput != nullptr; }) +
         " files only";
}

std::string NoLosslessCut(const FormatEntry* format) {
  if (format == nullptr || format->whyNoLosslessCut == nullptr) return LosslessFormatsOnly();
  return std::string(format->whyNoLosslessCut) + "; leave out --lossless to re-encode it";
}

FrameRange RangeOfSelection(int64_t startMs, int64_t endMs, int64_t wholeMs, int sampleRate) {
  FrameRange range;
  range.startSample = FrameOfMs(startMs, sampleRate);
  range.endSample = endMs >= wholeMs ? -1 : FrameOfMs(endMs, sampleRate) - 1;
  return range;
}

int InputRate(const FormatEntry& format, TAuFileIn& input, const std::string& source) {
  try {
    input.SetFileName(source);
  } catch (const std::exception& e) {
    RefuseSource(e, source);
  }
  CheckSource(format, input);
  return input.SampleRate();
}

int64_t ReadableLengthMs(const std::string& source) {
  const FormatEntry* entry = FormatEntryOfFile(source);
  if (!entry) throw JobRefused("not an " + FormatNames() + " file: " + source);
  std::unique_ptr<TAuFileIn> input = entry->newInput();
  const int rate = InputRate(*entry, *input, source);
  return rate > 0 ? input->TotalSamples() * 1000 / rate : 0;
}

int64_t ShownLengthMs(const std::string& source) { return ReadableLengthMs(source) / 1000 * 1000; }

void CheckSource(const FormatEntry& format, TAuFileIn& input) {
  const std::string source = input.FileName();
  try {
    if (input.Valid() && input.TotalSamples() <= 0) throw JobRefused("the file holds no samples: " + source);
    if (!input.Valid()) throw JobRefused(format.whyUnreadable(format, input) + ": " + source);
  } catch (const JobRefused&) {
    throw;
  } catch (const std::exception& e) {
    RefuseSource(e, source);
  }
}

void PrepareCut(const FormatEntry& format, TAuFileIn& input, TAuFileOut& output, const std::string& source,
                const FrameRange& range, const std::string& outputName) {
  // Opened by InputRate already: opening it again would count it again.
  if (input.FileName() != source) InputRate(format, input, source);
  input.SetStartSample(range.startSample);
  input.SetEndSample(range.endSample);
  output.SetFileName(outputName);
  format.copySettings(input, output, SettingsUse::Cut);
  output.SetInput(&input);
}

namespace {

constexpr char kRangeOutside[] = "the start must come before the end and lie within the file";

FrameRange RangeOf(const CutRequest& request, int rate, int64_t totalSamples) {
  if (request.frames && !request.checkFrames) return request.frames(rate);
  if (request.frames) {
    // Here the last frame is never -1 for "to the end": an end at 0 is empty.
    FrameRange range = request.frames(rate);
    if (range.endSample < range.startSample || range.startSample >= totalSamples)
      throw JobRefused(ErrorKind::Usage, kRangeOutside, request.source);
    if (range.endSample >= totalSamples - 1) range.endSample = -1;
    return range;
  }
  const auto range = RangeOfTimes(request.startMs, request.endMs, rate, totalSamples);
  if (!range) throw JobRefused(ErrorKind::Usage, kRangeOutside, request.source);
  return *range;
}

/// Tags that need the finished result go in before it takes its name.
void WriteTagsBeforeCommit(OutputJob& job, media::TagContainer container, TagFields tags) {
  job.SetBeforeCommit([container, tags = std::move(tags)](const std::string& file) {
    try {
      SetTagFields(file, container, tags);
    } catch (const std::exception& e) {
      throw Error(KindOf(e), std::string("Cannot write the ReplayGain tags: ") + e.what());
    }
  });
}

/// A global gain step: 2^(1/4) of amplitude.
constexpr double kGlobalGainStepDb = 1.5051499783199060;

/// The whole steps nearest a gain, never above it (a gain was held where it would clip).
int LosslessGainSteps(double factor) {
  const double decibels = media::Decibels(factor);
  auto steps = static_cast<int>(std::lround(decibels / kGlobalGainStepDb));
  if (steps * kGlobalGainStepDb > decibels + 1e-9) --steps;
  return steps;
}

/// The lossless cut reads the source by its frames only: no decoder is loaded.
std::unique_ptr<Job> StartLosslessCut(const FormatEntry* entry, const CutRequest& request, JobEvents events) {
  const auto note = events.note;
  std::error_code error;
  if (!std::filesystem::exists(request.source, error)) throw JobRefused(ErrorKind::NoSuchFile, ErrorText(ErrorKind::NoSuchFile), request.source);
  if (!entry || !entry->newLosslessOutput) throw JobRefused(ErrorKind::Usage, NoLosslessCut(entry), request.source);
  CheckTargetFormat(*entry, request.target, "the source is");
  CheckTarget(request.target, {request.source}, request.replaceTarget);
  std::shared_ptr<const Mp3Stream> stream;
  try {
    stream = ScanMp3FileShared(request.source);
  } catch (const Mp3StreamRefused& e) {
    throw JobRefused(ErrorKind::Failed, LosslessRefusal(e.what(), request.source));
  } catch (const std::exception& e) {
    throw JobRefused(ErrorKind::UnreadableFile, e.what(), request.source);
  }
  auto job = std::make_unique<OutputJob>(std::move(events));
  TAuFileIn& input = job->Keep(entry->newInput());
  TAuFileOut& output = job->SetOutput(entry->newLosslessOutput());
  const FrameRange range = RangeOf(request, stream->first.sampleRate, stream->GaplessSamples());
  PrepareLosslessCut(input, output, request.source, range, job->OpenTarget(request.target));
  const int64_t rangeEnd = range.endSample < 0 ? -1 : range.endSample + 1;
  LevelPlan plan;
  if (request.levels.Any()) {
    plan = PlanLevels(request.levels, request.source, range.startSample, rangeEnd);
    const int steps = LosslessGainSteps(plan.factor);
    dynamic_cast<TMP3LosslessOut&>(output).SetGainSteps(steps);
    const double given = steps * kGlobalGainStepDb;
    if (std::abs(given - media::Decibels(plan.factor)) > 0.01) {
      char text[120];
      std::snprintf(text, sizeof text, "the frames' gain moves in steps of 1.5 dB: %+.2f dB given for %+.2f dB",
                    given, media::Decibels(plan.factor));
      plan.note = plan.note.empty() ? text : plan.note + "; " + text;
    }
    plan.factor = media::GainFactor(given);
    if (!plan.note.empty() && note) note(plan.note);
  }
  TagFields tags = request.extraTags;
  if (request.replayGainTrack) {
    const media::LoudnessFigures figures = plan.measured ? *plan.measured : MeasureLoudness(request.source, range.startSample, rangeEnd);
    const TagFields track = ReplayGainFields(figures, plan.factor, false);
    tags.insert(tags.end(), track.begin(), track.end());
  }
  if (!tags.empty()) WriteTagsBeforeCommit(*job, media::TagContainer::Mpeg, std::move(tags));
  if (request.adjustOutput) request.adjustOutput(output);
  job->Run();
  return job;
}

}  // namespace

std::unique_ptr<Job> StartCut(const CutRequest& request, JobEvents events) {
  const FormatEntry* entry = FormatEntryOfFile(request.source);
  // A FLAC cut keeps every sample as it is: asked to be lossless, it is the cut itself.
  const bool lossless = request.lossless && !(entry && PlainCutIsLossless(*entry, request.source));
  // An MP3 lossless cut reads the file's frames only; the others read it as a cut does.
  if (request.lossless && (request.levels.fadeInMs > 0 || request.levels.fadeOutMs > 0))
    throw JobRefused(ErrorKind::Usage, "fades change the samples, so they are encoded again: leave out --lossless");
  if (request.lossless && request.levels.Any() && !(entry && entry->walksFrames))
    throw JobRefused(ErrorKind::Usage,
                     "a lossless gain moves MP3 frames' global gain fields, which other formats do not have: leave out "
                     "--lossless to apply it by encoding again");
  if (lossless && !(entry && entry->newLosslessOutput && !entry->walksFrames))
    return StartLosslessCut(entry, request, std::move(events));
  // The input that counts exactly what the file holds checks it; the cut reads it with its own.
  OpenSource(request.source, &FormatEntry::newInput);
  const auto note = events.note;
  CheckTargetFormat(*entry, request.target, "the source is");
  CheckTarget(request.target, {request.source}, request.replaceTarget);
  auto job = std::make_unique<OutputJob>(std::move(events));
  TAuFileIn& input = job->Keep(entry->newInput());
  TAuFileOut& output = job->SetOutput(lossless ? entry->newLosslessOutput() : entry->newOutput());
  const int rate = InputRate(*entry, input, request.source);
  const FrameRange range = RangeOf(request, rate, input.TotalSamples());
  PrepareCut(*entry, input, output, request.source, range, job->OpenTarget(request.target));
  const int64_t rangeEnd = range.endSample < 0 ? -1 : range.endSample + 1;
  LevelPlan plan;
  if (request.levels.Any()) {
    plan = PlanLevels(request.levels, request.source, range.startSample, rangeEnd);
    if (!plan.note.empty() && note) note(plan.note);
    TAuLevels& levels = job->Keep(std::make_unique<Sealed<TAuLevels>>());
    levels.SetInput(&input);
    levels.SetGain(plan.factor);
    levels.SetFades(FrameOfMs(request.levels.fadeInMs, rate), FrameOfMs(request.levels.fadeOutMs, rate),
                    request.levels.curve);
    output.SetInput(&levels);
  }
  TagFields tags = request.extraTags;
  if (request.replayGainTrack) {
    const media::LoudnessFigures figures =
        plan.measured ? *plan.measured : MeasureLoudness(request.source, range.startSample, rangeEnd);
    const TagFields track = ReplayGainFields(figures, plan.factor, false);
    tags.insert(tags.end(), track.begin(), track.end());
  }
  if (!tags.empty()) {
    const std::optional<media::TagContainer> container = TagContainerOfInput(input);
    if (!container) throw JobRefused(ErrorKind::Usage, "its format keeps no tags ReplayGain could be written in", request.source);
    WriteTagsBeforeCommit(*job, *container, std::move(tags));
  }
  if (request.adjustOutput) request.adjustOutput(output);
  job->Run();
  return job;
}
