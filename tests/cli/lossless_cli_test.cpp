#include <gtest/gtest.h>

#include <QString>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/CliRun.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/Mp3Encoder.h"
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
  EXPECT_NE(r.err.find("--lossless cuts MP3 files only"), std::string::npos) << r.err;
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
  Result r = Cli({"remove", Q(source), Q(target), "--range", "0-0.5", "--range", "3.5-4", "--lossless", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(DecodeWithFfmpeg(target) == Slice(whole, 2, 26460, 149940));
  // A range in the middle would join two pieces.
  r = Cli({"remove", Q(source), Q(target), "--range", "1-2", "--lossless", "--force"});
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("keeps one piece only"), std::string::npos) << r.err;
  EXPECT_TRUE(DecodeWithFfmpeg(target) == Slice(whole, 2, 26460, 149940));  // the old target is kept
}

}  // namespace
