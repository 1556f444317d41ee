// `clipwright-cli stream`: a player (FFmpeg's own HTTP client) hears the
// source at the address the tool prints; the tool ends with the source, or
// at once on Ctrl+C.
#include <gtest/gtest.h>

#include <signal.h>

#include <QProcess>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/CliRun.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/SignalProcess.h"

namespace {

/// Starts the tool on `source` and returns the address it prints, empty when none came.
std::string StartStream(QProcess& process, const std::string& source, const QStringList& options = {}) {
  process.start(CLIPWRIGHT_CLI, QStringList{"stream", QString::fromStdString(source)} + options);
  if (!process.waitForReadyRead(20000)) return {};
  const std::string line = process.readLine().toStdString();
  const size_t at = line.find("http://");
  return at == std::string::npos ? std::string() : line.substr(at, line.find_first_of("\r\n", at) - at);
}

TEST(StreamCommand, APlayerHearsTheSourceAndTheToolEndsWithIt) {
  TempDir dir;
  const std::string source = dir.File("tone.wav");
  WritePcmWav(source, 44100, 2, 44100 * 4);
  QProcess process;
  const std::string address = StartStream(process, source, {"--max-clients", "2", "--bitrate", "96"});
  ASSERT_EQ(address.rfind("http://127.0.0.1:", 0), 0u) << address;
  std::vector<int16_t> heard = DecodeWithFfmpeg(address);
  ASSERT_TRUE(process.waitForFinished(30000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  // The stream from when the player came in: most of the four seconds, in stereo.
  EXPECT_GT(heard.size(), 2u * 44100 * 3);
  EXPECT_LE(heard.size(), 2u * 44100 * 4 + 2 * 4096);
}

TEST(StreamCommand, CtrlCEndsItAtOnceAndUsageIsChecked) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer holds signal handlers back until its own safe points";
#endif
  TempDir dir;
  const std::string source = dir.File("long.wav");
  WritePcmWav(source, 44100, 2, 44100 * 120);
  QProcess process;
  ASSERT_FALSE(StartStream(process, source).empty());
  const auto sent = std::chrono::steady_clock::now();
  ASSERT_TRUE(SignalProcess(process, SIGINT));
  ASSERT_TRUE(process.waitForFinished(10000));
  EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(5));

  const Result bad = Cli({"stream", QString::fromStdString(source), "--port", "70000"});
  EXPECT_EQ(bad.code, 1);
  EXPECT_NE(bad.err.find("not a port number: 70000"), std::string::npos) << bad.err;
  const Result none = Cli({"stream", QString::fromStdString(dir.File("missing.wav"))});
  EXPECT_EQ(none.code, 2);
  EXPECT_NE(none.err.find("missing.wav"), std::string::npos) << none.err;
}

}  // namespace
