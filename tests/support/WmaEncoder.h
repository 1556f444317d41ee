#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

/// Writes interleaved 16-bit PCM as a WMA (wmav2 in ASF) file with FFmpeg,
/// with the given ASF attributes ("Author", "WM/AlbumTitle", ...).
void WriteWma(const std::string& fileName, const std::vector<int16_t>& samples, int channels, int sampleRate,
              int bitRate, const std::map<std::string, std::string>& attributes = {});
