// clipwright-cli loudness: each file's loudness by EBU R128.
#include "cli/Commands.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/jobs/Job.h"
#include "app/jobs/LoudnessJob.h"
#include "cli/CommandHelpers.h"

namespace cli {

namespace {

/// A figure to a hundredth; silence measures minus infinity, JSON says null.
std::string Figure(double value, bool json) {
  if (!std::isfinite(value)) return json ? "null" : "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

/// A file name as a JSON string.
std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\', quoted += c;
    else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      quoted += escaped;
    } else quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

int Loudness(const Arguments& args) {
  std::vector<media::LoudnessFigures> measured;
  const size_t total = args.files.size();
  for (const std::string& file : args.files) {
    if (args.progress) SayJsonProgress(static_cast<double>(measured.size()) / total, measured.size(), total);
    try {
      measured.push_back(MeasureLoudness(file));
    } catch (const Error& e) {
      return Fail(e);
    }
  }
  if (args.progress) SayJsonProgress(1, total, total);
  if (args.json) std::printf("[");
  for (size_t i = 0; i < measured.size(); ++i) {
    const media::LoudnessFigures& f = measured[i];
    if (args.json) {
      std::printf("%s{\"file\": %s, \"integrated_lufs\": %s, \"range_lu\": %s, \"sample_peak_dbfs\": %s, "
                  "\"true_peak_dbtp\": %s}",
                  i == 0 ? "" : ", ", JsonString(args.files[i]).c_str(), Figure(f.integrated, true).c_str(),
                  Figure(f.range, true).c_str(), Figure(f.samplePeak, true).c_str(), Figure(f.truePeak, true).c_str());
      continue;
    }
    std::printf("file: %s\nintegrated: %s LUFS\nrange: %s LU\nsample_peak: %s dBFS\ntrue_peak: %s dBTP\n",
                args.files[i].c_str(), Figure(f.integrated, false).c_str(), Figure(f.range, false).c_str(),
                Figure(f.samplePeak, false).c_str(), Figure(f.truePeak, false).c_str());
  }
  if (args.json) std::printf("]\n");
  return kDone;
}

}  // namespace cli
