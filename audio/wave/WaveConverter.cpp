#include "audio/wave/WaveConverter.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/wave/WavHeader.h"
#include "platform/ByteOrder.h"
#include "platform/Layer3Decoder.h"

void TWaveConverter::LoadFile(TAuStream& source) {
  const WavHeader header = ScanWavHeader(source, kWavScanWindow);
  if (!header.found) return;
  format_ = {header.formatTag, header.channels, header.sampleRate, header.bitsPerSample};
  const int64_t present = std::max<int64_t>(source.Size() - header.dataOffset, 0);
  Bytes().resize(static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(std::min<uint64_t>(header.dataSize, INT64_MAX)), present)));
  source.Seek(header.dataOffset, TAuStream::FromBeginning);
  Bytes().resize(static_cast<size_t>(source.Read(Bytes().data(), static_cast<int64_t>(Bytes().size()))));
  Seek(0, FromBeginning);
}

bool TWaveConverter::Convert() {
  if (format_.formatTag != kMpegLayer3 || format_.channels < 1 || format_.channels > 2 || format_.samplesPerSec == 0)
    return false;
  std::vector<int16_t> pcm;
  if (!media::DecodeLayer3(Bytes().data(), Bytes().size(), format_.channels, pcm)) return false;
  format_.formatTag = kPcm;
  format_.bitsPerSample = 16;
  Bytes().resize(pcm.size() * 2);
  std::memcpy(Bytes().data(), pcm.data(), Bytes().size());
  Seek(0, FromBeginning);
  return true;
}

bool TWaveConverter::SaveWav(TAuStream& dest) {
  const int64_t kept = Position();
  const auto dataSize = static_cast<uint32_t>(std::min<int64_t>(Size(), UINT32_MAX - 36));
  const uint16_t blockAlign = static_cast<uint16_t>(format_.channels * format_.bitsPerSample / 8);
  uint8_t header[44];
  std::memcpy(header, "RIFF", 4);
  ByteOrder::PutLe32(header + 4, dataSize + 36);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  ByteOrder::PutLe32(header + 16, 16);
  ByteOrder::PutLe16(header + 20, format_.formatTag);
  ByteOrder::PutLe16(header + 22, format_.channels);
  ByteOrder::PutLe32(header + 24, format_.samplesPerSec);
  ByteOrder::PutLe32(header + 28, format_.samplesPerSec * blockAlign);
  ByteOrder::PutLe16(header + 32, blockAlign);
  ByteOrder::PutLe16(header + 34, format_.bitsPerSample);
  std::memcpy(header + 36, "data", 4);
  ByteOrder::PutLe32(header + 40, dataSize);
  const bool written = dest.Write(header, 44) == 44 && dest.Write(Bytes().data(), dataSize) == dataSize;
  dest.Seek(0, TAuStream::FromBeginning);
  Seek(kept, FromBeginning);
  return written;
}
