#pragma once
// The commands of clipwright-cli, one file each in cli/commands/.

#include "audio/ACS_AudioMix.h"
#include "cli/Arguments.h"

namespace cli {

int Info(const Arguments& args);
int Cut(const Arguments& args);
int Decode(const Arguments& args);
int Encode(const Arguments& args);
int Peaks(const Arguments& args);
int Stream(const Arguments& args);
/// join (amConcatenate) and mix (amMix).
int Join(const Arguments& args, TAudioMixerMode mode);
int Remove(const Arguments& args);

}  // namespace cli
