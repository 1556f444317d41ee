#pragma once

#include <cstdint>

#include "audio/classes/MemoryStream.h"
#include "platform/msacm.h"

/// Converts the layer 3 payload of a WAV file to PCM through the compression
/// manager, and writes the result as a whole PCM WAV file into another stream.
///
/// Use: LoadFile, set TargetFormat's tag to PCM, acmFormatSuggest, Convert, SaveWav.
class TWaveConverter : public TAuMemoryStream {
 public:
  static constexpr uint32_t kFormatSize = 129;


  TWaveConverter();

  /// Reads the "fmt " chunk into SourceFormat and the "data" payload present
  /// into this stream, finding them as the WAV reader does.
  void LoadFile(TAuStream& source);
  /// 0 on success, else the compression manager's error.
  int Convert();
  /// Writes a PCM WAV file of SourceFormat and this stream's bytes; 0, or 286 on failure.
  int SaveWav(TAuStream& dest);

  WaveFormatEx& SourceFormat() { return *reinterpret_cast<WaveFormatEx*>(sourceFormat_); }
  WaveFormatEx& TargetFormat() { return *reinterpret_cast<WaveFormatEx*>(targetFormat_); }
  uint32_t MaxFmtSize() const { return MaxFmtSize_; }

 private:
  uint32_t MaxFmtSize_ = 0;
  uint8_t sourceFormat_[kFormatSize] = {};
  uint8_t targetFormat_[kFormatSize] = {};
};
