#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::vector<uint8_t> ReadFile(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

/// The samples of a canonical 16-bit WAV file (44-byte header), as many as
/// its "data" chunk holds: tag chunks may follow them.
inline std::vector<int16_t> WavSamples(const std::string& name) {
  const std::vector<uint8_t> bytes = ReadFile(name);
  if (bytes.size() < 44) return {};
  size_t count = (bytes.size() - 44) / 2;
  if (std::memcmp(bytes.data() + 36, "data", 4) == 0) {
    const size_t declared = bytes[40] | bytes[41] << 8 | bytes[42] << 16 | static_cast<size_t>(bytes[43]) << 24;
    if (declared / 2 < count) count = declared / 2;
  }
  std::vector<int16_t> samples(count);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
  return samples;
}
