#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <cstring>

#include "app/SingleInstance.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TempDir.h"

namespace {

TEST(SingleInstanceRule, SecondStartWakesTheFirst) {
  TempDir dir;
  const QString name = QString::fromStdString(dir.File("instance"));
  SingleInstance first(name);
  EXPECT_FALSE(first.NotifyRunning());
  int wakeUps = 0;
  ASSERT_TRUE(first.Listen([&] { ++wakeUps; }));

  SingleInstance second(name);
  EXPECT_TRUE(second.NotifyRunning());
  EXPECT_TRUE(SpinUntil([&] { return wakeUps == 1; }));
  EXPECT_TRUE(second.NotifyRunning());
  EXPECT_TRUE(SpinUntil([&] { return wakeUps == 2; }));
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
  ASSERT_TRUE(next.Listen([&] { ++wakeUps; }));
  EXPECT_TRUE(SingleInstance(QString::fromStdString(path)).NotifyRunning());
  EXPECT_TRUE(SpinUntil([&] { return wakeUps == 1; }));
}

TEST(SingleInstanceRule, SecondProgramExitsAndFirstKeepsRunning) {
  TempDir runtime;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.Path().string()));
  environment.insert("QT_QPA_PLATFORM", "offscreen");

  QProcess first;
  first.setProcessEnvironment(environment);
  first.start(CLIPWRIGHT_BINARY, {});
  ASSERT_TRUE(first.waitForStarted());
  const std::string socket = runtime.File("Vorlun Clipwright Made by Vorlun Software");
  ASSERT_TRUE(SpinUntil([&] { return access(socket.c_str(), F_OK) == 0; }));

  QProcess second;
  second.setProcessEnvironment(environment);
  second.start(CLIPWRIGHT_BINARY, {});
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);

  first.terminate();
  if (!first.waitForFinished(10000)) first.kill();
  first.waitForFinished(10000);
}

}  // namespace
