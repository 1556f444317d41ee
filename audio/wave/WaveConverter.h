#pragma once

#include <cstdint>

#include "audio/classes/MemoryStream.h"

/// The WAV reader's MP3 codec: converts the layer 3 payload of a WAV file to
/// 16-bit PCM of its channels and rate, and writes the result as a whole PCM
/// WAV file into another stream.
///
/// Use: LoadFile, Convert, SaveWav.
class TWaveConverter : public TAuMemoryStream {
 public:
  /// The "fmt " fields the conversion reads and writes.
  struct Format {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint16_t bitsPerSample = 0;
  };
  static constexpr uint16_t kPcm = 1;
  static constexpr uint16_t kMpegLayer3 = 0x55;

  /// Reads the "fmt " chunk into SourceFormat and the "data" payload present
  /// into this stream, finding them as the WAV reader does.
  void LoadFile(TAuStream& source);
  /// Decodes this stream's layer 3 payload into PCM, which SourceFormat then
  /// describes; false when it is no layer 3 of 1 or 2 channels or holds no audio.
  bool Convert();
  /// Writes a PCM WAV file of SourceFormat and this stream's bytes; false when it cannot.
  bool SaveWav(TAuStream& dest);

  const Format& SourceFormat() const { return format_; }

 private:
  Format format_;
};
