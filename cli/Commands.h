#pragma once
// The commands of clipwright-cli, one file each in cli/commands/.

#include "cli/Arguments.h"

namespace cli {

int Info(const Arguments& args);
int Cut(const Arguments& args);
int Decode(const Arguments& args);
int Encode(const Arguments& args);
int Peaks(const Arguments& args);
int Stream(const Arguments& args);
int Join(const Arguments& args);
int Mix(const Arguments& args);
int Remove(const Arguments& args);
int Split(const Arguments& args);
int Loudness(const Arguments& args);
int Batch(const Arguments& args);

}  // namespace cli
