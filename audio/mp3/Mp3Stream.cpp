#include "audio/mp3/Mp3Stream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "audio/classes/FileStream.h"
#include "audio/mp3/frames/FileWindow.h"
#include "platform/ByteOrder.h"
#include "platform/FileIdentity.h"

namespace {

/// True for a frame sync with the free-format bit rate index.
bool IsFreeFormat(const uint8_t* h) { return IsFrameSync(h) && (h[2] >> 4) == 0; }

/// Where the tags at the end of the file begin: ID3v1, APEv2 and Lyrics3 v2, in any order.
int64_t StartOfEndTags(FileWindow& in, int64_t fileSize, int64_t floor) {
  int64_t end = fileSize;
  for (bool found = true; found;) {
    found = false;
    if (const uint8_t* p = in.At(end - 128, 3); end - 128 >= floor && p && std::memcmp(p, "TAG", 3) == 0) {
      end -= 128;
      found = true;
    }
    if (const uint8_t* p = in.At(end - 32, 32); end - 32 >= floor && p && std::memcmp(p, "APETAGEX", 8) == 0) {
      const int64_t size = ByteOrder::Le32(p + 12) + ((ByteOrder::Le32(p + 20) & 0x80000000u) ? 32 : 0);
      if (size >= 32 && end - size >= floor) {
        end -= size;
        found = true;
      }
    }
    if (const uint8_t* p = in.At(end - 15, 15); end - 15 >= floor && p && std::memcmp(p + 6, "LYRICS200", 9) == 0) {
      int64_t size = 0;
      for (int i = 0; i < 6 && p[i] >= '0' && p[i] <= '9'; ++i) size = size * 10 + (p[i] - '0');
      if (size > 0 && end - 15 - size >= floor) {
        end -= size + 15;
        found = true;
      }
    }
  }
  return end;
}

std::string At(int64_t offset) { return " at byte " + std::to_string(offset); }

}  // namespace

int64_t Mp3Stream::GaplessSamples() const {
  const int64_t raw = static_cast<int64_t>(frames.size()) * first.samples;
  const int64_t end = lameTag ? std::min(raw, raw - padding + kLayer3DecoderDelay) : raw;
  return std::max<int64_t>(0, end - SkippedAtStart());
}

namespace {

/// Scans of files while they are unchanged, by device, inode, size and
/// change time: cutting one file into many pieces walks its frames once.
class ScanMemory {
 public:
  std::shared_ptr<const Mp3Stream> Find(const std::string& identity) {
    std::lock_guard hold(lock_);
    for (const auto& [key, stream] : kept_)
      if (key == identity) return stream;
    return nullptr;
  }
  void Keep(const std::string& identity, std::shared_ptr<const Mp3Stream> stream) {
    std::lock_guard hold(lock_);
    if (kept_.size() >= 2) kept_.erase(kept_.begin());  // a file or two at a time is what a run needs
    kept_.emplace_back(identity, std::move(stream));
  }

 private:
  std::mutex lock_;
  std::vector<std::pair<std::string, std::shared_ptr<const Mp3Stream>>> kept_;
};
ScanMemory memory;

}  // namespace

std::shared_ptr<const Mp3Stream> ScanMp3Shared(int fd, int64_t fileSize) {
  const std::string identity = media::FileIdentity(fd);
  if (!identity.empty())
    if (auto known = memory.Find(identity)) return known;
  auto stream = std::make_shared<const Mp3Stream>(ScanMp3StreamOnce(fd, fileSize));
  if (!identity.empty()) memory.Keep(identity, stream);
  return stream;
}

Mp3Stream ScanMp3Stream(int fd, int64_t fileSize) { return *ScanMp3Shared(fd, fileSize); }

Mp3Stream ScanMp3StreamOnce(int fd, int64_t fileSize) {
  // One buffered reader for the header look and the frame walk, so that a
  // file without a usable info frame is not read header by header twice.
  FileWindow in(fd, fileSize);
  const Mp3Info info = ReadMp3Info(in);
  Mp3Stream stream;
  stream.fileSize = fileSize;
  stream.tagEnd = info.tagEnd;
  if (!info.found) {
    for (int64_t at = info.tagEnd; at + 4 <= fileSize && at < info.tagEnd + 4096; ++at)
      if (const uint8_t* h = in.At(at, 4); h && IsFreeFormat(h))
        throw Mp3StreamRefused("free-format MP3 streams cannot be cut without re-encoding");
    throw Mp3StreamRefused("no MPEG audio frames found");
  }
  if (info.truncated) throw Mp3StreamRefused("the file holds fewer frames than its info frame counts: it was cut short");

  int64_t at = info.firstFrame;
  if (info.hasXing || info.hasVbri) {
    Mp3FrameHeader header;
    ParseMp3FrameHeader(in.At(at, 4), header);
    stream.infoFrame = at;
    stream.vbrTag = info.vbr;
    at += header.length;
  }
  if (info.lameTag) {
    const uint8_t* extension = in.At(info.lameOffset, 36);
    if (!extension) throw Mp3StreamRefused("the info frame is cut short");
    stream.lameTag = true;
    stream.delay = info.encoderDelay;
    stream.padding = info.encoderPadding;
    std::copy(extension, extension + 36, stream.lameExtension.begin());
  }

  const int64_t tagsStart = StartOfEndTags(in, fileSize, at);
  while (at < tagsStart) {
    const uint8_t* h = in.At(at, 4);
    Mp3FrameHeader header;
    if (!h || !ParseMp3FrameHeader(h, header)) {
      if (h && IsFreeFormat(h)) throw Mp3StreamRefused("free-format MP3 streams cannot be cut without re-encoding");
      throw Mp3StreamRefused("the MP3 stream is damaged" + At(at) + ": neither a frame nor a tag");
    }
    if (stream.frames.empty()) stream.first = header;
    const Mp3FrameHeader& first = stream.first;
    if (header.layer != 3) throw Mp3StreamRefused("only MPEG Layer III frames can be copied, this is Layer " +
                                                  std::to_string(header.layer) + At(at));
    if (header.version != first.version || header.sampleRate != first.sampleRate || header.channels != first.channels)
      throw Mp3StreamRefused("the sample rate or channels of the MP3 stream change" + At(at));
    if (at + header.length > tagsStart) throw Mp3StreamRefused("the last MP3 frame is cut short" + At(at));
    Mp3Frame frame;
    frame.offset = at;
    frame.length = header.length;
    frame.bitrateIndex = header.bitrateIndex;
    const int sideInfoAt = 4 + (header.crc ? 2 : 0);
    frame.regionOffset = sideInfoAt + header.SideInfoSize();
    if (frame.regionOffset > frame.length) throw Mp3StreamRefused("the MP3 stream is damaged" + At(at));
    const uint8_t* side = in.At(at + sideInfoAt, 2);
    frame.mainDataBegin = header.version == 1 ? (side[0] << 1) | (side[1] >> 7) : side[0];
    stream.frames.push_back(frame);
    at += header.length;
  }
  if (stream.frames.empty()) throw Mp3StreamRefused("the MP3 file holds no audio frames");
  // The decoders trust the info frame's count for where the audio ends.
  if (stream.infoFrame >= 0 && info.infoFrames != static_cast<int64_t>(stream.frames.size()))
    throw Mp3StreamRefused("the info frame counts " + std::to_string(info.infoFrames) + " frames, the stream holds " +
                           std::to_string(stream.frames.size()));
  stream.trailer = tagsStart;
  return stream;
}

Mp3Stream ScanMp3File(const std::string& fileName) { return *ScanMp3FileShared(fileName); }

std::shared_ptr<const Mp3Stream> ScanMp3FileShared(const std::string& fileName) {
  TAuFileStream file(fileName, TFileMode::Read);
  return ScanMp3Shared(file.Handle(), file.Size());
}

std::string LosslessRefusal(const std::string& reason, const std::string& fileName) {
  return "Cannot cut without re-encoding: " + reason + ": " + fileName;
}
