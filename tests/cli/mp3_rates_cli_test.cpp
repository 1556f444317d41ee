// MP3 at every rate and bit rate of MPEG 1, 2 and 2.5, mono and stereo: the
// result keeps the input's rate where the standard has the bit rate at it,
// otherwise goes to the rate LAME chooses, and always carries our info frame
// with the exact length, at lag 0, on one thread and on several.
#include <gtest/gtest.h>

#include <QProcess>
#include <cmath>

#include "tests/cli/CliRun.h"
#include "tests/support/RunTool.h"
#include "tests/support/Alignment.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/Mpg123Decode.h"
#include "tests/support/TempDir.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

/// Music-like audio: pink noise under a tone whose level comes and goes,
/// below 3 kHz, so that even LAME's lowest bit rates keep what lines it up.
std::string Music(const TempDir& dir, int rate, int channels, double seconds) {
  const std::string file = dir.File("music_" + std::to_string(rate) + "_" + std::to_string(channels) + ".wav");
  EXPECT_EQ(RunTool("sox", {"-R", "-n", "-r", QString::number(rate), "-c", QString::number(channels), "-b", "16", Q(file),
                         "synth", QString::number(seconds), "pinknoise", "synth", QString::number(seconds), "sine",
                         "mix", "440", "tremolo", "3", "80", "lowpass", "3000", "vol", "0.5"}),
            0);
  return file;
}

/// Whether the standard has `kbps` at `rate` (ISO 11172-3 and 13818-3; MPEG
/// 2.5, LAME's, up to 64 kbps).
bool InTheTables(int rate, int kbps) {
  static const std::vector<int> mpeg1 = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  static const std::vector<int> mpeg2 = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  static const std::vector<int> mpeg25 = {8, 16, 24, 32, 40, 48, 56, 64};
  const auto& table = rate >= 32000 ? mpeg1 : rate >= 16000 ? mpeg2 : mpeg25;
  return std::find(table.begin(), table.end(), kbps) != table.end();
}

/// Encodes `source` (of `frames` frames at `rate`) at `kbps` and checks the
/// result: the rate kept where it can be, the exact length, lag 0.
void ExpectEncoded(const TempDir& dir, const std::string& source, int rate, int channels, int kbps,
                   const QStringList& more = {}) {
  SCOPED_TRACE(std::to_string(rate) + " Hz " + std::to_string(channels) + " ch " + std::to_string(kbps) + " kbps");
  const int64_t frames = static_cast<int64_t>(DecodeWithFfmpeg(source).size()) / channels;
  const std::string mp3 = dir.File("out.mp3");
  const Result r = Cli(QStringList{"encode", Q(source), Q(mp3), "--bitrate", QString::number(kbps), "--force", "--quiet"} + more);
  ASSERT_EQ(r.code, 0) << r.err;
  const Result info = Cli({"info", Q(mp3)});
  ASSERT_EQ(info.code, 0) << info.err;
  const int outRate = std::stoi(InfoValue(info.out, "sample_rate"));
  if (InTheTables(rate, kbps)) {
    EXPECT_EQ(outRate, rate);
    EXPECT_EQ(InfoValue(info.out, "bitrate"), std::to_string(kbps * 1000));
  }
  const auto expected = static_cast<int64_t>(std::llround(static_cast<double>(frames) * outRate / rate));
  const int64_t counted = std::stoll(InfoValue(info.out, "total_samples"));
  EXPECT_LE(std::abs(counted - expected), outRate == rate ? 0 : 2) << counted << " of " << expected;
  // Every decoder that reads the info frame delivers exactly that many samples.
  const std::vector<int16_t> byMpg123 = DecodeWithMpg123(mp3);
  const std::vector<int16_t> byFfmpeg = DecodeWithFfmpeg(mp3);
  EXPECT_EQ(static_cast<int64_t>(byMpg123.size()), counted * channels);
  EXPECT_EQ(static_cast<int64_t>(byFfmpeg.size()), counted * channels);
  if (outRate == rate && kbps >= 32) {
    EXPECT_EQ(BestLag(DecodeWithFfmpeg(source), 0, byFfmpeg, channels, 600, size_t(rate) / 10), 0);
  }
}

TEST(Mp3Rates, EveryRateAndBitRateIsWrittenWithItsExactLength) {
  TempDir dir;
  for (const int rate : {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000}) {
    for (const int channels : {1, 2}) {
      const std::string source = Music(dir, rate, channels, 1.5);
      for (const int kbps : {8, 16, 24, 32, 40, 64, 128, 160, 320}) ExpectEncoded(dir, source, rate, channels, kbps);
    }
  }
}

TEST(Mp3Rates, LowBitRatesAreWrittenOnSeveralThreadsToo) {
  TempDir dir;
  const std::string source = Music(dir, 16000, 2, 70);
  ExpectEncoded(dir, source, 16000, 2, 32, {"--threads", "3"});
  const std::string wide = Music(dir, 44100, 2, 70);
  ExpectEncoded(dir, wide, 44100, 2, 16, {"--threads", "3"});
}

TEST(Mp3Rates, AThirtyTwoKilobitPodcastIsCutAtItsOwnRateAndBitRate) {
  TempDir dir;
  for (const int rate : {44100, 22050}) {
    const std::string wav = Music(dir, rate, rate == 44100 ? 2 : 1, 25), mp3 = dir.File("podcast.mp3");
    ASSERT_EQ(RunTool("lame", {"--quiet", "-b", "32", Q(wav), Q(mp3)}), 0);
    const Result source = Cli({"info", Q(mp3)});
    const std::string cut = dir.File("cut.mp3");
    const Result r = Cli({"cut", Q(mp3), Q(cut), "--start", "10", "--end", "20", "--force", "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    const Result info = Cli({"info", Q(cut)});
    const int sourceRate = std::stoi(InfoValue(source.out, "sample_rate"));
    EXPECT_EQ(InfoValue(info.out, "sample_rate"), std::to_string(sourceRate));
    EXPECT_EQ(InfoValue(info.out, "bitrate"), "32000");
    EXPECT_EQ(InfoValue(info.out, "total_samples"), std::to_string(sourceRate * 10));
    EXPECT_EQ(DecodeWithMpg123(cut).size(), DecodeWithFfmpeg(cut).size());
  }
}

}  // namespace
