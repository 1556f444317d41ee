#include "tests/support/TestAudio.h"

#include <cmath>
#include <fstream>
#include <stdexcept>

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Put16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

}  // namespace

void WritePcmWav(const std::string& fileName, int sampleRate, int channels, int64_t frames) {
  const uint32_t dataBytes = static_cast<uint32_t>(frames * channels * 2);
  std::vector<uint8_t> out;
  out.reserve(44 + dataBytes);
  out.insert(out.end(), {'R', 'I', 'F', 'F'});
  Put32(out, 36 + dataBytes);
  out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  Put32(out, 16);
  Put16(out, 1);
  Put16(out, static_cast<uint16_t>(channels));
  Put32(out, static_cast<uint32_t>(sampleRate));
  Put32(out, static_cast<uint32_t>(sampleRate * channels * 2));
  Put16(out, static_cast<uint16_t>(channels * 2));
  Put16(out, 16);
  out.insert(out.end(), {'d', 'a', 't', 'a'});
  Put32(out, dataBytes);
  for (int64_t frame = 0; frame < frames; ++frame) {
    const auto sample = static_cast<int16_t>(8000 * std::sin(frame * 2 * M_PI * 440.0 / sampleRate));
    for (int channel = 0; channel < channels; ++channel) Put16(out, static_cast<uint16_t>(sample));
  }
  WriteBytes(fileName, out);
}

void WriteBytes(const std::string& fileName, const std::vector<uint8_t>& bytes) {
  std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + fileName);
}
