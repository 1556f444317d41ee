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

/// Reads a native FLAC file's metadata and finds every frame: a frame ends
/// where the next valid frame header starts and the CRC-16 of the bytes
/// before it checks, so a sync pattern inside a frame's data is never taken
/// for a frame. Nothing when the file is not native FLAC or its frames do
/// not follow one another (damage, a gap); the caller then decodes instead.
std::optional<FlacStream> ScanFlacStream(ByteSource& source);

/// CRC-16 of FLAC frames (polynomial x^16 + x^15 + x^2 + 1), continued from `crc`.
uint16_t FlacCrc16(const uint8_t* data, size_t size, uint16_t crc = 0);

/// The frame `frame` (a whole frame, CRC-16 included) with a header that
/// names its first sample `firstSample` (the variable block size strategy),
/// its CRC-8 and CRC-16 made anew; the samples are untouched.
std::vector<uint8_t> FrameStartingAt(const uint8_t* frame, size_t size, uint64_t firstSample);

/// A STREAMINFO block's body for frames of `minBlock`..`maxBlock` samples
/// holding `samples` samples of `info`'s stream; frame sizes and the MD5 of
/// the audio are left unknown (0), as the format allows.
std::vector<uint8_t> StreamInfoBody(const FlacStreamInfo& info, int minBlock, int maxBlock, int64_t samples);

/// The metadata blocks written out after "fLaC": type and length headers, the last one marked.
std::vector<uint8_t> MetadataBytes(const std::vector<FlacMetadataBlock>& blocks);

}  // namespace media
