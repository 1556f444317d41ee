#include "audio/classes/Convert.h"

#include <cmath>
#include <cstring>

namespace SampleConvert {

void ByteToFloat(const uint8_t* source, float* dest, int count) {
  for (int i = 0; i < count; ++i) dest[i] = static_cast<float>(source[i]) * (1.0f / 128) - 1.0f;
}

void ShortToFloat(const int16_t* source, float* dest, int count) {
  for (int i = 0; i < count; ++i) dest[i] = static_cast<float>(source[i]) * (1.0f / 32768);
}

void Int24ToFloat(const uint8_t* source, float* dest, int count) {
  for (int i = 0; i < count; ++i) {
    const uint8_t* s = source + 3 * i;
    const auto upper = static_cast<int16_t>(s[1] | (s[2] << 8));
    dest[i] = static_cast<float>(upper * 256 + s[0]) * (1.0f / 8388608);
  }
}

void IntToFloat(const int32_t* source, float* dest, int count) {
  for (int i = 0; i < count; ++i) dest[i] = static_cast<float>(source[i] * (1.0 / 2147483648.0));
}

void ToFloat(const void* source, float* dest, int count, int bytesPerSample) {
  switch (bytesPerSample) {
    case 1: ByteToFloat(static_cast<const uint8_t*>(source), dest, count); break;
    case 2: ShortToFloat(static_cast<const int16_t*>(source), dest, count); break;
    case 3: Int24ToFloat(static_cast<const uint8_t*>(source), dest, count); break;
    case 4: IntToFloat(static_cast<const int32_t*>(source), dest, count); break;
    default: break;
  }
}

void FloatToByte(const float* source, uint8_t* dest, int count) {
  for (int i = 0; i < count; ++i) {
    const float x = source[i];
    if (x >= 1.0f) dest[i] = 255;
    else if (x <= -1.0f || std::isnan(x)) dest[i] = 0;
    else dest[i] = static_cast<uint8_t>(std::floor((x + 1.0f) * 128.0f));
  }
}

void FloatToShort(float* source, int16_t* dest, int count) {
  for (int i = 0; i < count; ++i) {
    if (std::isnan(source[i])) source[i] = 0.0f;
    if (source[i] >= 1.0f) source[i] = 1.0f;
    else if (source[i] <= -1.0f) source[i] = -1.0f;
    dest[i] = static_cast<int16_t>(std::nearbyintf(source[i] * 32767.0f));
  }
}

void FloatToInt24(const float* source, uint8_t* dest, int count) {
  for (int i = 0; i < count; ++i) {
    const double scaled = std::isnan(source[i]) ? 0.0 : std::floor(static_cast<double>(source[i]) * 8388607.0);
    // Beyond full scale the sample is held at the limit instead of wrapping round.
    const auto value = static_cast<int32_t>(std::fmin(std::fmax(scaled, -8388608.0), 8388607.0));
    uint8_t* d = dest + 3 * i;
    d[0] = static_cast<uint8_t>(value & 0xFF);
    d[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
    d[2] = static_cast<uint8_t>((value >> 16) & 0xFF);
  }
}

void FloatToInt(float* source, int32_t* dest, int count) {
  for (int i = 0; i < count; ++i) {
    if (std::isnan(source[i])) source[i] = 0.0f;
    if (source[i] >= 1.0f) source[i] = 1.0f;
    else if (source[i] <= -1.0f) source[i] = -1.0f;
    dest[i] = static_cast<int32_t>(std::nearbyint(static_cast<double>(source[i]) * 2147483647.0));
  }
}

void FromFloat(float* source, void* dest, int count, int bytesPerSample) {
  switch (bytesPerSample) {
    case 1: FloatToByte(source, static_cast<uint8_t*>(dest), count); break;
    case 2: FloatToShort(source, static_cast<int16_t*>(dest), count); break;
    case 3: FloatToInt24(source, static_cast<uint8_t*>(dest), count); break;
    case 4: FloatToInt(source, static_cast<int32_t*>(dest), count); break;
    default: break;
  }
}

namespace {

int32_t FullScaleInt(double x) {
  if (x >= 1.0) return 2147483647;
  if (x <= -1.0) return -2147483647 - 1;
  if (x == 0.0 || std::isnan(x)) return 0;
  return static_cast<int32_t>(std::floor(x * 2147483647.0));
}

/// Reads values of type T and writes 32-bit integers over them from the start;
/// the write of value i never reaches the bytes of a later value.
template <typename T>
void ToInt32InPlace(void* values, int byteCount) {
  auto* bytes = static_cast<uint8_t*>(values);
  const int count = byteCount / static_cast<int>(sizeof(T));
  for (int i = 0; i < count; ++i) {
    T x;
    std::memcpy(&x, bytes + static_cast<size_t>(i) * sizeof(T), sizeof(T));
    const int32_t result = FullScaleInt(static_cast<double>(x));
    std::memcpy(bytes + static_cast<size_t>(i) * 4, &result, 4);
  }
}

}  // namespace

void SingleToInt32InPlace(void* values, int byteCount) { ToInt32InPlace<float>(values, byteCount); }

void DoubleToInt32InPlace(void* values, int byteCount) { ToInt32InPlace<double>(values, byteCount); }

}  // namespace SampleConvert
