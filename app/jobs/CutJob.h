#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include <functional>
#include <memory>

#include "app/jobs/Job.h"
#include "app/jobs/LevelPlan.h"
#include "app/jobs/ReplayGain.h"
#include "app/jobs/TimeRange.h"
#include "audio/Forward.h"
#include "platform/Numbers.h"

struct FormatEntry;

/// A cut: `source`'s range saved as `target`, a new file of its format with
/// its settings and tags.
struct CutRequest {
  std::string source, target;
  /// The range as times [startMs, endMs), checked against the file (the
  /// tool), unless `frames` gives it in frames at the source's rate (the
  /// window's exact selection).
  int64_t startMs = 0, endMs = 0;
  std::function<FrameRange(int sampleRate)> frames;
  /// The frames came from a person (the tool): an end past the file means its
  /// end, and a range that is empty or starts past the file is refused.
  bool checkFrames = false;
  /// MP3: copy the source's frames instead of re-encoding them.
  bool lossless = false;
  /// Gain, normalising and fades (not with `lossless`).
  LevelRequest levels;
  /// ReplayGain track tags measured for the result; other tags to set in it (a split's album values).
  bool replayGainTrack = false;
  TagFields extraTags;
  /// An existing target may be replaced (the window asked; the tool's --force).
  bool replaceTarget = false;
  /// Called with the output once it has the source's settings and tags.
  std::function<void(TAuFileOut& output)> adjustOutput;

};

/// Checks the request (the source, the target, the range) and starts the
/// cut. Raises JobRefused, with nothing started and nothing written.
std::unique_ptr<Job> StartCut(const CutRequest& request, JobEvents events);

/// The frames the window's selection [startMs, endMs) covers; an end at
/// `wholeMs` (the end thumb at the right end) means the end of the file.
/// What the time boxes show is what is saved.
FrameRange RangeOfSelection(int64_t startMs, int64_t endMs, int64_t wholeMs, int sampleRate);

/// Prepares a cut of `source` into the file `outputName`: the input reads
/// [range) of it, the output gets the settings and tags of the source's
/// format, and the output's Input is the input. `input` and `output` must be
/// the format's components (TMP3In/TMP3Out, TWaveIn/TWaveOut, TWMIn/TWMAOut).
/// `range` is given by the caller from the input's rate (see InputRate,
/// which opens the source; a source opened so is not opened again).
/// Raises JobRefused when the source cannot be cut.
void PrepareCut(const FormatEntry& format, TAuFileIn& input, TAuFileOut& output, const std::string& source,
                const FrameRange& range, const std::string& outputName);

/// Prepares a cut of the MP3 file `source` that copies its frames instead of
/// re-encoding them (see TMP3LosslessOut): the input names the range, the
/// output writes `outputName`. The tags are carried over as they are.
void PrepareLosslessCut(TAuFileIn& input, TAuFileOut& output, const std::string& source, const FrameRange& range,
                        const std::string& outputName);

/// Refuses a source that could not be opened for `error`: unreadable,
/// unless a library the program needs is missing. Names the file.
[[noreturn]] void RefuseSource(const std::exception& error, const std::string& source);

/// "--lossless cuts MP3 files only": the formats whose frames a cut copies.
std::string LosslessFormatsOnly();
/// Why `format` (null: unknown) is not cut losslessly: its own reason, or the formats that are.
std::string NoLosslessCut(const FormatEntry* format);

/// Opens `source` in the input and tells its sample rate; raises JobRefused
/// when the source cannot be read ("This is not a standard MP3 file..." for
/// an MP3 file the decoder cannot read).
int InputRate(const FormatEntry& format, TAuFileIn& input, const std::string& source);

/// The length in ms of what the engine's input for the file's format reads
/// of `source`; raises JobRefused, naming the file and the cause, when none
/// of our inputs can read it.
int64_t ReadableLengthMs(const std::string& source);
/// The length the windows show: ReadableLengthMs in whole seconds.
int64_t ShownLengthMs(const std::string& source);

/// Raises JobRefused, naming the file, unless the input (its file name set)
/// can be read and holds audio.
void CheckSource(const FormatEntry& format, TAuFileIn& input);
