#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "audio/mp3/frames/Mp3Info.h"

/// Walks the Layer III frames of an MP3 file from the first after its
/// Xing/Info/VBRI frame, reading it in large blocks. Bytes that are no frame
/// of the stream (another rate or channel count, damage, tags at the end)
/// are stepped over one by one, as decoders do. `frame` gets each frame's
/// offset, header and bytes (valid during the call); `cancelled` is asked
/// now and then and ends the walk. Returns what the headers tell
/// (`found` false: no frame). Raises Error when the file cannot be
/// opened or read.
Mp3Info WalkMp3Frames(const std::string& fileName,
                      const std::function<void(int64_t offset, const Mp3FrameHeader& header, const uint8_t* bytes)>& frame,
                      const std::function<bool()>& cancelled = {});

/// The layer (1, 2 or 3) of the first frame sync in the file whose version
/// and layer bits are valid, 0 when there is none or the file does not
/// exist. Raises Error when the file cannot be read.
int LayerOfFirstSync(const std::string& fileName);
