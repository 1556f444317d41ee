#include "app/jobs/TimeRange.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "app/jobs/Global.h"
#include "platform/Numbers.h"

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
  // [[hh:]mm:]ss, the seconds with any number of decimals. Behind a colon
  // the seconds (and behind two the minutes) are under 60.
  std::string hours = "0", minutes = "0", seconds = text;
  const size_t colons = static_cast<size_t>(std::count(text.begin(), text.end(), ':'));
  if (colons > 2) return std::nullopt;
  if (colons > 0) {
    const size_t last = text.rfind(':');
    seconds = text.substr(last + 1);
    minutes = text.substr(0, last);
    if (colons == 2) {
      const size_t first = text.find(':');
      hours = text.substr(0, first);
      minutes = text.substr(first + 1, last - first - 1);
      if (!AllDigits(hours) || hours.size() > 6 || minutes.size() > 2) return std::nullopt;
    }
    const std::string wholeSeconds = seconds.substr(0, seconds.find('.'));
    if (!AllDigits(minutes) || minutes.size() > 6 || (colons == 2 && std::stoi(minutes) >= 60) ||
        !AllDigits(wholeSeconds) || wholeSeconds.size() > 2 || std::stoi(wholeSeconds) >= 60)
      return std::nullopt;
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
