#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/ByteSource.h"

/// What a FLAC file's own bytes tell: where its frames start and where each
/// frame lies in the stream, read from the frame headers (the layout
/// Xiph.Org's FLAC format document gives as FRAME_HEADER). Demuxers guess
/// both from STREAMINFO and seek tables, which other programs leave wrong.
namespace media {

struct FlacFrameHeader {
  bool variableBlocks = false;  // the number is a sample number, not a frame number
  uint64_t number = 0;          // frame number (fixed blocks) or first sample (variable)
  int blockSize = 0;            // samples in this frame
  int headerBytes = 0;
};

/// CRC-8 of FLAC frame headers (polynomial x^8 + x^2 + x + 1).
uint8_t FlacCrc8(const uint8_t* data, size_t size);

/// The frame header at `data`, when its sync, fields and CRC-8 are valid.
std::optional<FlacFrameHeader> ParseFlacFrameHeader(const uint8_t* data, size_t size);

struct FlacLayout {
  int64_t flacStart = 0;    // where "fLaC" is (after an ID3v2 tag some taggers leave)
  int64_t metadataEnd = 0;  // the byte after the last metadata block
  int64_t firstFrame = 0;   // the first byte of the first frame
  int nominalBlock = 0;     // the block size of the first frame: every frame's but the last
  bool variableBlocks = false;
};

/// The layout of the native FLAC file in `source`; nothing when its metadata
/// or its first frame (looked for in the first MiB after the metadata) cannot be found.
std::optional<FlacLayout> ReadFlacLayout(ByteSource& source);

}  // namespace media
