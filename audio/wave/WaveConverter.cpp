#include "audio/wave/WaveConverter.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

void Put32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

TWaveConverter::TWaveConverter() { acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &MaxFmtSize_); }

void TWaveConverter::LoadFile(TAuStream& source) {
  uint8_t head[12];
  if (source.Read(head, 12) != 12 || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return;
  const int64_t size = source.Size();
  // An 8-byte window slides one byte at a time, stepping over the payloads it reads.
  for (int64_t pos = 12; pos < size - 1;) {
    source.Seek(pos - 7, TAuStream::FromBeginning);
    uint8_t window[8];
    const int64_t got = source.Read(window, 8);
    if (got < 8) break;
    pos = pos - 7 + got;
    const uint32_t chunkSize = U32(window + 4);
    const int64_t available = std::min<int64_t>(chunkSize, size - pos);
    if (std::memcmp(window, "fmt ", 4) == 0) {
      std::vector<uint8_t> format(static_cast<size_t>(std::max<int64_t>(available, 0)));
      pos += source.Read(format.data(), static_cast<int64_t>(format.size()));
      if (!format.empty()) std::memcpy(sourceFormat_, format.data(), std::min<size_t>(format.size(), kFormatSize));
      pos += 7;  // the window's next start lies past the payload
    } else if (std::memcmp(window, "fact", 4) == 0) {
      pos += available + 7;
    } else if (std::memcmp(window, "data", 4) == 0 && chunkSize != 0) {
      Bytes().resize(static_cast<size_t>(std::max<int64_t>(available, 0)));
      Bytes().resize(static_cast<size_t>(source.Read(Bytes().data(), static_cast<int64_t>(Bytes().size()))));
      break;
    }
  }
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
  Put32(header + 4, dataSize + 36);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  Put32(header + 16, 16);
  std::memcpy(header + 20, sourceFormat_, 16);
  std::memcpy(header + 36, "data", 4);
  Put32(header + 40, dataSize);
  const bool written = dest.Write(header, 44) == 44 && dest.Write(Bytes().data(), dataSize) == dataSize;
  dest.Seek(0, TAuStream::FromBeginning);
  Seek(kept, FromBeginning);
  return written ? 0 : 286;
}
