// The tool on damaged files: an MP3 gives the whole of what decodes, and a
// cut after the damage holds the source's own samples there; a WAV header
// with impossible numbers is refused, naming them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "audio/mp3/frames/Mp3Info.h"
#include "tests/cli/CliRun.h"
#include "tests/support/Alignment.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WavBuilder.h"
#include "tests/support/FileSizeLimit.h"
#include "platform/Error.h"
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::vector<int16_t> PcmOf(const std::string& wav) {
  const std::vector<uint8_t> bytes = ReadFile(wav);
  std::vector<int16_t> samples(bytes.size() > 44 ? (bytes.size() - 44) / 2 : 0);
  if (!samples.empty()) std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
  return samples;
}

TEST(DamagedMp3, DecodeKeepsEverythingAndCutsLineUpAfterTheDamage) {
  TempDir dir;
  std::vector<uint8_t> mp3 = EncodeMp3(ChirpSamples(44100 * 30, 2, 44100), 2, 44100, 128, false);
  // Zero the header of the frame a tenth of the way in.
  size_t at = 0, frame = 0;
  for (Mp3FrameHeader header; ParseMp3FrameHeader(&mp3[at], header) && frame < 115; ++frame) at += header.length;
  std::fill_n(mp3.begin() + static_cast<ptrdiff_t>(at), 4, 0);
  const std::string source = dir.File("damaged.mp3");
  WriteBytes(source, mp3);

  const std::string whole = dir.File("whole.wav");
  const Result decoded = Cli({"decode", Q(source), Q(whole), "--quiet"});
  ASSERT_EQ(decoded.code, 0) << decoded.err;
  const std::vector<int16_t> all = PcmOf(whole);
  EXPECT_GE(all.size(), 2u * (44100 * 30 - 2 * 1152));  // one frame's time lost, not the rest of the file

  const std::string cut = dir.File("cut.mp3"), back = dir.File("back.wav");
  const Result r = Cli({"cut", Q(source), Q(cut), "--start", "20", "--end", "23", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(Cli({"decode", Q(cut), Q(back), "--quiet"}).code, 0);
  const std::vector<int16_t> part = PcmOf(back);
  EXPECT_EQ(part.size(), 2u * 3 * 44100);
  EXPECT_EQ(BestLag(all, 20 * 44100, part, 2, 2500), 0);
}

TEST(DamagedWav, ImpossibleRatesAndChannelCountsAreRefusedNamingTheField) {
  TempDir dir;
  const std::vector<uint8_t> data(4000, 0);
  const struct {
    uint16_t channels;
    uint32_t rate;
    const char* field;
  } cases[] = {{2, 4000000000u, "sample rate of 4000000000 Hz"}, {2, 0, "sample rate of 0 Hz"},
               {100, 44100, "channel count of 100"}};
  for (const auto& c : cases) {
    const std::string wav = dir.File("odd.wav");
    WriteBytes(wav, WavBuilder()
                        .Format(1, c.channels, c.rate, static_cast<uint16_t>(c.channels * 2), 16)
                        .Chunk("data", data)
                        .Build());
    for (const QStringList& command : {QStringList{"info", Q(wav)}, QStringList{"encode", Q(wav), Q(dir.File("o.wma"))}}) {
      const Result r = Cli(command);
      EXPECT_EQ(r.code, 2) << r.err;
      EXPECT_NE(r.err.find(c.field), std::string::npos) << r.err;
      EXPECT_NE(r.err.find(wav), std::string::npos) << r.err;
    }
  }
}

TEST(FullDisk, EveryWriterSaysWhyAndNamesTheTarget) {
  TempDir dir;
  const std::string source = dir.File("tone.wav");
  WritePcmWav(source, 44100, 2, 44100 * 20);
  for (const char* name : {"out.mp3", "out.wma", "out.wav"}) {
    const std::string target = dir.File(name);
    Result r;
    {
      const FileSizeLimit limit(60000);  // the tool inherits it: writes past it fail
      const QString command = std::string(name) == "out.wav" ? "decode" : "encode";
      r = Cli({command, Q(source), Q(target), "--quiet"});
    }
    EXPECT_EQ(r.code, 4) << name;
    EXPECT_NE(r.err.find("larger than this file system or its limit allows"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(target), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(target)) << name;
  }
  EXPECT_EQ(ErrnoText(ENOSPC), "the disk is full");
}

TEST(FullDisk, AFileSizeLimitIsAFailureNotADeath) {
  // As under `ulimit -f` in a shell: the limit, and SIGXFSZ as the system
  // starts every program with it.
  TempDir dir;
  const std::string source = dir.File("tone.wav"), target = dir.File("out.wav");
  WritePcmWav(source, 44100, 2, 44100 * 20);
  QProcess process;
  process.setChildProcessModifier([] {
    ::signal(SIGXFSZ, SIG_DFL);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 60000;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  });
  process.start(CLIPWRIGHT_CLI, {"decode", Q(source), Q(target), "--quiet"});
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 4);
  const std::string err = process.readAllStandardError().toStdString();
  EXPECT_NE(err.find("larger than this file system or its limit allows"), std::string::npos) << err;
  EXPECT_NE(err.find(target), std::string::npos) << err;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);  // the source alone
}

TEST(UnreadableFiles, MessagesNameTheFileAndTheCause) {
  TempDir dir;
  const std::string good = dir.File("good.mp3"), junk = dir.File("junk.mp3");
  WriteBytes(good, EncodeMp3(ToneSamples(44100, 2, 44100), 2, 44100, 128, true));
  WriteBytes(junk, std::vector<uint8_t>(5000, 'z'));
  // Which of the two files cannot be read.
  for (const char* command : {"join", "mix"}) {
    const Result r = Cli({command, Q(good), Q(junk), Q(dir.File("out.mp3"))});
    EXPECT_EQ(r.code, 2) << command;
    EXPECT_NE(r.err.find("no MPEG audio frame was found"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(junk), std::string::npos) << r.err;
  }
  // A file the user may not read: the reason and the file, one line, nothing of FFmpeg's.
  const std::string locked = dir.File("locked.mp3");
  WriteBytes(locked, ReadFile(good));
  ::chmod(locked.c_str(), 0);
  if (::access(locked.c_str(), R_OK) == 0) GTEST_SKIP() << "running as a user who reads every file";
  for (const QStringList& command :
       {QStringList{"cut", Q(locked), Q(dir.File("c.mp3")), "--start", "0", "--end", "0.5", "--lossless"},
        QStringList{"cut", Q(locked), Q(dir.File("c.mp3")), "--start", "0", "--end", "0.5"},
        QStringList{"info", Q(locked)}}) {
    const Result r = Cli(command);
    EXPECT_EQ(r.code, 2) << command.join(" ").toStdString();
    EXPECT_EQ(r.err, "clipwright-cli: Permission denied: " + locked + "\n");
  }
}

}  // namespace
