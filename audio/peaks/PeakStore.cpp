#include "audio/peaks/PeakStore.h"

#include <algorithm>

bool PeakColumns::Complete() const {
  return std::all_of(quality.begin(), quality.end(), [](PeakQuality q) { return q == PeakQuality::Exact; });
}

PeakStore::PeakStore(int channels, int64_t frames)
    : channels_(std::max(channels, 1)),
      frames_(std::max<int64_t>(frames, 0)),
      blocks_((frames_ + kBlockFrames - 1) / kBlockFrames),
      values_(static_cast<size_t>(blocks_ * channels_)),
      quality_(static_cast<size_t>(blocks_), PeakQuality::None) {}

void PeakStore::Store(int64_t first, const PeakPair* values, int64_t count, PeakQuality quality) {
  if (first < 0 || count <= 0 || first >= blocks_) return;
  count = std::min(count, blocks_ - first);
  {
    std::lock_guard hold(lock_);
    for (int64_t b = 0; b < count; ++b) {
      PeakQuality& known = quality_[static_cast<size_t>(first + b)];
      if (known == PeakQuality::Exact) continue;
      if (quality == PeakQuality::Exact) ++exactBlocks_;
      known = quality;
      std::copy_n(values + b * channels_, channels_, &values_[static_cast<size_t>((first + b) * channels_)]);
    }
  }
  version_.fetch_add(1, std::memory_order_release);
}

bool PeakStore::Complete() const {
  std::lock_guard hold(lock_);
  return exactBlocks_ == blocks_;
}

PeakColumns PeakStore::Columns(int64_t from, int64_t to, int width) const {
  PeakColumns out;
  out.width = std::max(width, 1);
  out.channels = channels_;
  out.values.assign(static_cast<size_t>(out.width * channels_), PeakPair{});
  out.quality.assign(static_cast<size_t>(out.width), PeakQuality::None);
  from = std::clamp<int64_t>(from, 0, frames_);
  to = std::clamp<int64_t>(to, from, frames_);
  const int64_t n = to - from;
  if (n == 0) return out;
  std::lock_guard hold(lock_);
  for (int c = 0; c < out.width; ++c) {
    const int64_t start = from + n * c / out.width, end = from + n * (c + 1) / out.width;
    if (end <= start) continue;
    const int64_t firstBlock = start / kBlockFrames, lastBlock = (end - 1) / kBlockFrames;
    PeakQuality worst = PeakQuality::Exact;
    bool any = false;
    PeakPair* column = &out.values[static_cast<size_t>(c * channels_)];
    for (int64_t b = firstBlock; b <= lastBlock; ++b) {
      const PeakQuality q = quality_[static_cast<size_t>(b)];
      worst = std::min(worst, q);
      if (q == PeakQuality::None) continue;
      const PeakPair* block = &values_[static_cast<size_t>(b * channels_)];
      for (int ch = 0; ch < channels_; ++ch) {
        if (!any) column[ch] = block[ch];
        column[ch].min = std::min(column[ch].min, block[ch].min);
        column[ch].max = std::max(column[ch].max, block[ch].max);
      }
      any = true;
    }
    out.quality[static_cast<size_t>(c)] = worst;
  }
  return out;
}

void BlockPeaks(const int16_t* samples, int64_t frames, int channels, std::vector<PeakPair>& out) {
  const int64_t blocks = (frames + PeakStore::kBlockFrames - 1) / PeakStore::kBlockFrames;
  out.resize(static_cast<size_t>(blocks * channels));
  for (int64_t b = 0; b < blocks; ++b) {
    const int64_t first = b * PeakStore::kBlockFrames, last = std::min(frames, first + PeakStore::kBlockFrames);
    for (int ch = 0; ch < channels; ++ch) {
      // A plain loop over one channel's samples that the compiler vectorises.
      int16_t low = samples[first * channels + ch], high = low;
      for (int64_t f = first + 1; f < last; ++f) {
        const int16_t s = samples[f * channels + ch];
        low = s < low ? s : low;
        high = s > high ? s : high;
      }
      out[static_cast<size_t>(b * channels + ch)] = {low, high};
    }
  }
}
