#pragma once

namespace media {

/// Interleaved integer PCM handed to an encoder.
struct PcmLayout {
  int channels = 0;
  int rate = 0;
  int bits = 0;  // 8, 16, 24 (packed) or 32
};

}  // namespace media
