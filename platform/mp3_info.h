#pragma once

#include <cstdint>
#include <functional>

/// What the frame headers of an MP3 file tell without decoding it.
struct Mp3Info {
  bool found = false;        // at least one frame header
  int sampleRate = 0;
  int channels = 0;
  int samplesPerFrame = 0;
  int64_t frames = 0;        // audio frames (an Xing/Info frame not counted)
  int encoderDelay = 0;      // from a LAME tag
  int encoderPadding = 0;
  bool hasXing = false;      // "Xing" (VBR) or "Info" (CBR) tag
  bool hasVbri = false;
  bool vbr = false;          // "Xing", VBRI, or frames of varying bit rate
  int firstBitrate = 0;      // bits per second of the first audio frame
  int64_t tagEnd = 0;        // first byte after an ID3v2 tag (0 without one)
  int64_t firstFrame = -1;   // offset of the first frame (the Xing/Info frame if any)
  bool truncated = false;    // the Xing/Info/VBRI counts describe more than the file holds
  /// Samples a gapless decoder delivers: frames x samples per frame - delay - padding.
  int64_t Samples() const;
};

/// Reads `count` bytes at `offset` into `buffer`; returns the bytes read.
using ReadAt = std::function<int64_t(int64_t offset, void* buffer, int64_t count)>;

/// Looks at the frames after an ID3v2 tag at `start`. With an Xing, Info or
/// VBRI tag whose bytes are all present the counts come from it; otherwise
/// the whole frame headers are counted through the file (fast: only headers
/// are read), and a tag that promised more is marked `truncated`.
Mp3Info ReadMp3Info(const ReadAt& read, int64_t fileSize);
