#pragma once

#include <cstddef>
#include <cstdint>

/// The ADPCM block codecs of WAV files: IMA/DVI (format 17) both ways and
/// Microsoft ADPCM (format 2) decoding, for one or two channels, with 16-bit
/// samples on the PCM side.
namespace Adpcm {

/// IMA ADPCM step sizes (IMA Digital Audio Focus and Technical Working Groups, "Recommended
/// Practices for Enhancing Digital Audio Compatibility in Multimedia Systems", 1992).
inline constexpr int16_t kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
/// IMA ADPCM step-index changes per code (same source).
inline constexpr int8_t kImaIndexChange[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
/// Microsoft ADPCM delta adaptation (Microsoft, "Multimedia Standards Update", 1994).
inline constexpr int16_t kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                               768, 614, 512, 409, 307, 230, 230, 230};

/// The running state of one IMA channel.
struct ImaChannel {
  int32_t predicted = 0;
  int32_t index = 0;  // 0..88
};

/// Decodes one code; the sample never goes below -32767.
int16_t ImaDecode(ImaChannel& state, uint8_t code);
/// Encodes one sample and updates the state as the decoder will.
uint8_t ImaEncode(ImaChannel& state, int16_t sample);

/// Frames in an IMA block of blockAlign bytes: 2 x (blockAlign - 4) + 1 for
/// mono, blockAlign - 7 for stereo; 0 when the block cannot hold its headers.
int ImaFramesPerBlock(int blockAlign, int channels);
/// Decodes one IMA block (headers included) into interleaved samples;
/// returns the frames written (ImaFramesPerBlock).
int ImaDecodeBlock(const uint8_t* block, int blockAlign, int channels, int16_t* out);
/// Encodes ImaFramesPerBlock frames of interleaved samples into one block of
/// blockAlign bytes; the first frame goes into the headers, `states` carry the
/// step indexes from block to block.
void ImaEncodeBlock(const int16_t* samples, int blockAlign, int channels, ImaChannel* states, uint8_t* block);

/// One Microsoft ADPCM coefficient pair.
struct MsCoefficients {
  int16_t c1 = 0;
  int16_t c2 = 0;
};

/// Frames a Microsoft ADPCM block of blockAlign bytes can hold; 0 when too small.
int MsFramesInBlock(int blockAlign, int channels);
/// Decodes one Microsoft ADPCM block into interleaved samples: up to
/// `frames` frames (never more than the block holds). Returns the frames
/// written, or -1 when a predictor index is outside the coefficient table.
int MsDecodeBlock(const uint8_t* block, int blockAlign, int channels, int frames, const MsCoefficients* table,
                  int tableSize, int16_t* out);

}  // namespace Adpcm
