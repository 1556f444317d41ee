// --threads: MP3 results on one thread or several, the same length either way.
#include <gtest/gtest.h>

#include "tests/cli/CliRun.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

TEST(ThreadsOption, EncodesExactlyOnAnyNumberAndIsCheckedWhereItIsTaken) {
  TempDir dir;
  const std::string wav = dir.File("long.wav");
  WriteWav16(wav, ChirpSamples(44100 * 45, 2, 44100), 2, 44100);
  for (const char* threads : {"1", "2", "7"}) {
    SCOPED_TRACE(threads);
    const std::string mp3 = dir.File(std::string("t") + threads + ".mp3");
    Result r = Cli({"encode", Q(wav), Q(mp3), "--threads", threads, "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = Cli({"info", Q(mp3)});
    EXPECT_NE(r.out.find("total_samples: 1984500\n"), std::string::npos) << r.out;
    // The cut of the window and the tool takes it too.
    const std::string cut = dir.File(std::string("cut") + threads + ".mp3");
    r = Cli({"cut", Q(mp3), Q(cut), "--start", "1", "--end", "41", "--threads", threads, "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(Cli({"info", Q(cut)}).out.find("total_samples: 1764000\n"), std::string::npos);
  }
  for (const char* wrong : {"0", "-2", "many", "257"}) {
    const Result r = Cli({"encode", Q(wav), Q(dir.File("x.mp3")), "--threads", wrong});
    EXPECT_EQ(r.code, 1) << wrong;
    EXPECT_NE(r.err.find("not a number of threads"), std::string::npos) << r.err;
  }
  EXPECT_EQ(Cli({"info", Q(wav), "--threads", "2"}).code, 1);  // nothing to encode
  EXPECT_EQ(Cli({"decode", Q(dir.File("t1.mp3")), Q(dir.File("d.wav")), "--threads", "2"}).code, 1);
}

}  // namespace
