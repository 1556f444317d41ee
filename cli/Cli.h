#pragma once

/// clipwright-cli: information about audio files, cutting a range, decoding to WAV.
///
/// Exit codes: 0 done; 1 usage error; 2 source missing, unreadable or
/// unsupported; 3 target exists without --force, or is the source itself;
/// 4 the run failed. Needs a QCoreApplication.
int RunCli(int argc, char** argv);

#include <string>

struct Arguments;

namespace cli {

/// Why a parsed command line is not one the command takes (its files, its
/// options); empty when it is.
std::string Misuse(const Arguments& args);
/// Whether `command` encodes MP3 on threads of its own (--threads).
bool TakesThreads(const std::string& command);

}  // namespace cli
