#pragma once

#include <cstdint>

#include "platform/ByteSource.h"

/// One MPEG audio frame header (ISO/IEC 11172-3 and 13818-3, MPEG 2.5 as
/// commonly extended). Free-format frames (bit rate index 0) are not parsed.
struct Mp3FrameHeader {
  int version = 0;  // 1, 2 or 25 (2.5)
  int layer = 0;
  int bitrateIndex = 0;
  int bitrate = 0;  // bits per second
  int sampleRate = 0;
  int channels = 0;
  int length = 0;   // bytes
  int samples = 0;  // per frame
  bool crc = false; // a 16-bit check follows the header
  /// Bytes of Layer III side information after the header (and its check).
  int SideInfoSize() const { return version == 1 ? (channels == 1 ? 17 : 32) : (channels == 1 ? 9 : 17); }
};

/// Eleven set bits: where a frame header may start.
inline bool IsFrameSync(const uint8_t* h) { return h[0] == 0xFF && (h[1] & 0xE0) == 0xE0; }

/// Parses the four header bytes at `h`; false when they are not a frame header.
bool ParseMp3FrameHeader(const uint8_t* h, Mp3FrameHeader& out);
/// Frame length in bytes of a header with `bitrateIndex` instead of its own, unpadded.
int Mp3FrameLength(const Mp3FrameHeader& like, int bitrateIndex);

/// Samples every Layer III decoder puts before the first one it was given
/// (its synthesis filter's delay), besides the encoder's own delay.
constexpr int kLayer3DecoderDelay = 529;

/// What the frame headers of an MP3 file tell without decoding it.
struct Mp3Info {
  bool found = false;        // at least one frame header
  int sampleRate = 0;
  int channels = 0;
  int samplesPerFrame = 0;
  int64_t frames = 0;        // audio frames the stream holds (an Xing/Info frame not counted)
  int64_t infoFrames = 0;    // what an Xing/Info/VBRI frame says the stream holds (0 without one)
  bool damaged = false;      // bytes that are no frame were skipped between frames
  bool lameTag = false;      // a LAME extension whose delay and padding decoders trust
  int64_t lameOffset = -1;   // where that extension starts in the file
  int encoderDelay = 0;      // from a LAME tag
  int encoderPadding = 0;
  bool hasXing = false;      // "Xing" (VBR) or "Info" (CBR) tag
  bool hasVbri = false;
  bool vbr = false;          // "Xing", VBRI, or frames of varying bit rate
  int firstBitrate = 0;      // bits per second of the first audio frame
  int64_t tagEnd = 0;        // first byte after an ID3v2 tag (0 without one)
  int64_t firstFrame = -1;   // offset of the first frame (the Xing/Info frame if any)
  bool truncated = false;    // the Xing/Info/VBRI counts describe more than the file holds
  int64_t rateChangeAt = -1; // where frames of another sample rate begin (-1: the rate never changes)
  int laterRate = 0;         // their rate
  /// Samples a gapless decoder delivers: frames x samples per frame - delay - padding.
  int64_t Samples() const;
};


/// Looks at the frames after an ID3v2 tag at `start`. The frames are counted
/// through the file (fast: only headers are read), resynchronising past
/// damage as decoders do; an Xing, Info or VBRI tag's count is only a hint,
/// and a tag that promised more than the stream holds is marked `truncated`.
Mp3Info ReadMp3Info(media::ByteSource& bytes);
/// The same, always read: ReadMp3Info remembers what it read of a file while
/// the file is unchanged (by its Identity; sources without one are read each time).
Mp3Info ReadMp3InfoOnce(media::ByteSource& bytes);
