#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "audio/mp3/frames/Mp3Info.h"
#include "platform/Error.h"

/// One Layer III frame of a file, with what copying it exactly needs.
struct Mp3Frame {
  int64_t offset = 0;
  int length = 0;
  int bitrateIndex = 0;
  /// Bytes of main data this frame takes from the frames before it (its bit
  /// reservoir), and the bytes of its own main data region.
  int mainDataBegin = 0;
  int regionOffset = 0;  // from the frame's start: header, check, side information
};

/// Why a stream cannot be cut by copying its frames.
class Mp3StreamRefused : public Error {
 public:
  explicit Mp3StreamRefused(const std::string& reason) : Error(ErrorKind::Failed, reason) {}
};

/// An MP3 file seen as the parts a frame-copying cut keeps: the ID3v2 tag,
/// the audio frames, the tags after them, and what its Xing/Info/VBRI frame
/// tells decoders.
struct Mp3Stream {
  Mp3FrameHeader first;          // of the first audio frame
  int64_t fileSize = 0;
  int64_t tagEnd = 0;            // the ID3v2 tag is [0, tagEnd)
  int64_t infoFrame = -1;        // offset of an Xing/Info/VBRI frame, -1 without
  bool vbrTag = false;           // that frame says "Xing" or is VBRI
  bool lameTag = false;          // it carries a LAME extension decoders trust
  int delay = 0, padding = 0;    // its encoder delay and padding
  std::array<uint8_t, 36> lameExtension{};  // as found, when lameTag
  std::vector<Mp3Frame> frames;
  int64_t trailer = 0;           // the tags after the frames are [trailer, fileSize)

  /// What a gapless decoder drops before sample 0: the delay the LAME tag
  /// gives plus the decoder's own delay; nothing without a LAME tag.
  int64_t SkippedAtStart() const { return lameTag ? delay + kLayer3DecoderDelay : 0; }
  /// Frames of audio a gapless decoder delivers.
  int64_t GaplessSamples() const;
};

/// Reads the frame layout of an MP3 file. Raises Mp3StreamRefused, naming
/// the reason, for anything a frame copy could not reproduce exactly: no
/// Layer III frames, free-format frames, a change of sample rate or channel
/// count, bytes that are neither frames nor tags, a last frame cut short, or
/// an info frame that counts other frames than the file holds. The scans
/// of a file or two are remembered while the files are unchanged.
Mp3Stream ScanMp3Stream(int fd, int64_t fileSize);
/// The same, shared rather than copied (a long file's frame list is megabytes).
std::shared_ptr<const Mp3Stream> ScanMp3Shared(int fd, int64_t fileSize);
/// The same, walking the file every time.
Mp3Stream ScanMp3StreamOnce(int fd, int64_t fileSize);
/// The same for a file by name; a file that cannot be opened raises EAuException.
Mp3Stream ScanMp3File(const std::string& fileName);
std::shared_ptr<const Mp3Stream> ScanMp3FileShared(const std::string& fileName);

/// The message for a stream that cannot be cut by copying its frames.
std::string LosslessRefusal(const std::string& reason, const std::string& fileName);
