#include "cli/CommandHelpers.h"

#include <filesystem>

#include "app/jobs/Global.h"
#include "app/jobs/TargetFile.h"
#include "cli/RunOutput.h"

namespace cli {

namespace fs = std::filesystem;

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "clipwright-cli: %s\n", message.c_str());
  if (code == kUsage) std::fputs("Try 'clipwright-cli --help'\n", stderr);
  return code;
}

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

}  // namespace cli
