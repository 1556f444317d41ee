// Failures reach the user by their kind: the exit code, and one line that
// names the file or the library at fault.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/CliRun.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

class ToolErrors : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteWav16(wav, ToneSamples(44100, 2, 44100), 2, 44100);
    ASSERT_EQ(RunFfmpeg({"-i", Q(wav), Q(flac)}), 0);
  }
  TempDir dir;
  const std::string wav = dir.File("tone.wav");
  const std::string flac = dir.File("tone.flac");
};

TEST_F(ToolErrors, AMissingFfmpegLibraryIsNamedAndTheFileIsNotCalledUnreadable) {
  const QStringList missing{"CLIPWRIGHT_AVCODEC_LIBRARY=/nonexistent/libavcodec.so"};
  for (const QStringList& arguments :
       {QStringList{"info", Q(flac)}, QStringList{"cut", Q(flac), Q(dir.File("cut.flac")), "--start", "0", "--end", "0.5"},
        QStringList{"encode", Q(wav), Q(dir.File("out.ogg"))}}) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const Result r = Cli(arguments, missing);
    EXPECT_EQ(r.code, 5) << r.err;
    EXPECT_NE(r.err.find("FFmpeg library"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("/nonexistent/libavcodec.so"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("can read"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("cut.flac")));
  EXPECT_FALSE(std::filesystem::exists(dir.File("out.ogg")));
  // The same files, with the libraries there.
  EXPECT_EQ(Cli({"info", Q(flac)}).code, 0);
}

TEST_F(ToolErrors, EncodeOptionsAreTheTargetFormatsOwn) {
  Result r = Cli({"encode", Q(wav), Q(dir.File("x.aiff")), "--bitrate", "128"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("AIFF keeps every sample as it is: it takes no --bitrate"), std::string::npos) << r.err;
  r = Cli({"encode", Q(wav), Q(dir.File("x.opus")), "--mode", "mono"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("--mode is for MP3"), std::string::npos) << r.err;
  r = Cli({"encode", Q(wav), Q(dir.File("x.wav"))});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(".mp3, .wma, .flac"), std::string::npos) << r.err;
  r = Cli({"cut", Q(wav), Q(dir.File("x.wav")), "--start", "0", "--end", "0.5", "--lossless"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("--lossless cuts MP3, Opus and M4A files only"), std::string::npos) << r.err;
  // Each refusal before anything was written.
  for (const char* name : {"x.aiff", "x.opus", "x.wav"}) EXPECT_FALSE(std::filesystem::exists(dir.File(name))) << name;
}

}  // namespace
