#include "audio/wave/WaveConverter.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/wave/WavHeader.h"
#include "platform/ByteOrder.h"

TWaveConverter::TWaveConverter() { acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &MaxFmtSize_); }

void TWaveConverter::LoadFile(TAuStream& source) {
  const WavHeader header = ScanWavHeader(source, kWavScanWindow);
  if (!header.found) return;
  if (!header.format.empty())
    std::memcpy(sourceFormat_, header.format.data(), std::min<size_t>(header.format.size(), kFormatSize));
  const int64_t present = std::max<int64_t>(source.Size() - header.dataOffset, 0);
  Bytes().resize(static_cast<size_t>(std::min<int64_t>(header.dataSize, present)));
  source.Seek(header.dataOffset, TAuStream::FromBeginning);
  Bytes().resize(static_cast<size_t>(source.Read(Bytes().data(), static_cast<int64_t>(Bytes().size()))));
  Seek(0, FromBeginning);
}

int TWaveConverter::Convert() {
  HACMSTREAM stream = nullptr;
  int result = acmStreamOpen(&stream, nullptr, &SourceFormat(), &TargetFormat(), nullptr, 0, 0,
                             ACM_STREAMOPENF_NONREALTIME);
  if (result != 0) return result;
  uint32_t destSize = 0;
  const auto sourceSize = static_cast<uint32_t>(std::min<int64_t>(Size(), UINT32_MAX));
  result = acmStreamSize(stream, sourceSize, &destSize, ACM_STREAMSIZEF_SOURCE);
  if (result != 0) {
    acmStreamClose(stream, 0);
    return result;
  }
  std::vector<uint8_t> dest(destSize, 0);
  ACMSTREAMHEADER header;
  header.pbSrc = Bytes().data();
  header.cbSrcLength = sourceSize;
  header.pbDst = dest.data();
  header.cbDstLength = destSize;
  result = acmStreamPrepareHeader(stream, &header, 0);
  if (result == 0) result = acmStreamConvert(stream, &header, ACM_STREAMCONVERTF_BLOCKALIGN);
  if (result != 0) {
    acmStreamClose(stream, 0);
    return result;
  }
  std::memcpy(sourceFormat_, targetFormat_, kFormatSize);
  // Only what the codec filled: an estimated buffer would add silence at the end.
  dest.resize(header.cbDstLengthUsed);
  Bytes() = std::move(dest);
  Seek(0, FromBeginning);
  result = acmStreamUnprepareHeader(stream, &header, 0);
  const int closed = acmStreamClose(stream, 0);
  return result != 0 ? result : closed;
}

int TWaveConverter::SaveWav(TAuStream& dest) {
  const int64_t kept = Position();
  const auto dataSize = static_cast<uint32_t>(std::min<int64_t>(Size(), UINT32_MAX - 36));
  uint8_t header[44];
  std::memcpy(header, "RIFF", 4);
  ByteOrder::PutLe32(header + 4, dataSize + 36);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  ByteOrder::PutLe32(header + 16, 16);
  std::memcpy(header + 20, sourceFormat_, 16);
  std::memcpy(header + 36, "data", 4);
  ByteOrder::PutLe32(header + 40, dataSize);
  const bool written = dest.Write(header, 44) == 44 && dest.Write(Bytes().data(), dataSize) == dataSize;
  dest.Seek(0, TAuStream::FromBeginning);
  Seek(kept, FromBeginning);
  return written ? 0 : 286;
}
