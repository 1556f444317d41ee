#pragma once

#include <cstdint>

/// The Blade-style MP3 encoder interface (the entry points of "lame_enc.dll")
/// over libmp3lame, which is loaded at run time. Results are BE_ERR_SUCCESSFUL
/// (0) or one of the Blade error numbers.
using BE_ERR = uint32_t;
using HBE_STREAM = uintptr_t;

inline constexpr BE_ERR BE_ERR_SUCCESSFUL = 0x00000000;
inline constexpr BE_ERR BE_ERR_INVALID_FORMAT = 0x00000001;
inline constexpr BE_ERR BE_ERR_INVALID_FORMAT_PARAMETERS = 0x00000002;
inline constexpr BE_ERR BE_ERR_NO_MORE_HANDLES = 0x00000003;
inline constexpr BE_ERR BE_ERR_INVALID_HANDLE = 0x00000004;
inline constexpr BE_ERR BE_ERR_BUFFER_TOO_SMALL = 0x00000005;

inline constexpr uint32_t BE_CONFIG_MP3 = 0;
inline constexpr uint32_t BE_CONFIG_LAME = 256;

inline constexpr int32_t BE_MP3_MODE_STEREO = 0;
inline constexpr int32_t BE_MP3_MODE_JSTEREO = 1;
inline constexpr int32_t BE_MP3_MODE_DUALCHANNEL = 2;
inline constexpr int32_t BE_MP3_MODE_MONO = 3;

enum VBRMETHOD : int32_t {
  VBR_METHOD_NONE = -1,
  VBR_METHOD_DEFAULT = 0,
  VBR_METHOD_OLD = 1,
  VBR_METHOD_NEW = 2,
  VBR_METHOD_MTRH = 3,
  VBR_METHOD_ABR = 4,
};

#pragma pack(push, 1)
/// The encoder configuration in its LHV1 form (dwConfig = BE_CONFIG_LAME).
/// Booleans are 32-bit: zero is false, anything else true.
struct BE_CONFIG {
  uint32_t dwConfig;
  uint32_t dwStructVersion;
  uint32_t dwStructSize;
  uint32_t dwSampleRate;    // of the input
  uint32_t dwReSampleRate;  // 0: the encoder decides
  int32_t nMode;            // BE_MP3_MODE_*
  uint32_t dwBitrate;       // kbps: CBR rate, VBR minimum
  uint32_t dwMaxBitrate;    // kbps: VBR maximum, 0 for the encoder's
  int32_t nPreset;
  uint32_t dwMpegVersion;
  uint32_t dwPsyModel;
  uint32_t dwEmphasis;
  int32_t bPrivate;
  int32_t bCRC;
  int32_t bCopyright;
  int32_t bOriginal;
  int32_t bWriteVBRHeader;  // a Xing/LAME frame, written by beWriteVBRHeader
  int32_t bEnableVBR;
  int32_t nVBRQuality;      // 0 (best) .. 9
  uint32_t dwVbrAbr_bps;    // ABR mean rate in bits per second (a number under 1000 counts as kbps)
  int32_t nVbrMethod;       // VBRMETHOD
  int32_t bNoRes;           // no bit reservoir
  int32_t bStrictIso;
  uint16_t nQuality;        // low byte the quality, high byte its complement; else the encoder's default
  uint8_t btReserved[237];
};
#pragma pack(pop)
static_assert(sizeof(BE_CONFIG) == 331, "BE_CONFIG is 331 bytes, packed");

namespace lame_enc {

/// Loads libmp3lame (once per process) and resolves what the entry points
/// need; false when it cannot. CLIPWRIGHT_LAME_LIBRARY names another file.
bool Load();

}  // namespace lame_enc

/// Opens an encoder stream. dwSamples: how many 16-bit samples each chunk
/// should hold; dwBufferSize: the output buffer size each call needs.
BE_ERR beInitStream(BE_CONFIG* config, uint32_t* dwSamples, uint32_t* dwBufferSize, HBE_STREAM* stream);
/// Encodes nSamples interleaved 16-bit samples into output (*produced bytes).
BE_ERR beEncodeChunk(HBE_STREAM stream, uint32_t nSamples, const int16_t* samples, uint8_t* output, uint32_t* produced);
/// Flushes the encoder into output (*produced bytes).
BE_ERR beDeinitStream(HBE_STREAM stream, uint8_t* output, uint32_t* produced);
/// Ends the stream. With bWriteVBRHeader its state is kept for the next
/// beWriteVBRHeader on the same thread.
BE_ERR beCloseStream(HBE_STREAM stream);
/// Writes the Xing/LAME frame of the stream last closed on this thread over
/// the first frame of the file (after an ID3v2 tag, if one is there).
BE_ERR beWriteVBRHeader(const char* fileName);
/// Resolved for completeness; the program does not call them.
BE_ERR beFlushNoGap(HBE_STREAM stream, uint8_t* output, uint32_t* produced);
BE_ERR beWriteInfoTag(HBE_STREAM stream, const char* fileName);
