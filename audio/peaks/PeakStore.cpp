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
      quality_(static_cast<size_t>(blocks_), PeakQuality::None),
      groupValues_(static_cast<size_t>((blocks_ + kGroupBlocks - 1) / kGroupBlocks * channels_)),
      groupQuality_(static_cast<size_t>((blocks_ + kGroupBlocks - 1) / kGroupBlocks), PeakQuality::None) {}

void PeakStore::UpdateGroups(int64_t first, int64_t count) {
  for (int64_t g = first / kGroupBlocks; g <= (first + count - 1) / kGroupBlocks; ++g) {
    const int64_t from = g * kGroupBlocks, to = std::min(blocks_, from + kGroupBlocks);
    PeakQuality worst = PeakQuality::Exact;
    bool any = false;
    PeakPair* group = &groupValues_[static_cast<size_t>(g * channels_)];
    for (int64_t b = from; b < to; ++b) {
      const PeakQuality q = quality_[static_cast<size_t>(b)];
      worst = std::min(worst, q);
      if (q == PeakQuality::None) continue;
      const PeakPair* block = &values_[static_cast<size_t>(b * channels_)];
      for (int ch = 0; ch < channels_; ++ch)
        group[ch] = any ? PeakPair{std::min(group[ch].min, block[ch].min), std::max(group[ch].max, block[ch].max)} : block[ch];
      any = true;
    }
    groupQuality_[static_cast<size_t>(g)] = any ? worst : PeakQuality::None;
  }
}

void PeakStore::Gather(int64_t first, int64_t last, PeakPair* column, bool& any, PeakQuality& worst) const {
  auto take = [&](const PeakPair* pairs, PeakQuality q) {
    worst = std::min(worst, q);
    for (int ch = 0; ch < channels_; ++ch)
      column[ch] = any ? PeakPair{std::min(column[ch].min, pairs[ch].min), std::max(column[ch].max, pairs[ch].max)} : pairs[ch];
    any = true;
  };
  for (int64_t b = first; b < last;) {
    if (b % kGroupBlocks == 0 && b + kGroupBlocks <= last) {
      const int64_t g = b / kGroupBlocks;
      const PeakQuality q = groupQuality_[static_cast<size_t>(g)];
      if (q != PeakQuality::None) take(&groupValues_[static_cast<size_t>(g * channels_)], q);
      else {
        // Some of its blocks may be known: those count.
        for (int64_t i = b; i < b + kGroupBlocks; ++i)
          if (quality_[static_cast<size_t>(i)] != PeakQuality::None) take(&values_[static_cast<size_t>(i * channels_)], quality_[static_cast<size_t>(i)]);
        worst = PeakQuality::None;
      }
      b += kGroupBlocks;
    } else {
      const PeakQuality q = quality_[static_cast<size_t>(b)];
      if (q != PeakQuality::None) take(&values_[static_cast<size_t>(b * channels_)], q);
      else worst = PeakQuality::None;
      ++b;
    }
  }
}

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
    UpdateGroups(first, count);
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
    Gather(firstBlock, lastBlock + 1, &out.values[static_cast<size_t>(c * channels_)], any, worst);
    out.quality[static_cast<size_t>(c)] = worst;
  }
  return out;
}

void BlockPeaks(const int16_t* samples, int64_t frames, int channels, std::vector<PeakPair>& out) {
  const int64_t blocks = (frames + PeakStore::kBlockFrames - 1) / PeakStore::kBlockFrames;
  out.resize(static_cast<size_t>(blocks * channels));
  for (int64_t b = 0; b < blocks; ++b) {
    const int64_t first = b * PeakStore::kBlockFrames, last = std::min(frames, first + PeakStore::kBlockFrames);
    FramePeaks(samples + first * channels, last - first, channels, &out[static_cast<size_t>(b * channels)]);
  }
}
