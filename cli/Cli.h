#pragma once

/// clipwright-cli: information about audio files, cutting a range, decoding to WAV.
///
/// Exit codes: 0 done; 1 usage error; 2 source missing, unreadable or
/// unsupported; 3 target exists without --force, or is the source itself;
/// 4 the run failed. Needs a QCoreApplication.
int RunCli(int argc, char** argv);
