#include "app/jobs/TimeRange.h"

#include <cmath>
#include <cstdint>

#include "app/jobs/Global.h"
#include "platform/Numbers.h"

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

namespace {

bool AllDigits(const std::string& s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos; }

/// value / 10^decimals * rate, rounded to the nearest integer, halves to even.
std::optional<int64_t> RoundedFrames(__int128 value, int decimals, int rate) {
  __int128 scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const __int128 product = value * rate;
  __int128 quotient = product / scale;
  const __int128 remainder = product % scale;
  if (remainder * 2 > scale || (remainder * 2 == scale && quotient % 2 != 0)) ++quotient;
  if (quotient > INT64_MAX) return std::nullopt;
  return static_cast<int64_t>(quotient);
}

}  // namespace

std::optional<int64_t> ParseFrameArgument(const std::string& text, int sampleRate) {
  if (sampleRate <= 0 || text.empty()) return std::nullopt;
  if (text.back() == 's') {
    const std::string count = text.substr(0, text.size() - 1);
    if (!AllDigits(count) || count.size() > 18) return std::nullopt;
    return std::stoll(count);
  }
  // hh:mm:ss, or seconds alone; the seconds may carry decimals.
  std::string hours = "0", minutes = "0", seconds = text;
  if (const size_t first = text.find(':'); first != std::string::npos) {
    const size_t second = text.find(':', first + 1);
    if (second == std::string::npos || text.find(':', second + 1) != std::string::npos) return std::nullopt;
    hours = text.substr(0, first);
    minutes = text.substr(first + 1, second - first - 1);
    seconds = text.substr(second + 1);
    if (!AllDigits(hours) || !AllDigits(minutes) || minutes.size() > 2 || hours.size() > 6) return std::nullopt;
  }
  const size_t point = seconds.find('.');
  const std::string whole = seconds.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : seconds.substr(point + 1);
  if (!AllDigits(whole) || whole.size() > 12 || (point != std::string::npos && !fraction.empty() && !AllDigits(fraction)) ||
      fraction.size() > 18)
    return std::nullopt;
  __int128 value = (static_cast<__int128>(std::stoll(hours)) * 3600 + std::stoll(minutes) * 60) + std::stoll(whole);
  for (char digit : fraction) value = value * 10 + (digit - '0');
  return RoundedFrames(value, static_cast<int>(fraction.size()), sampleRate);
}

std::optional<FrameRange> RangeOfTimes(int64_t startMs, int64_t endMs, int sampleRate, int64_t totalSamples) {
  if (sampleRate <= 0 || totalSamples <= 0 || startMs < 0) return std::nullopt;
  const auto frameOf = [sampleRate](int64_t ms) { return FrameOfMs(ms, sampleRate); };
  FrameRange range;
  range.startSample = frameOf(startMs);
  const int64_t endFrame = frameOf(endMs);
  if (range.startSample >= endFrame || range.startSample >= totalSamples) return std::nullopt;
  range.endSample = endFrame >= totalSamples ? -1 : endFrame - 1;
  return range;
}
