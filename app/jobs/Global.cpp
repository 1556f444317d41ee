#include "app/jobs/Global.h"

#include <algorithm>
#include <string>

#include "audio/mp3/frames/FrameScan.h"
#include "platform/Desktop.h"
#include "platform/Numbers.h"

namespace {

/// Reads text as a signed decimal integer; anything else gives 0.
int32_t StrToIntDef0(const std::string& text) {
  int32_t value = 0;
  return ParseInt32(text, value) ? value : 0;
}

bool IsDigits(const std::string& text) {
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

/// Cuts the field before separator off rest; false when the separator is
/// missing or the field is not one or two digits.
bool CutTimeField(std::string& rest, char separator) {
  const size_t at = rest.find(separator);
  if (at == std::string::npos) return false;
  const std::string field = rest.substr(0, at);
  rest.erase(0, at + 1);
  return (field.size() == 1 || field.size() == 2) && IsDigits(field);
}

}  // namespace

std::string TwoDigits(int32_t value) { return (value < 10 ? "0" : "") + std::to_string(value); }

std::string TwoDigitsOfText(const std::string& text) { return TwoDigits(StrToIntDef0(text)); }

bool IsTimeText(const std::string& text) {
  for (char c : text)
    if (!((c >= '0' && c <= '9') || c == '.' || c == ':')) return false;
  std::string rest = text;
  if (!CutTimeField(rest, ':') || !CutTimeField(rest, ':') || !CutTimeField(rest, '.')) return false;
  return rest.size() <= 3;  // tenths, or milliseconds
}

bool IsFullTimeText(const std::string& text) {
  const bool tenths = text.size() == 10;
  const bool milliseconds = text.size() == 12 && IsDigits(text.substr(9));
  return (tenths || milliseconds) && text[2] == ':' && text[5] == ':' && text[8] == '.';
}

std::string NormalizeTimeText(const std::string& text) {
  std::string rest = text;
  std::string result;
  for (int field = 0; field < 2; ++field) {
    const size_t at = rest.find(':');
    if (at == std::string::npos) continue;
    result += TwoDigitsOfText(rest.substr(0, at)) + ":";
    rest.erase(0, at + 1);
  }
  const size_t point = rest.find('.');
  if (point != std::string::npos) {
    result += TwoDigitsOfText(rest.substr(0, point)) + ".";
    rest = rest.substr(point + 1, 3);
  }
  return result + rest;
}

int32_t TimeTextToMs(const std::string& text) {
  const std::string n = NormalizeTimeText(text);
  auto field = [&n](size_t from) { return from < n.size() ? StrToIntDef0(n.substr(from, 2)) : 0; };
  // Signed 32-bit arithmetic that wraps instead of overflowing.
  uint32_t ms = static_cast<uint32_t>(field(0)) * 3600000u + static_cast<uint32_t>(field(3)) * 60000u +
                static_cast<uint32_t>(field(6)) * 1000u;
  // Tenths, hundredths and thousandths, as many as are given.
  uint32_t weight = 100;
  for (size_t at = 9; at < n.size() && at < 12 && n[at] >= '0' && n[at] <= '9'; ++at, weight /= 10)
    ms += static_cast<uint32_t>(n[at] - '0') * weight;
  return static_cast<int32_t>(ms);
}

std::string MsToMillisecondText(int32_t ms) {
  if (ms < 0) ms = 0;
  return MsToTimeText(ms) + std::to_string(ms % 100 + 100).substr(1);
}

std::string MsToExactTimeText(int32_t ms) {
  return ms % 100 == 0 ? MsToTimeText(ms) : MsToMillisecondText(ms);
}

std::string MsToTimeText(int32_t ms) {
  if (ms < 0) ms = 0;
  const auto hours = static_cast<uint8_t>(ms / 3600000);
  const int32_t r = ms % 3600000;
  const int32_t minutes = r / 60000;
  const int32_t r2 = r % 60000;
  const int32_t seconds = r2 / 1000;
  const int32_t tenths = r2 % 1000 / 100;
  return TwoDigits(hours) + ":" + TwoDigits(minutes) + ":" + TwoDigits(seconds) + "." + std::to_string(tenths);
}

std::string PositionToTimeText(int32_t position) {
  const int64_t ms = static_cast<int64_t>(position) * 500;
  return MsToTimeText(ms > INT32_MAX ? INT32_MAX : static_cast<int32_t>(ms));
}


std::string GetAppDataFolder() { return desktop::AppDataFolder(); }

int GetMpegLayer(const std::string& fileName) { return LayerOfFirstSync(fileName); }
