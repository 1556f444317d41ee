// Gain, normalising and fades of cut and split results: fades against their
// formula sample by sample, levels measured with FFmpeg's ebur128 filter.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>

#include "tests/cli/CliRun.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDir.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

/// FFmpeg's integrated loudness (LUFS) and true peak (dBTP) of a file.
std::pair<double, double> FfmpegLevels(const std::string& file) {
  QProcess ffmpeg;
  ffmpeg.start("ffmpeg", {"-nostdin", "-nostats", "-i", Q(file), "-af", "ebur128=peak=true", "-f", "null", "-"});
  ffmpeg.waitForFinished(120000);
  const QString text = QString::fromUtf8(ffmpeg.readAllStandardError());
  const QString summary = text.mid(text.lastIndexOf("Summary:"));
  const auto value = [&summary](const char* label) {
    const auto match = QRegularExpression(QString(label) + R"(\s*(-?[0-9.]+))").match(summary);
    return match.hasMatch() ? match.captured(1).toDouble() : NAN;
  };
  return {value("I:"), value("Peak:")};
}

class Levels : public ::testing::Test {
 protected:
  void SetUp() override {
    // Mono noise at 8 kHz, loud enough that a fade's every step shows.
    ASSERT_EQ(RunTool("sox", {"-D", "-n", "-r", "8000", "-c", "1", "-b", "16", Q(noise), "synth", "4", "whitenoise",
                              "vol", "0.5"}),
              0);
  }

  Result Cut(const std::string& source, const std::string& target, QStringList more) {
    QStringList arguments = {"cut", Q(source), Q(target), "--start", "1", "--end", "3", "--force", "--quiet"};
    return Cli(arguments << more);
  }

  TempDir dir;
  const std::string noise = dir.File("noise.wav");
};

TEST_F(Levels, FadesFollowTheirCurveSampleBySample) {
  const std::vector<int16_t> source = WavSamples(noise);
  for (const char* curve : {"linear", "equal-power"}) {
    SCOPED_TRACE(curve);
    const std::string target = dir.File(std::string("faded-") + curve + ".wav");
    const Result r = Cut(noise, target, {"--fade-in", "100", "--fade-out", "250", "--fade-curve", curve});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<int16_t> result = WavSamples(target);
    ASSERT_EQ(result.size(), 16000u);  // the range's length is kept
    const auto gain = [curve](int64_t i, int64_t n) {
      if (i >= n) return 1.0;
      const double x = static_cast<double>(i) / static_cast<double>(n);
      return std::string(curve) == "linear" ? x : std::sin(std::numbers::pi / 2 * x);
    };
    int worst = 0;
    for (int64_t i = 0; i < 16000; ++i) {
      const double want = source[static_cast<size_t>(8000 + i)] * gain(i, 800) * gain(15999 - i, 2000);
      worst = std::max(worst, static_cast<int>(std::lround(std::abs(want - result[static_cast<size_t>(i)]))));
    }
    EXPECT_LE(worst, 1);
    EXPECT_EQ(result.front(), 0);  // the first and the last are silent
    EXPECT_EQ(result.back(), 0);
    // Between the fades, the samples as they were.
    EXPECT_TRUE(std::equal(result.begin() + 800, result.begin() + 14000, source.begin() + 8800));
  }
}

TEST_F(Levels, GainAndNormalisingMeasureAsAskedAndNeverClip) {
  const std::string music = dir.File("music.flac"), mp3 = dir.File("music.mp3");
  // Music rarely holds much above 16 kHz, which an MP3 encoder cuts away (and with it some loudness).
  ASSERT_EQ(RunTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(music), "synth", "6", "sine", "220", "sine",
                            "330", "pinknoise", "vol", "0.2", "lowpass", "16000"}),
            0);
  ASSERT_EQ(RunTool("lame", {"--quiet", "-b", "192", Q(music), Q(mp3)}), 0);
  // A plain cut, then the same 6 dB down.
  ASSERT_EQ(Cut(music, dir.File("plain.flac"), {}).code, 0);
  Result r = Cut(music, dir.File("down.flac"), {"--gain", "-6"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NEAR(FfmpegLevels(dir.File("down.flac")).first, FfmpegLevels(dir.File("plain.flac")).first - 6.0, 0.1);
  // Normalised to a loudness, and to a true peak, as FFmpeg measures them.
  r = Cut(music, dir.File("broadcast.flac"), {"--normalize", "loudness=-23"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(r.err.empty()) << r.err;
  EXPECT_NEAR(FfmpegLevels(dir.File("broadcast.flac")).first, -23.0, 0.1);
  // An MP3 result is measured before it is encoded: LAME takes about 0.3 LU of this noise away.
  r = Cut(mp3, dir.File("podcast.mp3"), {"--normalize", "loudness=-16"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NEAR(FfmpegLevels(dir.File("podcast.mp3")).first, -16.0, 0.4);
  r = Cut(music, dir.File("peak.flac"), {"--normalize", "peak=-1"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NEAR(FfmpegLevels(dir.File("peak.flac")).second, -1.0, 0.2);
  // A target the true-peak ceiling keeps it from: it stops there, and says how far short it fell.
  r = Cut(music, dir.File("loud.flac"), {"--normalize", "loudness=-2"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("note: the loudness reaches "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("LU short of -2.0 LUFS"), std::string::npos) << r.err;
  const auto [loudness, peak] = FfmpegLevels(dir.File("loud.flac"));
  EXPECT_NEAR(peak, -1.0, 0.15);
  EXPECT_LT(loudness, -2.5);
  // A gain that would clip is held where the loudest sample reaches full scale.
  r = Cut(noise, dir.File("hot.wav"), {"--gain", "20"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("note: the gain was held to "), std::string::npos) << r.err;
  const std::vector<int16_t> hot = WavSamples(dir.File("hot.wav"));
  int clipped = 0;
  for (const int16_t s : hot) clipped += s == 32767 || s == -32768;
  EXPECT_LE(clipped, 1);  // the loudest one, now at full scale
}

TEST_F(Levels, EachPieceOfASplitAndTheRefusals) {
  const std::string folder = dir.File("pieces");
  std::filesystem::create_directory(folder);
  Result r = Cli({"split", Q(noise), Q(folder), "--at", "2", "--name", "{n}", "--fade-in", "10", "--fade-out", "10", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* piece : {"1.wav", "2.wav"}) {
    const std::vector<int16_t> samples = WavSamples(folder + "/" + piece);
    ASSERT_EQ(samples.size(), 16000u);
    EXPECT_EQ(samples.front(), 0) << piece;
    EXPECT_EQ(samples.back(), 0) << piece;
  }
  // Levels change the samples: not with --lossless. Wrong values name themselves.
  const std::string mp3 = dir.File("noise.mp3");
  ASSERT_EQ(RunTool("lame", {"--quiet", Q(noise), Q(mp3)}), 0);
  r = Cut(mp3, dir.File("x.mp3"), {"--lossless", "--fade-in", "100"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("leave out --lossless"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.mp3")));
  for (const QStringList& wrong : {QStringList{"--normalize", "rms=-3"}, QStringList{"--normalize", "loudness=5"},
                                   QStringList{"--gain", "loud"}, QStringList{"--fade-curve", "s"},
                                   QStringList{"--gain", "3", "--normalize", "peak=-1"}}) {
    r = Cut(noise, dir.File("x.wav"), wrong);
    EXPECT_EQ(r.code, 1) << wrong.join(' ').toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.wav")));
  }
}

TEST_F(Levels, LosslessMp3GainMovesTheFramesGlobalGains) {
  // Plain and CRC-protected frames.
  for (const bool protectedFrames : {false, true}) {
    SCOPED_TRACE(protectedFrames ? "protected" : "plain");
    const std::string mp3 = dir.File(protectedFrames ? "p.mp3" : "n.mp3");
    QStringList lame = {"--quiet", "-b", "128"};
    if (protectedFrames) lame << "-p";
    ASSERT_EQ(RunTool("lame", lame << Q(noise) << Q(mp3)), 0);
    ASSERT_EQ(Cut(mp3, dir.File("plain.mp3"), {"--lossless"}).code, 0);
    const Result r = Cut(mp3, dir.File("down.mp3"), {"--lossless", "--gain", "-6"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("steps of 1.5 dB: -6.02 dB given for -6.00 dB"), std::string::npos) << r.err;
    // Copied, not encoded: the same frames, the same size.
    EXPECT_EQ(std::filesystem::file_size(dir.File("down.mp3")), std::filesystem::file_size(dir.File("plain.mp3")));
    EXPECT_TRUE(FfmpegErrors(dir.File("down.mp3")).empty());  // a protected frame's check was made anew
    // Four steps halve the amplitude: the decode is the plain one's halved, within the decoder's rounding.
    const std::vector<int16_t> plain = DecodeWithFfmpeg(dir.File("plain.mp3")), down = DecodeWithFfmpeg(dir.File("down.mp3"));
    ASSERT_EQ(down.size(), plain.size());
    int worst = 0;
    for (size_t i = 0; i < plain.size(); ++i)
      worst = std::max(worst, static_cast<int>(std::lround(std::abs(down[i] - plain[i] / 2.0))));
    EXPECT_LE(worst, 1);
  }
  // Fades cannot be had without decoding, nor a lossless gain in other formats.
  Result r = Cut(dir.File("n.mp3"), dir.File("x.mp3"), {"--lossless", "--fade-in", "100"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("fades change the samples"), std::string::npos) << r.err;
  const std::string opus = dir.File("n.opus");
  ASSERT_EQ(RunTool("opusenc", {"--quiet", Q(noise), Q(opus)}), 0);
  r = Cut(opus, dir.File("x.opus"), {"--lossless", "--gain", "-3"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("global gain fields, which other formats do not have"), std::string::npos) << r.err;
}

}  // namespace
