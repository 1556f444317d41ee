// Layer III side information read without the main data: every field where
// the standard puts it, for MPEG 1 and 2, long and short blocks.
#include <gtest/gtest.h>

#include <vector>

#include "audio/mp3/frames/SideInfo.h"

namespace {

/// Writes fields most significant bit first.
class BitWriter {
 public:
  void Put(int value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      if (at_ % 8 == 0) bytes.push_back(0);
      if ((value >> i) & 1) bytes.back() |= static_cast<uint8_t>(0x80 >> (at_ % 8));
      ++at_;
    }
  }
  std::vector<uint8_t> bytes;

 private:
  int at_ = 0;
};

struct Granule {
  int part23, bigValues, gain, tables[3];
  bool shortBlocks;
  int subblockGain[3];
};

/// A frame header (no check) and side information holding `granules`.
std::vector<uint8_t> Frame(bool mpeg1, int channels, bool midSide, const std::vector<Granule>& granules) {
  // 128 kbps 44.1 kHz (MPEG 1) or 64 kbps 22.05 kHz (MPEG 2), Layer III, no check.
  std::vector<uint8_t> frame = {0xFF, static_cast<uint8_t>(mpeg1 ? 0xFB : 0xF3), static_cast<uint8_t>(mpeg1 ? 0x90 : 0x80),
                                static_cast<uint8_t>(channels == 1 ? 0xC0 : (midSide ? 0x60 : 0x00))};
  BitWriter bits;
  bits.Put(mpeg1 ? 300 : 100, mpeg1 ? 9 : 8);    // main_data_begin
  bits.Put(0, mpeg1 ? (channels == 1 ? 5 : 3) : (channels == 1 ? 1 : 2));
  if (mpeg1) bits.Put(0, 4 * channels);           // scfsi
  for (const Granule& g : granules) {
    bits.Put(g.part23, 12);
    bits.Put(g.bigValues, 9);
    bits.Put(g.gain, 8);
    bits.Put(5, mpeg1 ? 4 : 9);
    bits.Put(g.shortBlocks ? 1 : 0, 1);
    if (g.shortBlocks) {
      bits.Put(2, 2);
      bits.Put(0, 1);
      bits.Put(g.tables[0], 5);
      bits.Put(g.tables[1], 5);
      for (int s : g.subblockGain) bits.Put(s, 3);
    } else {
      for (int t : g.tables) bits.Put(t, 5);
      bits.Put(7, 4);
      bits.Put(3, 3);
    }
    bits.Put(0, mpeg1 ? 3 : 2);
  }
  frame.insert(frame.end(), bits.bytes.begin(), bits.bytes.end());
  frame.resize(417, 0);
  return frame;
}

TEST(SideInfo, FieldsOfMpeg1StereoAndMpeg2Mono) {
  const std::vector<Granule> granules = {{3000, 288, 170, {15, 7, 24}, false, {0, 0, 0}},
                                         {0, 0, 210, {0, 0, 0}, false, {0, 0, 0}},
                                         {1234, 100, 140, {13, 31, 0}, true, {1, 7, 3}},
                                         {4095, 511, 255, {31, 30, 29}, false, {0, 0, 0}}};
  std::vector<uint8_t> frame = Frame(true, 2, true, granules);
  Mp3FrameHeader header;
  ASSERT_TRUE(ParseMp3FrameHeader(frame.data(), header));
  SideInfo side;
  ASSERT_TRUE(ParseSideInfo(frame.data(), static_cast<int>(frame.size()), header, side));
  EXPECT_EQ(side.granules, 2);
  EXPECT_EQ(side.channels, 2);
  EXPECT_TRUE(side.midSide);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const GranuleInfo& g = side.granule[i / 2][i % 2];
    EXPECT_EQ(g.part23Length, granules[static_cast<size_t>(i)].part23);
    EXPECT_EQ(g.bigValues, granules[static_cast<size_t>(i)].bigValues);
    EXPECT_EQ(g.globalGain, granules[static_cast<size_t>(i)].gain);
    EXPECT_EQ(g.blockType, granules[static_cast<size_t>(i)].shortBlocks ? 2 : 0);
    EXPECT_EQ(g.tableSelect[0], granules[static_cast<size_t>(i)].tables[0]);
    EXPECT_EQ(g.tableSelect[1], granules[static_cast<size_t>(i)].tables[1]);
    if (!granules[static_cast<size_t>(i)].shortBlocks) {
      EXPECT_EQ(g.tableSelect[2], granules[static_cast<size_t>(i)].tables[2]);
    }
    for (int w = 0; w < 3 && granules[static_cast<size_t>(i)].shortBlocks; ++w)
      EXPECT_EQ(g.subblockGain[w], granules[static_cast<size_t>(i)].subblockGain[w]);
  }
  // MPEG 2: one granule, a 9-bit scale factor field, no mid/side in mono.
  frame = Frame(false, 1, false, {{777, 77, 177, {5, 9, 16}, false, {0, 0, 0}}});
  ASSERT_TRUE(ParseMp3FrameHeader(frame.data(), header));
  ASSERT_TRUE(ParseSideInfo(frame.data(), static_cast<int>(frame.size()), header, side));
  EXPECT_EQ(side.granules, 1);
  EXPECT_FALSE(side.midSide);
  EXPECT_EQ(side.granule[0][0].part23Length, 777);
  EXPECT_EQ(side.granule[0][0].globalGain, 177);
  EXPECT_EQ(side.granule[0][0].tableSelect[2], 16);
  // A frame too short for its side information is not read.
  EXPECT_FALSE(ParseSideInfo(frame.data(), 10, header, side));
}

TEST(SideInfo, LargestMagnitudeOfEachHuffmanTable) {
  EXPECT_EQ(HuffmanTableMaximum(0), 0);
  EXPECT_EQ(HuffmanTableMaximum(1), 1);
  EXPECT_EQ(HuffmanTableMaximum(4), 0);   // not used by the standard
  EXPECT_EQ(HuffmanTableMaximum(9), 5);
  EXPECT_EQ(HuffmanTableMaximum(15), 15);
  EXPECT_EQ(HuffmanTableMaximum(16), 16);    // 1 escape bit
  EXPECT_EQ(HuffmanTableMaximum(23), 8206);  // 13 escape bits
  EXPECT_EQ(HuffmanTableMaximum(24), 30);    // 4 escape bits
  EXPECT_EQ(HuffmanTableMaximum(32), 0);
}

}  // namespace
