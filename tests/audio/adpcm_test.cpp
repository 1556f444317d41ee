#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/wave/Adpcm.h"

using namespace Adpcm;

namespace {

std::vector<int16_t> Sine(int frames, int channels, double amplitude) {
  std::vector<int16_t> out;
  for (int i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      out.push_back(static_cast<int16_t>(amplitude * std::sin(i * 0.03 * (c + 1))));
  return out;
}

TEST(ImaAdpcm, BlockSizes) {
  EXPECT_EQ(ImaFramesPerBlock(512, 1), 1017);
  EXPECT_EQ(ImaFramesPerBlock(512, 2), 505);
  EXPECT_EQ(ImaFramesPerBlock(4, 1), 0);   // no room for codes
  EXPECT_EQ(ImaFramesPerBlock(8, 2), 0);
  EXPECT_EQ(ImaFramesPerBlock(512, 3), 0);
}

TEST(ImaAdpcm, KnownAnswers) {
  // Step index 0 (step 7): a sample equal to the prediction gives code 0.
  ImaChannel state;
  state.predicted = 1000;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ImaEncode(state, 1000), 0);
  EXPECT_EQ(state.index, 0);

  // Decoding code 7 at step 7: diff = 0 + 7 + 3 + 1 = 11; index + 8.
  ImaChannel d;
  EXPECT_EQ(ImaDecode(d, 7), 11);
  EXPECT_EQ(d.index, 8);
  EXPECT_EQ(ImaDecode(d, 15), 11 - (16 / 8 + 16 + 8 + 4));  // step 16 after the index moved
  // Never below -32767.
  ImaChannel low{-32760, 88};
  EXPECT_EQ(ImaDecode(low, 15), -32767);
  ImaChannel high{32760, 88};
  EXPECT_EQ(ImaDecode(high, 7), 32767);
  ImaChannel enc{-32000, 60};
  for (int i = 0; i < 20; ++i) EXPECT_GE(ImaEncode(enc, -32768), -32767);
}

TEST(ImaAdpcm, RoundTripStaysClose) {
  for (int channels : {1, 2}) {
    const int frames = ImaFramesPerBlock(512, channels);
    const auto input = Sine(frames, channels, 12000);
    std::vector<uint8_t> block(512);
    ImaChannel states[2];
    ImaEncodeBlock(input.data(), 512, channels, states, block.data());
    std::vector<int16_t> output(input.size());
    ASSERT_EQ(ImaDecodeBlock(block.data(), 512, channels, output.data()), frames);
    // The step starts at its smallest and needs a few dozen samples to catch up.
    constexpr size_t kSettle = 64;
    double worst = 0, sumSquares = 0;
    for (size_t i = kSettle * channels; i < input.size(); ++i) {
      const double error = std::abs(input[i] - output[i]);
      worst = std::max(worst, error);
      sumSquares += error * error;
    }
    EXPECT_EQ(output[0], input[0]);  // the header holds the first frame exactly
    const double rms = std::sqrt(sumSquares / static_cast<double>(input.size() - kSettle * channels));
    EXPECT_LT(rms, 250.0) << channels;
    EXPECT_LT(worst, 1500.0) << channels;
  }
}

TEST(MsAdpcm, DecodesAndKeepsDeltaAtLeastSixteen) {
  // Mono block: predictor 0, delta 16, sample1 100, sample2 50, then codes.
  const MsCoefficients table[] = {{256, 0}, {512, -256}};
  std::vector<uint8_t> block = {0, 16, 0, 100, 0, 50, 0, 0x10, 0x00};
  std::vector<int16_t> out(6);
  ASSERT_EQ(MsDecodeBlock(block.data(), 9, 1, 6, table, 2, out.data()), 6);
  EXPECT_EQ(out[0], 50);
  EXPECT_EQ(out[1], 100);
  EXPECT_EQ(out[2], 116);  // 100 + 16 x 1; delta 16 x 230 / 256 = 14, held at 16
  EXPECT_EQ(out[3], 116);  // code 0
  EXPECT_EQ(out[4], 116);
  EXPECT_EQ(out[5], 116);

  block[0] = 5;  // predictor outside the table
  EXPECT_EQ(MsDecodeBlock(block.data(), 9, 1, 6, table, 2, out.data()), -1);
  EXPECT_EQ(MsFramesInBlock(6, 1), 0);
  EXPECT_EQ(MsFramesInBlock(256, 2), 2 + (256 - 14));
}

}  // namespace
