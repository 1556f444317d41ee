#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace media {

/// Decodes a whole MPEG layer 3 payload (what a WAV file of that format
/// holds) into interleaved 16-bit PCM of `channels` channels at its own rate.
/// False when the decoder cannot be had or finds no audio in it.
bool DecodeLayer3(const uint8_t* data, size_t size, int channels, std::vector<int16_t>& pcm);

}  // namespace media
