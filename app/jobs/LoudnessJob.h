#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Loudness.h"

/// The loudness of frames [start, end) of a file (end -1: to its end), by
/// EBU R128, decoded as the waveform reads it. Raises JobRefused naming the
/// file when it cannot be read, and when it delivers fewer frames than it
/// counted. `cancelled` may stop it early (then it raises nothing and the
/// figures are of what was read).
media::LoudnessFigures MeasureLoudness(const std::string& source, int64_t start = 0, int64_t end = -1,
                                       const std::function<bool()>& cancelled = {});

/// The loudness of each of the ranges [first, second) of a file, and of all
/// of them taken as one (an album of its pieces). Raises as MeasureLoudness.
struct RangesLoudness {
  std::vector<media::LoudnessFigures> each;
  media::LoudnessFigures together;
};
RangesLoudness MeasureLoudnessOfRanges(const std::string& source, const std::vector<std::pair<int64_t, int64_t>>& ranges);
