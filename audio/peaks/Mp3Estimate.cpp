#include "audio/peaks/Mp3Estimate.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>

#include "audio/classes/AuException.h"
#include "audio/mpeg/FrameScan.h"
#include "audio/mpeg/SideInfo.h"

namespace {

/// The fitted peak of one granule of one channel (see Mp3Estimate).
float GranulePeak(const GranuleInfo& g) {
  if (g.part23Length == 0) return 0;
  int largest = 0;
  for (int table : g.tableSelect) largest = std::max(largest, HuffmanTableMaximum(table));
  largest = std::max(largest, 1);  // lines of magnitude 1 after the big values
  int gain = g.globalGain;
  if (g.blockType == 2) gain -= 8 * std::min({g.subblockGain[0], g.subblockGain[1], g.subblockGain[2]});
  const double log2Peak = 14.35 + 0.635 * std::log2(largest) + 0.594 * (gain - 210) / 4.0;
  return static_cast<float>(std::min(std::exp2(log2Peak), 32767.0));
}

/// Holds each channel's estimate to 1.5 times the median of its neighbours.
void HoldOutliers(std::vector<float>& peaks, int channels) {
  constexpr int64_t kReach = 8;
  const int64_t granules = static_cast<int64_t>(peaks.size()) / channels;
  std::vector<float> original = peaks, around;
  for (int ch = 0; ch < channels; ++ch)
    for (int64_t g = 0; g < granules; ++g) {
      around.clear();
      for (int64_t n = std::max<int64_t>(0, g - kReach); n <= std::min(granules - 1, g + kReach); ++n)
        around.push_back(original[static_cast<size_t>(n * channels + ch)]);
      std::nth_element(around.begin(), around.begin() + static_cast<std::ptrdiff_t>(around.size() / 2), around.end());
      float& peak = peaks[static_cast<size_t>(g * channels + ch)];
      peak = std::min(peak, 1.5f * around[around.size() / 2]);
    }
}

}  // namespace

void Mp3Estimate::CalibrateTo(const std::vector<std::tuple<int64_t, int, float>>& decoded) {
  std::vector<double> ratios;
  for (const auto& [granule, channel, peak] : decoded) {
    if (granule < 0 || granule >= Granules() || channel < 0 || channel >= channels) continue;
    const float estimate = peaks[static_cast<size_t>(granule * channels + channel)];
    if (estimate > 0 && peak > 0) ratios.push_back(std::log(peak / estimate));
  }
  if (ratios.empty()) return;
  std::nth_element(ratios.begin(), ratios.begin() + static_cast<std::ptrdiff_t>(ratios.size() / 2), ratios.end());
  const auto scale = static_cast<float>(std::exp(ratios[ratios.size() / 2]));
  for (float& peak : peaks) peak = std::min(peak * scale, 32767.0f);
}

Mp3Estimate ReadMp3Estimate(const std::string& fileName, const std::function<bool()>& cancelled) {
  Mp3Estimate estimate;
  const Mp3Info info = WalkMp3Frames(
      fileName,
      [&estimate](int64_t, const Mp3FrameHeader& header, const uint8_t* bytes) {
        SideInfo side;
        if (!ParseSideInfo(bytes, header.length, header, side)) return;
        for (int gr = 0; gr < side.granules; ++gr) {
          float peak[2] = {GranulePeak(side.granule[gr][0]), 0};
          if (side.channels == 2) {
            peak[1] = GranulePeak(side.granule[gr][1]);
            // Mid and side make each channel as (M + S) / sqrt 2 at most.
            if (side.midSide) peak[0] = peak[1] = std::min((peak[0] + peak[1]) * 0.70710678f, 32767.0f);
          }
          estimate.peaks.insert(estimate.peaks.end(), peak, peak + side.channels);
        }
      },
      cancelled);
  if (cancelled && cancelled()) return estimate;
  if (!info.found || estimate.peaks.empty()) throw EAuException("no MPEG audio frames found");
  estimate.channels = info.channels;
  estimate.granuleFrames = 576;
  estimate.skipped = info.lameTag ? info.encoderDelay + 529 : 0;
  HoldOutliers(estimate.peaks, estimate.channels);
  return estimate;
}
