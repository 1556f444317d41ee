#include "audio/mp3/frames/Mp3Info.h"

#include <functional>

#include "audio/mp3/frames/Id3v2Header.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ByteOrder.h"

namespace {

/// Reads `count` bytes at `offset` into `buffer`; returns the bytes read.
using ReadAt = std::function<int64_t(int64_t offset, void* buffer, int64_t count)>;

constexpr int kBitrates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};

int LengthOf(int layer, int samples, int bitrate, int sampleRate, int padding) {
  if (layer == 1) return (12 * bitrate / sampleRate + padding) * 4;
  return samples / 8 * bitrate / sampleRate + padding;
}

int64_t SkipId3v2(const ReadAt& read) {
  // Some taggers put a new tag in front of the old one: all of them are skipped.
  int64_t end = 0;
  uint8_t h[10];
  for (int tags = 0; tags < 8 && read(end, h, 10) == 10; ++tags) {
    const auto header = ParseId3v2Header(h);
    if (!header) break;
    end += header->wholeSize;
  }
  return end;
}

/// The first offset at or after `from` where a frame starts that is followed by another.
int64_t FindFirstFrame(const ReadAt& read, int64_t from, int64_t fileSize, Mp3FrameHeader& header) {
  std::vector<uint8_t> block(64 * 1024 + 4);
  for (int64_t at = from; at < fileSize && at < from + 1024 * 1024; at += 64 * 1024) {
    const int64_t got = read(at, block.data(), static_cast<int64_t>(block.size()));
    for (int64_t i = 0; i + 4 <= got; ++i) {
      if (!ParseMp3FrameHeader(&block[i], header)) continue;
      uint8_t next[4];
      const int64_t nextAt = at + i + header.length;
      Mp3FrameHeader follower;
      if (nextAt + 4 > fileSize || (read(nextAt, next, 4) == 4 && ParseMp3FrameHeader(next, follower) &&
                                    follower.sampleRate == header.sampleRate && follower.layer == header.layer))
        return at + i;
    }
  }
  return -1;
}

/// True when a frame of the stream's kind starts at `at`: a header of the
/// first frame's version, layer and rate, for a frame that fits in the file.
bool FrameAt(const ReadAt& read, int64_t at, int64_t fileSize, const Mp3FrameHeader& first, Mp3FrameHeader& header) {
  uint8_t h[4];
  return at + 4 <= fileSize && read(at, h, 4) == 4 && ParseMp3FrameHeader(h, header) &&
         header.sampleRate == first.sampleRate && header.layer == first.layer && header.version == first.version &&
         at + header.length <= fileSize;
}

/// Three frames in a row at `at` of the first frame's layer at another
/// sample rate: the stream changes its rate there (two files joined
/// byte by byte), not a stray sync in damaged data.
bool OtherRateChainAt(const ReadAt& read, int64_t at, int64_t fileSize, const Mp3FrameHeader& first, int& rate) {
  Mp3FrameHeader header;
  uint8_t h[4];
  for (int i = 0; i < 3; ++i) {
    if (at + 4 > fileSize || read(at, h, 4) != 4 || !ParseMp3FrameHeader(h, header)) return false;
    if (header.layer != first.layer || header.sampleRate == first.sampleRate || (i > 0 && header.sampleRate != rate))
      return false;
    rate = header.sampleRate;
    at += header.length;
  }
  return true;
}

/// Counts the frames from `at` on as a decoder finds them: past bytes that
/// are not a frame (damage, a stray tag) it resynchronises on the next
/// header that another header follows, so damage costs the damaged frame's
/// time and never the rest of the file. Notes the bit rates seen in `info`.
int64_t CountFrames(const ReadAt& read, int64_t at, int64_t fileSize, const Mp3FrameHeader& first, Mp3Info& info) {
  int64_t frames = 0;
  info.firstBitrate = 0;
  Mp3FrameHeader header, next;
  std::vector<uint8_t> block;
  while (at + 4 <= fileSize) {
    if (!FrameAt(read, at, fileSize, first, header)) {
      if (OtherRateChainAt(read, at, fileSize, first, info.laterRate)) {
        info.rateChangeAt = at;
        return frames;
      }
      // Look for the next frame that is followed by one (or ends the file).
      int64_t found = -1;
      block.resize(64 * 1024 + 3);
      while (found < 0 && at + 4 <= fileSize) {
        const int64_t got = read(at, block.data(), static_cast<int64_t>(block.size()));
        if (got < 4) break;
        for (int64_t i = 1; i + 4 <= got && found < 0; ++i) {
          if (!IsFrameSync(&block[i])) continue;
          const int64_t candidate = at + i;
          if (OtherRateChainAt(read, candidate, fileSize, first, info.laterRate)) {
            info.rateChangeAt = candidate;
            return frames;
          }
          if (FrameAt(read, candidate, fileSize, first, header) &&
              (candidate + header.length + 4 > fileSize ||
               FrameAt(read, candidate + header.length, fileSize, first, next)))
            found = candidate;
        }
        if (found < 0) at += got - 3;
      }
      if (found < 0) break;
      info.damaged = true;
      at = found;
      continue;
    }
    if (info.firstBitrate == 0) info.firstBitrate = header.bitrate;
    else if (header.bitrate != info.firstBitrate) info.vbr = true;
    ++frames;
    at += header.length;
  }
  return frames;
}

}  // namespace

bool ParseMp3FrameHeader(const uint8_t* h, Mp3FrameHeader& out) {
  if (!IsFrameSync(h)) return false;
  const int versionBits = (h[1] >> 3) & 3, layerBits = (h[1] >> 1) & 3;
  const int bitrateIndex = h[2] >> 4, rateIndex = (h[2] >> 2) & 3, padding = (h[2] >> 1) & 1;
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3) return false;
  static constexpr int kRates[3] = {44100, 48000, 32000};
  out.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
  out.layer = 4 - layerBits;
  out.bitrateIndex = bitrateIndex;
  out.bitrate = kBitrates[out.version == 1 ? 0 : 1][out.layer - 1][bitrateIndex] * 1000;
  out.sampleRate = kRates[rateIndex] / (out.version == 1 ? 1 : out.version == 2 ? 2 : 4);
  out.channels = (h[3] >> 6) == 3 ? 1 : 2;
  out.crc = (h[1] & 1) == 0;
  out.samples = out.layer == 1 ? 384 : (out.layer == 3 && out.version != 1) ? 576 : 1152;
  out.length = LengthOf(out.layer, out.samples, out.bitrate, out.sampleRate, padding);
  return out.length > 4;
}

int Mp3FrameLength(const Mp3FrameHeader& like, int bitrateIndex) {
  const int bitrate = kBitrates[like.version == 1 ? 0 : 1][like.layer - 1][bitrateIndex] * 1000;
  return LengthOf(like.layer, like.samples, bitrate, like.sampleRate, 0);
}

int64_t Mp3Info::Samples() const {
  const int64_t total = frames * samplesPerFrame - encoderDelay - encoderPadding;
  return total > 0 ? total : 0;
}

namespace {

/// `read` through a window of 1 MiB: counting walks the whole file a few
/// bytes at a time, and each call of a file's `read` is a system call.
ReadAt Buffered(const ReadAt& read, int64_t fileSize, std::vector<uint8_t>& window, int64_t& windowAt) {
  return [&read, fileSize, &window, &windowAt](int64_t offset, void* into, int64_t count) -> int64_t {
    constexpr int64_t kWindow = 1 << 20;
    if (count > kWindow / 2) return read(offset, into, count);
    const auto held = static_cast<int64_t>(window.size());
    if (offset < windowAt || offset + count > windowAt + held) {
      window.resize(static_cast<size_t>(std::clamp<int64_t>(fileSize - offset, 0, kWindow)));
      window.resize(static_cast<size_t>(std::max<int64_t>(read(offset, window.data(), static_cast<int64_t>(window.size())), 0)));
      windowAt = offset;
    }
    const int64_t available = std::clamp<int64_t>(windowAt + static_cast<int64_t>(window.size()) - offset, 0, count);
    if (available > 0) std::memcpy(into, window.data() + (offset - windowAt), static_cast<size_t>(available));
    return available;
  };
}

}  // namespace

Mp3Info ReadMp3InfoOnce(media::ByteSource& bytes) {
  const int64_t fileSize = bytes.Size();
  const ReadAt unbuffered = [&bytes](int64_t offset, void* into, int64_t count) { return bytes.ReadAt(offset, into, count); };
  std::vector<uint8_t> window;
  int64_t windowAt = 0;
  const ReadAt read = Buffered(unbuffered, fileSize, window, windowAt);
  Mp3Info info;
  Mp3FrameHeader first;
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
  const int xingAt = 4 + first.SideInfoSize();
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
      info.lameTag = true;
      info.lameOffset = start + at;
      const uint8_t* d = &frame[at + 21];
      info.encoderDelay = (d[0] << 4) | (d[1] >> 4);
      info.encoderPadding = ((d[1] & 0x0F) << 8) | d[2];
    }
    (void)streamBytes;
  } else if (got >= 4 + 32 + 18 && std::memcmp(&frame[36], "VBRI", 4) == 0) {
    info.hasVbri = true;
    info.vbr = true;
    info.frames = ByteOrder::Be32(&frame[36 + 14]);
  }

  // The length is what the stream holds: its frames are counted whatever a
  // tag says. A tag frame carries no audio.
  const int64_t promised = info.frames;
  info.infoFrames = promised;
  info.frames = CountFrames(read, info.hasXing || info.hasVbri ? start + first.length : start, fileSize, first, info);
  if (promised > info.frames) {
    // Cut short: the end padding the tag names lies in frames that are gone.
    info.truncated = true;
    info.encoderPadding = 0;
  }
  return info;
}

namespace {

/// The facts of files while they are unchanged: opening a file for its
/// length, then for the cut or the preview, walks its frames once.
class InfoMemory {
 public:
  std::optional<Mp3Info> Find(const std::string& identity) {
    std::lock_guard hold(lock_);
    for (const auto& [key, info] : kept_)
      if (key == identity) return info;
    return std::nullopt;
  }
  void Keep(const std::string& identity, const Mp3Info& info) {
    std::lock_guard hold(lock_);
    if (kept_.size() >= 4) kept_.erase(kept_.begin());  // the files of one action or two
    kept_.emplace_back(identity, info);
  }

 private:
  std::mutex lock_;
  std::vector<std::pair<std::string, Mp3Info>> kept_;
};
InfoMemory infoMemory;

}  // namespace

Mp3Info ReadMp3Info(media::ByteSource& bytes) {
  const std::string identity = bytes.Identity();
  if (!identity.empty())
    if (std::optional<Mp3Info> known = infoMemory.Find(identity)) return *known;
  const Mp3Info info = ReadMp3InfoOnce(bytes);
  if (!identity.empty()) infoMemory.Keep(identity, info);
  return info;
}
