#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio/classes/AuStream.h"
#include "audio/wave/Adpcm.h"

/// The kinds of WAV data this program reads (and, for some, writes).
/// The first eight values are published and never change; A-law and mu-law
/// (ITU-T G.711) are read and delivered as 16-bit PCM.
enum TWavType {
  wtUnsupported = 0, wtPCM, wtDVIADPCM, wtMSADPCM, wtACM, wtIEEEFloat, wtExtPCM, wtExtIEEEFloat, wtALaw, wtMuLaw
};

/// The GUIDs of integer PCM and IEEE float in an extensible format.
extern const uint8_t kWavPcmGuid[16];
extern const uint8_t kWavFloatGuid[16];
/// How much of a file's start a header scan looks at.
inline constexpr int kWavScanWindow = 65535;

/// Names of TWavType values ("wtPCM"...).
const char* WavTypeName(TWavType type);

/// The name of a WAV format tag ("GSM 6.10"), or its number ("format 0x1234").
std::string WavEncodingName(uint16_t formatTag);

/// Four bytes match a chunk name when each pair is equal or differs by
/// exactly 32: letter case is ignored and a space also matches 0x00 or 0x40.
bool SameChunkName(const uint8_t* bytes, const char* name);

/// What a header scan found.
struct WavHeader {
  TWavType type = wtUnsupported;
  uint16_t formatTag = 0;
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t samplesPerBlock = 0;                 // ADPCM and layer 3
  uint16_t declaredCoefficients = 0;            // Microsoft ADPCM
  std::vector<Adpcm::MsCoefficients> coefficients;
  std::vector<uint8_t> format;                  // the whole "fmt " payload
  bool hasFact = false;
  uint32_t factSamples = 0;                     // per channel
  int64_t factOffset = -1;                      // of the "fact" payload
  uint64_t dataSize = 0;                        // RF64/BW64: the "ds64" chunk's
  int64_t dataSizeOffset = -1;                  // of the "data" size field
  bool rf64 = false;                            // an RF64 or BW64 file: sizes in "ds64"
  /// The sizes were never filled in (a recorder killed mid-file): the data
  /// runs to the end of the file, and dataSize says so with its largest value.
  bool unfinished = false;
  int64_t dataOffset = -1;                      // of the first data byte
  bool found = false;                           // the "data" chunk was reached
  bool riffWave = false;                        // not found, though the file starts as a WAV file
};

/// Scans a WAV header from the start of the stream, leaving it at the first
/// data byte when the "data" chunk is found.
///
/// Junk before "RIFF" (or "RF64"/"BW64", whose 64-bit sizes are in the
/// "ds64" chunk) and between it and "WAVE" is passed over byte by byte.
/// Chunks before "data" are skipped by their size, with the pad byte after an
/// odd size unless no chunk name follows it. At most `window` bytes are read
/// (a chunk too large for what is left of it is stepped over unread). With
/// `appendScan` only PCM (1) and IMA ADPCM (17) are accepted, as the writer
/// can append to nothing else.
WavHeader ScanWavHeader(TAuStream& stream, int window, bool appendScan = false);
