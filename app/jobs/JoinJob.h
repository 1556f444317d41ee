#pragma once

#include <memory>
#include <string>

#include "audio/AudioFormat.h"
#include "app/jobs/Components.h"
#include "audio/ACS_AudioMix.h"

class TAuFileIn;
class TAuFileOut;
class TWMIn;
class TWMAOut;

/// The checks of the two names, before anything else.
inline constexpr char kSelectInputFiles[] = "Please select the input file!";
inline constexpr char kSelectSameFormat[] = "Please select the same format file!";

/// The message that refuses the pair of file names, empty when they pass:
/// both given, with the same extension in any letter case.
std::string CheckJoinFiles(const std::string& file1, const std::string& file2);

/// How the WMA format list describes a file of this nominal bit rate (bits
/// per second, rounded to the usual rates), rate and channel count:
/// "128 kbps, 44 kHz, stereo"; "32 kbps,  8 kHz, mono" (a blank before a
/// one-digit rate).
std::string WmaFormatDescription(int bitrate, int sampleRate, int channels);

/// The index of the first WMA codec's format described as the source is
/// ("128 kbps, 44 kHz, stereo", its bit rate rounded to the usual ones), or
/// -1 when no format is.
int MatchWmaFormat(TWMIn& source, TWMAOut& output);

/// Prepares a join (amConcatenate) or mix (amMix) of the two inputs, whose
/// file names are set: they feed the mixer at full volume, and the output
/// (the format's: TWaveOut, TMP3Out, TWMAOut) writes `outputName` from the
/// mixer with the first file's tags and encoding settings. The second file
/// gives only its samples, converted to the first one's rate and channels.
/// Raises JobRefused naming a file that cannot be read.
void PrepareJoin(AudioFormat format, TAudioMixerMode mode, TAudioMixer& mixer, TAuFileIn& input1, TAuFileIn& input2,
                 TAuFileOut& output, const std::string& outputName);

/// One format's components, for the tool.
struct JoinSet {
  std::unique_ptr<TAuFileIn> input1, input2;
  std::unique_ptr<TAudioMixer> mixer;
  std::unique_ptr<TAuFileOut> output;  // declared last: it stops before its inputs go
};
/// Empty for a format that cannot be joined.
JoinSet NewJoinSet(AudioFormat format);
