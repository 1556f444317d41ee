#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "app/jobs/Global.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

/// The rule written out byte by byte: the first frame sync at an offset
/// below size - 4 with a valid version and layer decides.
int NaiveMpegLayer(const std::vector<uint8_t>& bytes) {
  for (int64_t i = 0; i < static_cast<int64_t>(bytes.size()) - 4; ++i) {
    if (bytes[i] != 0xFF || (bytes[i + 1] & 0xE0) != 0xE0) continue;
    const int version = (bytes[i + 1] >> 3) & 3;
    const int layer = (bytes[i + 1] >> 1) & 3;
    if (version != 1 && layer != 0) return 4 - layer;
  }
  return 0;
}

class MpegLayer : public ::testing::Test {
 protected:
  int LayerOf(const std::vector<uint8_t>& bytes) {
    WriteBytes(file, bytes);
    return GetMpegLayer(file);
  }

  TempDir dir;
  std::string file = dir.File("probe.mp3");
};

TEST_F(MpegLayer, FirstValidHeaderDecides) {
  EXPECT_EQ(LayerOf({0xFF, 0xFB, 0x90, 0x44, 0, 0}), 3);  // MPEG-1 layer III
  EXPECT_EQ(LayerOf({0xFF, 0xFD, 0x90, 0x44, 0, 0}), 2);
  EXPECT_EQ(LayerOf({0xFF, 0xFF, 0x90, 0x44, 0, 0}), 1);
  EXPECT_EQ(LayerOf({0xFF, 0xF3, 0x90, 0x44, 0, 0}), 3);  // MPEG-2
  // Reserved version (01) and reserved layer (00) are skipped.
  EXPECT_EQ(LayerOf({0xFF, 0xEB, 0, 0, 0xFF, 0xF9, 0, 0, 0xFF, 0xFD, 0, 0, 0}), 2);
  EXPECT_EQ(LayerOf({0x49, 0x44, 0x33, 0xFF, 0x00, 0xFF, 0xE3, 1, 2, 3}), 3);
  EXPECT_EQ(LayerOf({1, 2, 3, 4, 5, 6, 7, 8}), 0);
  EXPECT_EQ(LayerOf({}), 0);
}

TEST_F(MpegLayer, LastOffsetExaminedIsSizeMinusFive) {
  // Sync in the last four bytes only: never examined.
  EXPECT_EQ(LayerOf({0, 0, 0, 0, 0xFF, 0xFB, 0x90, 0x44}), 0);
  // At size - 5: examined.
  EXPECT_EQ(LayerOf({0, 0, 0, 0xFF, 0xFB, 0x90, 0x44, 0}), 3);
  EXPECT_EQ(LayerOf({0xFF, 0xFB, 0x90, 0x44}), 0);
}

TEST_F(MpegLayer, MissingFileGivesZero) { EXPECT_EQ(GetMpegLayer(dir.File("missing.mp3")), 0); }

TEST_F(MpegLayer, BlockReadingFindsTheSameFirstMatch) {
  // Headers placed across the internal block boundaries.
  for (int64_t at : {65533, 65534, 65535, 65536, 131069, 200000}) {
    std::vector<uint8_t> bytes(at + 10, 0);
    bytes[at] = 0xFF;
    bytes[at + 1] = 0xFD;
    ASSERT_EQ(LayerOf(bytes), 2) << at;
    bytes.resize(at + 4);
    ASSERT_EQ(LayerOf(bytes), 0) << at;
  }
  std::mt19937 random(42);
  for (int round = 0; round < 40; ++round) {
    std::vector<uint8_t> bytes(1 + random() % 300000);
    for (auto& b : bytes) b = static_cast<uint8_t>(random() % 5 == 0 ? 0xFF : random() % 0xFF);
    // Make valid headers rare so the first match lands anywhere.
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
      if (bytes[i] == 0xFF && random() % 4000 != 0) bytes[i + 1] &= 0x1F;
    ASSERT_EQ(LayerOf(bytes), NaiveMpegLayer(bytes)) << "round " << round;
  }
}

}  // namespace
