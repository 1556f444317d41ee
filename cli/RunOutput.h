#pragma once

#include <string>

class TAuOutput;

/// Runs an output to its end on the Qt event loop of the calling thread,
/// drawing a progress bar on stderr when asked. Returns the message of the
/// exception that ended the run, empty when it succeeded.
std::string RunToEnd(TAuOutput& output, bool showProgress);
