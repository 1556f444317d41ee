#include "audio/mp3/frames/InfoFrame.h"
#include "platform/Error.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/ByteOrder.h"

namespace {

constexpr int kXingBytes = 120;  // "Info", flags, frames, bytes, table of contents, quality
constexpr int kLameBytes = 36;

using ByteOrder::PutBe32;

/// A frame header like `likeHeader` with another bit rate, unpadded and without a check.
std::vector<uint8_t> EmptyFrame(const Mp3FrameHeader& like, const uint8_t likeHeader[4], int bitrateIndex) {
  std::vector<uint8_t> frame(static_cast<size_t>(Mp3FrameLength(like, bitrateIndex)), 0);
  frame[0] = likeHeader[0];
  frame[1] = static_cast<uint8_t>(likeHeader[1] | 1);  // no check
  frame[2] = static_cast<uint8_t>((bitrateIndex << 4) | (likeHeader[2] & 0x0C));  // not padded, no private bit
  frame[3] = static_cast<uint8_t>(likeHeader[3] & 0xCF);  // no mode extension
  return frame;
}

/// The lowest bit rate index whose frame has at least `bytes` after the side information.
int IndexForRoom(const Mp3FrameHeader& like, int bytes, int preferred) {
  const int fixed = 4 + like.SideInfoSize();
  if (Mp3FrameLength(like, preferred) - fixed >= bytes) return preferred;
  for (int index = 1; index < 15; ++index)
    if (Mp3FrameLength(like, index) - fixed >= bytes) return index;
  throw Error(ErrorKind::Failed, "no MPEG frame is large enough");
}

}  // namespace

uint16_t LameCrc16(const uint8_t* data, size_t size, uint16_t crc) {
  // Eight tables, so that eight bytes are taken at a time (slicing by 8):
  // a whole stream's check costs little beside copying it.
  static const auto tables = [] {
    std::array<std::array<uint16_t, 256>, 8> t{};
    for (int i = 0; i < 256; ++i) {
      uint16_t value = static_cast<uint16_t>(i);
      for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? static_cast<uint16_t>((value >> 1) ^ 0xA001) : value >> 1;
      t[0][i] = value;
    }
    for (int k = 1; k < 8; ++k)
      for (int i = 0; i < 256; ++i) t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
    return t;
  }();
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    const uint8_t* p = data + i;
    crc = static_cast<uint16_t>(tables[7][(crc ^ p[0]) & 0xFF] ^ tables[6][((crc >> 8) ^ p[1]) & 0xFF] ^
                                tables[5][p[2]] ^ tables[4][p[3]] ^ tables[3][p[4]] ^ tables[2][p[5]] ^
                                tables[1][p[6]] ^ tables[0][p[7]]);
  }
  for (; i < size; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ tables[0][(crc ^ data[i]) & 0xFF]);
  return crc;
}

std::vector<uint8_t> MakeInfoFrame(const Mp3FrameHeader& like, const uint8_t likeHeader[4], const InfoFrameFields& fields) {
  const int xingAt = 4 + like.SideInfoSize();
  std::vector<uint8_t> frame =
      EmptyFrame(like, likeHeader, IndexForRoom(like, kXingBytes + kLameBytes, like.bitrateIndex));
  uint8_t* x = frame.data() + xingAt;
  std::memcpy(x, fields.vbr ? "Xing" : "Info", 4);
  PutBe32(x + 4, 0x0F);  // frames, bytes, table of contents and quality follow
  PutBe32(x + 8, fields.frames);
  PutBe32(x + 12, fields.bytes);
  std::copy(fields.toc.begin(), fields.toc.end(), x + 16);

  uint8_t* l = x + kXingBytes;
  if (fields.hasSource) {
    std::copy(fields.source.begin(), fields.source.end(), l);
    std::fill(l + 11, l + 19, 0);  // the peak and the two replay gains are of the whole source
    l[25] = 0;                     // so is its MP3 gain
  } else {
    // Decoders take the delay and padding only after an encoder name they know.
    std::memcpy(l, "LAME3.100", 9);
  }
  l[21] = static_cast<uint8_t>(fields.delay >> 4);
  l[22] = static_cast<uint8_t>(((fields.delay & 0x0F) << 4) | (fields.padding >> 8));
  l[23] = static_cast<uint8_t>(fields.padding & 0xFF);
  PutBe32(l + 28, fields.bytes);
  l[32] = static_cast<uint8_t>(fields.musicCrc >> 8);
  l[33] = static_cast<uint8_t>(fields.musicCrc);
  const uint16_t tagCrc = LameCrc16(frame.data(), static_cast<size_t>(l + 34 - frame.data()));
  l[34] = static_cast<uint8_t>(tagCrc >> 8);
  l[35] = static_cast<uint8_t>(tagCrc);
  return frame;
}

std::vector<uint8_t> MakeCarrierFrame(const Mp3FrameHeader& like, const uint8_t likeHeader[4],
                                      const std::vector<uint8_t>& reservoir) {
  const int bytes = static_cast<int>(reservoir.size());
  std::vector<uint8_t> frame = EmptyFrame(like, likeHeader, IndexForRoom(like, bytes, 1));
  // Zero side information: no data of its own (main_data_begin 0, every
  // part2_3_length 0), so it decodes to silence; the reservoir ends the frame.
  std::copy(reservoir.begin(), reservoir.end(), frame.end() - bytes);
  return frame;
}

std::array<uint8_t, 100> MakeToc(const std::vector<int>& frameLengths, uint32_t infoBytes) {
  std::array<uint8_t, 100> toc{};
  const size_t count = frameLengths.size();
  uint64_t total = infoBytes;
  for (int length : frameLengths) total += static_cast<uint64_t>(length);
  uint64_t offset = infoBytes;
  size_t frame = 0;
  for (size_t i = 0; i < 100; ++i) {
    const size_t wanted = i * count / 100;
    while (frame < wanted) offset += static_cast<uint64_t>(frameLengths[frame++]);
    toc[i] = static_cast<uint8_t>(std::min<uint64_t>(255, offset * 256 / total));
  }
  return toc;
}
