#pragma once

#include <cstdint>
#include <vector>

/// Encodes interleaved 16-bit PCM to MPEG layer 3 frames with LAME: CBR at
/// `kbps`, or VBR when `vbr`. With `tag`, the first frame is LAME's
/// Xing/Info tag with the encoder delay and padding (gapless playback).
std::vector<uint8_t> EncodeMp3(const std::vector<int16_t>& samples, int channels, int sampleRate, int kbps,
                               bool tag = false, bool vbr = false);
