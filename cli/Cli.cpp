#include "cli/Cli.h"

#include <unistd.h>

#include <QEventLoop>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/jobs/Global.h"
#include "audio/AudioFormat.h"
#include "app/jobs/CutJob.h"
#include "app/jobs/JoinJob.h"
#include "app/jobs/SegmentJob.h"
#include "audio/classes/SixteenBitInput.h"
#include "app/jobs/TagCopy.h"
#include "app/jobs/TargetFile.h"
#include "app/jobs/TimeRange.h"
#include "audio/ACS_Classes.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_Tags.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/mp3cut/Mp3Stream.h"
#include "audio/peaks/ColumnPeaks.h"
#include "audio/peaks/FrameRangeReader.h"
#include "audio/peaks/PeaksProvider.h"
#include "audio/tags/TagText.h"
#include "Version.h"
#include "cli/Arguments.h"
#include "cli/RunOutput.h"

namespace {

namespace fs = std::filesystem;

enum ExitCode { kDone = 0, kUsage = 1, kBadSource = 2, kTargetRefused = 3, kRunFailed = 4 };

/// Each command's usage lines.
struct CommandUsage {
  const char* command;
  const char* lines;
};
constexpr CommandUsage kCommandUsage[] = {
    {"info", "  clipwright-cli info FILE\n"},
    {"cut", "  clipwright-cli cut SOURCE TARGET --start TIME --end TIME [--lossless] [--force] [--quiet]\n"},
    {"decode", "  clipwright-cli decode SOURCE TARGET.wav [--force] [--quiet]\n"},
    {"encode",
     "  clipwright-cli encode SOURCE TARGET.mp3 [--bitrate KBPS] [--vbr QUALITY] [--mode stereo|joint|mono]\n"
     "                        [--force] [--quiet]\n"
     "  clipwright-cli encode SOURCE TARGET.wma [--bitrate KBPS] [--force] [--quiet]\n"},
    {"join", "  clipwright-cli join FILE1 FILE2 TARGET [--force] [--quiet]\n"},
    {"mix", "  clipwright-cli mix FILE1 FILE2 TARGET [--force] [--quiet]\n"},
    {"stream", "  clipwright-cli stream SOURCE [--port N] [--max-clients N] [--bitrate KBPS] [--quiet]\n"},
    {"peaks", "  clipwright-cli peaks FILE [--width N] [--start T --end T] [--exact] [--json]\n"},
    {"remove",
     "  clipwright-cli remove SOURCE TARGET --range START-END [--range START-END ...] [--lossless] [--force] "
     "[--quiet]\n"},
};

constexpr char kUsageNotes[] =
    "TIME is hh:mm:ss.t or seconds (12.345). Options take their value as --start TIME or --start=TIME.\n"
    "--lossless (MP3 only) copies the source's frames instead of re-encoding them, exact to the sample.\n"
    "peaks prints the lowest and highest sample of each channel in N columns (1000 unless given) of the\n"
    "file or of [--start, --end); for MP3 an estimate from the frames unless --exact, which decodes (on every\n"
    "core). T also takes seconds with any number of decimals and frame counts (123456s).\n"
    "stream serves SOURCE as a WMA stream over HTTP (any player opens the address it prints) until the\n"
    "source ends or Ctrl+C; --port 0 (the default) takes a free port, --max-clients 0 allows any number.\n"
    "Exit codes: 0 done, 1 usage, 2 source unreadable, 3 target refused, 4 the run failed.\n";

/// The usage of one command, or of all of them when `command` is none of them.
std::string UsageText(const std::string& command) {
  std::string text = "usage:\n";
  bool one = false;
  for (const CommandUsage& usage : kCommandUsage)
    if (usage.command == command) text += usage.lines, one = true;
  if (!one) {
    for (const CommandUsage& usage : kCommandUsage) text += usage.lines;
    text += "  clipwright-cli --help | --version\n";
  }
  return text + kUsageNotes;
}

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "clipwright-cli: %s\n", message.c_str());
  if (code == kUsage) std::fputs("Try 'clipwright-cli --help'\n", stderr);
  return code;
}

/// An opened source, or the exit code and message why not.
struct Source {
  AudioFormat format = AudioFormat::Unknown;
  std::unique_ptr<TAuFileIn> input;
  int refusal = kDone;
  std::string message;

  TWaveIn* Wave() { return dynamic_cast<TWaveIn*>(input.get()); }
  TWMIn* Media() { return dynamic_cast<TWMIn*>(input.get()); }
};

/// Opens any readable source. MP3 goes through the Windows Media input
/// without the third of a second TMP3In adds, so every frame counted is real.
void OpenSource(const std::string& name, Source& source) {
  auto refuse = [&source, &name](std::string reason) {
    source.refusal = kBadSource;
    // Messages of the file stream name the file already.
    source.message = WithFileName(std::move(reason), name);
  };
  std::error_code error;
  if (!fs::exists(name, error)) return refuse("no such file");
  try {
    TAuFileStream probe(name, 32);  // refuses folders, pipes and devices, saying which
  } catch (const std::exception& e) {
    return refuse(e.what());
  }
  source.format = FormatOfFile(name);
  switch (source.format) {
    case AudioFormat::Wav: source.input = std::make_unique<Sealed<TWaveIn>>(); break;
    case AudioFormat::Mp3:
    case AudioFormat::Wma: source.input = std::make_unique<Sealed<TWMIn>>(); break;
    default: return refuse("unsupported file type");
  }
  try {
    source.input->SetFileName(name);
    if (TWaveIn* wave = source.Wave(); wave && !wave->Valid()) return refuse(wave->WhyUnsupported());
    if (!source.input->Valid()) return refuse(std::string("not a ") + FormatName(source.format) + " file this program can read");
    if (source.input->TotalSamples() <= 0) return refuse("the file holds no audio");
  } catch (const std::exception& e) {
    refuse(e.what());
  }
}

/// Refuses a target of another format than the source's.
int CheckTargetFormat(AudioFormat format, const std::string& target) {
  if (FormatOfFile(target) == format) return kDone;
  return Fail(kUsage, std::string("the target must be a ") + FormatName(format) + " file, as the source is: " + target);
}

/// Refuses a target that exists (unless forced) or that is the source itself.
int CheckTarget(const std::string& source, const std::string& target, bool force) {
  std::error_code error;
  if (fs::exists(target, error)) {
    if (fs::equivalent(source, target, error)) return Fail(kTargetRefused, "the target is the source file: " + target);
    if (!force) return Fail(kTargetRefused, "the target exists (use --force to replace it): " + target);
  }
  return kDone;
}

/// Runs a prepared output into `file` and puts it in place only when the run
/// succeeded, so a failed run never destroys an existing target.
int RunPrepared(TAuFileOut& output, TargetFile& file, const std::string& source, bool quiet) {
  std::string failure = RunToEnd(output, !quiet && isatty(STDERR_FILENO));
  output.SetInput(nullptr);
  // A message about the source names it already; others get the file written.
  if (failure.empty() || failure.find(source) == std::string::npos)
    failure = RunFailure(output, std::move(failure), file.Target());
  if (!failure.empty()) return Fail(kRunFailed, failure);
  file.Commit();
  return kDone;
}

/// Runs `output` on `input` into a file beside the target, see RunPrepared.
int RunInto(TAuFileOut& output, TAuInput& input, const std::string& source, const std::string& target, bool quiet) {
  try {
    TargetFile file(target);
    output.SetFileName(file.TemporaryName());
    output.SetInput(&input);
    return RunPrepared(output, file, source, quiet);
  } catch (const std::exception& e) {
    return Fail(kRunFailed, e.what());
  }
}

int WriteWav(TAuFileIn& input, const std::string& target, bool quiet) {
  const std::string source = input.FileName();
  Sealed<TWaveOut> output;
  output.SetWavType(wtPCM);
  output.SetBlockSize(512);
  output.SetCreateNonMsHeaders(false);
  output.SetFileMode(foRewrite);
  return RunInto(output, input, source, target, quiet);
}

int Info(const Arguments& args) {
  if (args.files.size() != 1 || args.start || args.end || args.lossless) return Fail(kUsage, "info takes one file");
  Source source;
  OpenSource(args.files[0], source);
  if (source.refusal != kDone) return Fail(source.refusal, source.message);
  TAuFileIn& in = *source.input;
  const int64_t frames = in.TotalSamples();
  const int64_t ms = frames * 1000 / in.SampleRate();
  std::printf("format: %s\n", FormatName(source.format));
  if (TWaveIn* wave = source.Wave()) std::printf("type: %s\n", WavTypeName(wave->WavType()));
  std::printf("channels: %d\n", in.Channels());
  std::printf("sample_rate: %d\n", in.SampleRate());
  std::printf("bits_per_sample: %d\n", in.BitsPerSample());
  std::printf("total_samples: %lld\n", static_cast<long long>(frames));
  std::printf("duration: %s\n", MsToTimeText(static_cast<int32_t>(std::min<int64_t>(ms, INT32_MAX))).c_str());
  if (TWMIn* media = source.Media()) {
    std::printf("bitrate: %d\n", media->Bitrate());
    std::printf("vbr: %s\n", media->IsVBR() ? "yes" : "no");
    const TId3v2Tags& tags = media->Id3v2Tags();
    const std::pair<const char*, std::string> lines[] = {
        {"title", TagText::Utf16ToUtf8(tags.Title())},   {"artist", TagText::Utf16ToUtf8(tags.Artist())},
        {"album", TagText::Utf16ToUtf8(tags.Album())},   {"genre", TagText::Utf16ToUtf8(tags.Genre())},
        {"year", tags.Year()},                           {"track", tags.Track()},
        {"comment", TagText::Utf16ToUtf8(media->Description().empty() ? tags.Comment() : media->Description())}};
    for (const auto& [key, value] : lines)
      if (!value.empty()) std::printf("%s: %s\n", key, value.c_str());
  }
  return kDone;
}

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

int Decode(const Arguments& args) {
  if (args.files.size() != 2 || args.start || args.end || args.lossless)
    return Fail(kUsage, "decode takes a source and a target");
  if (FormatOfFile(args.files[1]) != AudioFormat::Wav) return Fail(kUsage, "the target of decode is a .wav file");
  Source source;
  OpenSource(args.files[0], source);
  if (source.refusal != kDone) return Fail(source.refusal, source.message);
  if (const int refused = CheckTarget(args.files[0], args.files[1], args.force)) return refused;
  return WriteWav(*source.input, args.files[1], args.quiet);
}

/// The encoder settings of the command line; false with a message when one is wrong.
bool Mp3Settings(const Arguments& args, int channels, TMP3Out& output, std::string& error) {
  output.SetBitRate(mbr128);
  output.SetMode(channels == 1 ? mmMono : mmStereo);
  if (args.bitrate) {
    int32_t kbps = 0;
    const TMP3BitRate rate = ParseInt32(*args.bitrate, kbps) ? BitRateToMP3BitRate(kbps * 1000) : mbrAuto;
    if (rate == mbrAuto || BitRateKbps(rate) != kbps) {
      error = "not an MP3 bit rate (32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320): " + *args.bitrate;
      return false;
    }
    output.SetBitRate(rate);
  }
  if (args.vbr) {
    int32_t quality = -1;
    if (!ParseInt32(*args.vbr, quality) || quality < 0 || quality > 9) {
      error = "the VBR quality is 0 (best) to 9: " + *args.vbr;
      return false;
    }
    output.SetEnableVBR(true);
    output.SetVBRQuality(static_cast<TMP3Quality>(quality));
  }
  if (args.mode) {
    if (*args.mode == "stereo") output.SetMode(mmStereo);
    else if (*args.mode == "joint") output.SetMode(mmJointStereo);
    else if (*args.mode == "mono") output.SetMode(mmMono);
    else {
      error = "the mode is stereo, joint or mono: " + *args.mode;
      return false;
    }
  }
  return true;
}

/// The WMA bit rate --bitrate asks for (128 kbps unless given), in bits per
/// second; nothing when it is not a number of kbps.
std::optional<uint32_t> WmaBitrate(const Arguments& args) {
  int32_t kbps = 128;
  if (args.bitrate && (!ParseInt32(*args.bitrate, kbps) || kbps < 1 || kbps > 2000)) return std::nullopt;
  return static_cast<uint32_t>(kbps) * 1000;
}

int Encode(const Arguments& args) {
  if (args.files.size() != 2 || args.start || args.end || args.lossless)
    return Fail(kUsage, "encode takes a source and a target");
  const AudioFormat target = FormatOfFile(args.files[1]);
  if (target != AudioFormat::Mp3 && target != AudioFormat::Wma)
    return Fail(kUsage, "the target of encode is a .mp3 or .wma file");
  if (target == AudioFormat::Wma && (args.vbr || args.mode))
    return Fail(kUsage, "WMA files are written at a constant bit rate in the source's channels: --vbr and --mode are for MP3");
  Source source;
  OpenSource(args.files[0], source);
  if (source.refusal != kDone) return Fail(source.refusal, source.message);
  if (const int refused = CheckTarget(args.files[0], args.files[1], args.force)) return refused;
  TAuFileIn& in = *source.input;
  if (in.Channels() > 2) return Fail(kBadSource, std::string(FormatName(target)) + " files hold one or two channels, the source has " +
                                                     std::to_string(in.Channels()) + ": " + args.files[0]);
  // The encoders take 16-bit samples: anything else is converted here.
  Sealed<TSixteenBitInput> sixteen(in);
  TAuInput& input = in.BitsPerSample() == 16 ? static_cast<TAuInput&>(in) : sixteen;
  const TWMIn* media = source.Media();
  if (target == AudioFormat::Wma) {
    Sealed<TWMAOut> output;
    const auto bitrate = WmaBitrate(args);
    if (!bitrate) return Fail(kUsage, "not a bit rate in kbps: " + *args.bitrate);
    output.SetDesiredBitrate(*bitrate);
    if (media) CopyId3v2Fields(source.Media()->Id3v2Tags(), output.Id3v2Tags());
    return RunInto(output, input, args.files[0], args.files[1], args.quiet);
  }
  Sealed<TMP3Out> output;
  std::string error;
  if (!Mp3Settings(args, in.Channels(), output, error)) return Fail(kUsage, error);
  if (media) {
    CopyId3v2Fields(source.Media()->Id3v2Tags(), output.Id3v2Tags());
    FillId3v1Fields(source.Media()->Id3v2Tags(), output.Id3v1Tags());
  }
  return RunInto(output, input, args.files[0], args.files[1], args.quiet);
}

/// peaks: the waveform's overview, min and max per column and channel.
int Peaks(const Arguments& args) {
  if (args.files.size() != 1 || args.bitrate || args.vbr || args.mode || args.lossless || args.force || args.port ||
      args.maxClients || args.start.has_value() != args.end.has_value())
    return Fail(kUsage, "peaks takes one file, and --start with --end");
  int32_t width = 1000;
  if (args.width && (!ParseInt32(*args.width, width) || width < 1 || width > 1000000))
    return Fail(kUsage, "not a number of columns: " + *args.width);
  Source source;
  OpenSource(args.files[0], source);
  if (source.refusal != kDone) return Fail(source.refusal, source.message);
  TAuFileIn& in = *source.input;
  const int rate = in.SampleRate();
  const int64_t total = in.TotalSamples();
  int64_t start = 0, end = total;
  if (args.start) {
    const auto from = ParseFrameArgument(*args.start, rate), to = ParseFrameArgument(*args.end, rate);
    if (!from) return Fail(kUsage, "not a time or a frame count: " + *args.start);
    if (!to) return Fail(kUsage, "not a time or a frame count: " + *args.end);
    start = *from;
    end = std::min(*to, total);
    if (start >= end) return Fail(kUsage, "the start must come before the end and lie within the file");
  }
  std::vector<PeakPair> values;  // column-major, as the columns print
  int channels = in.Channels();
  try {
    // A short range is decoded whatever is asked: that costs little, and
    // its columns are finer than the estimate's granules.
    constexpr int64_t kEstimatedFramesPerColumn = 4096;
    if (source.format == AudioFormat::Mp3 && !args.exact && end - start > int64_t{width} * kEstimatedFramesPerColumn) {
      // The overview a window shows first: estimated from the frames.
      PeaksProvider provider(args.files[0], channels, total, 0, PeaksProvider::Depth::Overview);
      provider.WaitForOverview();
      if (!provider.Failure().empty()) throw EAuException(provider.Failure());
      values = provider.Columns(start, end, width).values;
    } else {
      const ColumnPeaks peaks = ReadColumnPeaksInParallel(args.files[0], channels, start, end, width, MachineThreads());
      for (int c = 0; c < peaks.Width(); ++c)
        for (int ch = 0; ch < channels; ++ch) values.push_back(peaks.At(c, ch));
    }
  } catch (const std::exception& e) {
    return Fail(kRunFailed, WithFileName(e.what(), args.files[0]));
  }
  auto at = [&](int column, int channel) -> const PeakPair& { return values[static_cast<size_t>(column * channels + channel)]; };
  if (args.json) {
    std::printf("{\"sample_rate\": %d, \"channels\": %d, \"start\": %lld, \"end\": %lld, \"columns\": [", rate,
                channels, static_cast<long long>(start), static_cast<long long>(end));
    for (int c = 0; c < width; ++c) {
      std::printf(c == 0 ? "[" : ", [");
      for (int ch = 0; ch < channels; ++ch)
        std::printf(ch == 0 ? "[%d, %d]" : ", [%d, %d]", at(c, ch).min, at(c, ch).max);
      std::printf("]");
    }
    std::printf("]}\n");
    return kDone;
  }
  // One line a column: its first frame, then min and max of each channel.
  for (int c = 0; c < width; ++c) {
    std::printf("%lld", static_cast<long long>(start + (end - start) * c / width));
    for (int ch = 0; ch < channels; ++ch) std::printf(" %d %d", at(c, ch).min, at(c, ch).max);
    std::printf("\n");
  }
  return kDone;
}

/// stream: the source as a live WMA stream over HTTP, at its own pace.
int Stream(const Arguments& args) {
  if (args.files.size() != 1 || args.start || args.end || args.vbr || args.mode || args.lossless || args.force)
    return Fail(kUsage, "stream takes one source");
  int32_t port = 0, maxClients = 0;
  if (args.port && (!ParseInt32(*args.port, port) || port < 0 || port > 65535))
    return Fail(kUsage, "not a port number: " + *args.port);
  if (args.maxClients && (!ParseInt32(*args.maxClients, maxClients) || maxClients < 0))
    return Fail(kUsage, "not a number of clients: " + *args.maxClients);
  const auto bitrate = WmaBitrate(args);
  if (!bitrate) return Fail(kUsage, "not a bit rate in kbps: " + *args.bitrate);
  Source source;
  OpenSource(args.files[0], source);
  if (source.refusal != kDone) return Fail(source.refusal, source.message);
  TAuFileIn& in = *source.input;
  if (in.Channels() > 2)
    return Fail(kBadSource, "WMA streams hold one or two channels, the source has " + std::to_string(in.Channels()) +
                                ": " + args.files[0]);
  Sealed<TSixteenBitInput> sixteen(in);
  TAuInput& input = in.BitsPerSample() == 16 ? static_cast<TAuInput&>(in) : sixteen;
  Sealed<TWMStreamedOut> output;
  output.SetPort(static_cast<uint32_t>(port));
  output.SetMaxClients(static_cast<uint32_t>(maxClients));
  output.SetDesiredBitrate(*bitrate);
  if (TWMIn* media = source.Media()) CopyId3v2Fields(media->Id3v2Tags(), output.Id3v2Tags());
  output.SetInput(&input);
  // The address, once the server listens; then the run goes on to the end.
  bool announced = false;
  output.OnProgress = [&output, &announced](TComponent*) {
    if (announced || output.Port() == 0) return;
    announced = true;
    std::printf("streaming at http://127.0.0.1:%u/\n", output.Port());
    std::fflush(stdout);
  };
  const std::string failure = RunToEnd(output, false);
  output.SetInput(nullptr);
  if (!failure.empty()) return Fail(kRunFailed, failure + ": " + args.files[0]);
  return kDone;
}

/// join: FILE2 after FILE1; mix: both at once. The window's Joiner & Mixer job.
int Join(const Arguments& args, TAudioMixerMode mode) {
  const char* command = mode == amConcatenate ? "join" : "mix";
  if (args.files.size() != 3 || args.start || args.end || args.bitrate || args.vbr || args.mode || args.lossless)
    return Fail(kUsage, std::string(command) + " takes two files and a target");
  const std::string& file1 = args.files[0];
  const std::string& file2 = args.files[1];
  const std::string& targetName = args.files[2];
  if (const std::string refusal = CheckJoinFiles(file1, file2); !refusal.empty()) return Fail(kUsage, refusal);
  const AudioFormat format = FormatOfFile(file1);
  if (format == AudioFormat::Unknown) return Fail(kUsage, "only MP3, WAV and WMA files can be joined or mixed: " + file1);
  if (FormatOfFile(targetName) != format)
    return Fail(kUsage, std::string("the target must be a ") + FormatName(format) + " file, as the two files are: " +
                            targetName);
  if (const int refused = CheckTarget(file1, targetName, args.force)) return refused;
  if (const int refused = CheckTarget(file2, targetName, true)) return refused;
  // The same components, settings and tag copying as the window's.
  JoinSet set = NewJoinSet(format);
  try {
    InputRate(format, *set.input1, file1);
    InputRate(format, *set.input2, file2);
    TargetFile file(targetName);
    PrepareJoin(format, mode, *set.mixer, *set.input1, *set.input2, *set.output, file.TemporaryName());
    return RunPrepared(*set.output, file, file1, args.quiet);
  } catch (const JobRefused& e) {
    return Fail(kBadSource, e.what());
  } catch (const std::exception& e) {
    return Fail(kRunFailed, e.what());
  }
}

/// The total time the Segment Cut window shows for a file: the length in
/// whole seconds the desktop reports, else the decoder's own.
int64_t ShownTotalMs(const std::string& name, TAuFileIn& input) {
  const std::string duration = GetFileDurationText(name);
  if (duration != "00:00:00") return TimeTextToMs(duration);
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

}  // namespace

int RunCli(int argc, char** argv) {
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
  if (command == "info") return Info(args);
  if (command == "cut") return Cut(args);
  if (command == "decode") return Decode(args);
  if (command == "encode") return Encode(args);
  if (command == "join") return Join(args, amConcatenate);
  if (command == "mix") return Join(args, amMix);
  if (command == "remove") return Remove(args);
  if (command == "stream") return Stream(args);
  if (command == "peaks") return Peaks(args);
  return Fail(kUsage, "unknown command " + command);
}
