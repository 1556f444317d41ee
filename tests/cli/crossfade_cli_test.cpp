// remove --crossfade: each join crossfades over material that is removed
// anyway, so the result keeps its length; checked sample by sample against
// the curve and by the largest step at the seam.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "tests/cli/CliRun.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WavBuilder.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kRate = 8000;

/// 6 s of a 300 Hz sine at half scale: removing a range joins two phases.
std::vector<int16_t> Sine() {
  std::vector<int16_t> samples(6 * kRate);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(std::lround(16000 * std::sin(2 * std::numbers::pi * 300 * static_cast<double>(i) / kRate)));
  return samples;
}

int LargestStep(const std::vector<int16_t>& samples, size_t from, size_t to) {
  int largest = 0;
  for (size_t i = from; i + 1 < to; ++i) largest = std::max(largest, std::abs(samples[i + 1] - samples[i]));
  return largest;
}

TEST(Crossfade, RemoveKeepsTheLengthAndSmoothsTheJoin) {
  TempDir dir;
  const std::vector<int16_t> source = Sine();
  std::vector<uint8_t> data(source.size() * 2);
  std::memcpy(data.data(), source.data(), data.size());
  const std::string wav = dir.File("sine.wav");
  WriteBytes(wav, WavBuilder().Format(1, 1, kRate, 2, 16).Chunk("data", data).Build());
  // Typed ranges widen by 0.1 s: 2.013-3.5 removes [1.913 s, 3.6 s), frames [15304, 28800).
  const std::string hard = dir.File("hard.wav"), soft = dir.File("soft.wav"), linear = dir.File("linear.wav");
  ASSERT_EQ(Cli({"remove", Q(wav), Q(hard), "--range", "2.013-3.5", "--widen", "0.1", "--quiet"}).code, 0);
  Result r = Cli({"remove", Q(wav), Q(soft), "--range", "2.013-3.5", "--widen", "0.1", "--crossfade", "20", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(Cli({"remove", Q(wav), Q(linear), "--range", "2.013-3.5", "--widen", "0.1", "--crossfade", "20", "--fade-curve", "linear",
                 "--quiet"}).code,
            0);
  const std::vector<int16_t> a = WavSamples(hard), b = WavSamples(soft), c = WavSamples(linear);
  ASSERT_EQ(a.size(), source.size() - (28800 - 15304));
  ASSERT_EQ(b.size(), a.size());  // the length is the hard join's
  ASSERT_EQ(c.size(), a.size());
  // 20 ms is 160 frames, 80 on each side of the join at 15304; outside them nothing changed.
  constexpr size_t kJoin = 15304, kHalf = 80;
  EXPECT_TRUE(std::equal(b.begin(), b.begin() + kJoin - kHalf, a.begin()));
  EXPECT_TRUE(std::equal(b.begin() + kJoin + kHalf, b.end(), a.begin() + kJoin + kHalf));
  // Inside, the sum of the two sides each faded: the first piece running on into
  // the removed range, the second starting before its end.
  for (const auto& [result, equalPower] : {std::pair{&b, true}, std::pair{&c, false}}) {
    int worst = 0;
    for (size_t k = 0; k < 2 * kHalf; ++k) {
      const auto gain = [equalPower](size_t i) {
        const double x = static_cast<double>(i) / (2 * kHalf);
        return equalPower ? std::sin(std::numbers::pi / 2 * x) : x;
      };
      const double want = source[kJoin - kHalf + k] * gain(2 * kHalf - 1 - k) + source[28800 - kHalf + k] * gain(k);
      worst = std::max(worst, static_cast<int>(std::lround(std::abs(want - (*result)[kJoin - kHalf + k]))));
    }
    EXPECT_LE(worst, 2) << (equalPower ? "equal-power" : "linear");  // each side rounded, then the sum
  }
  // The click: the hard join's largest step against the crossfaded one's, and a sine's own.
  const int own = LargestStep(source, 0, 1000);
  EXPECT_GT(LargestStep(a, kJoin - 2, kJoin + 2), 3 * own);
  EXPECT_LE(LargestStep(b, kJoin - kHalf, kJoin + kHalf), own + own / 2);
  // A crossfade re-encodes: not with --lossless.
  r = Cli({"remove", Q(wav), Q(dir.File("x.wav")), "--range", "2-3", "--crossfade", "10", "--lossless"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("leave out --lossless"), std::string::npos) << r.err;
}

TEST(Crossfade, JoinOverlapsTheEndOfOneFileAndTheStartOfTheOther) {
  TempDir dir;
  const std::vector<int16_t> sine = Sine();
  // Two files that meet out of phase: the sine's first 8090 samples, then its 2nd second.
  const std::vector<int16_t> first(sine.begin(), sine.begin() + 8090), second(sine.begin() + 8000, sine.begin() + 16000);
  for (const auto& [name, samples] : {std::pair{"a.wav", &first}, std::pair{"b.wav", &second}}) {
    std::vector<uint8_t> data(samples->size() * 2);
    std::memcpy(data.data(), samples->data(), data.size());
    WriteBytes(dir.File(name), WavBuilder().Format(1, 1, kRate, 2, 16).Chunk("data", data).Build());
  }
  ASSERT_EQ(Cli({"join", Q(dir.File("a.wav")), Q(dir.File("b.wav")), Q(dir.File("hard.wav")), "--quiet"}).code, 0);
  const Result r = Cli({"join", Q(dir.File("a.wav")), Q(dir.File("b.wav")), Q(dir.File("soft.wav")), "--crossfade", "25",
                        "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<int16_t> hard = WavSamples(dir.File("hard.wav")), soft = WavSamples(dir.File("soft.wav"));
  ASSERT_EQ(hard.size(), first.size() + second.size());
  ASSERT_EQ(soft.size(), hard.size() - 200);  // 25 ms at 8 kHz overlap
  EXPECT_TRUE(std::equal(soft.begin(), soft.begin() + 7890, first.begin()));
  EXPECT_TRUE(std::equal(soft.begin() + 8090, soft.end(), second.begin() + 200));
  const int own = LargestStep(sine, 0, 1000);
  EXPECT_GT(LargestStep(hard, 8088, 8092), 3 * own);
  EXPECT_LE(LargestStep(soft, 7880, 8100), own + own / 2);
}

}  // namespace
