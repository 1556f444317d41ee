#pragma once

#include <cstdint>

/// Conversions between integer PCM samples and floats with full scale +-1.0.
/// Counts are samples, not frames. No allocation, one pass.
namespace SampleConvert {

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
