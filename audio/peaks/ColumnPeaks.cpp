#include "audio/peaks/ColumnPeaks.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "audio/classes/AuException.h"
#include "audio/classes/AuInput.h"

ColumnPeaks::ColumnPeaks(int width, int channels, int64_t frames)
    : width_(std::max(width, 1)),
      channels_(std::max(channels, 1)),
      frames_(std::max<int64_t>(frames, 0)),
      values_(static_cast<size_t>(width_) * static_cast<size_t>(channels_)),
      touched_(static_cast<size_t>(width_), false) {}

void ColumnPeaks::Add(const int16_t* samples, int64_t frames) {
  for (int64_t i = 0; i < frames && added_ < frames_; ++i, ++added_) {
    // Column c starts at floor(frames * c / width): frame f lies in the last
    // column starting at or before it, ((f + 1) * width - 1) / frames.
    const auto column = static_cast<size_t>(((added_ + 1) * width_ - 1) / frames_);
    PeakPair* pairs = &values_[column * static_cast<size_t>(channels_)];
    const int16_t* frame = samples + i * channels_;
    if (!touched_[column]) {
      touched_[column] = true;
      for (int c = 0; c < channels_; ++c) pairs[c] = {frame[c], frame[c]};
      continue;
    }
    for (int c = 0; c < channels_; ++c) {
      pairs[c].min = std::min(pairs[c].min, frame[c]);
      pairs[c].max = std::max(pairs[c].max, frame[c]);
    }
  }
}

namespace {

/// One sample of `bits` (8 unsigned, else signed little-endian) as 16 bits.
int16_t SixteenBits(const uint8_t* at, int bits) {
  switch (bits) {
    case 8: return static_cast<int16_t>((at[0] - 128) * 256);
    case 24: return static_cast<int16_t>(at[1] | (at[2] << 8));
    case 32: return static_cast<int16_t>(at[2] | (at[3] << 8));
    default: return static_cast<int16_t>(at[0] | (at[1] << 8));
  }
}

}  // namespace

ColumnPeaks ReadColumnPeaks(TAuInput& input, int64_t frames, int width, const std::function<bool()>& cancelled) {
  input.Init();
  const int channels = input.Channels(), bits = input.BitsPerSample();
  ColumnPeaks peaks(width, channels, frames);
  const int bytesPerSample = bits / 8;
  const int frameBytes = channels * bytesPerSample;
  std::vector<int16_t> block;
  std::vector<uint8_t> carry;  // a frame split between two deliveries
  try {
    while (peaks.Added() < frames && !(cancelled && cancelled())) {
      void* data = nullptr;
      uint32_t bytes = 1 << 16;
      input.GetData(data, bytes);
      if (bytes == 0) break;
      // A frame split between two deliveries waits in `carry` for its rest.
      const auto* bytesIn = static_cast<const uint8_t*>(data);
      size_t length = bytes;
      if (!carry.empty() || length % static_cast<size_t>(frameBytes) != 0) {
        carry.insert(carry.end(), bytesIn, bytesIn + length);
        bytesIn = carry.data();
        length = carry.size();
      }
      const size_t whole = length / static_cast<size_t>(frameBytes);
      block.resize(whole * static_cast<size_t>(channels));
      if (bits == 16) std::memcpy(block.data(), bytesIn, block.size() * 2);
      else
        for (size_t i = 0; i < block.size(); ++i) block[i] = SixteenBits(bytesIn + i * static_cast<size_t>(bytesPerSample), bits);
      peaks.Add(block.data(), static_cast<int64_t>(whole));
      if (!carry.empty())
        carry.erase(carry.begin(), carry.begin() + static_cast<std::ptrdiff_t>(whole * static_cast<size_t>(frameBytes)));
    }
  } catch (...) {
    input.Flush();
    throw;
  }
  input.Flush();
  if (peaks.Added() < frames && !(cancelled && cancelled()))
    throw EAuException("the file delivered " + std::to_string(peaks.Added()) + " of the " + std::to_string(frames) +
                       " frames it counted: it is damaged or changed while it was read");
  return peaks;
}
