#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <string>

#include "tests/support/FileBytes.h"

/// What a run of clipwright-cli gave back.
struct Result {
  int code;
  std::string out;
  std::string err;
};

/// `environment`: variables set for this run only ("NAME=value").
inline Result Cli(const QStringList& arguments, const QStringList& environment = {}) {
  QProcess process;
  if (!environment.isEmpty()) {
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const QString& pair : environment) variables.insert(pair.section('=', 0, 0), pair.section('=', 1));
    process.setProcessEnvironment(variables);
  }
  process.start(CLIPWRIGHT_CLI, arguments);
  process.waitForFinished(60000);
  return {process.exitCode(), process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}
