#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Writes a canonical 16-bit PCM WAV file of a sine tone.
void WritePcmWav(const std::string& fileName, int sampleRate, int channels, int64_t frames);

/// Writes bytes to a file, replacing it.
void WriteBytes(const std::string& fileName, const std::vector<uint8_t>& bytes);
