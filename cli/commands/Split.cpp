// clipwright-cli split: a file cut into pieces, each a file of its own.
#include "cli/Commands.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/jobs/SplitJob.h"
#include "app/jobs/TimeRange.h"
#include "audio/ACS_Classes.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/mp3/Mp3Stream.h"
#include "audio/peaks/FrameRangeReader.h"
#include "audio/peaks/Silences.h"
#include "cli/CommandHelpers.h"
#include "cli/Options.h"
#include "platform/CueSheet.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

/// The frames of each comma-separated time; false and why when one is none.
bool Times(const std::string& list, int rate, std::vector<int64_t>& frames, std::string& error) {
  size_t from = 0;
  for (;;) {
    const size_t comma = list.find(',', from);
    const std::string text = list.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    const auto frame = ParseFrameArgument(text, rate);
    if (!frame) {
      error = "not a time or a frame count: " + text;
      return false;
    }
    frames.push_back(*frame);
    if (comma == std::string::npos) return true;
    from = comma + 1;
  }
}

constexpr uint32_t kMostPiecesUnasked = 1000;

/// A refusal of a plan of `count` pieces of about `frames` frames each.
int TooManyPieces(int64_t count, int64_t frames, int rate, uint32_t most, bool inSamples) {
  char length[80];
  const double seconds = static_cast<double>(frames) / rate;
  if (frames * 100 < rate)
    std::snprintf(length, sizeof length, "%lld sample%s (%.3f ms)", static_cast<long long>(frames),
                  frames == 1 ? "" : "s", seconds * 1000);
  else std::snprintf(length, sizeof length, "%.3f s", seconds);
  return Fail(kUsage, "the split would make " + std::to_string(count) + " pieces of about " + length +
                          " each, more than " + std::to_string(most) +
                          (inSamples ? " (a number ending in s counts samples: write 1 or 1.0 for a second)" : "") +
                          "; --max-pieces N allows more");
}

/// The pieces the options ask for, of a source of `total` frames at `rate`;
/// `channels` for finding silences. At most `most` pieces.
int Plan(const Arguments& args, int rate, int64_t total, int channels, std::vector<SplitPiece>& pieces) {
  std::string error;
  uint32_t most = kMostPiecesUnasked;
  if (!Count(args.maxPieces, "not a number of pieces: ", UINT32_MAX, most, error) || most < 1)
    return Fail(kUsage, error.empty() ? "not a number of pieces: " + *args.maxPieces : error);
  if (args.at) {
    std::vector<int64_t> frames;
    if (!Times(*args.at, rate, frames, error)) return Fail(kUsage, error);
    pieces = PiecesAt(frames, total);
  } else if (args.every) {
    const auto every = ParseFrameArgument(*args.every, rate);
    if (!every || *every <= 0) return Fail(kUsage, "not a duration: " + *args.every);
    // Counted before the boundaries are made: a slip of the unit could ask for millions.
    const int64_t count = (total + *every - 1) / *every;
    if (count > most) return TooManyPieces(count, *every, rate, most, args.every->back() == 's');
    pieces = PiecesAt(BoundariesEvery(*every, total), total);
  } else if (args.cue) {
    pieces = PiecesOfCueSheet(media::ReadCueSheet(*args.cue), *args.cue, args.files[0], rate, total);
  } else {
    double threshold = -50, seconds = 0.5, keep = 0;
    if (!Decimal(args.threshold, "not a level in dBFS (below 0): ", -150, 0, threshold, error) ||
        !Decimal(args.minSilence, "not a number of seconds: ", 0.01, 3600, seconds, error) ||
        !Decimal(args.keep, "not a number of seconds to keep: ", 0, 3600, keep, error))
      return Fail(kUsage, error);
    const auto silences =
        FindSilences(args.files[0], channels, rate, total, threshold, seconds, MachineThreads());
    if (!args.keep) {
      pieces = PiecesAt(MiddlesOfSilences(silences, total), total);
    } else {
      // Each piece keeps half of --keep of the silence on either side; the rest is left out.
      for (const SilentRun& sound : SoundBetween(ShrinkSilences(silences, total, std::llround(keep * rate)), total))
        pieces.push_back({{sound.start, sound.end - 1}, {}, {}, 0, 0});
    }
  }
  if (pieces.size() > most) {
    const auto count = static_cast<int64_t>(pieces.size());
    return TooManyPieces(count, total / count, rate, most, false);
  }
  return kDone;
}

/// Leaves out of `request` the pieces whose files are newer than the source,
/// and lets the others be replaced; true when none is left. Album gain
/// measures every piece, so then all are made again or none.
bool LeaveUpToDatePieces(SplitRequest& request) {
  std::error_code error;
  const auto sourceTime = fs::last_write_time(request.source, error);
  if (error) return false;  // the run says what is wrong with the source
  const std::vector<std::string> files = PieceFiles(request);
  std::vector<size_t> left;
  for (size_t i = 0; i < files.size(); ++i) {
    const auto pieceTime = fs::last_write_time(files[i], error);
    if (error || pieceTime <= sourceTime) left.push_back(i);
  }
  if (left.empty()) return true;
  if (request.replayGain != ReplayGainMode::Album) request.only = std::move(left);
  request.replaceTargets = true;
  return false;
}

}  // namespace

int Split(const Arguments& args) {
  if (args.at.has_value() + args.every.has_value() + args.cue.has_value() + args.silence != 1)
    return Fail(kUsage, "split needs one of --at, --every, --cue and --silence");
  if ((args.threshold || args.minSilence || args.keep) && !args.silence)
    return Fail(kUsage, "--threshold, --min-silence and --keep go with --silence");
  SplitRequest request;
  request.source = args.files[0];
  request.folder = args.files[1];
  if (args.name) request.pattern = *args.name;
  request.lossless = args.lossless;
  request.replaceTargets = args.force;
  if (std::string error; !LevelOptions(args, request.levels, error)) return Fail(kUsage, error);
  if (args.replayGain) {
    if (*args.replayGain == "track") request.replayGain = ReplayGainMode::Track;
    else if (*args.replayGain == "album") request.replayGain = ReplayGainMode::Album;
    else return Fail(kUsage, "--replaygain is track or album: " + *args.replayGain);
  }
  int planned = kDone;
  const FormatEntry* format = FormatEntryOfFile(request.source);
  if (args.lossless && !args.silence && format != nullptr && format->walksFrames) {
    // MP3 frames are copied: the frames tell the length, and no decoder is loaded.
    try {
      const Mp3Stream stream = ScanMp3File(request.source);
      planned = Plan(args, stream.first.sampleRate, stream.GaplessSamples(), stream.first.channels, request.pieces);
    } catch (const Mp3StreamRefused& e) {
      return Fail(kRunFailed, LosslessRefusal(e.what(), request.source));
    } catch (const Error& e) {
      return Fail(e);
    }
  } else {
    planned = WithSource(request.source, [&](TAuFileIn& in) {
      try {
        return Plan(args, in.SampleRate(), in.TotalSamples(), in.Channels(), request.pieces);
      } catch (const Error& e) {
        return Fail(e);
      }
    });
  }
  if (planned != kDone) return planned;
  if (args.update) {
    if (args.force) return Fail(kUsage, "--update replaces the pieces older than the source, --force all of them: give one");
    if (LeaveUpToDatePieces(request)) {
      if (args.progress) SayJsonProgress(1, 0, 0, true);
      if (!args.quiet) std::printf("every piece in %s is up to date\n", request.folder.c_str());
      return kDone;
    }
  }
  const int done = RunJob([&request](JobEvents events) { return StartSplit(request, std::move(events)); }, args,
                          PiecesToWrite(request).size());
  if (done == kDone && !args.quiet)
    for (const std::string& file : PieceFiles(request)) std::printf("%s\n", file.c_str());
  return done;
}

}  // namespace cli
