#include "app/jobs/LevelPlan.h"

#include <cmath>
#include <cstdio>

#include "app/jobs/LoudnessJob.h"

namespace {

std::string Decimal(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

}  // namespace

LevelPlan PlanLevels(const LevelRequest& request, const std::string& source, int64_t start, int64_t end) {
  LevelPlan plan;
  double gain = request.gainDb;
  const bool measure = request.normalize != LevelRequest::Normalize::None || request.gainDb > 0;
  if (measure) {
    const media::LoudnessFigures figures = MeasureLoudness(source, start, end);
    plan.measured = figures;
    if (!std::isfinite(figures.truePeak) ||
        (request.normalize == LevelRequest::Normalize::Loudness && !std::isfinite(figures.integrated))) {
      plan.note = "the range is silent: its level was left as it is";
      return plan;
    }
    switch (request.normalize) {
      case LevelRequest::Normalize::Peak:
        gain = request.targetDb - figures.truePeak;
        break;
      case LevelRequest::Normalize::Loudness:
        gain = request.targetDb - figures.integrated;
        if (figures.truePeak + gain > kTruePeakCeilingDb) {
          const double reached = figures.integrated + kTruePeakCeilingDb - figures.truePeak;
          gain = kTruePeakCeilingDb - figures.truePeak;
          plan.note = "the loudness reaches " + Decimal(reached) + " LUFS, " + Decimal(request.targetDb - reached) +
                      " LU short of " + Decimal(request.targetDb) + " LUFS: more would take the true peak over " +
                      Decimal(kTruePeakCeilingDb) + " dBTP";
        }
        break;
      case LevelRequest::Normalize::None:
        if (figures.samplePeak + gain > 0) {
          gain = -figures.samplePeak;
          plan.note = "the gain was held to " + Decimal(gain) + " dB: more would clip";
        }
        break;
    }
  }
  plan.factor = media::GainFactor(gain);
  return plan;
}
