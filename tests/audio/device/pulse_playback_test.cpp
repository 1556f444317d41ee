// Plays a tone through the real audio output into a sound server of the
// test's own and listens to what came out of it.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <vector>

#include "audio/device/MediaPlayer.h"
#include "tests/audio/device/PulseServer.h"
#include "tests/support/EventLoop.h"
#include "tests/support/OwnProcess.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

constexpr int kRate = 44100;
constexpr int kToneAmplitude = 8000;  // of WritePcmWav
constexpr double kToneHz = 440.0;

/// What a recording sounds like: where the sound starts and ends, how loud it
/// is, and its longest silence in between.
struct Heard {
  double seconds = 0;
  double rmsDbfs = -200;
  double hz = 0;
  double longestGapMs = 0;
};

Heard Listen(const std::vector<int16_t>& left) {
  constexpr int kThreshold = 1000;
  Heard heard;
  size_t first = left.size(), last = 0;
  for (size_t i = 0; i < left.size(); ++i) {
    if (std::abs(left[i]) > kThreshold) {
      first = std::min(first, i);
      last = i;
    }
  }
  if (first >= last) return heard;
  heard.seconds = static_cast<double>(last - first) / kRate;
  double energy = 0;
  size_t quiet = 0, longestQuiet = 0, risingZeros = 0;
  for (size_t i = first; i <= last; ++i) {
    energy += static_cast<double>(left[i]) * left[i];
    if (i > first && left[i - 1] < 0 && left[i] >= 0) ++risingZeros;
    quiet = std::abs(left[i]) > kThreshold ? 0 : quiet + 1;
    longestQuiet = std::max(longestQuiet, quiet);
  }
  heard.rmsDbfs = 20 * std::log10(std::sqrt(energy / static_cast<double>(last - first + 1)) / 32768.0);
  heard.hz = static_cast<double>(risingZeros) / heard.seconds;
  heard.longestGapMs = 1000.0 * static_cast<double>(longestQuiet) / kRate;
  return heard;
}

std::vector<int16_t> LeftChannelOf(const std::string& rawStereoFile) {
  std::ifstream in(rawStereoFile, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<int16_t> left(bytes.size() / 4);
  for (size_t i = 0; i < left.size(); ++i)
    left[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[4 * i]) | (static_cast<uint8_t>(bytes[4 * i + 1]) << 8));
  return left;
}

void Wait(int ms) {
  QElapsedTimer clock;
  clock.start();
  SpinUntil([&] { return clock.elapsed() >= ms; }, ms + 1000);
}

enum class ServerSetup { RanElsewhere, Skip, Ready };

/// Runs the test in a process of its own, whose sound system connects to a
/// server of the test's own (it connects once per process). Outside that
/// process it reports how the test went there.
ServerSetup OwnServer(std::unique_ptr<PulseServer>& server, std::string& why) {
  if (qEnvironmentVariableIsEmpty("CLIPWRIGHT_OWN_PROCESS")) {
    const OwnProcess where = RunInOwnProcess();
    why = "no sound server of our own (see above)";
    if (where == OwnProcess::Skipped) return ServerSetup::Skip;
    EXPECT_EQ(where, OwnProcess::Passed);
    return ServerSetup::RanElsewhere;
  }
  server = std::make_unique<PulseServer>();
  why = "no sound server of our own: " + server->Failure();
  if (!server->Started()) return ServerSetup::Skip;
  // Before the audio system is first used in this process.
  qputenv("PULSE_SERVER", server->Address().c_str());
  return ServerSetup::Ready;
}

#define OWN_SOUND_SERVER(server)                             \
  std::unique_ptr<PulseServer> server;                       \
  if (std::string why; true) {                               \
    const ServerSetup setup = OwnServer(server, why);              \
    if (setup == ServerSetup::RanElsewhere) return;                \
    if (setup == ServerSetup::Skip) GTEST_SKIP() << why;           \
  }

TEST(PulsePlayback, ToneComesOutWholeAndAsLongAsItWasPlayed) {
  OWN_SOUND_SERVER(own);
  PulseServer& server = *own;

  TempDir dir;
  const std::string tone = dir.File("tone.wav");
  const std::string recording = dir.File("heard.raw");
  constexpr double kPlayedSeconds = 2.0;
  WritePcmWav(tone, kRate, 2, static_cast<int64_t>(kPlayedSeconds * kRate));

  // The recorder takes a second or two to connect: start it first.
  QProcess recorder;
  recorder.setProcessEnvironment(server.ClientEnvironment());
  recorder.start("parec", {"--raw", "--format=s16le", "--rate=44100", "--channels=2", "--latency-msec=20",
                           "-d", QString(PulseServer::kSink) + ".monitor", QString::fromStdString(recording)});
  ASSERT_TRUE(recorder.waitForStarted(5000)) << "parec: " << recorder.errorString().toStdString();
  ASSERT_TRUE(SpinUntil([&] { return server.MonitorClients() > 0; }, 15000)) << "parec never connected";
  Wait(500);

  TMediaPlayer player(TMediaPlayer::Output::Speakers);
  player.SetFileName(tone);
  player.Open();
  EXPECT_EQ(player.Length(), 2000);
  player.Play();
  EXPECT_EQ(player.Mode(), mpPlaying);
  ASSERT_TRUE(SpinUntil([&] { return player.Mode() != mpPlaying; }, 15000)) << "the tone never ended";
  EXPECT_EQ(player.FramesPlayed(), static_cast<int64_t>(kPlayedSeconds * kRate));
  player.Close();
  Wait(1000);  // what the server still held
  recorder.terminate();
  ASSERT_TRUE(recorder.waitForFinished(5000));

  const Heard heard = Listen(LeftChannelOf(recording));
  std::cout << "heard " << heard.seconds << " s of " << heard.hz << " Hz at " << heard.rmsDbfs
            << " dBFS RMS, longest gap " << heard.longestGapMs << " ms\n";
  RecordProperty("heard_seconds", std::to_string(heard.seconds));
  RecordProperty("heard_dbfs", std::to_string(heard.rmsDbfs));
  // The server's monitor may miss a few milliseconds where a stream starts.
  EXPECT_NEAR(heard.seconds, kPlayedSeconds, 0.1);
  EXPECT_NEAR(heard.hz, kToneHz, 2.0);
  // A sine's RMS is its peak over root two, here about -15.3 dBFS.
  const double expectedDbfs = 20 * std::log10(kToneAmplitude / std::sqrt(2.0) / 32768.0);
  EXPECT_NEAR(heard.rmsDbfs, expectedDbfs, 1.0);
  // A 440 Hz tone dips below the threshold for well under a millisecond per
  // half-wave; anything longer is a dropout.
  EXPECT_LT(heard.longestGapMs, 2.0);
}

TEST(PulsePlayback, TheServerGoingAwayStopsThePreviewAndSaysSo) {
  OWN_SOUND_SERVER(server);
  TempDir dir;
  const std::string tone = dir.File("long.wav");
  WritePcmWav(tone, kRate, 2, 20 * kRate);
  TMediaPlayer player(TMediaPlayer::Output::Speakers);
  bool lost = false;
  player.OnDeviceLost = [&] { lost = true; };
  player.SetFileName(tone);
  player.Open();
  player.Play();
  Wait(500);
  ASSERT_EQ(player.Mode(), mpPlaying);
  server.reset();  // the sound server ends
  EXPECT_TRUE(SpinUntil([&] { return lost; }, 10000));
  EXPECT_NE(player.Mode(), mpPlaying);
}

}  // namespace
