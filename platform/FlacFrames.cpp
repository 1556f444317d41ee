#include "platform/FlacFrames.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace media {

uint8_t FlacCrc8(const uint8_t* data, size_t size) {
  // CRC-8, polynomial x^8 + x^2 + x + 1, as the FLAC frame header uses.
  uint8_t crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint8_t>(crc & 0x80 ? (crc << 1) ^ 0x07 : crc << 1);
  }
  return crc;
}

std::optional<FlacFrameHeader> ParseFlacFrameHeader(const uint8_t* data, size_t size) {
  if (size < 6 || data[0] != 0xFF || (data[1] & 0xFE) != 0xF8) return std::nullopt;
  const int blockCode = data[2] >> 4, rateCode = data[2] & 0x0F;
  const int channelCode = data[3] >> 4, bitsCode = (data[3] >> 1) & 0x07;
  if (blockCode == 0 || rateCode == 15 || channelCode > 10 || bitsCode == 3 || (data[3] & 1) != 0) return std::nullopt;
  FlacFrameHeader header;
  header.variableBlocks = (data[1] & 1) != 0;
  // The number, coded as UTF-8 is (up to 36 bits in seven bytes): the lead
  // byte's leading ones count the bytes, those after it carry 6 bits each.
  size_t at = 4;
  const uint8_t lead = data[at++];
  int more = 0;
  uint64_t number = lead;
  if (lead >= 0x80) {
    if (lead < 0xC0 || lead == 0xFF) return std::nullopt;
    while (lead & (0x40 >> more)) ++more;  // the ones after the first: bytes that follow
    number = lead & (0x3F >> more);
    for (int i = 0; i < more; ++i) {
      if (at >= size || (data[at] & 0xC0) != 0x80) return std::nullopt;
      number = number << 6 | (data[at++] & 0x3F);
    }
  }
  if (!header.variableBlocks && more > 5) return std::nullopt;
  header.number = number;
  if (blockCode == 1) header.blockSize = 192;
  else if (blockCode <= 5) header.blockSize = 576 << (blockCode - 2);
  else if (blockCode == 6) {
    if (at + 1 > size) return std::nullopt;
    header.blockSize = data[at++] + 1;
  } else if (blockCode == 7) {
    if (at + 2 > size) return std::nullopt;
    header.blockSize = (data[at] << 8 | data[at + 1]) + 1;
    at += 2;
  } else {
    header.blockSize = 256 << (blockCode - 8);
  }
  if (rateCode == 12) at += 1;
  else if (rateCode == 13 || rateCode == 14) at += 2;
  if (at + 1 > size || FlacCrc8(data, at) != data[at]) return std::nullopt;
  header.headerBytes = static_cast<int>(at + 1);
  return header;
}

std::optional<FlacLayout> ReadFlacLayout(ByteSource& source) {
  uint8_t head[4];
  if (source.ReadAt(0, head, 4) != 4) return std::nullopt;
  int64_t at = 0;
  // An ID3v2 tag in front, which some taggers leave.
  uint8_t id3[10];
  if (std::memcmp(head, "ID3", 3) == 0 && source.ReadAt(0, id3, 10) == 10) {
    at = 10 + (int64_t{id3[6] & 0x7F} << 21 | int64_t{id3[7] & 0x7F} << 14 | int64_t{id3[8] & 0x7F} << 7 | (id3[9] & 0x7F));
    if (source.ReadAt(at, head, 4) != 4) return std::nullopt;
  }
  if (std::memcmp(head, "fLaC", 4) != 0) return std::nullopt;
  const int64_t start = at;
  at += 4;
  for (;;) {
    uint8_t block[4];
    if (source.ReadAt(at, block, 4) != 4) return std::nullopt;
    at += 4 + (int64_t{block[1]} << 16 | int64_t{block[2]} << 8 | block[3]);
    if (block[0] & 0x80) break;
  }
  FlacLayout layout;
  layout.metadataEnd = at;
  layout.flacStart = start;
  constexpr int64_t kLookFor = 1 << 20;
  std::vector<uint8_t> bytes(static_cast<size_t>(kLookFor));
  const int64_t got = source.ReadAt(at, bytes.data(), kLookFor);
  if (got <= 0) return std::nullopt;
  for (int64_t i = 0; i + 1 < got; ++i) {
    if (bytes[i] != 0xFF) continue;
    const auto header = ParseFlacFrameHeader(&bytes[i], static_cast<size_t>(got - i));
    if (!header || header->number != 0) continue;
    layout.firstFrame = at + i;
    layout.nominalBlock = header->blockSize;
    layout.variableBlocks = header->variableBlocks;
    return layout;
  }
  return std::nullopt;
}

}  // namespace media
