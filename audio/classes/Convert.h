#pragma once

#include <cstddef>
#include <cstdint>

/// Conversions between integer PCM samples and floats with full scale +-1.0.
/// Counts are samples, not frames. No allocation, one pass.
namespace SampleConvert {

// Integer to 16-bit integer, for players, writers and peaks that take 16 bits.
/// One little-endian sample of `bits` (8 unsigned; 16, 24, 32 signed) as its
/// top 16 bits.
inline int16_t ToShort(const uint8_t* at, int bits) {
  switch (bits) {
    case 8: return static_cast<int16_t>((at[0] - 128) * 256);
    case 24: return static_cast<int16_t>(at[1] | (at[2] << 8));
    case 32: return static_cast<int16_t>(at[2] | (at[3] << 8));
    default: return static_cast<int16_t>(at[0] | (at[1] << 8));
  }
}
/// `count` samples of `bits` bits as 16-bit ones.
inline void ToShort(const uint8_t* in, size_t count, int bits, int16_t* out) {
  const size_t width = static_cast<size_t>(bits / 8);
  for (size_t i = 0; i < count; ++i) out[i] = ToShort(in + i * width, bits);
}

// Integer to float.
/// 8-bit unsigned: b / 128 - 1.
void ByteToFloat(const uint8_t* source, float* dest, int count);
/// 16-bit: s / 32768.
void ShortToFloat(const int16_t* source, float* dest, int count);
/// 24-bit little-endian, packed in 3 bytes: s / 8388608.
void Int24ToFloat(const uint8_t* source, float* dest, int count);
/// 32-bit: s / 2147483648.
void IntToFloat(const int32_t* source, float* dest, int count);
/// One of the above by bytes per sample (1 to 4).
void ToFloat(const void* source, float* dest, int count, int bytesPerSample);

// Float to integer.
/// >= 1 gives 255, <= -1 gives 0, else floor((x + 1) * 128).
void FloatToByte(const float* source, uint8_t* dest, int count);
/// Clips the source to +-1.0 in place, then x * 32767 rounded half to even in single precision.
void FloatToShort(float* source, int16_t* dest, int count);
/// floor(x * 8388607), held to the 24-bit range, as 3 little-endian bytes.
void FloatToInt24(const float* source, uint8_t* dest, int count);
/// Clips the source to +-1.0 in place, then x * 2147483647 rounded half to even in double precision.
void FloatToInt(float* source, int32_t* dest, int count);
/// One of the above by bytes per sample (1 to 4).
void FromFloat(float* source, void* dest, int count, int bytesPerSample);

// In place, for IEEE float WAV data: each value becomes a 32-bit integer,
// written from the start of the same buffer. >= 1 gives 2147483647, <= -1
// gives -2147483648, else floor(x * 2147483647); NaN gives 0.
/// ByteCount / 4 single-precision values.
void SingleToInt32InPlace(void* values, int byteCount);
/// ByteCount / 8 double-precision values.
void DoubleToInt32InPlace(void* values, int byteCount);

}  // namespace SampleConvert
