#include "app/jobs/Global.h"
#include "platform/Error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "platform/Numbers.h"
#include "platform/Desktop.h"

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

int GetMpegLayer(const std::string& fileName) {
  std::error_code error;
  if (!std::filesystem::exists(fileName, error)) return 0;
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error(ErrnoText(errno));

  // A header candidate starts at offset i < size - 4, so the last four bytes
  // never start one. Blocks overlap by three bytes so no offset is skipped.
  constexpr int64_t kBlock = 1 << 16;
  std::vector<uint8_t> buffer(kBlock + 3);
  int layer = 0;
  int64_t offset = 0;
  for (;;) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
      const int code = errno;
      ::close(fd);
      throw std::runtime_error(ErrnoText(code));
    }
    const int64_t lastStart = static_cast<int64_t>(info.st_size) - 5;
    if (offset > lastStart) break;
    const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), offset);
    if (got < 0) {
      const int code = errno;
      ::close(fd);
      throw std::runtime_error(ErrnoText(code));
    }
    if (got < 4) break;
    const int64_t starts = std::min<int64_t>(got - 3, lastStart - offset + 1);
    for (int64_t i = 0; i < starts && layer == 0; ++i) {
      const uint8_t* b = &buffer[i];
      if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) continue;
      const int version = (b[1] >> 3) & 3;
      const int layerBits = (b[1] >> 1) & 3;
      if (version != 1 && layerBits != 0) layer = 4 - layerBits;
    }
    if (layer != 0) break;
    offset += starts;
  }
  ::close(fd);
  return layer;
}
