#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/ByteSource.h"

/// A native FLAC file taken apart without decoding it: its metadata blocks
/// and where each of its frames lies, so that frames can be copied into
/// another file as they are (Xiph.Org's FLAC format: METADATA_BLOCK, FRAME).
namespace media {

struct FlacMetadataBlock {
  int type = 0;  // 0 STREAMINFO, 1 PADDING, 2 APPLICATION, 3 SEEKTABLE, 4 VORBIS_COMMENT, 5 CUESHEET, 6 PICTURE
  std::vector<uint8_t> body;
};

/// What STREAMINFO says, as far as a copy of frames needs it.
struct FlacStreamInfo {
  int sampleRate = 0;
  int channels = 0;
  int bits = 0;
  int64_t samples = 0;  // 0: not told
};

struct FlacFrameSpan {
  int64_t offset = 0;  // in the file
  int64_t bytes = 0;
  int64_t firstSample = 0;
  int blockSize = 0;
};

struct FlacStream {
  std::vector<FlacMetadataBlock> blocks;  // in the file's order, STREAMINFO first
  FlacStreamInfo info;
  std::vector<FlacFrameSpan> frames;
  int64_t Samples() const { return frames.empty() ? 0 : frames.back().firstSample + frames.back().blockSize; }
};

/// Which frames a scan checks and how far it goes.
struct FlacScanLimits {
  /// Frames that hold this sample or later ones are checked by their CRC-16;
  /// those before it are found by their headers alone.
  int64_t checkFrom = 0;
  /// The scan ends with the frame that holds the sample before this one; -1: the end of the file.
  int64_t until = -1;
};

/// Reads a native FLAC file's metadata and finds its frames: a frame ends
/// where the next valid frame header starts that names the next sample (and,
/// for the frames checked, where the CRC-16 of the bytes before it checks),
/// so a sync pattern inside a frame's data is not taken for a frame. Nothing
/// when the file is not native FLAC or its frames do not follow one another
/// (damage, a gap); the caller then decodes instead.
std::optional<FlacStream> ScanFlacStream(ByteSource& source, const FlacScanLimits& limits = {});

/// CRC-16 of FLAC frames (polynomial x^16 + x^15 + x^2 + 1), continued from `crc`.
uint16_t FlacCrc16(const uint8_t* data, size_t size, uint16_t crc = 0);

/// Appends to `out` the frame `frame` (a whole frame whose CRC-16 checks)
/// with a header that names its first sample `firstSample` (the variable
/// block size strategy), its CRC-8 and CRC-16 made anew, the samples
/// untouched. The new CRC-16 is worked out from the old one and the two
/// headers, without reading the samples again. False when `frame` has no
/// valid header.
bool AppendFrameStartingAt(std::vector<uint8_t>& out, const uint8_t* frame, size_t size, uint64_t firstSample);

/// The same as a frame of its own.
std::vector<uint8_t> FrameStartingAt(const uint8_t* frame, size_t size, uint64_t firstSample);

/// A STREAMINFO block's body for frames of `minBlock`..`maxBlock` samples
/// holding `samples` samples of `info`'s stream; frame sizes and the MD5 of
/// the audio are left unknown (0), as the format allows.
std::vector<uint8_t> StreamInfoBody(const FlacStreamInfo& info, int minBlock, int maxBlock, int64_t samples);

/// The metadata blocks written out after "fLaC": type and length headers, the last one marked.
std::vector<uint8_t> MetadataBytes(const std::vector<FlacMetadataBlock>& blocks);

}  // namespace media
