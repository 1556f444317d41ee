#include "app/jobs/TimeRange.h"

#include <cmath>

#include "app/jobs/Global.h"
#include "audio/tags/AuTags.h"

std::optional<int64_t> ParseTimeArgument(const std::string& text) {
  if (IsTimeText(text)) return TimeTextToMs(text);
  // Seconds: digits, then optionally a point and one to three digits.
  const size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  const auto digitsOnly = [](const std::string& s) { return s.find_first_not_of("0123456789") == std::string::npos; };
  int32_t seconds = 0, thousandths = 0;
  if (whole.empty() || whole.size() > 9 || !digitsOnly(whole) || !ParseInt32(whole, seconds)) return std::nullopt;
  if (point != std::string::npos) {
    if (fraction.empty() || fraction.size() > 3 || !digitsOnly(fraction) || !ParseInt32(fraction, thousandths))
      return std::nullopt;
    for (size_t digits = fraction.size(); digits < 3; ++digits) thousandths *= 10;
  }
  return int64_t{seconds} * 1000 + thousandths;
}

std::optional<FrameRange> RangeOfTimes(int64_t startMs, int64_t endMs, int sampleRate, int64_t totalSamples) {
  if (sampleRate <= 0 || totalSamples <= 0 || startMs < 0) return std::nullopt;
  const auto frameOf = [sampleRate](int64_t ms) {
    return static_cast<int64_t>(std::nearbyint(static_cast<double>(ms) * sampleRate / 1000.0));
  };
  FrameRange range;
  range.startSample = frameOf(startMs);
  const int64_t endFrame = frameOf(endMs);
  if (range.startSample >= endFrame || range.startSample >= totalSamples) return std::nullopt;
  range.endSample = endFrame >= totalSamples ? -1 : endFrame - 1;
  return range;
}
