#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <cstring>

#include <QLabel>
#include <QLineEdit>

#include "Version.h"
#include "app/Main.h"
#include "app/SingleInstance.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

TEST(SingleInstanceRule, SecondStartWakesTheFirst) {
  TempDir dir;
  const QString name = QString::fromStdString(dir.File("instance"));
  SingleInstance first(name);
  EXPECT_FALSE(first.NotifyRunning());
  int wakeUps = 0;
  QStringList files;
  ASSERT_TRUE(first.Listen([&](const QString& file) {
    ++wakeUps;
    files << file;
  }));

  SingleInstance second(name);
  EXPECT_TRUE(second.NotifyRunning());
  EXPECT_TRUE(SpinUntil([&] { return wakeUps == 1; }));
  EXPECT_TRUE(second.NotifyRunning());
  EXPECT_TRUE(SpinUntil([&] { return wakeUps == 2; }));
  // A start with a file hands the file over, whatever its name holds.
  const QString odd = QString::fromStdString(dir.File("two\nlines #1 %20 \u00e9.mp3"));
  EXPECT_TRUE(second.NotifyRunning(odd));
  EXPECT_TRUE(SpinUntil([&] { return wakeUps == 3; }));
  EXPECT_EQ(files, (QStringList{QString(), QString(), odd}));
}

TEST(SingleInstanceRule, StaleSocketOfACrashedCopyIsReplaced) {
  TempDir dir;
  const std::string path = dir.File("instance");
  // What a crashed copy leaves: a bound socket file nobody listens on.
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(fd);

  SingleInstance next(QString::fromStdString(path));
  EXPECT_FALSE(next.NotifyRunning());
  int wakeUps = 0;
  ASSERT_TRUE(next.Listen([&](const QString&) { ++wakeUps; }));
  EXPECT_TRUE(SingleInstance(QString::fromStdString(path)).NotifyRunning());
  EXPECT_TRUE(SpinUntil([&] { return wakeUps == 1; }));
}

TEST(SingleInstanceRule, SecondProgramsExitAndTheFirstKeepsRunning) {
  TempDir runtime;
  const std::string song = runtime.File("song.wav");
  WritePcmWav(song, 8000, 1, 8000 * 3);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.Path().string()));
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("CLIPWRIGHT_AUDIO_OUTPUT", "silent");
  const auto run = [&environment](QProcess& process, const QStringList& arguments) {
    process.setProcessEnvironment(environment);
    process.start(CLIPWRIGHT_BINARY, arguments);
  };

  QProcess first;
  run(first, {});
  ASSERT_TRUE(first.waitForStarted());
  const std::string socket = runtime.File("Vorlun Clipwright Made by Vorlun Software");
  ASSERT_TRUE(SpinUntil([&] { return access(socket.c_str(), F_OK) == 0; }));

  // A second start, with or without a file, hands over and exits at once.
  for (const QStringList& arguments : {QStringList{}, QStringList{QString::fromStdString(song)}}) {
    QProcess second;
    run(second, arguments);
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
  }
  // --version answers without a window.
  QProcess version;
  run(version, {"--version"});
  ASSERT_TRUE(version.waitForFinished(20000));
  EXPECT_NE(version.readAllStandardOutput().indexOf(CLIPWRIGHT_VERSION), -1);

  first.terminate();
  if (!first.waitForFinished(10000)) first.kill();
  first.waitForFinished(10000);
}

TEST(SingleInstanceRule, HelpAndVersionNeedNoDisplay) {
  // No display at all, and no platform to fall back on: as over ssh or in a script.
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) environment.remove(name);
  for (const QStringList& arguments : {QStringList{"--version"}, QStringList{"--help"}, QStringList{"-h"}}) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(CLIPWRIGHT_BINARY, arguments);
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QByteArray said = process.readAllStandardOutput();
    EXPECT_TRUE(said.contains(arguments[0] == "--version" ? QByteArray(CLIPWRIGHT_VERSION) : QByteArray("[file]")))
        << said.toStdString();
  }
}

TEST(SingleInstanceRule, AFileGivenToASecondStartOpensInTheFirstWindow) {
  TempDir runtime;
  const std::string song = runtime.File("song.wav");
  WritePcmWav(song, 8000, 1, 8000 * 3);
  const QString socket = QString::fromStdString(runtime.File("window"));
  SingleInstance instance(socket);
  TfrmMain window;
  ASSERT_TRUE(instance.Listen([&window](const QString& file) { window.WMWakeUp(file); }));

  // What `clipwright song.wav` does when a window is running.
  EXPECT_TRUE(SingleInstance(socket).NotifyRunning(QString::fromStdString(song)));
  auto* box = window.findChild<QLineEdit*>("eOpenFile");
  ASSERT_TRUE(SpinUntil([&] { return !box->text().isEmpty(); }));
  EXPECT_EQ(box->text().toStdString(), song);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.findChild<QLabel*>("lFileTime")->text(), "00:00:03.0");
}

}  // namespace
