#include "audio/wave/Adpcm.h"

#include "platform/ByteOrder.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>

namespace Adpcm {

namespace {

int16_t Read16(const uint8_t* p) { return ByteOrder::LeSigned16(p); }

void Write16(uint8_t* p, int16_t value) { ByteOrder::PutLe16(p, static_cast<uint16_t>(value)); }

}  // namespace

int16_t ImaDecode(ImaChannel& state, uint8_t code) {
  const int step = kImaSteps[state.index];
  int diff = step / 8;
  if (code & 4) diff += step;
  if (code & 2) diff += step / 2;
  if (code & 1) diff += step / 4;
  state.predicted += (code & 8) ? -diff : diff;
  state.predicted = std::clamp(state.predicted, -32767, 32767);
  state.index = std::clamp(state.index + kImaIndexChange[code & 15], 0, 88);
  return static_cast<int16_t>(state.predicted);
}

uint8_t ImaEncode(ImaChannel& state, int16_t sample) {
  const int step = kImaSteps[state.index];
  int d = sample - state.predicted;
  uint8_t code = 0;
  if (d < 0) {
    code = 8;
    d = -d;
  }
  if (d >= step) {
    code |= 4;
    d -= step;
  }
  if (d >= step / 2) {
    code |= 2;
    d -= step / 2;
  }
  if (d >= step / 4) code |= 1;
  ImaDecode(state, code);
  return code;
}

int ImaFramesPerBlock(int blockAlign, int channels) {
  if (channels == 1 && blockAlign > 4) return 2 * (blockAlign - 4) + 1;
  if (channels == 2 && blockAlign > 8) return (blockAlign - 8) / 8 * 8 + 1;
  return 0;
}

int ImaDecodeBlock(const uint8_t* block, int blockAlign, int channels, int16_t* out) {
  const int frames = ImaFramesPerBlock(blockAlign, channels);
  if (frames == 0) return 0;
  ImaChannel states[2];
  for (int c = 0; c < channels; ++c) {
    states[c].predicted = Read16(block + 4 * c);
    states[c].index = std::min<int>(block[4 * c + 2], 88);
    out[c] = static_cast<int16_t>(states[c].predicted);
  }
  const uint8_t* data = block + 4 * channels;
  if (channels == 1) {
    for (int i = 0; i < frames - 1; ++i) {
      const uint8_t byte = data[i / 2];
      out[1 + i] = ImaDecode(states[0], (i % 2 == 0) ? byte & 0x0F : byte >> 4);
    }
    return frames;
  }
  // Stereo: 4-byte groups, channel 0 then channel 1, 8 codes each, low nibble first.
  const int groups = (frames - 1) / 8;
  for (int g = 0; g < groups; ++g) {
    for (int c = 0; c < 2; ++c) {
      const uint8_t* group = data + (2 * g + c) * 4;
      for (int k = 0; k < 8; ++k) {
        const uint8_t byte = group[k / 2];
        out[2 * (1 + g * 8 + k) + c] = ImaDecode(states[c], (k % 2 == 0) ? byte & 0x0F : byte >> 4);
      }
    }
  }
  return frames;
}

void ImaEncodeBlock(const int16_t* samples, int blockAlign, int channels, ImaChannel* states, uint8_t* block) {
  std::memset(block, 0, static_cast<size_t>(blockAlign));
  const int frames = ImaFramesPerBlock(blockAlign, channels);
  if (frames == 0) return;
  for (int c = 0; c < channels; ++c) {
    states[c].predicted = samples[c];
    Write16(block + 4 * c, samples[c]);
    block[4 * c + 2] = static_cast<uint8_t>(states[c].index);
  }
  uint8_t* data = block + 4 * channels;
  if (channels == 1) {
    for (int i = 0; i < frames - 1; ++i) {
      const uint8_t code = ImaEncode(states[0], samples[1 + i]);
      data[i / 2] |= (i % 2 == 0) ? code : static_cast<uint8_t>(code << 4);
    }
    return;
  }
  const int groups = (frames - 1) / 8;
  for (int g = 0; g < groups; ++g) {
    for (int c = 0; c < 2; ++c) {
      uint8_t* group = data + (2 * g + c) * 4;
      for (int k = 0; k < 8; ++k) {
        const uint8_t code = ImaEncode(states[c], samples[2 * (1 + g * 8 + k) + c]);
        group[k / 2] |= (k % 2 == 0) ? code : static_cast<uint8_t>(code << 4);
      }
    }
  }
}

int MsFramesInBlock(int blockAlign, int channels) {
  if (channels < 1 || channels > 2 || blockAlign < 7 * channels) return 0;
  return 2 + (blockAlign - 7 * channels) * 2 / channels;
}

int MsDecodeBlock(const uint8_t* block, int blockAlign, int channels, int frames, const MsCoefficients* table,
                  int tableSize, int16_t* out) {
  frames = std::min(frames, MsFramesInBlock(blockAlign, channels));
  if (frames < 2) return 0;
  struct State {
    MsCoefficients coefficients;
    int delta;
    int32_t sample1;
    int32_t sample2;
  } states[2];
  for (int c = 0; c < channels; ++c) {
    const int predictor = block[c];
    if (predictor >= tableSize) return -1;
    states[c].coefficients = table[predictor];
    states[c].delta = Read16(block + channels + 2 * c);
    states[c].sample1 = Read16(block + 3 * channels + 2 * c);
    states[c].sample2 = Read16(block + 5 * channels + 2 * c);
    out[c] = static_cast<int16_t>(states[c].sample2);
    out[channels + c] = static_cast<int16_t>(states[c].sample1);
  }
  auto decode = [](State& s, int code) {
    const int64_t weighted = int64_t{s.sample1} * s.coefficients.c1 + int64_t{s.sample2} * s.coefficients.c2;
    const int64_t signedCode = code >= 8 ? code - 16 : code;
    const int64_t predicted = std::clamp<int64_t>(weighted / 256 + s.delta * signedCode, -32768, 32767);
    // Never below 16; the cap only matters for damaged data, where the delta would overflow.
    s.delta = static_cast<int>(std::clamp<int64_t>(int64_t{s.delta} * kMsAdaptation[code] / 256, 16, INT32_MAX / 768));
    s.sample2 = s.sample1;
    s.sample1 = predicted;
    return static_cast<int16_t>(predicted);
  };
  const uint8_t* data = block + 7 * channels;
  int16_t* o = out + 2 * channels;
  if (channels == 1) {
    for (int i = 0; i < (frames - 2) / 2; ++i) {
      *o++ = decode(states[0], data[i] >> 4);
      *o++ = decode(states[0], data[i] & 0x0F);
    }
    return 2 + (frames - 2) / 2 * 2;
  }
  for (int i = 0; i < frames - 2; ++i) {
    *o++ = decode(states[0], data[i] >> 4);
    *o++ = decode(states[1], data[i] & 0x0F);
  }
  return frames;
}

}  // namespace Adpcm
