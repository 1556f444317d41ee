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

/// The samples of a canonical 16-bit WAV file (44-byte header).
inline std::vector<int16_t> WavSamples(const std::string& name) {
  const std::vector<uint8_t> bytes = ReadFile(name);
  std::vector<int16_t> samples(bytes.size() < 44 ? 0 : (bytes.size() - 44) / 2);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
  return samples;
}
