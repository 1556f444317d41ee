#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

/// A-law and mu-law companding (ITU-T G.711), decoded to 16-bit linear PCM
/// as the recommendation's reference expansion gives it.
namespace G711 {

constexpr int16_t ALawToLinear(uint8_t code) {
  code ^= 0x55;
  int value = (code & 0x0F) << 4;
  const int segment = (code & 0x70) >> 4;
  if (segment == 0) value += 8;
  else value = (value + 0x108) << (segment - 1);
  return static_cast<int16_t>(code & 0x80 ? value : -value);
}

constexpr int16_t MuLawToLinear(uint8_t code) {
  code = static_cast<uint8_t>(~code);
  const int value = (((code & 0x0F) << 3) + 0x84) << ((code & 0x70) >> 4);
  return static_cast<int16_t>(code & 0x80 ? 0x84 - value : value - 0x84);
}

/// Each code's linear value, for expanding a buffer at speed.
std::array<int16_t, 256> Table(bool aLaw);

}  // namespace G711
