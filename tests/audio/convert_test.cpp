#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "audio/classes/Convert.h"

using namespace SampleConvert;

namespace {

TEST(Convert, SixteenBitThereAndBack) {
  const int16_t in[] = {32767, -32768, 0, 1, -1};
  float f[5];
  ShortToFloat(in, f, 5);
  EXPECT_FLOAT_EQ(f[0], 32767.0f / 32768);
  EXPECT_EQ(f[1], -1.0f);
  int16_t out[5];
  FloatToShort(f, out, 5);
  EXPECT_EQ(out[0], 32766);
  EXPECT_EQ(out[1], -32767);
  EXPECT_EQ(out[2], 0);
  EXPECT_EQ(out[3], 1);
  EXPECT_EQ(out[4], -1);
}

TEST(Convert, EightBitThereAndBack) {
  const uint8_t in[] = {128, 0, 255};
  float f[3];
  ByteToFloat(in, f, 3);
  EXPECT_EQ(f[0], 0.0f);
  EXPECT_EQ(f[1], -1.0f);
  EXPECT_EQ(f[2], 0.9921875f);
  uint8_t out[3];
  FloatToByte(f, out, 3);
  EXPECT_EQ(out[0], 128);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 255);
}

TEST(Convert, TwentyFourBitByteOrder) {
  const uint8_t in[] = {0xFF, 0xFF, 0x7F, 0x80, 0x00, 0x00, 0x00, 0x00, 0x80};
  float f[3];
  Int24ToFloat(in, f, 3);
  EXPECT_EQ(f[0], 8388607.0f / 8388608);
  EXPECT_EQ(f[1], 128.0f / 8388608);
  EXPECT_EQ(f[2], -1.0f);
  uint8_t out[9];
  float half[] = {0.5f, -0.5f, 1.5f};
  FloatToInt24(half, out, 3);
  // floor(0.5 * 8388607) = 4194303 = 0x3FFFFF, low byte first.
  EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{0xFF, 0xFF, 0x3F}));
  EXPECT_EQ(std::vector<uint8_t>(out + 3, out + 6), (std::vector<uint8_t>{0x00, 0x00, 0xC0}));  // -4194304
  // Beyond full scale: held at the largest value, not wrapped round.
  EXPECT_EQ(std::vector<uint8_t>(out + 6, out + 9), (std::vector<uint8_t>{0xFF, 0xFF, 0x7F}));
}

TEST(Convert, ClippingWritesBackIntoTheSource) {
  float loud[] = {1.5f, -3.0f, 0.25f};
  int16_t shorts[3];
  FloatToShort(loud, shorts, 3);
  EXPECT_EQ(shorts[0], 32767);
  EXPECT_EQ(shorts[1], -32767);
  EXPECT_EQ(loud[0], 1.0f);
  EXPECT_EQ(loud[1], -1.0f);
  EXPECT_EQ(loud[2], 0.25f);

  float louder[] = {2.0f, -2.0f, 0.5f};
  int32_t ints[3];
  FloatToInt(louder, ints, 3);
  EXPECT_EQ(ints[0], 2147483647);
  EXPECT_EQ(ints[1], -2147483647);
  EXPECT_EQ(ints[2], 1073741824);  // 1073741823.5 rounds to even
  EXPECT_EQ(louder[0], 1.0f);

  const int32_t full[] = {INT32_MIN, INT32_MAX};
  float back[2];
  IntToFloat(full, back, 2);
  EXPECT_EQ(back[0], -1.0f);
  EXPECT_EQ(back[1], 1.0f);  // the nearest single is 1.0
}

TEST(Convert, InPlaceToInt32) {
  double doubles[] = {0.5, 1.0, -1.0, 0.0, -0.5, 2.0};
  DoubleToInt32InPlace(doubles, sizeof doubles);
  int32_t result[6];
  std::memcpy(result, doubles, sizeof result);
  EXPECT_EQ(result[0], 1073741823);
  EXPECT_EQ(result[1], 2147483647);
  EXPECT_EQ(result[2], INT32_MIN);
  EXPECT_EQ(result[3], 0);
  EXPECT_EQ(result[4], -1073741824);  // floor(-1073741823.5)
  EXPECT_EQ(result[5], 2147483647);

  float singles[] = {0.25f, -1.5f, 0.0f};
  SingleToInt32InPlace(singles, sizeof singles);
  std::memcpy(result, singles, sizeof singles);
  EXPECT_EQ(result[0], 536870911);
  EXPECT_EQ(result[1], INT32_MIN);
  EXPECT_EQ(result[2], 0);

  double untouched = 0.5;
  DoubleToInt32InPlace(&untouched, 7);  // less than one value
  EXPECT_EQ(untouched, 0.5);
}

TEST(Convert, SelectorsByWidth) {
  const int16_t in[] = {16384};
  float f[1];
  ToFloat(in, f, 1, 2);
  EXPECT_EQ(f[0], 0.5f);
  uint8_t byte[1];
  FromFloat(f, byte, 1, 1);
  EXPECT_EQ(byte[0], 192);
}

}  // namespace
