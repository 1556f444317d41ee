#include "tests/support/OwnProcess.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <iostream>

OwnProcess RunInOwnProcess(const QProcessEnvironment& extra) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const QString name = QString("%1.%2").arg(test->test_suite_name(), test->name());
  if (qgetenv("CLIPWRIGHT_OWN_PROCESS") == name.toUtf8()) return OwnProcess::Here;

  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const QString& key : extra.keys()) environment.insert(key, extra.value(key));
  environment.insert("CLIPWRIGHT_OWN_PROCESS", name);
  QProcess process;
  process.setProcessEnvironment(environment);
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=" + name});
  if (!process.waitForFinished(110000)) {
    process.kill();
    process.waitForFinished();
  }
  const QString output = QString::fromUtf8(process.readAll());
  std::cout << output.toStdString();
  if (output.contains("[  SKIPPED ]")) return OwnProcess::Skipped;
  const bool passed = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 &&
                      output.contains("[  PASSED  ] 1 test");
  return passed ? OwnProcess::Passed : OwnProcess::Failed;
}
