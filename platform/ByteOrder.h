#pragma once

#include <cstdint>
#include <vector>

/// Reading and writing numbers of a fixed byte order, for every file format
/// of the program.
namespace ByteOrder {

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Le32(const uint8_t* p) { return Le16(p) | (static_cast<uint32_t>(Le16(p + 2)) << 16); }
inline uint64_t Le64(const uint8_t* p) { return Le32(p) | (static_cast<uint64_t>(Le32(p + 4)) << 32); }

/// The first `count` bytes (at most 4) as a big-endian number.
inline uint32_t Be(const uint8_t* p, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = (value << 8) | p[i];
  return value;
}
inline uint32_t Be32(const uint8_t* p) { return Be(p, 4); }
/// A signed 16-bit little-endian sample.
inline int16_t LeSigned16(const uint8_t* p) { return static_cast<int16_t>(Le16(p)); }

inline void PutLe16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t value) {
  PutLe16(p, static_cast<uint16_t>(value));
  PutLe16(p + 2, static_cast<uint16_t>(value >> 16));
}
inline void PutBe32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}
inline void AppendLe16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}
inline void AppendLe32(std::vector<uint8_t>& out, uint32_t value) {
  AppendLe16(out, static_cast<uint16_t>(value));
  AppendLe16(out, static_cast<uint16_t>(value >> 16));
}
inline void AppendBe32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

}  // namespace ByteOrder
