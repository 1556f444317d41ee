#include "platform/Numbers.h"

#include <cmath>

#include <algorithm>
#include <charconv>
#include <string_view>

bool ParseInt32(const std::string& text, int32_t& value) {
  std::string_view rest(text);
  rest.remove_prefix(std::min(rest.find_first_not_of(' '), rest.size()));
  if (rest.starts_with('+')) {
    rest.remove_prefix(1);  // from_chars takes only '-'
    if (rest.starts_with('-')) return false;
  }
  int32_t number = 0;
  const char* end = rest.data() + rest.size();
  const auto [stop, error] = std::from_chars(rest.data(), end, number);
  if (rest.empty() || error != std::errc() || stop != end) return false;
  value = number;
  return true;
}

int64_t FrameOfMs(int64_t ms, int sampleRate) {
  return static_cast<int64_t>(std::nearbyint(static_cast<double>(ms) * sampleRate / 1000.0));
}
