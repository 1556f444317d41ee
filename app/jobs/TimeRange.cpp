#include "app/jobs/TimeRange.h"

#include <cctype>
#include <cmath>

#include "app/Global.h"

std::optional<int64_t> ParseTimeArgument(const std::string& text) {
  if (IsTimeText(text)) return TimeTextToMs(text);
  // Seconds: digits, then optionally a point and one to three digits.
  size_t i = 0;
  int64_t whole = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    whole = whole * 10 + (text[i++] - '0');
    if (whole > 100000000) return std::nullopt;
  }
  if (i == 0) return std::nullopt;
  int64_t fraction = 0;
  if (i < text.size() && text[i] == '.') {
    ++i;
    int digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 3) {
      fraction = fraction * 10 + (text[i++] - '0');
      ++digits;
    }
    if (digits == 0) return std::nullopt;
    while (digits++ < 3) fraction *= 10;
  }
  if (i != text.size()) return std::nullopt;
  return whole * 1000 + fraction;
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
