#include "audio/wave/WavHeader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include "platform/ByteOrder.h"

namespace {


using ByteOrder::Le16;
using ByteOrder::Le32;

bool PlausibleName(const uint8_t* p) {
  for (int i = 0; i < 4; ++i)
    if (p[i] < 0x20 || p[i] > 0x7E) return i == 3 && p[i] == 0;
  return true;
}

TWavType TypeOfTag(uint16_t tag, bool appendScan) {
  if (appendScan) return tag == 1 ? wtPCM : tag == 17 ? wtDVIADPCM : wtUnsupported;
  switch (tag) {
    case 1: return wtPCM;
    case 2: return wtMSADPCM;
    case 3: return wtIEEEFloat;
    case 6: return wtALaw;
    case 7: return wtMuLaw;
    case 17: return wtDVIADPCM;
    case 85: return wtACM;
    case 0xFFFE: return wtExtPCM;
    default: return wtUnsupported;
  }
}

/// Reads from the stream while counting what the window holds.
class Scanner {
 public:
  Scanner(TAuStream& stream, int window) : stream_(stream), window_(window), size_(stream.Size()) {}

  bool Read(uint8_t* into, int64_t count) {
    if (count_ + count > window_) return false;
    const int64_t got = stream_.Read(into, count);
    count_ += got;
    return got == count;
  }

  bool Slide(uint8_t (&name)[4]) {
    std::memmove(name, name + 1, 3);
    return Read(name + 3, 1);
  }

  /// Passes over a payload: read into the window when it fits, stepped over otherwise.
  bool Skip(uint32_t size) {
    if (count_ + size <= window_) {
      std::vector<uint8_t> discard(size);
      return Read(discard.data(), size);
    }
    return stream_.Seek(size, TAuStream::FromCurrent) >= 0 && stream_.Position() <= size_;
  }

  /// The name of the chunk after a payload of `size` bytes.
  bool NextName(uint32_t size, uint8_t (&name)[4]) {
    if (size % 2 == 0) return Read(name, 4);
    uint8_t bytes[5];
    const int64_t at = stream_.Position();
    if (!Read(bytes, 5)) {
      stream_.Seek(at, TAuStream::FromBeginning);
      return Read(name, 4);
    }
    if (PlausibleName(bytes + 1)) {
      std::memcpy(name, bytes + 1, 4);
    } else {
      // A writer that left out the pad byte.
      std::memcpy(name, bytes, 4);
      stream_.Seek(-1, TAuStream::FromCurrent);
      --count_;
    }
    return true;
  }

  bool Ended() { return count_ >= window_ || stream_.Position() >= size_; }
  int64_t Position() { return stream_.Position(); }

 private:
  TAuStream& stream_;
  int64_t window_;
  int64_t size_;
  int64_t count_ = 0;
};

void ParseFormat(const std::vector<uint8_t>& f, bool appendScan, WavHeader& header) {
  if (f.size() < 16) return;
  header.formatTag = Le16(&f[0]);
  header.type = TypeOfTag(header.formatTag, appendScan);
  header.channels = Le16(&f[2]);
  header.sampleRate = Le32(&f[4]);
  header.blockAlign = Le16(&f[12]);
  header.bitsPerSample = Le16(&f[14]);
  if (header.type == wtExtPCM) {
    const uint8_t* guid = f.size() >= 40 ? &f[f.size() - 16] : nullptr;
    if (guid != nullptr && std::memcmp(guid, kWavFloatGuid, 16) == 0) header.type = wtExtIEEEFloat;
    else if (guid == nullptr || std::memcmp(guid, kWavPcmGuid, 16) != 0) header.type = wtUnsupported;
  }
  if (header.type == wtDVIADPCM || header.type == wtMSADPCM || header.type == wtACM) {
    header.samplesPerBlock = f.size() >= 20 ? Le16(&f[18]) : 0;
  }
  if (header.type == wtMSADPCM) {
    header.declaredCoefficients = f.size() >= 22 ? Le16(&f[20]) : 0;
    const size_t available = f.size() >= 22 ? (f.size() - 22) / 4 : 0;
    const size_t count = std::min<size_t>({header.declaredCoefficients, available, 32});
    for (size_t i = 0; i < count; ++i)
      header.coefficients.push_back({static_cast<int16_t>(Le16(&f[22 + 4 * i])), static_cast<int16_t>(Le16(&f[24 + 4 * i]))});
  }
}

/// A RIFF WAVE file whose chunks end before its samples.
WavHeader NoData() {
  WavHeader header;
  header.riffWave = true;
  return header;
}

}  // namespace

const uint8_t kWavPcmGuid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
const uint8_t kWavFloatGuid[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

const char* WavTypeName(TWavType type) {
  static const char* const kNames[] = {"wtUnsupported", "wtPCM",       "wtDVIADPCM", "wtMSADPCM",      "wtACM",
                                       "wtIEEEFloat",   "wtExtPCM",    "wtExtIEEEFloat", "wtALaw",      "wtMuLaw"};
  return type >= wtUnsupported && type <= wtMuLaw ? kNames[type] : "wtUnsupported";
}

std::string WavEncodingName(uint16_t formatTag) {
  // Registered WAVE format tags (RFC 2361).
  static constexpr std::pair<uint16_t, const char*> kNames[] = {
      {0x0001, "PCM"},       {0x0002, "Microsoft ADPCM"}, {0x0003, "IEEE float"},  {0x0006, "A-law"},
      {0x0007, "mu-law"},    {0x0011, "IMA ADPCM"},       {0x0022, "TrueSpeech"},  {0x0031, "GSM 6.10"},
      {0x0040, "G.721 ADPCM"}, {0x0050, "MPEG audio"},    {0x0055, "MPEG layer 3"}, {0x0064, "G.726 ADPCM"},
      {0x0065, "G.722 ADPCM"}, {0x0160, "WMA 1"},         {0x0161, "WMA 2"},       {0x0162, "WMA Pro"},
      {0x0163, "WMA Lossless"}, {0x2000, "AC-3"},         {0x2001, "DTS"},         {0xFFFE, "extensible"}};
  for (const auto& [tag, name] : kNames)
    if (tag == formatTag) return name;
  char number[32];
  std::snprintf(number, sizeof number, "format 0x%04X", formatTag);
  return number;
}

bool SameChunkName(const uint8_t* bytes, const char* name) {
  for (int i = 0; i < 4; ++i) {
    const int a = bytes[i], b = static_cast<uint8_t>(name[i]);
    if (a != b && a - b != 32 && b - a != 32) return false;
  }
  return true;
}

WavHeader ScanWavHeader(TAuStream& stream, int window, bool appendScan) {
  WavHeader header;
  stream.Seek(0, TAuStream::FromBeginning);
  Scanner scan(stream, window);
  uint8_t name[4];
  if (!scan.Read(name, 4)) return header;

  const auto isRiff = [](const uint8_t* n) {
    return SameChunkName(n, "RIFF") || std::memcmp(n, "RF64", 4) == 0 || std::memcmp(n, "BW64", 4) == 0;
  };
  while (!isRiff(name))
    if (scan.Ended() || !scan.Slide(name)) return header;
  header.rf64 = !SameChunkName(name, "RIFF");
  if (header.rf64 && appendScan) return header;  // its sizes live in "ds64", which the appender does not keep
  uint8_t riffSize[4];
  if (!scan.Read(riffSize, 4)) return header;
  const uint32_t declaredRiffSize = Le32(riffSize);
  uint64_t ds64DataSize = 0;
  std::memcpy(name, riffSize, 4);
  while (!SameChunkName(name, "WAVE"))
    if (scan.Ended() || !scan.Slide(name)) return header;
  if (!scan.Read(name, 4)) return header;

  enum { Fmt, Fact, Data } state = Fmt;
  for (;;) {
    if (scan.Ended()) return NoData();
    uint8_t sizeBytes[4];
    if (!scan.Read(sizeBytes, 4)) return NoData();
    const uint32_t size = Le32(sizeBytes);
    // In the "fact" state a "data" chunk also ends the wait: some writers leave "fact" out.
    const bool dataNow = (state == Data || state == Fact) && SameChunkName(name, "data");
    if (dataNow) {
      header.dataSize = size;
      if (header.rf64 && size == 0xFFFFFFFF) header.dataSize = ds64DataSize;
      // A recorder that was killed leaves the sizes as it started them: 0
      // with a RIFF size that covers no data, or all ones.
      const bool riffCoversNoData = declaredRiffSize == 0 || declaredRiffSize == 0xFFFFFFFF ||
                                    int64_t{declaredRiffSize} + 8 <= scan.Position();
      if (!header.rf64 && (size == 0xFFFFFFFF || (size == 0 && riffCoversNoData))) {
        header.unfinished = true;
        header.dataSize = UINT64_MAX;
      }
      header.dataSizeOffset = scan.Position() - 4;
      header.dataOffset = scan.Position();
      header.found = true;
      return header;
    }
    if (state == Fmt && SameChunkName(name, "fmt ")) {
      if (size > static_cast<uint32_t>(window)) return NoData();
      header.format.resize(size);
      if (!scan.Read(header.format.data(), size)) return NoData();
      ParseFormat(header.format, appendScan, header);
      if (header.type == wtUnsupported && (header.formatTag != 0xFFFE || appendScan)) return header;
      state = (header.type == wtDVIADPCM || header.type == wtMSADPCM || header.type == wtACM) ? Fact : Data;
    } else if (state == Fact && SameChunkName(name, "fact")) {
      header.factOffset = scan.Position();
      std::vector<uint8_t> payload(std::min<uint32_t>(size, static_cast<uint32_t>(window)));
      if (size > payload.size() || !scan.Read(payload.data(), size)) return NoData();
      header.hasFact = size >= 4;
      header.factSamples = size >= 4 ? Le32(payload.data()) : 0;
      state = Data;
    } else if (header.rf64 && std::memcmp(name, "ds64", 4) == 0 && size >= 16 && size <= 4096) {
      std::vector<uint8_t> payload(size);
      if (!scan.Read(payload.data(), size)) return NoData();
      ds64DataSize = ByteOrder::Le64(payload.data() + 8);
    } else if (!scan.Skip(size)) {
      return NoData();
    }
    if (!scan.NextName(size, name)) return NoData();
  }
}
