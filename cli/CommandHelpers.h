#pragma once
// What the commands of clipwright-cli share: exit codes, the failure line,
// opening a source, checking and running into a target.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "audio/ACS_Classes.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/AudioFormat.h"
#include "cli/Arguments.h"

class TargetFile;

namespace cli {

enum ExitCode { kDone = 0, kUsage = 1, kBadSource = 2, kTargetRefused = 3, kRunFailed = 4 };

/// Says `message` on stderr as one line (and how to get help for a usage
/// error) and returns `code`.
int Fail(int code, const std::string& message);

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
void OpenSource(const std::string& name, Source& source);
/// Refuses a target of another format than the source's.
int CheckTargetFormat(AudioFormat format, const std::string& target);
/// Refuses a target that exists (unless forced) or that is the source itself.
int CheckTarget(const std::string& source, const std::string& target, bool force);
/// Runs a prepared output into `file` and puts it in place only when the run
/// succeeded, so a failed run never destroys an existing target.
int RunPrepared(TAuFileOut& output, TargetFile& file, const std::string& source, bool quiet);
/// Runs `output` on `input` into a file beside the target, see RunPrepared.
int RunInto(TAuFileOut& output, TAuInput& input, const std::string& source, const std::string& target, bool quiet);
/// Writes what `input` delivers as plain PCM WAV.
int WriteWav(TAuFileIn& input, const std::string& target, bool quiet);
/// The MP3 encoder settings the options give (bit rate, VBR quality, mode); false and why when they are wrong.
bool Mp3Settings(const Arguments& args, int channels, TMP3Out& output, std::string& error);
/// The WMA bit rate --bitrate gives (bits per second), or nothing when it is not one.
std::optional<uint32_t> WmaBitrate(const Arguments& args);

}  // namespace cli
