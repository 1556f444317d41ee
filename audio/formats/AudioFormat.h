#pragma once

#include <string>

/// The formats the program reads and writes, chosen by file extension in any
/// letter case: FormatRegistry tells each one's extensions and components.
enum class AudioFormat { Wav, Mp3, Wma, Flac, Vorbis, Opus, M4a, Aiff, Unknown };

AudioFormat FormatOfFile(const std::string& fileName);
/// "WAV", "MP3", "WMA", "FLAC", "Ogg Vorbis", "Opus", "M4A", "AIFF" or "unknown".
const char* FormatName(AudioFormat format);
