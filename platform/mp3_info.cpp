#include "platform/mp3_info.h"

#include <cstring>
#include <vector>

#include "platform/ByteOrder.h"

namespace {

struct FrameHeader {
  int version = 0;  // 1, 2 or 25 (2.5)
  int layer = 0;
  int bitrate = 0;  // bits per second
  int sampleRate = 0;
  int channels = 0;
  int length = 0;   // bytes
  int samples = 0;  // per frame
};

bool ParseHeader(const uint8_t* h, FrameHeader& out) {
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
  const int versionBits = (h[1] >> 3) & 3, layerBits = (h[1] >> 1) & 3;
  const int bitrateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3, padding = (h[2] >> 1) & 1;
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  // ISO/IEC 11172-3 and 13818-3 tables (MPEG 2.5 as commonly extended).
  static constexpr int kBitrates[2][3][16] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
  static constexpr int kRates[3] = {44100, 48000, 32000};
  out.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
  out.layer = 4 - layerBits;
  const int table = out.version == 1 ? 0 : 1;
  out.bitrate = kBitrates[table][out.layer - 1][bitrateIndex] * 1000;
  out.sampleRate = kRates[rateIndex] / (out.version == 1 ? 1 : out.version == 2 ? 2 : 4);
  out.channels = (h[3] >> 6) == 3 ? 1 : 2;
  if (out.layer == 1) {
    out.samples = 384;
    out.length = (12 * out.bitrate / out.sampleRate + padding) * 4;
  } else {
    out.samples = (out.layer == 3 && out.version != 1) ? 576 : 1152;
    out.length = out.samples / 8 * out.bitrate / out.sampleRate + padding;
  }
  return out.length > 4;
}

int64_t SkipId3v2(const ReadAt& read) {
  uint8_t h[10];
  if (read(0, h, 10) != 10 || std::memcmp(h, "ID3", 3) != 0) return 0;
  int64_t size = 0;
  for (int i = 6; i < 10; ++i) size = (size << 7) | (h[i] & 0x7F);
  return size + 10 + ((h[5] & 0x10) ? 10 : 0);
}

/// The first offset at or after `from` where a frame starts that is followed by another.
int64_t FindFirstFrame(const ReadAt& read, int64_t from, int64_t fileSize, FrameHeader& header) {
  std::vector<uint8_t> block(64 * 1024 + 4);
  for (int64_t at = from; at < fileSize && at < from + 1024 * 1024; at += 64 * 1024) {
    const int64_t got = read(at, block.data(), static_cast<int64_t>(block.size()));
    for (int64_t i = 0; i + 4 <= got; ++i) {
      if (!ParseHeader(&block[i], header)) continue;
      uint8_t next[4];
      const int64_t nextAt = at + i + header.length;
      FrameHeader follower;
      if (nextAt + 4 > fileSize || (read(nextAt, next, 4) == 4 && ParseHeader(next, follower) &&
                                    follower.sampleRate == header.sampleRate && follower.layer == header.layer))
        return at + i;
    }
  }
  return -1;
}

}  // namespace

int64_t Mp3Info::Samples() const {
  const int64_t total = frames * samplesPerFrame - encoderDelay - encoderPadding;
  return total > 0 ? total : 0;
}

Mp3Info ReadMp3Info(const ReadAt& read, int64_t fileSize) {
  Mp3Info info;
  FrameHeader first;
  info.tagEnd = SkipId3v2(read);
  const int64_t start = FindFirstFrame(read, info.tagEnd, fileSize, first);
  if (start < 0) return info;
  info.found = true;
  info.firstFrame = start;
  info.sampleRate = first.sampleRate;
  info.channels = first.channels;
  info.samplesPerFrame = first.samples;

  // An Xing/Info tag sits after the side information of the first frame; VBRI 32 bytes in.
  std::vector<uint8_t> frame(static_cast<size_t>(first.length));
  const int64_t got = read(start, frame.data(), first.length);
  const int sideInfo = first.version == 1 ? (first.channels == 1 ? 17 : 32) : (first.channels == 1 ? 9 : 17);
  const int xingAt = 4 + sideInfo;
  if (got >= xingAt + 8 && (std::memcmp(&frame[xingAt], "Xing", 4) == 0 || std::memcmp(&frame[xingAt], "Info", 4) == 0)) {
    info.hasXing = true;
    info.vbr = std::memcmp(&frame[xingAt], "Xing", 4) == 0;
    const uint32_t flags = ByteOrder::Be32(&frame[xingAt + 4]);
    int at = xingAt + 8;
    if ((flags & 1) && got >= at + 4) info.frames = ByteOrder::Be32(&frame[at]), at += 4;
    int64_t streamBytes = -1;  // the frames' bytes, the tag frame included
    if ((flags & 2) && got >= at + 4) streamBytes = ByteOrder::Be32(&frame[at]);
    if (flags & 2) at += 4;
    if (flags & 4) at += 100; // table of contents
    if (flags & 8) at += 4;   // quality
    // The LAME extension: 9-byte version, then at +21 the 12-bit delay and padding.
    if (got >= at + 24 && (std::memcmp(&frame[at], "LAME", 4) == 0 || std::memcmp(&frame[at], "Lavc", 4) == 0 ||
                           std::memcmp(&frame[at], "Lavf", 4) == 0)) {
      const uint8_t* d = &frame[at + 21];
      info.encoderDelay = (d[0] << 4) | (d[1] >> 4);
      info.encoderPadding = ((d[1] & 0x0F) << 8) | d[2];
    }
    // Trusted only when the bytes it describes are there.
    if (info.frames > 0 && streamBytes > 0 && start + streamBytes <= fileSize) {
      info.firstBitrate = first.bitrate;
      return info;
    }
  } else if (got >= 4 + 32 + 18 && std::memcmp(&frame[36], "VBRI", 4) == 0) {
    info.hasVbri = true;
    info.vbr = true;
    info.frames = ByteOrder::Be32(&frame[36 + 14]);
    const int64_t streamBytes = ByteOrder::Be32(&frame[36 + 10]);
    info.firstBitrate = first.bitrate;
    if (info.frames > 0 && streamBytes > 0 && start + streamBytes <= fileSize) return info;
  }

  // No tag to trust: count the whole frames present. A tag frame carries no audio.
  const int64_t promised = info.frames;
  int64_t at = info.hasXing ? start + first.length : start;
  info.frames = 0;
  info.firstBitrate = 0;
  uint8_t h[4];
  FrameHeader header;
  while (at + 4 <= fileSize && read(at, h, 4) == 4 && ParseHeader(h, header) && header.sampleRate == info.sampleRate &&
         at + header.length <= fileSize) {
    if (info.firstBitrate == 0) info.firstBitrate = header.bitrate;
    else if (header.bitrate != info.firstBitrate) info.vbr = true;
    ++info.frames;
    at += header.length;
  }
  if (promised > info.frames) {
    // Cut short: the end padding the tag names lies in frames that are gone.
    info.truncated = true;
    info.encoderPadding = 0;
  }
  return info;
}
