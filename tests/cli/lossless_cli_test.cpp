#include <gtest/gtest.h>

#include <tuple>

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/CliRun.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/Mpg123Decode.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::vector<int16_t> Slice(const std::vector<int16_t>& all, int channels, int64_t start, int64_t end) {
  return {all.begin() + start * channels, all.begin() + end * channels};
}

class LosslessCommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(source, EncodeMp3(ChirpSamples(44100 * 4, 2, 44100), 2, 44100, 128, true));
    whole = DecodeWithFfmpeg(source);
  }

  TempDir dir;
  const std::string source = dir.File("song.mp3"), target = dir.File("cut.mp3");
  std::vector<int16_t> whole;
};

TEST_F(LosslessCommandLine, CutCopiesTheFramesOfTheRange) {
  Result r = Cli({"cut", Q(source), Q(target), "--start", "0.5", "--end", "00:00:02.0", "--lossless", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(DecodeWithFfmpeg(target) == Slice(whole, 2, 22050, 88200));
  r = Cli({"info", Q(target)});
  EXPECT_NE(r.out.find("total_samples: 66150\n"), std::string::npos) << r.out;
  // Smaller than a re-encoded cut would be: the frames are the source's own.
  EXPECT_LT(std::filesystem::file_size(target), std::filesystem::file_size(source) / 2);
}

TEST_F(LosslessCommandLine, RefusalsSayWhy) {
  // Not MP3.
  WritePcmWav(dir.File("tone.wav"), 8000, 1, 8000);
  Result r = Cli({"cut", Q(dir.File("tone.wav")), Q(dir.File("cut.wav")), "--start", "0", "--end", "0.5", "--lossless"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("--lossless cuts MP3, Opus and M4A files only"), std::string::npos) << r.err;
  // Formats with no way to trim a copy's start say so.
  for (const auto& [name, codec, why] : {std::tuple{"tone.ogg", "libvorbis", "Ogg Vorbis cannot be cut exactly"},
                                         std::tuple{"tone.wma", "wmav2", "WMA cannot be cut without re-encoding: ASF"}}) {
    ASSERT_EQ(RunFfmpeg({"-i", Q(dir.File("tone.wav")), "-c:a", codec, Q(dir.File(name))}), 0);
    r = Cli({"cut", Q(dir.File(name)), Q(dir.File(std::string("cut-") + name)), "--start", "0", "--end", "0.5", "--lossless"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("leave out --lossless"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File(std::string("cut-") + name)));
  }
  // A damaged stream: the run fails (4), names the file and the cause, and writes nothing.
  std::vector<uint8_t> bytes = ReadFile(source);
  bytes.insert(bytes.begin() + 30000, 500, 0x55);
  WriteBytes(dir.File("damaged.mp3"), bytes);
  r = Cli({"cut", Q(dir.File("damaged.mp3")), Q(target), "--start", "0.5", "--end", "2", "--lossless"});
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("damaged at byte"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("damaged.mp3"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(target));
  // A range inside one frame.
  r = Cli({"cut", Q(source), Q(target), "--start", "1", "--end", "1.001", "--lossless"});
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("inside one MP3 frame"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(target));
}

TEST_F(LosslessCommandLine, RemoveKeepsOnePieceOrRefusesToJoin) {
  // The ranges widen by 100 ms: removing 0-0.5 s and 3.5 s-end keeps [0.6 s, 3.4 s).
  Result r = Cli({"remove", Q(source), Q(target), "--range", "0-0.5", "--range", "3.5-4", "--widen", "0.1", "--lossless", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(DecodeWithFfmpeg(target) == Slice(whole, 2, 26460, 149940));
  // A range in the middle would join two pieces.
  r = Cli({"remove", Q(source), Q(target), "--range", "1-2", "--lossless", "--force"});
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("keeps one piece only"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("move by part of a frame (1152 samples)"), std::string::npos) << r.err;
  EXPECT_TRUE(DecodeWithFfmpeg(target) == Slice(whole, 2, 26460, 149940));  // the old target is kept
}

TEST(LosslessMpg123, StartsAndEndsTheCutsExactlyToo) {
  if (QStandardPaths::findExecutable("mpg123").isEmpty()) GTEST_SKIP() << "mpg123 is not installed (scripts/install-deps.sh)";
  struct Kind {
    const char* name;
    int channels, rate, kbps;
    bool tag, vbr;
  };
  TempDir dir;
  const std::string target = dir.File("cut.mp3");
  for (const Kind& k : {Kind{"cbr128", 2, 44100, 128, true, false}, Kind{"vbr", 2, 44100, 128, true, true},
                        Kind{"mono22", 1, 22050, 64, true, false}, Kind{"mono44", 1, 44100, 64, true, false},
                        Kind{"untagged32", 2, 44100, 32, false, false}}) {
    SCOPED_TRACE(k.name);
    const std::string source = dir.File(std::string(k.name) + ".mp3");
    WriteBytes(source, EncodeMp3(ChirpSamples(k.rate * 2, k.channels, k.rate), k.channels, k.rate, k.kbps, k.tag, k.vbr));
    const std::vector<int16_t> whole = DecodeWithMpg123(source);
    const int64_t total = static_cast<int64_t>(whole.size()) / k.channels;
    ASSERT_GT(total, k.rate);
    for (const auto& [startMs, endMs] : {std::pair<int, int>{0, 700}, {97, 1234}, {1000, 99999}}) {
      SCOPED_TRACE(std::to_string(startMs) + " ms");
      ASSERT_EQ(Cli({"cut", Q(source), Q(target), "--start", QString::number(startMs / 1000.0, 'f', 3), "--end",
                     QString::number(endMs / 1000.0, 'f', 3), "--lossless", "--force", "--quiet"})
                    .code,
                0);
      const int64_t start = std::llround(startMs / 1000.0 * k.rate);
      const int64_t end = std::min<int64_t>(total, std::llround(endMs / 1000.0 * k.rate));
      const std::vector<int16_t> got = DecodeWithMpg123(target), want = Slice(whole, k.channels, start, end);
      ASSERT_EQ(got.size(), want.size());
      if (k.channels == 2) {
        EXPECT_TRUE(got == want);
      } else {
        // mpg123's mono synthesis rounds by where in its filter ring a frame
        // falls, which depends on how many frames it decoded before: the same
        // file decoded from another start differs by one in a few samples.
        int differ = 0;
        for (size_t i = 0; i < got.size(); ++i) {
          ASSERT_LE(std::abs(got[i] - want[i]), 1) << i;
          differ += got[i] != want[i];
        }
        EXPECT_LT(differ, static_cast<int>(got.size() / 500));
      }
    }
  }
}

}  // namespace
