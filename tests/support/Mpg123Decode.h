#pragma once

#include <QProcess>
#include <QString>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

/// The samples mpg123 decodes from a file (gapless, as it is by default).
inline std::vector<int16_t> DecodeWithMpg123(const std::string& name) {
  QProcess process;
  process.start("mpg123", {"-q", "-s", "-e", "s16", QString::fromStdString(name)});
  process.waitForFinished(60000);
  const QByteArray bytes = process.readAllStandardOutput();
  std::vector<int16_t> samples(static_cast<size_t>(bytes.size()) / 2);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}
