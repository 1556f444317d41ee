#pragma once

#include <QProcess>
#include <QStringList>
#include <string>

#include "tests/support/FileBytes.h"

/// What a run of clipwright-cli gave back.
struct Result {
  int code;
  std::string out;
  std::string err;
};

inline Result Cli(const QStringList& arguments) {
  QProcess process;
  process.start(CLIPWRIGHT_CLI, arguments);
  process.waitForFinished(60000);
  return {process.exitCode(), process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}
