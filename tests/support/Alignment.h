#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

/// The lag (in frames, -maxLag..maxLag) at which `part` best matches `whole`
/// from frame `from` on, by cross-correlation of channel 0 (interleaved
/// `channels`), leaving `margin` frames out at both ends of `part`.
inline int BestLag(const std::vector<int16_t>& whole, size_t from, const std::vector<int16_t>& part, int channels,
                   int maxLag, size_t margin = 3000) {
  const auto ch = static_cast<size_t>(channels);
  const size_t frames = part.size() / ch;
  int best = 0;
  double bestScore = -1e300;
  for (int lag = -maxLag; lag <= maxLag; ++lag) {
    double score = 0;
    for (size_t i = margin; i + margin < frames; i += 5) {
      const auto j = static_cast<int64_t>(from + i) + lag;
      if (j < 0 || static_cast<size_t>(j) * ch >= whole.size()) continue;
      score += double(part[i * ch]) * whole[static_cast<size_t>(j) * ch];
    }
    if (score > bestScore) bestScore = score, best = lag;
  }
  return best;
}
