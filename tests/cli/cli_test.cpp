#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <QProcess>
#include <QThread>
#include <algorithm>
#include <filesystem>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>

#include <cmath>

#include "Version.h"
#include "audio/wave/Adpcm.h"
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

using Bytes = std::vector<uint8_t>;

/// 16-bit stereo at 8000 Hz where frame n holds n (left) and -n (right).
Bytes NumberedWav(int frames) {
  std::vector<int16_t> samples;
  for (int n = 0; n < frames; ++n) {
    samples.push_back(static_cast<int16_t>(n));
    samples.push_back(static_cast<int16_t>(-n));
  }
  return WavBuilder().Format(1, 2, 8000, 4, 16).Chunk("data", WavBuilder::Samples(samples)).Build();
}

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override { WriteBytes(source, NumberedWav(24000)); }

  QString Q(const std::string& s) { return QString::fromStdString(s); }

  TempDir dir;
  std::string source = dir.File("numbers.wav");
  std::string target = dir.File("cut.wav");
};

TEST_F(CommandLine, InfoListsTheFormat) {
  const Result r = Cli({"info", Q(source)});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out,
            "format: WAV\ntype: wtPCM\nchannels: 2\nsample_rate: 8000\nbits_per_sample: 16\n"
            "total_samples: 24000\nduration: 00:00:03.0\n");
}

TEST_F(CommandLine, CutKeepsExactlyTheRange) {
  Result r = Cli({"cut", Q(source), Q(target), "--start", "00:00:01.0", "--end", "1.5", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const Bytes bytes = ReadFile(target);
  ASSERT_EQ(bytes.size(), 44u + 4000u * 4);  // frames 8000..11999
  int16_t first[2], last[2];
  std::memcpy(first, bytes.data() + 44, 4);
  std::memcpy(last, bytes.data() + bytes.size() - 4, 4);
  EXPECT_EQ(first[0], 8000);
  EXPECT_EQ(first[1], -8000);
  EXPECT_EQ(last[0], 11999);

  // An end past the file means its end; --force replaces the target.
  r = Cli({"cut", Q(source), Q(target), "--start", "2.999", "--end", "99", "--force"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadFile(target).size(), 44u + 8u * 4);  // frames 23992..23999

  // Any number of decimals, minutes and seconds, and sample counts.
  r = Cli({"cut", Q(source), Q(target), "--start", "1.0013", "--end", "0:01.5", "--force"});
  ASSERT_EQ(r.code, 0) << r.err;
  std::memcpy(first, ReadFile(target).data() + 44, 4);
  EXPECT_EQ(first[0], 8010);  // 8010.4 rounds to 8010
  EXPECT_EQ(ReadFile(target).size(), 44u + (12000u - 8010u) * 4);
  r = Cli({"cut", Q(source), Q(target), "--start", "7s", "--end", "20001s", "--force"});
  ASSERT_EQ(r.code, 0) << r.err;
  const Bytes samples = ReadFile(target);
  ASSERT_EQ(samples.size(), 44u + (20001u - 7u) * 4);
  std::memcpy(first, samples.data() + 44, 4);
  std::memcpy(last, samples.data() + samples.size() - 4, 4);
  EXPECT_EQ(first[0], 7);
  EXPECT_EQ(last[0], 20000);
  // An empty range or one past the file is refused, whatever the units.
  for (const auto& [start, end] : {std::pair{"100s", "100s"}, std::pair{"0:02", "0:01"}, std::pair{"24000s", "30000s"},
                                   std::pair{"0", "0s"}}) {
    r = Cli({"cut", Q(source), Q(target), "--start", start, "--end", end, "--force"});
    EXPECT_EQ(r.code, 1) << start << " " << end;
    EXPECT_NE(r.err.find("the start must come before the end"), std::string::npos) << r.err;
  }
  r = Cli({"cut", Q(source), Q(target), "--start", "0:75", "--end", "1", "--force"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("not a time or a frame count: 0:75"), std::string::npos) << r.err;
}

TEST_F(CommandLine, RefusalsAndTheirExitCodes) {
  EXPECT_EQ(Cli({}).code, 1);
  EXPECT_EQ(Cli({"split", Q(source)}).code, 1);
  EXPECT_EQ(Cli({"cut", Q(source), Q(target), "--start", "1"}).code, 1);
  EXPECT_EQ(Cli({"cut", Q(source), Q(target), "--start", "2", "--end", "1"}).code, 1);
  EXPECT_EQ(Cli({"cut", Q(source), Q(target), "--start", "4", "--end", "5"}).code, 1);
  EXPECT_EQ(Cli({"cut", Q(source), Q(target), "--start", "1:2", "--end", "5"}).code, 1);
  EXPECT_EQ(Cli({"info", Q(dir.File("missing.wav"))}).code, 2);
  WriteBytes(dir.File("junk.wav"), Bytes(100, 'j'));
  EXPECT_EQ(Cli({"info", Q(dir.File("junk.wav"))}).code, 2);
  EXPECT_EQ(Cli({"info", Q(dir.File("notes.txt"))}).code, 2);
  // Each command takes its own files and options, and names the option it does not take.
  const std::pair<QStringList, std::string> misuses[] = {
      {{"info", Q(source), "--force"}, "info does not take --force"},
      {{"cut", Q(source), Q(target), "--start", "0", "--end", "1", "--bitrate", "128"}, "cut does not take --bitrate"},
      {{"decode", Q(source)}, "decode takes a source and a target"},
      {{"join", Q(source), Q(source), Q(target), "--lossless"}, "join does not take --lossless"},
      {{"peaks", Q(source), "--quiet"}, "peaks does not take --quiet"},
      {{"remove", Q(source), Q(target), "--range", "1-2", "--json"}, "remove does not take --json"},
      {{"split", Q(source), Q(dir.Path().string()), "--every", "1", "--jobs", "2"}, "split does not take --jobs"},
      {{"batch", Q(source), Q(target)}, "batch takes one manifest"}};
  for (const auto& [misuse, said] : misuses) {
    const Result refused = Cli(misuse);
    EXPECT_EQ(refused.code, 1) << misuse.join(' ').toStdString();
    EXPECT_NE(refused.err.find("clipwright-cli: " + said), std::string::npos) << refused.err;
  }

  WriteBytes(target, {'k', 'e', 'e', 'p'});
  Result r = Cli({"cut", Q(source), Q(target), "--start", "0", "--end", "1"});
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(ReadFile(target), (Bytes{'k', 'e', 'e', 'p'}));
  r = Cli({"cut", Q(source), Q(source), "--start", "0", "--end", "1", "--force"});
  EXPECT_EQ(r.code, 3);
  EXPECT_EQ(ReadFile(source).size(), 44u + 96000u);

  // A missing folder is named.
  r = Cli({"cut", Q(source), Q(dir.File("no/such/folder/x.wav")), "--start", "0", "--end", "1"});
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("the folder " + dir.File("no/such/folder") + " does not exist"), std::string::npos);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);

  // A run that fails (the disk fills up) leaves an existing target as it was.
  {
    const FileSizeLimit limit(20000);  // the tool inherits it
    r = Cli({"cut", Q(source), Q(target), "--start", "0", "--end", "2.5", "--force"});
  }
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("Error writing wave file"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(target), (Bytes{'k', 'e', 'e', 'p'}));
}

/// The names in the folder, sorted.
std::vector<std::string> FolderContents(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(CommandLine, MessagesNameTheFileAndTheCause) {
  std::filesystem::create_directory(dir.File("folder.wav"));
  Result r = Cli({"info", Q(dir.File("folder.wav"))});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find(dir.File("folder.wav") + " is a directory"), std::string::npos) << r.err;

  // A named pipe is refused at once instead of waiting for a writer.
  ASSERT_EQ(::mkfifo(dir.File("pipe.wav").c_str(), 0600), 0);
  r = Cli({"info", Q(dir.File("pipe.wav"))});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("is a named pipe"), std::string::npos) << r.err;

  Bytes gsm(65 * 4, 0);
  Bytes extra;
  WavBuilder::Put16(extra, 2);
  WavBuilder::Put16(extra, 320);
  WriteBytes(dir.File("gsm.wav"), WavBuilder().Format(0x31, 1, 8000, 65, 0, extra).Chunk("data", gsm).Build());
  r = Cli({"info", Q(dir.File("gsm.wav"))});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "clipwright-cli: WAV encoding GSM 6.10 is not supported: " + dir.File("gsm.wav") + "\n");

  // The target has the source's format, or nothing is written.
  r = Cli({"cut", Q(source), Q(dir.File("cut.mp3")), "--start", "0", "--end", "1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.File("cut.mp3")));
}

TEST_F(CommandLine, TemporaryFilesAreOursAlone) {
  // A user's file that looks like a temporary one is never touched, and a
  // run leaves nothing behind, whether it succeeds or fails.
  WriteBytes(dir.File("cut.wav.clipwright-part"), {'m', 'i', 'n', 'e'});
  const auto before = FolderContents(dir.Path());
  Result r = Cli({"cut", Q(source), Q(target), "--start", "0", "--end", "1"});
  ASSERT_EQ(r.code, 0) << r.err;
  auto expected = before;
  expected.push_back("cut.wav");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FolderContents(dir.Path()), expected);
  EXPECT_EQ(ReadFile(dir.File("cut.wav.clipwright-part")), (Bytes{'m', 'i', 'n', 'e'}));

  // A legal name of 250 characters still works beside its short temporary name.
  const std::string longName = dir.File(std::string(246, 'n') + ".wav");
  r = Cli({"cut", Q(source), Q(longName), "--start", "0", "--end", "1"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadFile(longName).size(), 44u + 8000u * 4);
}

TEST_F(CommandLine, EncodeWritesMp3WithTheSourcesTags) {
  // A tagged MP3 re-encoded: every sample back, the tags carried over.
  const auto tone = ToneSamples(44100 * 2 + 100, 2, 44100);
  const std::string song = dir.File("song.mp3");
  WriteBytes(song, EncodeMp3(tone, 2, 44100, 192, true));
  {
    TagLib::MPEG::File tagged(song.c_str());
    tagged.ID3v2Tag(true)->setTitle("Song");
    tagged.ID3v2Tag(true)->setArtist("Band");
    ASSERT_TRUE(tagged.save());
  }
  const std::string again = dir.File("again.mp3");
  Result r = Cli({"encode", Q(song), Q(again), "--bitrate", "160", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Cli({"info", Q(again)});
  EXPECT_NE(r.out.find("total_samples: 88300\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("bitrate: 160000\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("title: Song\nartist: Band\n"), std::string::npos) << r.out;
  const Bytes bytes = ReadFile(again);
  EXPECT_EQ(std::string(bytes.end() - 125, bytes.end() - 121), "Song");  // the ID3v1 record

  // A 24-bit WAV is converted to 16 bits for the encoder; mono stays mono.
  Bytes wide;
  for (int i = 0; i < 8000; ++i) {
    const int32_t s = static_cast<int32_t>(4000000 * std::sin(i * 0.1));
    wide.insert(wide.end(), {uint8_t(s), uint8_t(s >> 8), uint8_t(s >> 16)});
  }
  WriteBytes(dir.File("wide.wav"), WavBuilder().Format(1, 1, 8000, 3, 24).Chunk("data", wide).Build());
  r = Cli({"encode", Q(dir.File("wide.wav")), Q(dir.File("wide.mp3")), "--vbr", "2"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Cli({"info", Q(dir.File("wide.mp3"))});
  EXPECT_NE(r.out.find("channels: 1\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("total_samples: 8000\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("vbr: yes\n"), std::string::npos) << r.out;

  // WMA: the nearest format to the bit rate asked for, the tags carried over.
  const std::string wma = dir.File("song.wma");
  r = Cli({"encode", Q(song), Q(wma), "--bitrate", "96", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Cli({"info", Q(wma)});
  EXPECT_NE(r.out.find("format: WMA\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("total_samples: 88300\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("bitrate: 96000\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("title: Song\nartist: Band\n"), std::string::npos) << r.out;
  EXPECT_EQ(Cli({"encode", Q(song), Q(dir.File("v.wma")), "--vbr", "1"}).code, 1);

  EXPECT_EQ(Cli({"encode", Q(source), Q(dir.File("x.wav"))}).code, 1);
  EXPECT_EQ(Cli({"encode", Q(source), Q(dir.File("x.mp3")), "--bitrate", "100"}).code, 1);
  EXPECT_EQ(Cli({"encode", Q(source), Q(dir.File("x.mp3")), "--vbr", "10"}).code, 1);
  EXPECT_EQ(Cli({"encode", Q(source), Q(dir.File("x.mp3")), "--mode", "quad"}).code, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.mp3")));
  EXPECT_EQ(Cli({"encode", Q(source), Q(again)}).code, 3);
}


TEST_F(CommandLine, CutMp3AndWmaKeepExactlyTheRange) {
  const auto tone = ChirpSamples(44100 * 3, 2, 44100);
  const std::string mp3 = dir.File("song.mp3"), wma = dir.File("song.wma");
  WriteBytes(mp3, EncodeMp3(tone, 2, 44100, 192, true));
  {
    TagLib::MPEG::File tagged(mp3.c_str());
    tagged.ID3v2Tag(true)->setTitle("Song");
    tagged.ID3v2Tag(true)->setYear(2004);
    ASSERT_TRUE(tagged.save());
  }
  WriteWma(wma, tone, 2, 44100, 128000, {{"Title", "Tune"}});
  for (const std::string& source : {mp3, wma}) {
    const std::string target = dir.File("cut" + source.substr(source.size() - 4));
    Result r = Cli({"cut", Q(source), Q(target), "--start", "0.5", "--end", "00:00:02.0", "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    r = Cli({"info", Q(target)});
    EXPECT_NE(r.out.find("total_samples: 66150\n"), std::string::npos) << r.out;  // 1.5 s exactly
    EXPECT_NE(r.out.find(source == mp3 ? "title: Song\n" : "title: Tune\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(source == mp3 ? "bitrate: 192000\n" : "bitrate: 128000\n"), std::string::npos) << r.out;
    // Decoded, the cut lines up with the source's samples from 0.5 s on.
    const std::string back = dir.File("back.wav");
    ASSERT_EQ(Cli({"decode", Q(target), Q(back), "--force", "--quiet"}).code, 0);
    const Bytes bytes = ReadFile(back);
    std::vector<int16_t> part((bytes.size() - 44) / 2);
    std::memcpy(part.data(), bytes.data() + 44, part.size() * 2);
    ASSERT_EQ(Cli({"decode", Q(source), Q(back), "--force", "--quiet"}).code, 0);
    const Bytes all = ReadFile(back);
    std::vector<int16_t> whole((all.size() - 44) / 2);
    std::memcpy(whole.data(), all.data() + 44, whole.size() * 2);
    EXPECT_EQ(BestLag(whole, 22050, part, 2, 4000), 0) << source;
  }
}

/// Cuts long enough to be caught while they run: 8 minutes of IMA ADPCM
/// stereo, which is decoded (plain PCM would be copied in the kernel at once).
class LongRun : public CommandLine {
 protected:
  void SetUp() override {
    constexpr int kBlock = 2048, kFrames = 2041, kBlocks = 48000 * 60 * 8 / kFrames;
    const auto tone = ToneSamples(kFrames, 2, 48000);
    Bytes data(static_cast<size_t>(kBlock) * kBlocks);
    Adpcm::ImaChannel states[2];
    for (int b = 0; b < kBlocks; ++b) Adpcm::ImaEncodeBlock(tone.data(), kBlock, 2, states, data.data() + size_t{kBlock} * b);
    Bytes extra, fact;
    WavBuilder::Put16(extra, 2);
    WavBuilder::Put16(extra, kFrames);
    WavBuilder::Put32(fact, static_cast<uint32_t>(kFrames * kBlocks));
    WriteBytes(source, WavBuilder().Format(17, 2, 48000, kBlock, 4, extra).Chunk("fact", fact).Chunk("data", data).Build());
    WriteBytes(target, {'o', 'l', 'd'});
  }

  /// Starts a cut of the whole source over the existing target and stops it
  /// (SIGSTOP) once its temporary file is there. A machine slow to look can
  /// miss the run: then it is tried again, up to five times.
  bool StartAndStopCut(QProcess& process) {
    for (int attempt = 0; attempt < 5; ++attempt) {
      WriteBytes(target, {'o', 'l', 'd'});
      process.start(CLIPWRIGHT_CLI, {"cut", Q(source), Q(target), "--start", "0", "--end", "600", "--force", "--quiet"});
      if (WaitForTemporaryFile()) {
        const auto pid = static_cast<pid_t>(process.processId());
        ::kill(pid, SIGSTOP);
        if (StoppedWhileRunning(pid)) return true;
      }
      process.waitForFinished(60000);
    }
    return false;
  }

  bool WaitForTemporaryFile() {
    for (int i = 0; i < 20000; ++i) {
      for (const auto& name : FolderContents(dir.Path()))
        if (name.rfind(".clipwright-", 0) == 0) return true;
      QThread::usleep(200);
    }
    return false;
  }

  /// True once the process shows as stopped; false when it ended first.
  static bool StoppedWhileRunning(pid_t pid) {
    for (int i = 0; i < 1000; ++i) {
      std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
      std::string text((std::istreambuf_iterator<char>(stat)), {});
      const size_t state = text.rfind(')');
      if (state == std::string::npos || state + 2 >= text.size()) return false;
      if (text[state + 2] == 'T' || text[state + 2] == 't') return true;
      if (text[state + 2] == 'Z' || text[state + 2] == 'X') return false;
      QThread::usleep(1000);
    }
    return false;
  }

  void ExpectTargetKeptAndNothingLeft() {
    EXPECT_EQ(ReadFile(target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(FolderContents(dir.Path()), (std::vector<std::string>{"cut.wav", "numbers.wav"}));
  }
};

TEST_F(LongRun, SourceCutShortDuringTheRunFailsItAndKeepsTheTarget) {
  QProcess process;
  ASSERT_TRUE(StartAndStopCut(process));
  std::filesystem::resize_file(source, 2 << 20);
  ASSERT_TRUE(SignalProcess(process, SIGCONT));
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitCode(), 4);
  EXPECT_NE(process.readAllStandardError().toStdString().find(source + " ended early"), std::string::npos);
  ExpectTargetKeptAndNothingLeft();
}

TEST_F(LongRun, InterruptRemovesTheTemporaryFile) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer holds signal handlers back until its own safe points";
#endif
  for (const int signal : {SIGINT, SIGTERM}) {
    QProcess process;
    ASSERT_TRUE(StartAndStopCut(process));
    ASSERT_TRUE(SignalProcess(process, signal));  // delivered when it goes on
    ASSERT_TRUE(SignalProcess(process, SIGCONT));
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_TRUE(process.exitStatus() == QProcess::CrashExit || process.exitCode() == 128 + signal);
    ExpectTargetKeptAndNothingLeft();
  }
}

TEST_F(CommandLine, DecodeWritesPcmOfAnyWav) {
  // Float in, 32-bit PCM out (with the extensible header, as for every sample wider than 16 bits).
  std::vector<float> values = {0.5f, -0.25f, 0.0f, 1.0f};
  Bytes payload(values.size() * 4);
  std::memcpy(payload.data(), values.data(), payload.size());
  WriteBytes(dir.File("float.wav"), WavBuilder().Format(3, 1, 8000, 4, 32).Chunk("data", payload).Build());
  const Result r = Cli({"decode", Q(dir.File("float.wav")), Q(target)});
  ASSERT_EQ(r.code, 0) << r.err;
  const Result info = Cli({"info", Q(target)});
  EXPECT_NE(info.out.find("type: wtExtPCM\n"), std::string::npos);
  EXPECT_NE(info.out.find("bits_per_sample: 32\n"), std::string::npos);
  EXPECT_NE(info.out.find("total_samples: 4\n"), std::string::npos);
  EXPECT_EQ(Cli({"decode", Q(source), Q(dir.File("out.mp3"))}).code, 1);
}

TEST_F(CommandLine, Mp3AndWmaInfoAndDecode) {
  std::vector<int16_t> tone;
  for (int i = 0; i < 44100 * 2; ++i) {
    const auto s = static_cast<int16_t>(8000 * std::sin(i * 0.05));
    tone.insert(tone.end(), {s, s});
  }
  const std::string mp3 = dir.File("song.mp3");
  WriteBytes(mp3, EncodeMp3(tone, 2, 44100, 192, true));
  {
    TagLib::MPEG::File tagged(mp3.c_str());
    tagged.ID3v2Tag(true)->setTitle("Song");
    tagged.ID3v2Tag(true)->setArtist("Band");
    tagged.ID3v2Tag(true)->setYear(1999);
    tagged.ID3v2Tag(true)->setComment("Live");
    ASSERT_TRUE(tagged.save());
  }
  Result r = Cli({"info", Q(mp3)});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "format: MP3\ncodec: mp3\ncontainer: mp3\nchannels: 2\nsample_rate: 44100\nbits_per_sample: 16\ntotal_samples: 88200\n"
            "duration: 00:00:02.0\nbitrate: 192000\nvbr: no\ntitle: Song\nartist: Band\nyear: 1999\ncomment: Live\n");
  r = Cli({"decode", Q(mp3), Q(target), "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(WavSamples(target).size(), 88200u * 2);  // every encoded frame, no more
  {
    // The tags come along, after the samples.
    TagLib::RIFF::WAV::File decoded(target.c_str());
    ASSERT_TRUE(decoded.isValid());
    EXPECT_EQ(decoded.InfoTag()->title().to8Bit(true), "Song");
    EXPECT_EQ(decoded.ID3v2Tag()->comment().to8Bit(true), "Live");
  }

  // An ID3v1 comment alone is shown too.
  const std::string v1 = dir.File("v1.mp3");
  WriteBytes(v1, EncodeMp3(tone, 2, 44100, 192, true));
  {
    TagLib::MPEG::File tagged(v1.c_str());
    tagged.ID3v1Tag(true)->setComment("Old style");
    ASSERT_TRUE(tagged.save(TagLib::MPEG::File::ID3v1));
  }
  r = Cli({"info", Q(v1)});
  EXPECT_NE(r.out.find("comment: Old style\n"), std::string::npos) << r.out;

  const std::string wma = dir.File("song.wma");
  WriteWma(wma, tone, 2, 44100, 128000, {{"Author", "Band"}, {"WM/AlbumTitle", "Record"}});
  r = Cli({"info", Q(wma)});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("format: WMA\n"), std::string::npos);
  EXPECT_NE(r.out.find("bitrate: 128000\n"), std::string::npos);
  EXPECT_NE(r.out.find("artist: Band\nalbum: Record\n"), std::string::npos);
  r = Cli({"decode", Q(wma), Q(dir.File("wma.wav"))});
  EXPECT_EQ(r.code, 0) << r.err;

  WriteBytes(dir.File("fake.mp3"), Bytes(3000, 'z'));
  r = Cli({"info", Q(dir.File("fake.mp3"))});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

}  // namespace

namespace {

TEST_F(CommandLine, ConventionsOfTheTool) {
  Result r = Cli({"--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("clipwright-cli cut SOURCE TARGET"), std::string::npos) << r.out;
  EXPECT_TRUE(r.err.empty());
  r = Cli({"--version"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, std::string("clipwright-cli ") + CLIPWRIGHT_VERSION + " (build " + CLIPWRIGHT_BUILD + ")\n");
  // --start=TIME as well as --start TIME, options before the files too.
  r = Cli({"cut", "--start=0.5", "--end", "00:00:01.0", Q(source), Q(target), "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadFile(target).size(), 44u + 4000u * 4);
  r = Cli({"cut", Q(source), Q(target), "--start"});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(r.out.empty());
  // One line naming the problem, and where to look, on stderr.
  EXPECT_EQ(r.err, "clipwright-cli: Missing value after '--start'.\nTry 'clipwright-cli --help'\n");
  r = Cli({"info", Q(source), "--frobnicate"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("frobnicate"), std::string::npos) << r.err;
  // A command's own usage.
  r = Cli({"remove", "--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("clipwright-cli remove SOURCE TARGET (--range"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("clipwright-cli cut"), std::string::npos) << r.out;
}

}  // namespace
