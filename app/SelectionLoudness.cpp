#include "app/SelectionLoudness.h"

#include <cmath>
#include <cstdio>

#include "app/jobs/LoudnessJob.h"

namespace {

std::string Figure(double value, const char* unit) {
  if (!std::isfinite(value)) return std::string("silent");
  char text[32];
  std::snprintf(text, sizeof text, "%.1f %s", value, unit);
  return text;
}

}  // namespace

std::string LoudnessText(const media::LoudnessFigures& figures) {
  return "Integrated loudness: " + Figure(figures.integrated, "LUFS") + "\nLoudness range: " +
         Figure(figures.range, "LU") + "\nSample peak: " + Figure(figures.samplePeak, "dBFS") +
         "\nTrue peak: " + Figure(figures.truePeak, "dBTP");
}

void SelectionLoudness::Measure(const std::string& file, int64_t start, int64_t end, Done done) {
  worker_.Finish();
  stop_ = false;
  running_ = true;
  worker_.Run([this, file, start, end, done = std::move(done)]() -> std::function<void()> {
    media::LoudnessFigures figures;
    std::string failure;
    try {
      figures = MeasureLoudness(file, start, end, [this] { return stop_.load(); });
    } catch (const std::exception& e) {
      failure = e.what();
    }
    return [this, figures, failure, &done] {
      running_ = false;
      if (!stop_) done(figures, failure);
    };
  });
}

SelectionLoudness::~SelectionLoudness() {
  stop_ = true;
  worker_.Finish();
}
