#pragma once

#include <memory>
#include <string>

#include "app/jobs/Job.h"
#include "audio/mix/Levels.h"
#include "audio/ACS_AudioMix.h"
#include "audio/formats/FormatRegistry.h"

class TAuFileIn;
class TAuFileOut;

/// The checks of the two names, before anything else.
inline constexpr char kSelectInputFiles[] = "Please select the input file!";
inline constexpr char kSelectSameFormat[] = "Please select the same format file!";

/// The message that refuses the pair of file names, empty when they pass:
/// both given, with the same extension in any letter case.
std::string CheckJoinFiles(const std::string& file1, const std::string& file2);

/// Prepares a join (amConcatenate) or mix (amMix) of the two inputs, whose
/// file names are set: they feed the mixer at full volume, and the output
/// (the format's: TWaveOut, TMP3Out, TWMAOut) writes `outputName` from the
/// mixer with the first file's tags and encoding settings. The second file
/// gives only its samples, converted to the first one's rate and channels.
/// Raises JobRefused naming a file that cannot be read.
void PrepareJoin(const FormatEntry& format, TAudioMixerMode mode, TAudioMixer& mixer, TAuFileIn& input1, TAuFileIn& input2,
                 TAuFileOut& output, const std::string& outputName);

/// A join (FILE2 after FILE1) or a mix (both at once) into `target`, a new
/// file of their format with the first file's settings and tags.
struct JoinRequest {
  std::string file1, file2, target;
  TAudioMixerMode mode = amConcatenate;
  /// amConcatenate: the end of file1 and the start of file2 crossfade over
  /// this long (0: none); the result is that much shorter than the two.
  int64_t crossfadeMs = 0;
  FadeCurve crossfadeCurve = FadeCurve::EqualPower;
  /// An existing target may be replaced (the window asked; the tool's --force).
  bool replaceTarget = false;
};

/// Checks the request (both files, the target) and starts the run. Raises
/// JobRefused, with nothing started and nothing written.
std::unique_ptr<Job> StartJoin(const JoinRequest& request, JobEvents events);
