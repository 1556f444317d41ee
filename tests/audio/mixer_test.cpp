#include "audio/ACS_AudioMix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "tests/audio/MemoryComponents.h"

namespace {

using Mixer = Sealed<TAudioMixer>;
using Memory = Sealed<MemoryInput>;

std::vector<int16_t> Ramp(size_t count, int16_t first, int16_t step) {
  std::vector<int16_t> samples(count);
  for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(first + static_cast<int>(i) * step);
  return samples;
}

/// A sine of `frames` frames in every channel at `hz`.
std::vector<int16_t> Sine(size_t frames, int channels, int rate, double hz, double amplitude = 12000) {
  std::vector<int16_t> samples(frames * channels);
  for (size_t f = 0; f < frames; ++f)
    for (int c = 0; c < channels; ++c)
      samples[f * channels + c] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * f / rate)));
  return samples;
}

void Configure(MemoryInput& input, const std::vector<int16_t>& samples, int channels, int rate = 44100) {
  input.SetSamples(samples);
  input.ChannelCount = channels;
  input.Rate = rate;
  input.BlockSize = 1000;
}

/// One whole run of the mixer, read in deliveries of at most `ask` bytes.
std::vector<uint8_t> RunMixer(TAudioMixer& mixer, uint32_t ask = 1 << 16) {
  mixer.Init();
  std::vector<uint8_t> out;
  for (;;) {
    void* block = nullptr;
    uint32_t bytes = ask;
    mixer.GetData(block, bytes);
    if (bytes == 0) break;
    EXPECT_LE(bytes, TAudioMixer::kBlockSamples * 2u);
    out.insert(out.end(), static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + bytes);
  }
  mixer.Flush();
  return out;
}

std::vector<int16_t> AsShorts(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> samples(bytes.size() / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

struct MixerTest : ::testing::Test {
  Memory one{0}, two{0};
  Mixer mixer;
  void SetUp() override {
    mixer.SetInput1(&one);
    mixer.SetInput2(&two);
  }
};

TEST_F(MixerTest, ConcatenationAtFullVolumeIsBitExact) {
  // Loud samples too: a float round trip would move them by a step.
  const auto a = Ramp(2000, -32768, 17), b = Ramp(1000, 32767, -31);
  Configure(one, a, 2);
  Configure(two, b, 2);
  mixer.SetMode(amConcatenate);
  mixer.Init();
  EXPECT_EQ(mixer.Size(), 6000);  // 1,000 + 500 frames of 16-bit stereo
  mixer.Flush();
  auto expected = a;
  expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(AsShorts(RunMixer(mixer)), expected);
}

TEST_F(MixerTest, MixAveragesAndTheLongerInputGoesOnAtHalfAmplitude) {
  const auto a = Ramp(2000, -9000, 9), b = Ramp(1000, 5000, -7);
  Configure(one, a, 2);
  Configure(two, b, 2);
  const auto out = AsShorts(RunMixer(mixer));
  ASSERT_EQ(out.size(), 2000u);
  for (size_t i = 0; i < out.size(); ++i) {
    const double second = i < b.size() ? b[i] : 0;
    EXPECT_NEAR(out[i], (a[i] + second) / 2.0, 1.0) << i;
  }
}

TEST_F(MixerTest, VolumeZeroSilencesAnInputInBothModes) {
  const auto a = Ramp(400, 1000, 3), b = Ramp(400, -2000, 5);
  Configure(one, a, 1);
  Configure(two, b, 1);
  mixer.SetVolume1(0);
  const auto mixed = AsShorts(RunMixer(mixer));
  ASSERT_EQ(mixed.size(), 400u);
  for (size_t i = 0; i < mixed.size(); ++i) EXPECT_NEAR(mixed[i], b[i] / 2.0, 1.0);
  mixer.SetMode(amConcatenate);
  const auto joined = AsShorts(RunMixer(mixer));
  ASSERT_EQ(joined.size(), 800u);
  for (size_t i = 0; i < 400; ++i) EXPECT_EQ(joined[i], 0);
  for (size_t i = 0; i < 400; ++i) EXPECT_NEAR(joined[400 + i], b[i], 1.0);
}

TEST_F(MixerTest, DeliversInputOnesWidth) {
  one.data.assign(600, 200);  // 8-bit samples of value 200
  one.AnnouncedSize = 600;
  one.Bits = 8;
  one.Rate = 44100;
  Configure(two, Ramp(600, 0, 0), 1);
  EXPECT_EQ(mixer.BitsPerSample(), 8);
  const auto out = RunMixer(mixer);
  ASSERT_EQ(out.size(), 600u);
  for (uint8_t value : out) EXPECT_EQ(value, 164);  // (200 / 128 - 1 + 0) / 2 back in 8 bits
  mixer.SetMode(amConcatenate);
  EXPECT_EQ(RunMixer(mixer).size(), 1200u);
}

TEST_F(MixerTest, InputsCannotChangeDuringARun) {
  Configure(one, Ramp(100, 0, 1), 1);
  Configure(two, Ramp(100, 0, 1), 1);
  mixer.Init();
  EXPECT_THROW(mixer.SetInput2(&one), EAuException);
  EXPECT_THROW(mixer.SetInput1(&two), EAuException);
  mixer.Flush();
  mixer.SetInput2(&one);
  EXPECT_EQ(mixer.Input2(), &one);
}

TEST_F(MixerTest, MissingInputsAreNamed) {
  Mixer empty;
  EXPECT_THROW(empty.Channels(), EAuException);
  try {
    empty.Init();
    FAIL();
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "Input1 is not assigned");
  }
  empty.SetInput1(&one);
  try {
    empty.Init();
    FAIL();
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "Input2 is not assigned");
  }
  // A failed start leaves the mixer free.
  empty.SetInput2(&two);
}

TEST_F(MixerTest, AFailingSecondInputLeavesTheFirstClosedAndTheMixerFree) {
  Configure(one, Ramp(100, 0, 1), 1);
  Configure(two, Ramp(100, 0, 1), 1);
  two.InitError = "cannot open two";
  EXPECT_THROW(mixer.Init(), EAuException);
  EXPECT_EQ(one.Flushes.load(), 1);
  mixer.SetInput2(&one);
}

TEST_F(MixerTest, InputTwoStartsAtItsFrameExactly) {
  Configure(one, std::vector<int16_t>(2 * 5000, 0), 2);
  Configure(two, std::vector<int16_t>(2 * 100, 20000), 2);
  mixer.SetInput2StartSample(3001);  // inside the first block
  const auto out = AsShorts(RunMixer(mixer, 4096 * 2));
  ASSERT_EQ(out.size(), 10000u);
  EXPECT_EQ(out[2 * 3001 - 1], 0);
  EXPECT_EQ(out[2 * 3001], 10000);
  EXPECT_EQ(out[2 * 3100 + 1], 10000);  // its last frame
  EXPECT_EQ(out[2 * 3101], 0);
}

TEST_F(MixerTest, InputTwoStartingAfterInputOneEndsIsReachedThroughSilence) {
  Configure(one, std::vector<int16_t>(100, 8000), 1);
  Configure(two, std::vector<int16_t>(50, 8000), 1);
  mixer.SetInput2StartSample(10000);
  mixer.Init();
  EXPECT_EQ(mixer.Size(), 2 * 10050);
  mixer.Flush();
  const auto out = AsShorts(RunMixer(mixer));
  ASSERT_EQ(out.size(), 10050u);
  EXPECT_EQ(out[99], 4000);
  EXPECT_EQ(out[100], 0);
  EXPECT_EQ(out[10000], 4000);
}

/// The strongest frequency of a channel, by correlating with test tones.
double Loudness(const std::vector<int16_t>& samples, int channels, int channel, int rate, double hz) {
  double re = 0, im = 0;
  const size_t frames = samples.size() / channels;
  for (size_t f = 0; f < frames; ++f) {
    re += samples[f * channels + channel] * std::cos(2 * M_PI * hz * f / rate);
    im += samples[f * channels + channel] * std::sin(2 * M_PI * hz * f / rate);
  }
  return std::hypot(re, im) / static_cast<double>(frames);
}

TEST_F(MixerTest, ASecondInputOfAnotherRateIsConvertedKeepingItsPitchAndLength) {
  Configure(one, Sine(44100, 2, 44100, 440), 2, 44100);
  Configure(two, Sine(48000, 2, 48000, 1000), 2, 48000);  // one second each
  mixer.SetMode(amConcatenate);
  mixer.Init();
  EXPECT_EQ(mixer.Size(), 4 * 88200);
  mixer.Flush();
  const auto out = AsShorts(RunMixer(mixer));
  ASSERT_EQ(out.size(), 2 * 88200u);  // the length Size announced
  const std::vector<int16_t> second(out.begin() + 2 * 44100 + 2 * 2000, out.end() - 2 * 2000);
  // The tone is at 1 kHz at the output's rate, as loud as it was.
  EXPECT_NEAR(Loudness(second, 2, 0, 44100, 1000), 6000, 300);
  EXPECT_LT(Loudness(second, 2, 0, 44100, 1088), 300);  // 1000 x 48000 / 44100: played too fast
}

TEST_F(MixerTest, AMonoSecondInputIsHeardInBothChannelsAndStereoToMonoIsAveraged) {
  Configure(one, Sine(1000, 2, 44100, 500), 2);
  const auto tone = Sine(1000, 1, 44100, 500);
  Configure(two, tone, 1);
  mixer.SetMode(amConcatenate);
  auto out = AsShorts(RunMixer(mixer));
  ASSERT_EQ(out.size(), 4000u);
  for (size_t f = 1000; f < 2000; ++f) {
    EXPECT_EQ(out[2 * f], out[2 * f + 1]);
    EXPECT_NEAR(out[2 * f], tone[f - 1000], 1.0);
  }
  Memory mono{0}, stereo{0};
  std::vector<int16_t> pairs;
  for (int i = 0; i < 100; ++i) pairs.insert(pairs.end(), {static_cast<int16_t>(1000), static_cast<int16_t>(3000)});
  Configure(mono, std::vector<int16_t>(100, 0), 1);
  Configure(stereo, pairs, 2);
  Mixer down;
  down.SetInput1(&mono);
  down.SetInput2(&stereo);
  down.SetMode(amConcatenate);
  out = AsShorts(RunMixer(down));
  ASSERT_EQ(out.size(), 200u);
  EXPECT_EQ(out[150], 2000);
}

}  // namespace
