// What the tool says and counts around the audio: MP3 lengths as lame's
// files hold them, ranges removed exactly as given, and each kind of failure
// reaching its exit code and its words.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/CliRun.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

class HonestNumbers : public ::testing::Test {
 protected:
  /// A sine of `seconds` at `rate`, made by sox and encoded by lame (with its gapless tag).
  std::string LameMp3(const std::string& name, double seconds, int rate, int hz = 440) {
    const std::string wav = dir.File(name + ".wav"), mp3 = dir.File(name);
    EXPECT_EQ(RunTool("sox", {"-n", "-r", QString::number(rate), "-c", "2", "-b", "16", Q(wav), "synth",
                              QString::number(seconds), "sine", QString::number(hz)}),
              0);
    EXPECT_EQ(RunTool("lame", {"--quiet", "-b", "128", Q(wav), Q(mp3)}), 0);
    return mp3;
  }
  /// Frames of a file as FFmpeg decodes it (two channels).
  static int64_t Frames(const std::string& file) { return static_cast<int64_t>(DecodeWithFfmpeg(file).size() / 2); }

  TempDir dir;
};

TEST_F(HonestNumbers, AnMp3CountsWhatLamesFileHolds) {
  const std::string tone = LameMp3("tone.mp3", 3.0, 44100);
  ASSERT_EQ(Frames(tone), 3 * 44100);
  const Result info = Cli({"info", Q(tone)});
  ASSERT_EQ(info.code, 0) << info.err;
  EXPECT_EQ(InfoValue(info.out, "total_samples"), "132300");
  // Past the end of a 3-second file: refused as a WAV's is, nothing written.
  const std::string past = dir.File("c.mp3");
  const Result r = Cli({"cut", Q(tone), Q(past), "--start", "3.1", "--end", "3.3"});
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_NE(r.err.find("lie within the file"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(past));
  // Its last tenth is there to be cut, exactly.
  ASSERT_EQ(Cli({"cut", Q(tone), Q(past), "--start", "2.9", "--end", "3.0", "--quiet"}).code, 0);
  EXPECT_EQ(Frames(past), 4410);
}

TEST_F(HonestNumbers, AnMp3JoinOverlapsAsMuchAsTheCrossfadeAsks) {
  for (const int rate : {44100, 22050}) {
    SCOPED_TRACE(rate);
    const std::string a = LameMp3("a" + std::to_string(rate) + ".mp3", 3, rate, 300);
    const std::string b = LameMp3("b" + std::to_string(rate) + ".mp3", 2, rate, 500);
    const int64_t both = Frames(a) + Frames(b);
    ASSERT_EQ(both, 5 * rate);
    for (const int ms : {0, 100, 500}) {
      const std::string joined = dir.File("j" + std::to_string(rate) + "_" + std::to_string(ms) + ".mp3");
      QStringList arguments{"join", Q(a), Q(b), Q(joined), "--quiet"};
      if (ms > 0) arguments << "--crossfade" << QString::number(ms);
      const Result r = Cli(arguments);
      ASSERT_EQ(r.code, 0) << r.err;
      EXPECT_EQ(Frames(joined), both - static_cast<int64_t>(rate) * ms / 1000) << ms;
    }
  }
}

TEST_F(HonestNumbers, RemoveTakesOutExactlyTheRangesGivenUnlessToldToWiden) {
  const std::string source = WriteNumberedWav(dir.File("thirty.wav"), 30 * 8000);
  const std::string exact = dir.File("exact.wav"), widened = dir.File("widened.wav");
  Result r = Cli({"remove", Q(source), Q(exact), "--range", "10-12", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<int16_t> whole = WavSamples(source), kept = WavSamples(exact);
  ASSERT_EQ(kept.size(), 28u * 8000);
  EXPECT_TRUE(std::equal(kept.begin(), kept.begin() + 80000, whole.begin()));
  EXPECT_TRUE(std::equal(kept.begin() + 80000, kept.end(), whole.begin() + 96000));
  // The window's rule for typed rows, asked for.
  r = Cli({"remove", Q(source), Q(widened), "--range", "10-12", "--widen", "0.1", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(WavSamples(widened).size(), 278u * 800);
  r = Cli({"remove", Q(source), Q(dir.File("x.wav")), "--silences", "--widen", "0.1"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("--widen goes with --range"), std::string::npos) << r.err;
}

TEST_F(HonestNumbers, SilencesUpToTheLastSampleOfTheFileAreRemoved) {
  // 12.5 s at 8 kHz: two seconds of a square wave (never zero) and two of
  // digital silence in turn, the last 2.5 s silent.
  std::vector<int16_t> samples(100000, 0);
  for (const int burst : {0, 4, 8})
    for (int i = 0; i < 16000; ++i) samples[static_cast<size_t>(burst * 8000 + i)] = (i / 10) % 2 ? 8000 : -8000;
  const std::string bursts = dir.File("bursts.wav"), out = dir.File("out.wav");
  WriteWav16(bursts, samples, 1, 8000);
  const Result r = Cli({"remove", Q(bursts), Q(out), "--silences", "--keep", "0", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  // Exactly the three bursts remain.
  std::vector<int16_t> expected;
  for (const int burst : {0, 4, 8})
    expected.insert(expected.end(), samples.begin() + burst * 8000, samples.begin() + burst * 8000 + 16000);
  EXPECT_EQ(WavSamples(out), expected);
}

/// A port some other program listens on, while this lives.
class BusyPort {
 public:
  BusyPort() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && ::listen(fd_, 1) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      port_ = ntohs(address.sin_port);
  }
  ~BusyPort() { ::close(fd_); }
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST_F(HonestNumbers, EachKindOfFailureHasItsExitCodeAndWords) {
  const std::string wav = dir.File("tone.wav");
  WriteWav16(wav, ToneSamples(44100, 2, 44100), 2, 44100);
  WriteBytes(dir.File("noise.wav"), std::vector<uint8_t>(4000, 0x5a));
  WriteBytes(dir.File("exists.wav"), {1});
  const BusyPort busy;
  ASSERT_GT(busy.Port(), 0);
  struct Case {
    QStringList arguments;
    QStringList environment;
    int code;
    std::string words;
  };
  const std::vector<Case> cases = {
      {{"cut", Q(wav), Q(dir.File("a.wav")), "--start", "2", "--end", "1"}, {}, 1, "Try 'clipwright-cli --help'"},
      {{"info", Q(dir.File("none.wav"))}, {}, 2, "no such file: " + dir.File("none.wav")},
      {{"info", Q(dir.File("noise.wav"))}, {}, 2, dir.File("noise.wav")},
      {{"decode", Q(wav), Q(dir.File("exists.wav"))}, {}, 3, "the target exists (use --force to replace it)"},
      {{"decode", Q(wav), Q(wav), "--force"}, {}, 3, wav},
      {{"decode", Q(wav), Q(dir.File("no/such/folder/a.wav"))}, {}, 4, "does not exist"},
      {{"stream", Q(wav), "--port", QString::number(busy.Port()), "--quiet"}, {}, 4,
       "port " + std::to_string(busy.Port()) + " is in use"},
      {{"encode", Q(wav), Q(dir.File("a.mp3")), "--quiet"}, {"CLIPWRIGHT_LAME_LIBRARY=/nonexistent/libmp3lame.so.0"}, 5,
       "could not be loaded"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.join(' ').toStdString());
    const Result r = Cli(c.arguments, c.environment);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_NE(r.err.find(c.words), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("clipwright-cli: ", 0), 0u) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("a.mp3")));
  EXPECT_EQ(ReadFile(dir.File("exists.wav")), std::vector<uint8_t>{1});
}

TEST_F(HonestNumbers, AFlacCutShortIsCalledCutShort) {
  const std::string wav = dir.File("tone.wav"), flac = dir.File("tone.flac"), stub = dir.File("stub.flac");
  WriteWav16(wav, ToneSamples(44100, 2, 44100), 2, 44100);
  ASSERT_EQ(RunTool("flac", {"--silent", "-o", Q(flac), Q(wav)}), 0);
  std::vector<uint8_t> bytes = ReadFile(flac);
  bytes.resize(30);
  WriteBytes(stub, bytes);
  for (const QStringList& arguments : {QStringList{"info", Q(stub)}, QStringList{"decode", Q(stub), Q(dir.File("o.wav"))}}) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const Result r = Cli(arguments);
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("cut short"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("input/output error"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(stub), std::string::npos) << r.err;
  }
}

}  // namespace
