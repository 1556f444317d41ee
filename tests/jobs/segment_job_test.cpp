// Segment Cut's job, run through the command-line tool (the window's job code).
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "app/jobs/SegmentPlan.h"
#include "audio/wave/Adpcm.h"
#include "platform/Leftovers.h"
#include "tests/cli/CliRun.h"
#include "tests/support/Alignment.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WavBuilder.h"
#include "tests/support/WmaEncoder.h"
#include "tests/support/SignalProcess.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

class RemoveRanges : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(work);
    qputenv("TMPDIR", QByteArray::fromStdString(work));  // where the tool keeps its pieces
  }
  void TearDown() override { qunsetenv("TMPDIR"); }

  bool WorkIsEmpty() const { return std::filesystem::is_empty(work); }

  std::string Numbered(const char* name, int frames) { return WriteNumberedWav(dir.File(name), frames); }

  TempDir dir;
  std::string work = dir.File("work");
};

TEST_F(RemoveRanges, AWavLosesExactlyTheWidenedRanges) {
  const std::string source = Numbered("numbers.wav", 8000 * 20), target = dir.File("kept.wav");
  // Four pieces: [0, 1.9 s), [3.1 s, 5.9 s), [8.1 s, 9.9 s), [12.1 s, end).
  const Result r = Cli({"remove", Q(source), Q(target), "--range", "2-3", "--range", "00:00:06.0-00:00:08.0",
                        "--range", "10-12", "--widen", "0.1", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  std::vector<int16_t> expected;
  for (const auto& [from, to] : {std::pair{0, 15200}, {24800, 47200}, {64800, 79200}, {96800, 160000}})
    for (int n = from; n < to; ++n) expected.push_back(static_cast<int16_t>(n % 30000));
  EXPECT_EQ(WavSamples(target), expected);
  EXPECT_TRUE(WorkIsEmpty());
}

TEST_F(RemoveRanges, WidePcmAndATargetOnAnotherFileSystemAreJoinedByCopying) {
  // 24-bit stereo: pieces that are not plain 16-bit PCM are joined through the mixer.
  WavBuilder::Bytes data;
  for (int n = 0; n < 8000 * 6; ++n)
    for (int c = 0; c < 2; ++c) {
      const int32_t value = (n * 256 + c) - 4000000;
      for (int b = 0; b < 3; ++b) data.push_back(static_cast<uint8_t>(value >> (8 * b)));
    }
  const std::string wide = dir.File("wide.wav"), target = dir.File("wide_kept.wav");
  WriteBytes(wide, WavBuilder().Format(1, 2, 8000, 6, 24).Chunk("data", data).Build());
  Result r = Cli({"remove", Q(wide), Q(target), "--range", "1-2", "--range", "3-4", "--widen", "0.1", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto bytes = ReadFile(target);
  WavBuilder::Bytes expected;
  for (const auto& [from, to] : {std::pair{0, 7200}, {16800, 23200}, {32800, 48000}})
    expected.insert(expected.end(), data.begin() + from * 6, data.begin() + to * 6);
  ASSERT_GT(bytes.size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.end() - static_cast<std::ptrdiff_t>(expected.size())));

  // A target on another file system than the pieces: the last join copies.
  const std::string shm = "/dev/shm";
  std::error_code error;
  if (!std::filesystem::is_directory(shm, error)) GTEST_SKIP() << "no /dev/shm";
  const std::string source = Numbered("numbers.wav", 8000 * 10);
  const std::string here = dir.File("here.wav"), there = shm + "/clipwright-test-" + std::to_string(::getpid()) + ".wav";
  ASSERT_EQ(Cli({"remove", Q(source), Q(here), "--range", "2-3", "--range", "5-6", "--widen", "0.1", "--quiet"}).code, 0);
  r = Cli({"remove", Q(source), Q(there), "--range", "2-3", "--range", "5-6", "--widen", "0.1", "--quiet"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadFile(there), ReadFile(here));
  std::filesystem::remove(there, error);
  EXPECT_TRUE(WorkIsEmpty());
}

TEST_F(RemoveRanges, Mp3AndWmaKeepExactLengthsAndLineUp) {
  const auto sweep = ChirpSamples(44100 * 6, 2, 44100);
  const std::string mp3 = dir.File("song.MP3"), wma = dir.File("song.wma");
  WriteBytes(mp3, EncodeMp3(sweep, 2, 44100, 192, true));
  WriteWma(wma, sweep, 2, 44100, 128000);
  for (const std::string& source : {mp3, wma}) {
    const std::string ext = source.substr(source.size() - 4);
    const std::string target = dir.File("kept" + ext), decoded = dir.File("decoded.wav"), whole = dir.File("whole.wav");
    Result r = Cli({"remove", Q(source), Q(target), "--range", "1-2", "--range", "3.5-4", "--widen", "0.1", "--quiet"});
    ASSERT_EQ(r.code, 0) << source << r.err;
    ASSERT_EQ(Cli({"decode", Q(target), Q(decoded), "--force", "--quiet"}).code, 0);
    ASSERT_EQ(Cli({"decode", Q(source), Q(whole), "--force", "--quiet"}).code, 0);
    const auto kept = WavSamples(decoded), all = WavSamples(whole);
    const size_t frames = all.size() / 2;
    // Pieces [0, 0.9 s), [2.1 s, 3.4 s), [4.1 s, end): their lengths add up exactly.
    const size_t a = 39690, b = 149940 - 92610, c = frames - 180810;
    ASSERT_EQ(kept.size() / 2, a + b + c) << source;
    // Each piece lines up with the source where it came from.
    const auto piece = [&kept](size_t from, size_t count) {
      return std::vector<int16_t>(kept.begin() + static_cast<std::ptrdiff_t>(2 * from),
                                  kept.begin() + static_cast<std::ptrdiff_t>(2 * (from + count)));
    };
    EXPECT_EQ(BestLag(all, 0, piece(0, a), 2, 2000, 2000), 0) << source;
    EXPECT_EQ(BestLag(all, 92610, piece(a, b), 2, 2000, 2000), 0) << source;
    EXPECT_EQ(BestLag(all, 180810, piece(a + b, c), 2, 2000, 2000), 0) << source;
  }
  EXPECT_TRUE(WorkIsEmpty());
}

TEST_F(RemoveRanges, RefusalsAndFailures) {
  const std::string source = Numbered("numbers.wav", 8000 * 20), target = dir.File("kept.wav");
  Result r = Cli({"remove", Q(source), Q(target), "--range", "6-8", "--range", "2-3"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(kListOutOfOrder), std::string::npos) << r.err;
  r = Cli({"remove", Q(source), Q(target), "--range", "0-20"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find(kNothingRemains), std::string::npos) << r.err;
  r = Cli({"remove", Q(source), Q(target), "--range", "2-25"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find(kEndAfterTotal), std::string::npos) << r.err;
  r = Cli({"remove", Q(source), Q(source), "--range", "2-3", "--force"});
  EXPECT_EQ(r.code, 3);
  EXPECT_FALSE(std::filesystem::exists(target));

  // A step that fails (the disk fills up) ends the job; the old target stays.
  WriteBytes(target, {'o', 'l', 'd'});
  {
    const FileSizeLimit limit(100000);  // the tool inherits it
    r = Cli({"remove", Q(source), Q(target), "--range", "2-3", "--range", "6-8", "--force", "--quiet"});
  }
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("Error writing wave file"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_TRUE(WorkIsEmpty());
}

/// An 8-minute IMA ADPCM stereo source: its pieces are decoded, not copied,
/// so a remove runs long enough to be caught.
std::string LongAdpcm(const std::string& file) {
  constexpr int kBlock = 2048, kFrames = 2041, kBlocks = 48000 * 60 * 8 / kFrames;
  const auto tone = ToneSamples(kFrames, 2, 48000);
  std::vector<uint8_t> data(static_cast<size_t>(kBlock) * kBlocks);
  Adpcm::ImaChannel states[2];
  for (int b = 0; b < kBlocks; ++b) Adpcm::ImaEncodeBlock(tone.data(), kBlock, 2, states, data.data() + size_t{kBlock} * b);
  std::vector<uint8_t> extra, fact;
  WavBuilder::Put16(extra, 2);
  WavBuilder::Put16(extra, kFrames);
  WavBuilder::Put32(fact, static_cast<uint32_t>(kFrames * kBlocks));
  WriteBytes(file, WavBuilder().Format(17, 2, 48000, kBlock, 4, extra).Chunk("fact", fact).Chunk("data", data).Build());
  return file;
}

TEST_F(RemoveRanges, ASignalRemovesThePiecesAndTheTemporaryFile) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer holds signal handlers back until its own safe points";
#endif
  const std::string source = LongAdpcm(dir.File("long.wav")), target = dir.File("kept.wav");
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    QProcess process;
    process.start(CLIPWRIGHT_CLI, {"remove", Q(source), Q(target), "--range", "60-120", "--force", "--quiet"});
    // Caught once its folder of pieces has something in it.
    bool caught = false;
    for (int i = 0; i < 20000 && !caught && process.state() != QProcess::NotRunning; ++i) {
      for (const auto& entry : std::filesystem::directory_iterator(work))
        if (entry.is_directory() && !std::filesystem::is_empty(entry.path())) caught = true;
      if (!caught) QThread::usleep(500);
    }
    ASSERT_TRUE(caught) << "the run ended before its pieces were seen";
    ASSERT_TRUE(SignalProcess(process, signal));
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_TRUE(WorkIsEmpty()) << signal;
    EXPECT_FALSE(std::filesystem::exists(target)) << signal;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
      EXPECT_NE(entry.path().filename().string().rfind(".clipwright-", 0), 0u) << entry.path();
  }
}

TEST_F(RemoveRanges, LeftoversOfDeadRunsOfThisMachineAreRemovedAndAllOthersKept) {
  // A process id that is surely gone: a child that has ended.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  const std::string here = "-" + Leftovers::MachineToken() + "-AbCdEf";
  // Another host's file in a shared folder: its process id means nothing here.
  const std::string elsewhere = "-" + Leftovers::MachineToken("node7", "another boot") + "-AbCdEf";
  const std::string dead = std::to_string(child), live = std::to_string(::getpid());
  const std::string deadFolder = work + "/segment-" + dead + here, liveFolder = work + "/segment-" + live + here;
  const std::string foreignFolder = work + "/segment-" + dead + elsewhere;
  for (const std::string& folder : {deadFolder, liveFolder, foreignFolder}) {
    std::filesystem::create_directory(folder);
    WriteBytes(folder + "/cut1.wav", {1, 2, 3});
  }
  const std::string deadTemporary = dir.File(".clipwright-" + dead + here);
  const std::string liveTemporary = dir.File(".clipwright-" + live + here);
  const std::string foreignTemporary = dir.File(".clipwright-" + dead + elsewhere);
  // Made by an earlier version, which named no machine: not ours to judge.
  const std::string unnamedMachine = dir.File(".clipwright-" + dead + "-AbCdEf");
  const std::string notOurs = dir.File(".clipwright-notes");
  for (const std::string& file : {deadTemporary, liveTemporary, foreignTemporary, unnamedMachine, notOurs})
    WriteBytes(file, {1});

  const std::string source = Numbered("numbers.wav", 8000 * 10), target = dir.File("kept.wav");
  const Result r = Cli({"remove", Q(source), Q(target), "--range", "2-3", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_FALSE(std::filesystem::exists(deadFolder));
  EXPECT_FALSE(std::filesystem::exists(deadTemporary));
  EXPECT_TRUE(std::filesystem::exists(liveFolder + "/cut1.wav"));
  EXPECT_TRUE(std::filesystem::exists(liveTemporary));
  EXPECT_TRUE(std::filesystem::exists(foreignFolder + "/cut1.wav"));
  EXPECT_TRUE(std::filesystem::exists(foreignTemporary));
  EXPECT_TRUE(std::filesystem::exists(unnamedMachine));
  EXPECT_TRUE(std::filesystem::exists(notOurs));
}

}  // namespace
