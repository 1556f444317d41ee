// clipwright-cli join and mix: two files into one.
#include "cli/Commands.h"

#include "app/jobs/CutJob.h"
#include "app/jobs/JoinJob.h"
#include "app/jobs/TargetFile.h"
#include "cli/CommandHelpers.h"

namespace cli {

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

}  // namespace cli
