#pragma once

#include <cstdint>
#include <string>

class TMediaPlayer;

/// A file's length in ms as the windows show it: what the engine's input
/// reads of it, in whole seconds, else (under a second) the playback
/// device's. Raises JobRefused when none of our inputs can read the file, and
/// what the device raises.
int32_t FileLengthMs(const std::string& fileName, TMediaPlayer& player);
