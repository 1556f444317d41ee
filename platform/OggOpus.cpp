#include "platform/OggOpus.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace media {
namespace {

/// Ogg CRC-32 tables for eight bytes at a time: kOggCrc[k][b] is the CRC of
/// byte b followed by k zero bytes.
using OggCrcTables = std::array<std::array<uint32_t, 256>, 8>;

constexpr OggCrcTables MakeOggCrcTables() {
  OggCrcTables tables{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t crc = i << 24;
    for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    tables[0][i] = crc;
  }
  for (size_t k = 1; k < 8; ++k)
    for (size_t i = 0; i < 256; ++i) tables[k][i] = (tables[k - 1][i] << 8) ^ tables[0][tables[k - 1][i] >> 24];
  return tables;
}

constexpr OggCrcTables kOggCrc = MakeOggCrcTables();

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

int64_t Le64(const uint8_t* p) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | p[i];
  return static_cast<int64_t>(value);
}

void PutLe(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

/// Where a packet's bytes are, and its first two bytes (its table of contents).
struct PacketInProgress {
  OggOpusPacket packet;
  uint8_t first[2] = {};
};

}  // namespace

uint32_t OggCrc(const uint8_t* data, size_t size, uint32_t crc) {
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    const uint8_t* d = data + i;
    crc ^= static_cast<uint32_t>(d[0]) << 24 | static_cast<uint32_t>(d[1]) << 16 | static_cast<uint32_t>(d[2]) << 8 | d[3];
    crc = kOggCrc[7][crc >> 24] ^ kOggCrc[6][(crc >> 16) & 0xFF] ^ kOggCrc[5][(crc >> 8) & 0xFF] ^ kOggCrc[4][crc & 0xFF] ^
          kOggCrc[3][d[4]] ^ kOggCrc[2][d[5]] ^ kOggCrc[1][d[6]] ^ kOggCrc[0][d[7]];
  }
  for (; i < size; ++i) crc = (crc << 8) ^ kOggCrc[0][((crc >> 24) ^ data[i]) & 0xFF];
  return crc;
}

int OpusPacketSamples(const uint8_t* packet, size_t size) {
  if (size < 1) return 0;
  const int config = packet[0] >> 3;
  static constexpr int kSilk[] = {480, 960, 1920, 2880}, kHybrid[] = {480, 960}, kCelt[] = {120, 240, 480, 960};
  const int frame = config < 12 ? kSilk[config & 3] : config < 16 ? kHybrid[config & 1] : kCelt[config & 3];
  const int code = packet[0] & 3;
  const int frames = code == 0 ? 1 : code < 3 ? 2 : size < 2 ? 0 : packet[1] & 0x3F;
  const int samples = frame * frames;
  return samples <= 5760 ? samples : 0;  // at most 120 ms a packet
}

std::optional<OggOpusStream> ScanOggOpus(ByteSource& source) {
  OggOpusStream stream;
  const int64_t size = source.Size();
  std::vector<uint8_t> page(27 + 255 + 255 * 255);
  PacketInProgress current;
  bool inPacket = false, haveSerial = false, haveBase = false;
  int headers = 0;           // OpusHead and OpusTags seen
  int64_t counted = 0;       // samples of the audio packets so far
  size_t firstOnPage = 0;    // the first audio packet completed on the page
  for (int64_t at = 0; at < size;) {
    if (source.ReadAt(at, page.data(), 27) != 27 || std::memcmp(page.data(), "OggS", 4) != 0 || page[4] != 0)
      return std::nullopt;
    const int segments = page[26];
    if (source.ReadAt(at + 27, page.data() + 27, segments) != segments) return std::nullopt;
    int64_t body = 0;
    for (int i = 0; i < segments; ++i) body += page[27 + static_cast<size_t>(i)];
    const int64_t headerBytes = 27 + segments;
    if (source.ReadAt(at + headerBytes, page.data() + headerBytes, body) != body) return std::nullopt;
    // The page's CRC, counted with its own field as zero.
    uint8_t stored[4];
    std::memcpy(stored, &page[22], 4);
    std::memset(&page[22], 0, 4);
    if (OggCrc(page.data(), static_cast<size_t>(headerBytes + body)) != Le32(stored)) return std::nullopt;
    const uint32_t serial = Le32(&page[14]);
    if (haveSerial && serial != stream.serial) return std::nullopt;  // another stream: not ours to copy
    stream.serial = serial;
    haveSerial = true;
    const bool continued = (page[5] & 1) != 0;
    if (continued != inPacket) return std::nullopt;
    firstOnPage = stream.packets.size();
    int64_t offset = at + headerBytes;
    for (int i = 0; i < segments; ++i) {
      const int lace = page[27 + static_cast<size_t>(i)];
      const size_t inBody = static_cast<size_t>(offset - at - headerBytes);
      if (!inPacket) {
        current = PacketInProgress{};
        current.packet.bytes = 0;
        inPacket = true;
      }
      // The first two bytes of the packet, wherever they lie.
      for (int k = 0; k < lace && current.packet.bytes + k < 2; ++k)
        current.first[current.packet.bytes + k] = page[static_cast<size_t>(headerBytes) + inBody + static_cast<size_t>(k)];
      if (lace > 0) {
        auto& spans = current.packet.spans;
        if (!spans.empty() && spans.back().first + spans.back().second == offset) spans.back().second += lace;
        else spans.emplace_back(offset, lace);
      }
      current.packet.bytes += lace;
      offset += lace;
      if (lace == 255) continue;
      inPacket = false;
      if (headers == 0) {
        std::vector<uint8_t> head(static_cast<size_t>(current.packet.bytes));
        if (current.packet.bytes < 19 || source.ReadAt(current.packet.spans.front().first, head.data(), current.packet.bytes) != current.packet.bytes ||
            std::memcmp(head.data(), "OpusHead", 8) != 0 || current.packet.spans.size() != 1)
          return std::nullopt;
        stream.head = head;
        stream.preSkip = head[10] | head[11] << 8;
        ++headers;
      } else if (headers == 1) {
        ++headers;  // OpusTags: the tags are written anew
        firstOnPage = stream.packets.size();
      } else {
        const int samples = OpusPacketSamples(current.first, static_cast<size_t>(current.packet.bytes));
        if (samples == 0) return std::nullopt;
        current.packet.duration = samples;
        current.packet.start = counted;  // moved by the base once the first audio page tells it
        counted += samples;
        stream.packets.push_back(current.packet);
      }
    }
    const int64_t granule = Le64(&page[6]);
    if (headers == 2 && stream.packets.size() > firstOnPage && granule >= 0) {
      if (!haveBase) {
        // A stream may start at a granule position other than 0.
        const int64_t base = granule - counted;
        if (base < 0 && (page[5] & 4) == 0) return std::nullopt;
        for (OggOpusPacket& packet : stream.packets) packet.start += std::max<int64_t>(base, 0);
        counted += std::max<int64_t>(base, 0);
        haveBase = true;
      }
      stream.endGranule = granule;
    }
    at += headerBytes + body;
  }
  if (headers < 2 || stream.packets.empty() || inPacket) return std::nullopt;
  const int64_t end = stream.packets.back().start + stream.packets.back().duration;
  if (stream.endGranule > end || stream.endGranule <= stream.preSkip) return std::nullopt;
  return stream;
}

void OggPageWriter::Add(const uint8_t* packet, size_t size, int64_t granuleAfter, bool ownPage,
                        std::vector<uint8_t>& out) {
  constexpr size_t kPageBytes = 4096;
  if (!lacing_.empty() && (ownPage || body_.size() >= kPageBytes || lacing_.size() > 200)) ClosePage(out, false);
  size_t remaining = size;
  for (;;) {
    const size_t room = 255 - lacing_.size();
    if (remaining >= 255 * room) {
      // The packet goes on on the next page.
      lacing_.insert(lacing_.end(), room, 255);
      body_.insert(body_.end(), packet + (size - remaining), packet + (size - remaining) + 255 * room);
      remaining -= 255 * room;
      ClosePage(out, false);
      continued_ = true;
      continue;
    }
    lacing_.insert(lacing_.end(), remaining / 255, 255);
    lacing_.push_back(static_cast<uint8_t>(remaining % 255));
    body_.insert(body_.end(), packet + (size - remaining), packet + size);
    break;
  }
  granule_ = granuleAfter;
  if (ownPage) ClosePage(out, false);
}

void OggPageWriter::FinishStream(std::vector<uint8_t>& out) {
  if (!lacing_.empty()) ClosePage(out, true);
}

void OggPageWriter::ClosePage(std::vector<uint8_t>& out, bool last) {
  const size_t at = out.size();
  out.insert(out.end(), {'O', 'g', 'g', 'S', 0});
  out.push_back(static_cast<uint8_t>((continued_ ? 1 : 0) | (sequence_ == 0 ? 2 : 0) | (last ? 4 : 0)));
  PutLe(out, static_cast<uint64_t>(granule_), 8);
  PutLe(out, serial_, 4);
  PutLe(out, sequence_++, 4);
  PutLe(out, 0, 4);  // the CRC, filled in below
  out.push_back(static_cast<uint8_t>(lacing_.size()));
  out.insert(out.end(), lacing_.begin(), lacing_.end());
  out.insert(out.end(), body_.begin(), body_.end());
  const uint32_t crc = OggCrc(out.data() + at, out.size() - at);
  for (int i = 0; i < 4; ++i) out[at + 22 + static_cast<size_t>(i)] = static_cast<uint8_t>(crc >> (8 * i));
  lacing_.clear();
  body_.clear();
  granule_ = -1;
  continued_ = false;
}

}  // namespace media
