#include "audio/mp3/frames/Id3v2Header.h"

#include <cstring>

std::optional<Id3v2Header> ParseId3v2Header(const uint8_t* bytes) {
  if (std::memcmp(bytes, "ID3", 3) != 0 || bytes[3] == 0xFF || bytes[4] == 0xFF) return std::nullopt;
  int64_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (bytes[i] >= 0x80) return std::nullopt;
    size = (size << 7) | bytes[i];
  }
  Id3v2Header header;
  header.version = bytes[3];
  header.flags = bytes[5];
  header.wholeSize = size + 10 + ((header.flags & 0x10) ? 10 : 0);
  return header;
}
