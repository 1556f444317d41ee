#pragma once

#include <cstdint>
#include <vector>

/// Encodes interleaved 16-bit PCM to MPEG layer 3 frames with LAME (CBR).
std::vector<uint8_t> EncodeMp3(const std::vector<int16_t>& samples, int channels, int sampleRate, int kbps);
