// MP3 encoded on several threads: one valid stream, exact to the sample, and
// seams that cannot be told from the rest.
#include <gtest/gtest.h>

#include <QProcess>
#include <chrono>
#include <cmath>
#include <random>

#include "audio/ACS_LAME.h"
#include "audio/mp3/frames/Mp3Info.h"
#include "audio/classes/StreamBytes.h"
#include "audio/classes/FileStream.h"
#include "tests/audio/MemoryComponents.h"
#include "tests/support/Alignment.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/FileBytes.h"
#include "tests/support/Mpg123Decode.h"
#include "tests/support/TempDir.h"

namespace {

/// Pink noise at a speech-like level that comes and goes, a click on every
/// chunk boundary and a second of silence across the second one.
std::vector<int16_t> Program(int frames, int channels, int rate) {
  std::vector<int16_t> samples(static_cast<size_t>(frames) * channels);
  std::mt19937 random(7);
  std::normal_distribution<double> white(0, 1);
  double b0 = 0, b1 = 0, b2 = 0;
  const int frameSamples = rate >= 32000 ? 1152 : 576;
  const int chunk = rate * kMp3ChunkSeconds / frameSamples * frameSamples;
  for (int f = 0; f < frames; ++f) {
    const double w = white(random);
    b0 = 0.99765 * b0 + w * 0.0990460;
    b1 = 0.96300 * b1 + w * 0.2965164;
    b2 = 0.57000 * b2 + w * 1.0526913;
    double v = (b0 + b1 + b2 + w * 0.1848) * 1500 * (0.6 + 0.4 * std::sin(f * 6.283 * 3 / rate));
    const int fromSeam = f % chunk;
    if (f >= chunk && (fromSeam < 8 || chunk - fromSeam <= 8)) v = (fromSeam % 2 ? -1 : 1) * 20000.0;  // a click
    if (std::abs(f - 2 * chunk) < rate / 2) v = 0;  // silence across the second seam
    for (int c = 0; c < channels; ++c) samples[static_cast<size_t>(f) * channels + c] = static_cast<int16_t>(std::clamp(v * (c ? 0.7 : 1.0), -32767.0, 32767.0));
  }
  return samples;
}

struct Settings {
  int rate, channels, kbps;
  bool vbr;
};

class Mp3Chunked : public ::testing::TestWithParam<Settings> {
 protected:
  /// Encodes `samples` on `threads` threads; the writer's error, empty when none.
  std::string Encode(const std::string& file, const std::vector<int16_t>& samples, int threads,
                     const std::function<void(TMP3Out&)>& during = {}, int* used = nullptr) {
    const Settings s = GetParam();
    Sealed<MemoryInput> input(0);
    input.SetSamples(samples);
    input.ChannelCount = s.channels;
    input.Rate = s.rate;
    input.BlockSize = 8192;
    Sealed<TMP3Out> out;
    out.SetFileName(file);
    out.SetBitRate(BitRateToMP3BitRate(s.kbps * 1000));
    out.SetMode(s.channels == 1 ? mmMono : mmJointStereo);
    out.SetEnableVBR(s.vbr);
    out.SetVBRQuality(mp3ql2);
    out.SetThreads(threads);
    bool done = false;
    std::string error;
    out.OnDone = [&](TComponent*) { done = true; };
    out.OnThreadException = [&](TComponent*) { error = out.ExceptionMessage(); };
    out.SetInput(&input);
    out.Run();
    if (during) during(out);
    EXPECT_TRUE(SpinUntil([&] { return done; }, 120000));
    out.SetInput(nullptr);
    if (used) *used = out.ThreadsUsed();
    return error;
  }

  /// The RMS error of channel 0 in 20 ms windows against the source.
  static std::vector<double> WindowErrors(const std::vector<int16_t>& source, const std::vector<int16_t>& decoded,
                                          int channels, int rate) {
    const size_t window = static_cast<size_t>(rate) / 50, ch = static_cast<size_t>(channels);
    std::vector<double> errors;
    for (size_t start = 0; (start + window) * ch <= std::min(source.size(), decoded.size()); start += window) {
      double sum = 0;
      for (size_t i = start; i < start + window; ++i) sum += std::pow(double(source[i * ch]) - decoded[i * ch], 2);
      errors.push_back(std::sqrt(sum / static_cast<double>(window)));
    }
    return errors;
  }

  TempDir dir;
};

std::string Name(const ::testing::TestParamInfo<Settings>& info) {
  const Settings& s = info.param;
  return std::to_string(s.rate) + "_" + std::to_string(s.channels) + (s.vbr ? "_vbr" : "_" + std::to_string(s.kbps));
}

TEST_P(Mp3Chunked, OneValidStreamExactAndSeamless) {
  const Settings s = GetParam();
  const int frames = s.rate * 70 + 1001;  // three seams and a short last chunk
  const std::vector<int16_t> source = Program(frames, s.channels, s.rate);
  const std::string parallel = dir.File("parallel.mp3"), single = dir.File("single.mp3");
  int used = 0;
  ASSERT_EQ(Encode(parallel, source, 3, {}, &used), "");
  EXPECT_EQ(used, 3);
  ASSERT_EQ(Encode(single, source, 1, {}, &used), "");
  EXPECT_EQ(used, 1);

  // Valid: neither decoder has anything to say.
  const std::vector<std::string> errors = FfmpegErrors(parallel);
  EXPECT_TRUE(errors.empty()) << errors.front();
  QProcess mpg123;
  mpg123.start("mpg123", {"-t", QString::fromStdString(parallel)});
  ASSERT_TRUE(mpg123.waitForFinished(60000));
  const QString said = QString::fromLocal8Bit(mpg123.readAllStandardError());
  EXPECT_FALSE(said.contains("warning", Qt::CaseInsensitive) || said.contains("error", Qt::CaseInsensitive))
      << said.toStdString();

  // Exact: both decoders return the samples given, at lag 0; the info frame says so.
  const std::vector<int16_t> byFfmpeg = DecodeWithFfmpeg(parallel), byMpg123 = DecodeWithMpg123(parallel);
  EXPECT_EQ(byFfmpeg.size(), source.size());
  EXPECT_EQ(byMpg123.size(), source.size());
  EXPECT_EQ(BestLag(source, 0, byFfmpeg, s.channels, 2000, static_cast<size_t>(s.rate)), 0);
  TAuFileStream file(parallel, TFileMode::Read);
  TStreamBytes bytes(file);
  const Mp3Info info = ReadMp3Info(bytes);
  EXPECT_TRUE(info.lameTag);
  EXPECT_EQ(info.Samples(), frames);
  EXPECT_EQ(info.vbr, s.vbr);

  // Seamless: around each seam the error is as elsewhere, and as a single stream's there.
  const std::vector<double> ours = WindowErrors(source, byFfmpeg, s.channels, s.rate);
  const std::vector<double> theirs = WindowErrors(source, DecodeWithFfmpeg(single), s.channels, s.rate);
  std::vector<double> sorted = ours;
  std::sort(sorted.begin(), sorted.end());
  const double median = sorted[sorted.size() / 2];
  const int frameSamples = s.rate >= 32000 ? 1152 : 576;
  const size_t chunk = static_cast<size_t>(s.rate * kMp3ChunkSeconds / frameSamples * frameSamples);
  const size_t window = static_cast<size_t>(s.rate) / 50;
  for (size_t seam = chunk; seam < static_cast<size_t>(frames); seam += chunk) {
    double worst = 0, singleWorst = 0;
    for (size_t w = seam / window - 2; w <= seam / window + 2 && w < ours.size(); ++w) {
      worst = std::max(worst, ours[w]);
      singleWorst = std::max(singleWorst, theirs[w]);
    }
    EXPECT_LE(worst, std::max(singleWorst * 1.25, median * 2)) << "seam at " << seam << ", median " << median;
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, Mp3Chunked,
                         ::testing::Values(Settings{32000, 1, 64, false}, Settings{44100, 2, 128, false},
                                           Settings{48000, 2, 320, false}, Settings{44100, 2, 0, true},
                                           Settings{48000, 1, 0, true}),
                         Name);

class Mp3ChunkedRuns : public Mp3Chunked {};

TEST_P(Mp3ChunkedRuns, TheSameInputGivesTheSameBytesAndAShortOneIsOneStream) {
  const Settings s = GetParam();
  const std::vector<int16_t> source = Program(s.rate * 45, s.channels, s.rate);
  ASSERT_EQ(Encode(dir.File("a.mp3"), source, 2), "");
  ASSERT_EQ(Encode(dir.File("b.mp3"), source, 2), "");
  EXPECT_EQ(ReadFile(dir.File("a.mp3")), ReadFile(dir.File("b.mp3")));
  // Under 30 seconds one thread does it, whatever it was given.
  const std::vector<int16_t> shortOne(source.begin(), source.begin() + s.rate * 25 * s.channels);
  int used = 0;
  ASSERT_EQ(Encode(dir.File("short2.mp3"), shortOne, 2, {}, &used), "");
  EXPECT_EQ(used, 1);
  ASSERT_EQ(Encode(dir.File("short1.mp3"), shortOne, 1), "");
  EXPECT_EQ(ReadFile(dir.File("short2.mp3")), ReadFile(dir.File("short1.mp3")));
}

TEST_P(Mp3ChunkedRuns, AStopInTheMiddleEndsPromptlyAndSaysNothingWentWrong) {
  const Settings s = GetParam();
  const std::vector<int16_t> source = Program(s.rate * 240, s.channels, s.rate);
  std::chrono::steady_clock::time_point stopped;
  const std::string error = Encode(dir.File("stopped.mp3"), source, 2, [&](TMP3Out& out) {
    SpinUntil([&] { return out.Progress() >= 20; }, 60000);
    stopped = std::chrono::steady_clock::now();
    out.Stop();
  });
  const auto took = std::chrono::steady_clock::now() - stopped;
  EXPECT_EQ(error, "");
  EXPECT_LT(std::chrono::duration<double>(took).count(), 5.0);
}

INSTANTIATE_TEST_SUITE_P(Cbr, Mp3ChunkedRuns, ::testing::Values(Settings{44100, 2, 128, false}), Name);

}  // namespace
