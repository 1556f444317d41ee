#pragma once

#include <cstdint>
#include <string>

class TMediaPlayer;

/// A file's length in ms as the windows show it: the desktop's duration
/// (whole seconds), else the playback device's. Raises what the device raises.
int32_t FileLengthMs(const std::string& fileName, TMediaPlayer& player);
