#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio/mix/Levels.h"
#include "platform/Loudness.h"

/// The true peak a loudness target may raise a file to: EBU R128's ceiling.
inline constexpr double kTruePeakCeilingDb = -1.0;

/// Gain, normalising and fades asked for a result.
struct LevelRequest {
  enum class Normalize { None, Peak, Loudness };
  double gainDb = 0;
  Normalize normalize = Normalize::None;
  double targetDb = 0;  // dBTP for Peak, LUFS for Loudness
  int64_t fadeInMs = 0, fadeOutMs = 0;
  FadeCurve curve = FadeCurve::Linear;

  bool Any() const { return gainDb != 0 || normalize != Normalize::None || fadeInMs > 0 || fadeOutMs > 0; }
};

/// The gain a request comes to for frames [start, end) of a file, and what
/// the user must hear of it.
struct LevelPlan {
  double factor = 1.0;
  std::string note;  // a gain held back so as not to clip, a target not reached
  std::optional<media::LoudnessFigures> measured;  // the range's, before the gain
};

/// Measures the range where the request needs it (normalising, a gain that
/// could clip). A peak target takes the true peak to it; a loudness target
/// takes the integrated loudness to it unless that would raise the true
/// peak over kTruePeakCeilingDb, where it stops; a plain gain stops where a
/// sample would clip. Raises JobRefused naming the file when it cannot be read.
LevelPlan PlanLevels(const LevelRequest& request, const std::string& source, int64_t start, int64_t end);
