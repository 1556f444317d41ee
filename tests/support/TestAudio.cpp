#include "tests/support/TestAudio.h"

#include "tests/support/WavBuilder.h"

#include <cmath>
#include <fstream>
#include <stdexcept>

std::vector<int16_t> ToneSamples(int frames, int channels, int sampleRate, double hz, double step) {
  std::vector<int16_t> out;
  out.reserve(static_cast<size_t>(frames) * channels);
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      out.push_back(static_cast<int16_t>(9000 * std::sin(i * 2 * M_PI * (hz + step * c) / sampleRate)));
  return out;
}

std::vector<int16_t> ChirpSamples(int frames, int channels, int sampleRate) {
  std::vector<int16_t> out;
  out.reserve(static_cast<size_t>(frames) * channels);
  const double seconds = static_cast<double>(frames) / sampleRate;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / sampleRate;
    const double phase = 2 * M_PI * (200 * t + 900 * t * t / seconds);  // 200 Hz rising to 2 kHz
    for (int c = 0; c < channels; ++c) out.push_back(static_cast<int16_t>((9000 - 2000 * c) * std::sin(phase + c)));
  }
  return out;
}

std::string WriteNumberedWav(const std::string& fileName, int frames, int first) {
  std::vector<int16_t> samples(static_cast<size_t>(frames));
  for (int n = 0; n < frames; ++n) samples[static_cast<size_t>(n)] = static_cast<int16_t>((first + n) % 30000);
  WriteBytes(fileName, WavBuilder().Format(1, 1, 8000, 2, 16).Chunk("data", WavBuilder::Samples(samples)).Build());
  return fileName;
}

void WritePcmWav(const std::string& fileName, int sampleRate, int channels, int64_t frames) {
  std::vector<int16_t> samples;
  samples.reserve(static_cast<size_t>(frames * channels));
  for (int64_t frame = 0; frame < frames; ++frame) {
    const auto sample = static_cast<int16_t>(8000 * std::sin(frame * 2 * M_PI * 440.0 / sampleRate));
    for (int channel = 0; channel < channels; ++channel) samples.push_back(sample);
  }
  const auto align = static_cast<uint16_t>(channels * 2);
  WriteBytes(fileName, WavBuilder()
                           .Format(1, static_cast<uint16_t>(channels), static_cast<uint32_t>(sampleRate), align, 16)
                           .Chunk("data", WavBuilder::Samples(samples))
                           .Build());
}

void WriteBytes(const std::string& fileName, const std::vector<uint8_t>& bytes) {
  std::ofstream file(fileName, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + fileName);
}

void WriteWav16(const std::string& fileName, const std::vector<int16_t>& samples, int channels, int sampleRate) {
  WriteBytes(fileName, WavBuilder()
                           .Format(1, static_cast<uint16_t>(channels), static_cast<uint32_t>(sampleRate),
                                   static_cast<uint16_t>(2 * channels), 16)
                           .Chunk("data", WavBuilder::Samples(samples))
                           .Build());
}
