#include "platform/FlacStream.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/FlacFrames.h"

namespace media {
namespace {

/// CRC-16 tables for eight bytes at a time: kCrc16[k][b] is the CRC of byte
/// b followed by k zero bytes (the "slicing" way of computing a CRC).
using Crc16Tables = std::array<std::array<uint16_t, 256>, 8>;

constexpr Crc16Tables MakeCrc16Tables() {
  Crc16Tables tables{};
  for (int i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i << 8);
    for (int bit = 0; bit < 8; ++bit) crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x8005 : crc << 1);
    tables[0][static_cast<size_t>(i)] = crc;
  }
  for (size_t k = 1; k < 8; ++k)
    for (size_t i = 0; i < 256; ++i) {
      const uint16_t before = tables[k - 1][i];
      tables[k][i] = static_cast<uint16_t>((before << 8) ^ tables[0][before >> 8]);
    }
  return tables;
}

constexpr Crc16Tables kCrc16 = MakeCrc16Tables();

uint16_t Crc16Step(uint16_t crc, uint8_t byte) {
  return static_cast<uint16_t>((crc << 8) ^ kCrc16[0][static_cast<size_t>((crc >> 8) ^ byte)]);
}

FlacStreamInfo ReadStreamInfo(const std::vector<uint8_t>& b) {
  FlacStreamInfo info;
  if (b.size() < 34) return info;
  info.sampleRate = b[10] << 12 | b[11] << 4 | b[12] >> 4;
  info.channels = ((b[12] >> 1) & 7) + 1;
  info.bits = ((b[12] & 1) << 4 | b[13] >> 4) + 1;
  info.samples = int64_t{b[13] & 0x0F} << 32 | int64_t{b[14]} << 24 | b[15] << 16 | b[16] << 8 | b[17];
  return info;
}

/// The number of bytes the UTF-8-like coded number at `lead` takes.
size_t CodedNumberBytes(uint8_t lead) {
  size_t ones = 0;
  while (ones < 8 && (lead & (0x80 >> ones))) ++ones;
  return ones == 0 ? 1 : ones;
}

void PutCodedNumber(std::vector<uint8_t>& out, uint64_t value) {
  if (value < 0x80) {
    out.push_back(static_cast<uint8_t>(value));
    return;
  }
  // Bytes after the lead: enough 6-bit groups that the rest fits the lead's free bits.
  int more = 1;
  while (more < 6 && value >= (uint64_t{1} << (6 * more + (6 - more)))) ++more;
  const auto leadMask = static_cast<uint8_t>(0xFF << (7 - more));
  out.push_back(static_cast<uint8_t>(leadMask | (value >> (6 * more))));
  for (int i = more - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(0x80 | ((value >> (6 * i)) & 0x3F)));
}

/// a·b modulo the CRC-16 polynomial x^16 + x^15 + x^2 + 1, in GF(2)[x].
uint16_t MulMod(uint16_t a, uint16_t b) {
  uint16_t r = 0;
  for (int bit = 15; bit >= 0; --bit) {
    r = static_cast<uint16_t>(r & 0x8000 ? (r << 1) ^ 0x8005 : r << 1);
    if (b & (1 << bit)) r ^= a;
  }
  return r;
}

/// x^(8n) modulo the polynomial: what n zero bytes do to a CRC register.
uint16_t ZeroBytes(uint64_t n) {
  uint16_t result = 1, power = 0x0100;  // x^8
  for (; n > 0; n >>= 1) {
    if (n & 1) result = MulMod(result, power);
    power = MulMod(power, power);
  }
  return result;
}

}  // namespace

uint16_t FlacCrc16(const uint8_t* data, size_t size, uint16_t crc) {
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    const uint8_t* d = data + i;
    crc = static_cast<uint16_t>(kCrc16[7][d[0] ^ (crc >> 8)] ^ kCrc16[6][d[1] ^ (crc & 0xFF)] ^ kCrc16[5][d[2]] ^
                                kCrc16[4][d[3]] ^ kCrc16[3][d[4]] ^ kCrc16[2][d[5]] ^ kCrc16[1][d[6]] ^ kCrc16[0][d[7]]);
  }
  for (; i < size; ++i) crc = Crc16Step(crc, data[i]);
  return crc;
}

std::optional<FlacStream> ScanFlacStream(ByteSource& source, const FlacScanLimits& limits) {
  const auto layout = ReadFlacLayout(source);
  if (!layout) return std::nullopt;
  FlacStream stream;
  // The metadata blocks, each a type, a length and a body.
  for (int64_t at = layout->flacStart + 4; at < layout->metadataEnd;) {
    uint8_t head[4];
    if (source.ReadAt(at, head, 4) != 4) return std::nullopt;
    FlacMetadataBlock block;
    block.type = head[0] & 0x7F;
    block.body.resize(static_cast<size_t>(head[1] << 16 | head[2] << 8 | head[3]));
    const auto length = static_cast<int64_t>(block.body.size());
    if (source.ReadAt(at + 4, block.body.data(), length) != length) return std::nullopt;
    stream.blocks.push_back(std::move(block));
    at += 4 + length;
  }
  if (stream.blocks.empty() || stream.blocks.front().type != 0) return std::nullopt;
  stream.info = ReadStreamInfo(stream.blocks.front().body);
  if (stream.info.sampleRate <= 0) return std::nullopt;

  // The frames, one after the other: the next starts where a header that
  // names the next sample begins and the CRC-16 of the bytes before it checks.
  const int64_t size = source.Size();
  constexpr int64_t kWindow = 1 << 22;
  auto sampleOf = [&](const FlacFrameHeader& header) {
    return header.variableBlocks ? static_cast<int64_t>(header.number)
                                 : static_cast<int64_t>(header.number) * layout->nominalBlock;
  };
  // The bytes read from the frame being read on: buffer_[base, ...).
  std::vector<uint8_t> buffer;
  size_t base = 0;
  int64_t frameStart = layout->firstFrame, currentSample = 0;
  auto have = [&] { return buffer.size() - base; };
  auto readMore = [&] {
    if (base > buffer.size() / 2) {  // what earlier frames held goes, now and then
      buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(base));
      base = 0;
    }
    const int64_t at = frameStart + static_cast<int64_t>(have());
    const int64_t count = std::min(kWindow, size - at);
    if (count <= 0) return false;
    const size_t old = buffer.size();
    buffer.resize(old + static_cast<size_t>(count));
    return source.ReadAt(at, buffer.data() + old, count) == count;
  };
  while (frameStart < size) {
    if (limits.until >= 0 && currentSample >= limits.until) return stream;
    if (have() < 32 && frameStart + static_cast<int64_t>(have()) < size && !readMore()) return std::nullopt;
    const uint8_t* bytes = buffer.data() + base;
    const auto current = ParseFlacFrameHeader(bytes, have());
    if (!current || sampleOf(*current) != currentSample) return std::nullopt;
    const auto longest = static_cast<size_t>(int64_t{current->blockSize} * stream.info.channels * (stream.info.bits + 1) / 8 + 64);
    int64_t end = -1;
    const bool check = currentSample + current->blockSize > limits.checkFrom;
    size_t from = static_cast<size_t>(current->headerBytes);
    uint16_t crc = check ? FlacCrc16(bytes, from) : 0;
    for (;;) {
      bytes = buffer.data() + base;
      const bool atEof = frameStart + static_cast<int64_t>(have()) >= size;
      // The next byte 0xFF: a header may start there.
      const auto* hit = static_cast<const uint8_t*>(std::memchr(bytes + from, 0xFF, have() - from));
      const size_t at = hit ? static_cast<size_t>(hit - bytes) : have();
      if (check) crc = FlacCrc16(bytes + from, at - from, crc);
      from = at;
      if (from > longest + 16) return std::nullopt;  // no end where a frame must have ended
      if (!hit || (at + 16 > have() && !atEof)) {
        if (atEof) break;  // the last frame
        if (!readMore()) return std::nullopt;
        continue;
      }
      if (crc == 0) {
        const auto next = ParseFlacFrameHeader(hit, have() - at);
        if (next && next->variableBlocks == current->variableBlocks &&
            sampleOf(*next) == currentSample + current->blockSize) {
          end = frameStart + static_cast<int64_t>(at);
          break;
        }
      }
      if (check) crc = Crc16Step(crc, *hit);
      ++from;
    }
    if (end < 0) {
      // The last frame: where its CRC-16 last checked, a tag may follow it.
      uint16_t check = 0;
      int64_t lastCheck = -1;
      const size_t limit = std::min(have(), longest);
      for (size_t i = 0; i < limit; ++i) {
        check = Crc16Step(check, bytes[i]);
        if (check == 0 && i + 1 > static_cast<size_t>(current->headerBytes)) lastCheck = static_cast<int64_t>(i + 1);
      }
      if (lastCheck < 0) return std::nullopt;
      stream.frames.push_back({frameStart, lastCheck, currentSample, current->blockSize});
      return stream;
    }
    stream.frames.push_back({frameStart, end - frameStart, currentSample, current->blockSize});
    currentSample += current->blockSize;
    base += static_cast<size_t>(end - frameStart);
    frameStart = end;
  }
  return std::nullopt;
}

bool AppendFrameStartingAt(std::vector<uint8_t>& out, const uint8_t* frame, size_t size, uint64_t firstSample) {
  const auto header = ParseFlacFrameHeader(frame, size);
  if (!header || size < static_cast<size_t>(header->headerBytes) + 2) return false;
  const size_t headerAt = out.size();
  out.insert(out.end(), {0xFF, 0xF9, frame[2], frame[3]});  // 0xF9: the variable block size strategy
  PutCodedNumber(out, firstSample);
  // The block size and rate fields that follow the number, as they were.
  const size_t fieldsFrom = 4 + CodedNumberBytes(frame[4]);
  out.insert(out.end(), frame + fieldsFrom, frame + header->headerBytes - 1);
  out.push_back(FlacCrc8(out.data() + headerAt, out.size() - headerAt));
  const size_t bodyFrom = static_cast<size_t>(header->headerBytes), bodyBytes = size - 2 - bodyFrom;
  out.insert(out.end(), frame + bodyFrom, frame + size - 2);
  // The CRC-16 is affine in the register the body starts from: the stored
  // one, moved by what the change of header does to that register.
  const uint16_t before = FlacCrc16(frame, bodyFrom);
  const uint16_t after = FlacCrc16(out.data() + headerAt, out.size() - headerAt - bodyBytes);
  const auto stored = static_cast<uint16_t>(frame[size - 2] << 8 | frame[size - 1]);
  const auto crc = static_cast<uint16_t>(stored ^ MulMod(static_cast<uint16_t>(before ^ after), ZeroBytes(bodyBytes)));
  out.push_back(static_cast<uint8_t>(crc >> 8));
  out.push_back(static_cast<uint8_t>(crc & 0xFF));
  return true;
}

std::vector<uint8_t> FrameStartingAt(const uint8_t* frame, size_t size, uint64_t firstSample) {
  std::vector<uint8_t> out;
  if (!AppendFrameStartingAt(out, frame, size, firstSample)) return {};
  return out;
}

std::vector<uint8_t> StreamInfoBody(const FlacStreamInfo& info, int minBlock, int maxBlock, int64_t samples) {
  std::vector<uint8_t> b(34, 0);
  b[0] = static_cast<uint8_t>(minBlock >> 8);
  b[1] = static_cast<uint8_t>(minBlock);
  b[2] = static_cast<uint8_t>(maxBlock >> 8);
  b[3] = static_cast<uint8_t>(maxBlock);
  // Bytes 4-9: the least and most frame bytes, unknown.
  b[10] = static_cast<uint8_t>(info.sampleRate >> 12);
  b[11] = static_cast<uint8_t>(info.sampleRate >> 4);
  b[12] = static_cast<uint8_t>((info.sampleRate & 0x0F) << 4 | (info.channels - 1) << 1 | (info.bits - 1) >> 4);
  b[13] = static_cast<uint8_t>(((info.bits - 1) & 0x0F) << 4 | ((samples >> 32) & 0x0F));
  b[14] = static_cast<uint8_t>(samples >> 24);
  b[15] = static_cast<uint8_t>(samples >> 16);
  b[16] = static_cast<uint8_t>(samples >> 8);
  b[17] = static_cast<uint8_t>(samples);
  // Bytes 18-33: the MD5 of the audio, unknown.
  return b;
}

std::vector<uint8_t> MetadataBytes(const std::vector<FlacMetadataBlock>& blocks) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < blocks.size(); ++i) {
    const size_t length = blocks[i].body.size();
    out.push_back(static_cast<uint8_t>((i + 1 == blocks.size() ? 0x80 : 0) | blocks[i].type));
    out.push_back(static_cast<uint8_t>(length >> 16));
    out.push_back(static_cast<uint8_t>(length >> 8));
    out.push_back(static_cast<uint8_t>(length));
    out.insert(out.end(), blocks[i].body.begin(), blocks[i].body.end());
  }
  return out;
}

}  // namespace media
