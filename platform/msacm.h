#pragma once

#include <cstdint>

/// The audio compression manager calls the WAV reader uses to turn MPEG
/// layer 3 data inside a WAV file into PCM, over libavcodec's MP3 decoder.
/// Results are 0 on success or an error code, as the callers test them.

#pragma pack(push, 1)
/// The format structure of WAV files, 18 bytes without packing holes.
struct WaveFormatEx {
  uint16_t formatTag;
  uint16_t channels;
  uint32_t samplesPerSec;
  uint32_t avgBytesPerSec;
  uint16_t blockAlign;
  uint16_t bitsPerSample;
  uint16_t cbSize;
};
#pragma pack(pop)

struct AcmStream;
using HACMSTREAM = AcmStream*;

/// One conversion: source bytes in, destination buffer out.
struct ACMSTREAMHEADER {
  uint32_t cbStruct = sizeof(ACMSTREAMHEADER);
  uint32_t fdwStatus = 0;
  const uint8_t* pbSrc = nullptr;
  uint32_t cbSrcLength = 0;
  uint32_t cbSrcLengthUsed = 0;
  uint8_t* pbDst = nullptr;
  uint32_t cbDstLength = 0;
  uint32_t cbDstLengthUsed = 0;
};

inline constexpr int MMSYSERR_NOERROR = 0;
inline constexpr int MMSYSERR_INVALHANDLE = 5;
inline constexpr int MMSYSERR_NOMEM = 7;
inline constexpr int MMSYSERR_INVALPARAM = 11;
inline constexpr int ACMERR_NOTPOSSIBLE = 512;
inline constexpr int ACMERR_UNPREPARED = 514;

inline constexpr int ACM_METRIC_MAX_SIZE_FORMAT = 50;
inline constexpr uint32_t ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
inline constexpr uint32_t ACM_STREAMOPENF_NONREALTIME = 0x00000004;
inline constexpr uint32_t ACM_STREAMSIZEF_SOURCE = 0x00000000;
inline constexpr uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

inline constexpr uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x55;

/// ACM_METRIC_MAX_SIZE_FORMAT: the largest format structure a codec uses.
int acmMetrics(void* object, int metric, uint32_t* value);
/// Fills the PCM format (16-bit, the source's channels and rate) for a layer 3 source.
int acmFormatSuggest(void* driver, const WaveFormatEx* source, WaveFormatEx* dest, uint32_t destSize, uint32_t flags);
/// Opens a layer 3 to 16-bit PCM conversion of the same channels and rate.
int acmStreamOpen(HACMSTREAM* stream, void* driver, const WaveFormatEx* source, const WaveFormatEx* dest,
                  void* filter, uintptr_t callback, uintptr_t instance, uint32_t flags);
/// Enough destination bytes for `sourceBytes` of source (an estimate with room to spare).
int acmStreamSize(HACMSTREAM stream, uint32_t sourceBytes, uint32_t* destBytes, uint32_t flags);
int acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags);
/// Converts the header's source into its destination; cbDstLengthUsed tells how much was filled.
int acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags);
int acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags);
int acmStreamClose(HACMSTREAM stream, uint32_t flags);
