#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Builds RIFF WAVE files chunk by chunk, for tests of the reader.
class WavBuilder {
 public:
  using Bytes = std::vector<uint8_t>;

  /// "RIFF", a size, "WAVE".
  WavBuilder();
  /// A chunk with its size and payload, padded to an even length unless `pad` is false.
  WavBuilder& Chunk(const std::string& name, const Bytes& payload, bool pad = true);
  /// A "fmt " chunk of the classic 16 bytes, with `extra` appended.
  WavBuilder& Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits,
                     const Bytes& extra = {});
  WavBuilder& Raw(const Bytes& bytes);
  Bytes Build() const;

  static void Put16(Bytes& out, uint16_t value);
  static void Put32(Bytes& out, uint32_t value);
  /// Interleaved 16-bit samples as little-endian bytes.
  static Bytes Samples(const std::vector<int16_t>& samples);

 private:
  Bytes bytes_;
};
