#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <string>

/// Runs a program of the system's (sox, flac, ffmpeg, lame) to make test
/// audio as users' files are made; its exit code, -1 when it crashed.
inline int RunTool(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  process.waitForFinished(120000);
  return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

/// Runs FFmpeg quietly, overwriting its output: its exit code.
inline int RunFfmpeg(QStringList arguments) {
  arguments = QStringList{"-nostdin", "-v", "error", "-y"} + arguments;
  return RunTool("ffmpeg", arguments);
}

/// A key's value in what `clipwright-cli info` printed; empty when the line is absent.
inline std::string InfoValue(const std::string& info, const std::string& key) {
  const size_t at = info.find(key + ": ");
  if (at == std::string::npos) return {};
  const size_t from = at + key.size() + 2;
  return info.substr(from, info.find('\n', from) - from);
}
