#include "cli/Cli.h"

#include <cstdio>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "Version.h"
#include "audio/mp3/MP3Out.h"
#include "cli/Arguments.h"
#include "platform/Numbers.h"
#include "cli/CommandHelpers.h"
#include "cli/Commands.h"

namespace {

using namespace cli;

/// The options a command may be given.
enum Option : uint64_t {
  kStart = 1 << 0, kEnd = 1 << 1, kBitrate = 1 << 2, kVbr = 1 << 3, kMode = 1 << 4, kPort = 1 << 5,
  kMaxClients = 1 << 6, kWidth = 1 << 7, kJson = 1 << 8, kExact = 1 << 9, kRange = 1 << 10,
  kLossless = 1 << 11, kForce = 1 << 12, kQuiet = 1 << 13, kAt = 1 << 14, kEvery = 1 << 15, kCue = 1 << 16,
  kSilence = 1 << 17, kThreshold = 1 << 18, kMinSilence = 1 << 19, kName = 1 << 20, kThreads = 1 << 21,
  kMaxPieces = 1 << 22, kKeep = 1 << 23, kSilences = 1 << 24, kGain = 1 << 25, kNormalize = 1 << 26,
  kFadeIn = 1 << 27, kFadeOut = 1 << 28, kFadeCurve = 1 << 29, kReplayGain = 1u << 30, kCrossfade = 1u << 31,
  kProgress = 1ull << 32, kJobs = 1ull << 33, kPart = 1ull << 34, kUpdate = 1ull << 35, kKeepGoing = 1ull << 36,
  kDryRun = 1ull << 37, kWiden = 1ull << 38,
  kLevels = kGain | kNormalize | kFadeIn | kFadeOut | kFadeCurve | kReplayGain,
  // What every command that writes files takes.
  kWriting = kForce | kQuiet | kProgress,
};

/// Each option the line gives, with its name.
std::vector<std::pair<Option, const char*>> OptionsGiven(const Arguments& a) {
  const std::tuple<bool, Option, const char*> given[] = {
      {a.start.has_value(), kStart, "start"}, {a.end.has_value(), kEnd, "end"},
      {a.bitrate.has_value(), kBitrate, "bitrate"}, {a.vbr.has_value(), kVbr, "vbr"}, {a.mode.has_value(), kMode, "mode"},
      {a.port.has_value(), kPort, "port"}, {a.maxClients.has_value(), kMaxClients, "max-clients"},
      {a.width.has_value(), kWidth, "width"}, {a.json, kJson, "json"}, {a.exact, kExact, "exact"},
      {!a.ranges.empty(), kRange, "range"}, {a.lossless, kLossless, "lossless"}, {a.force, kForce, "force"},
      {a.quiet, kQuiet, "quiet"}, {a.at.has_value(), kAt, "at"}, {a.every.has_value(), kEvery, "every"},
      {a.cue.has_value(), kCue, "cue"}, {a.silence, kSilence, "silence"}, {a.threshold.has_value(), kThreshold, "threshold"},
      {a.minSilence.has_value(), kMinSilence, "min-silence"}, {a.name.has_value(), kName, "name"},
      {a.threads.has_value(), kThreads, "threads"}, {a.maxPieces.has_value(), kMaxPieces, "max-pieces"},
      {a.keep.has_value(), kKeep, "keep"}, {a.silences, kSilences, "silences"}, {a.gain.has_value(), kGain, "gain"},
      {a.normalize.has_value(), kNormalize, "normalize"}, {a.fadeIn.has_value(), kFadeIn, "fade-in"},
      {a.fadeOut.has_value(), kFadeOut, "fade-out"}, {a.fadeCurve.has_value(), kFadeCurve, "fade-curve"},
      {a.replayGain.has_value(), kReplayGain, "replaygain"}, {a.crossfade.has_value(), kCrossfade, "crossfade"},
      {a.progress.has_value(), kProgress, "progress"}, {a.jobs.has_value(), kJobs, "jobs"}, {a.part.has_value(), kPart, "part"},
      {a.update, kUpdate, "update"}, {a.keepGoing, kKeepGoing, "keep-going"}, {a.dryRun, kDryRun, "dry-run"},
      {a.widen.has_value(), kWiden, "widen"}};
  std::vector<std::pair<Option, const char*>> options;
  for (const auto& [set, option, name] : given)
    if (set) options.emplace_back(option, name);
  return options;
}

/// A command's count of files that means any number but none.
constexpr size_t kOneOrMoreFiles = SIZE_MAX;

/// A command: its usage lines, its files and options, and what a line that
/// gives others is told.
struct Command {
  const char* name;
  const char* usage;
  size_t files;
  uint64_t options;
  const char* misuse;
  int (*run)(const Arguments&);
};
constexpr Command kCommands[] = {
    {"info", "  clipwright-cli info FILE\n", 1, 0, "info takes one file", Info},
    {"loudness", "  clipwright-cli loudness FILE... [--json]\n", kOneOrMoreFiles, kJson | kProgress, "loudness takes one file or more",
     Loudness},
    {"cut",
     "  clipwright-cli cut SOURCE TARGET --start TIME --end TIME [--lossless] [LEVELS] [--threads N] [--force]\n"
     "                        [--quiet]\n",
     2, kStart | kEnd | kLossless | kLevels | kThreads | kWriting, "cut takes a source and a target", Cut},
    {"decode", "  clipwright-cli decode SOURCE TARGET.wav [--force] [--quiet]\n", 2, kWriting,
     "decode takes a source and a target", Decode},
    {"encode",
     "  clipwright-cli encode SOURCE TARGET.mp3 [--bitrate KBPS] [--vbr QUALITY] [--mode stereo|joint|mono]\n"
     "                        [--threads N] [--force] [--quiet]\n"
     "  clipwright-cli encode SOURCE TARGET.wma|.ogg|.opus|.m4a [--bitrate KBPS] [--force] [--quiet]\n"
     "  clipwright-cli encode SOURCE TARGET.flac [--force] [--quiet]\n",
     2, kBitrate | kVbr | kMode | kThreads | kWriting, "encode takes a source and a target", Encode},
    {"join",
     "  clipwright-cli join FILE1 FILE2 TARGET [--crossfade MS [--fade-curve linear|equal-power]] [--threads N]\n"
     "                        [--force] [--quiet]\n",
     3, kCrossfade | kFadeCurve | kThreads | kWriting, "join takes two files and a target", Join},
    {"mix", "  clipwright-cli mix FILE1 FILE2 TARGET [--threads N] [--force] [--quiet]\n", 3, kThreads | kWriting,
     "mix takes two files and a target", Mix},
    {"stream", "  clipwright-cli stream SOURCE [--port N] [--max-clients N] [--bitrate KBPS] [--quiet]\n", 1,
     kPort | kMaxClients | kBitrate | kQuiet, "stream takes one source", Stream},
    {"peaks", "  clipwright-cli peaks FILE [--width N] [--start T --end T] [--exact] [--json]\n", 1,
     kWidth | kStart | kEnd | kExact | kJson, "peaks takes one file, and --start with --end", Peaks},
    {"remove",
     "  clipwright-cli remove SOURCE TARGET (--range START-END [--range START-END ...] [--widen SECONDS] |\n"
     "                        --silences [--threshold DB] [--min-silence SECONDS] [--keep SECONDS])\n"
     "                        [--crossfade MS [--fade-curve linear|equal-power]] [--lossless] [--threads N]\n"
     "                        [--force] [--quiet]\n",
     2, kRange | kWiden | kSilences | kThreshold | kMinSilence | kKeep | kCrossfade | kFadeCurve | kLossless | kThreads | kWriting,
     "remove takes a source and a target", Remove},
    {"split",
     "  clipwright-cli split SOURCE FOLDER (--at T,T,... | --every DURATION | --cue FILE.cue |\n"
     "                        --silence [--threshold DB] [--min-silence SECONDS] [--keep SECONDS])\n"
     "                        [--name PATTERN] [--max-pieces N] [--lossless] [LEVELS] [--threads N]\n"
     "                        [--update | --force] [--quiet]\n",
     2, kAt | kEvery | kCue | kSilence | kThreshold | kMinSilence | kKeep | kName | kMaxPieces | kLossless | kLevels | kThreads |
         kUpdate | kWriting,
     "split takes a source and a folder", Split},
    {"batch",
     "  clipwright-cli batch MANIFEST|- [--jobs N] [--keep-going] [--dry-run] [--part I/N] [--force] [--quiet]\n",
     1, kJobs | kKeepGoing | kDryRun | kPart | kWriting, "batch takes one manifest (- reads it from stdin)", Batch},
};

constexpr char kUsageNotes[] =
    "TIME, T and DURATION are [[hh:]mm:]ss[.fraction] (1:02:03.5, 5:00, 90, 5.0013: any number of decimals,\n"
    "to the nearest sample) or a number of samples (220558s). Options take their value as --start TIME or\n"
    "--start=TIME.\n"
    "--lossless (MP3, Opus and M4A) copies the source's frames or packets instead of re-encoding them, exact to\n"
    "the sample (FLAC cuts copy frames anyway).\n"
    "peaks prints the lowest and highest sample of each channel in N columns (1000 unless given) of the\n"
    "file or of [--start, --end); for MP3 an estimate from the frames unless --exact, which decodes (on every\n"
    "core).\n"
    "stream serves SOURCE as a WMA stream over HTTP (any player opens the address it prints) until the\n"
    "source ends or Ctrl+C; --port 0 (the default) takes a free port, --max-clients 0 allows any number.\n"
    "split saves each piece as a file of the source's format in FOLDER: at the times given, every DURATION,\n"
    "at a cue sheet's tracks, or at the middle of each silence (a run of at least --min-silence seconds, 0.5\n"
    "unless given, under --threshold dBFS, -50 unless given); with --keep S each piece keeps S/2 seconds of\n"
    "the silences around it and the rest of them is left out. remove --silences removes each silence but\n"
    "--keep seconds of it (0.3 unless given), half at each side. PATTERN names the pieces: {n} the number with\n"
    "leading zeros, {title} and {artist} from the cue sheet, {source} the source's name ({source}_{n} unless\n"
    "given); the source's extension follows. A plan of more than 1000 pieces is refused unless --max-pieces\n"
    "allows it (DURATION 1s is one sample: seconds are 1 or 1.0).\n"
    "LEVELS are --gain DB or --normalize peak=DBTP|loudness=LUFS (peak=-1, loudness=-16: the true peak is\n"
    "never taken over -1 dBTP, a gain never clips), --fade-in MS, --fade-out MS and --fade-curve\n"
    "linear|equal-power (linear unless given), and --replaygain track|album (ReplayGain 2.0 tags of the\n"
    "result; album: split only, over all its pieces); split applies them to each piece.\n"
    "remove --range removes exactly the samples of each range; --widen S adds S seconds on each side (the\n"
    "window adds 0.1 to a typed range).\n"
    "remove --crossfade MS crossfades each join over MS (equal-power unless --fade-curve says linear), taken\n"
    "from the removed ranges: the result keeps its length. join --crossfade MS overlaps the end of FILE1 and\n"
    "the start of FILE2 by MS: the result is MS shorter than the two.\n"
    "loudness prints each file's integrated loudness (LUFS), loudness range (LU), sample peak (dBFS) and\n"
    "true peak (dBTP) by EBU R128, measured with libebur128.\n"
    "--threads N encodes MP3 results on N threads (one per core unless given; 1 encodes one stream).\n"
    "--progress json (every command that writes files, and loudness) says the progress on stderr as one\n"
    "JSON object a line: {\"progress\": 0.42, \"done\": 1, \"total\": 4}, done and total counting the\n"
    "results (split's pieces, loudness's files).\n"
    "split --update writes only the pieces that are missing or older than the source (older ones replaced).\n"
    "batch runs the jobs of a MANIFEST (TSV with a header line, or JSON Lines: see the README), each a cut,\n"
    "split, remove, encode, decode, join or mix, on N workers (one per core unless given), the MP3\n"
    "encoder's threads shared among them. A job whose target is newer than its sources is skipped unless\n"
    "--force. Without --keep-going no job starts after one fails, and a manifest with a bad line runs\n"
    "nothing. --dry-run says what would run. --part I/N runs every Nth job from the Ith (0 to N-1), for\n"
    "array jobs of a cluster.\n"
    "Exit codes: 0 done, 1 usage, 2 source unreadable, 3 target refused, 4 the run failed.\n";

const Command* CommandNamed(const std::string& name) {
  for (const Command& entry : kCommands)
    if (entry.name == name) return &entry;
  return nullptr;
}

/// The usage of one command, or of all of them when `command` is none of them.
std::string UsageText(const std::string& command) {
  std::string text = "usage:\n";
  bool one = false;
  for (const Command& entry : kCommands)
    if (entry.name == command) text += entry.usage, one = true;
  if (!one) {
    for (const Command& entry : kCommands) text += entry.usage;
    text += "  clipwright-cli --help | --version\n";
  }
  return text + kUsageNotes;
}

}  // namespace

int RunCli(int argc, char** argv) {
  using namespace cli;
  const Arguments args = ParseArguments(argc, argv);
  if (!args.error.empty()) return Fail(kUsage, args.error);
  if (args.help) {
    std::fputs(UsageText(args.command).c_str(), stdout);
    return kDone;
  }
  if (args.version) {
    std::printf("clipwright-cli %s (build %s)\n", CLIPWRIGHT_VERSION, CLIPWRIGHT_BUILD);
    return kDone;
  }
  const std::string& command = args.command;
  if (command.empty()) return Fail(kUsage, "no command");
  const Command* entry = CommandNamed(command);
  if (entry == nullptr) return Fail(kUsage, "unknown command " + command);
  if (const std::string misuse = cli::Misuse(args); !misuse.empty()) return Fail(kUsage, misuse);
  if (args.threads) {
    int32_t threads = 0;
    if (!ParseInt32(*args.threads, threads) || threads < 1 || threads > 256)
      return Fail(kUsage, "not a number of threads (1 to 256): " + *args.threads);
    TMP3Out::SetDefaultThreads(threads);
  }
  return entry->run(args);
}

namespace cli {

std::string Misuse(const Arguments& args) {
  const Command* entry = CommandNamed(args.command);
  if (entry == nullptr) return "unknown command " + args.command;
  const bool filesRight = entry->files == kOneOrMoreFiles ? !args.files.empty() : args.files.size() == entry->files;
  if (!filesRight) return entry->misuse;
  for (const auto& [option, name] : OptionsGiven(args))
    if ((entry->options & option) == 0) return args.command + " does not take --" + name;
  if (args.progress && *args.progress != "json") return "--progress takes json: " + *args.progress;
  return {};
}

bool TakesThreads(const std::string& command) {
  const Command* entry = CommandNamed(command);
  return entry != nullptr && (entry->options & kThreads) != 0;
}

}  // namespace cli

