#include "audio/mp3/frames/GlobalGain.h"

#include <algorithm>

namespace {

/// Where, in bits from the start of the side information, each granule's
/// global gain field lies; MPEG 1 has two granules and scale factor
/// selection bits, MPEG 2 and 2.5 one.
struct Layout {
  int first = 0;     // bit of the first granule's part2_3_length
  int perGranule = 0;  // bits of one granule of one channel
  int granules = 0;
};

Layout LayoutOf(const Mp3FrameHeader& header) {
  if (header.version == 1) return {9 + (header.channels == 1 ? 5 : 3) + 4 * header.channels, 59, 2};
  return {8 + (header.channels == 1 ? 1 : 2), 63, 1};
}

int ReadBits(const uint8_t* at, int bit, int count) {
  int value = 0;
  for (int i = 0; i < count; ++i, ++bit) value = (value << 1) | ((at[bit >> 3] >> (7 - (bit & 7))) & 1);
  return value;
}

void WriteBits(uint8_t* at, int bit, int count, int value) {
  for (int i = count - 1; i >= 0; --i, ++bit) {
    const uint8_t mask = static_cast<uint8_t>(0x80 >> (bit & 7));
    if ((value >> i) & 1) at[bit >> 3] |= mask;
    else at[bit >> 3] &= static_cast<uint8_t>(~mask);
  }
}

/// The frame check of ISO/IEC 11172-3: CRC-16 (0x8005, from 0xFFFF, not
/// reflected) over the header's last two bytes and the side information.
uint16_t FrameCheck(const uint8_t* frame, int sideInfoBytes) {
  uint16_t crc = 0xFFFF;
  const auto feed = [&crc](uint8_t byte) {
    for (int i = 7; i >= 0; --i) {
      const bool top = (crc & 0x8000) != 0;
      const bool bit = ((byte >> i) & 1) != 0;
      crc = static_cast<uint16_t>(crc << 1);
      if (top != bit) crc ^= 0x8005;
    }
  };
  feed(frame[2]);
  feed(frame[3]);
  for (int i = 0; i < sideInfoBytes; ++i) feed(frame[6 + i]);
  return crc;
}

template <typename Visit>
bool EachGranule(const Mp3FrameHeader& header, int frameBytes, Visit visit) {
  const int offset = 4 + (header.crc ? 2 : 0);
  if (header.layer != 3 || frameBytes < offset + header.SideInfoSize()) return false;
  const Layout layout = LayoutOf(header);
  for (int g = 0; g < layout.granules; ++g)
    for (int c = 0; c < header.channels; ++c) {
      const int bit = layout.first + (g * header.channels + c) * layout.perGranule;
      visit(offset, bit);  // part2_3_length at `bit`, global gain 21 bits on
    }
  return true;
}

}  // namespace

int ShiftGlobalGain(uint8_t* frame, int frameBytes, const Mp3FrameHeader& header, int steps) {
  int stopped = 0;
  const bool parsed = EachGranule(header, frameBytes, [&](int offset, int bit) {
    uint8_t* side = frame + offset;
    const int gain = ReadBits(side, bit + 21, 8);
    const int shifted = std::clamp(gain + steps, 0, 255);
    if (shifted != gain + steps) ++stopped;
    WriteBits(side, bit + 21, 8, shifted);
  });
  if (parsed && header.crc) {
    const uint16_t check = FrameCheck(frame, header.SideInfoSize());
    frame[4] = static_cast<uint8_t>(check >> 8);
    frame[5] = static_cast<uint8_t>(check);
  }
  return stopped;
}

