#include "audio/peaks/Mp3Estimate.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <tuple>

#include "audio/classes/AuException.h"
#include "audio/mp3/frames/FrameScan.h"
#include "audio/mp3/frames/Mp3FrameTable.h"
#include "audio/mp3/frames/SideInfo.h"
#include "platform/Mp3FrameDecoder.h"

namespace {

/// The fitted peak of one granule of one channel (see Mp3Estimate).
float GranulePeak(const GranuleInfo& g) {
  if (g.part23Length == 0) return 0;
  // 0.635 x log2 of each table's largest magnitude (at least 1: lines of
  // magnitude 1 may follow the big values).
  static const auto kTableTerm = [] {
    std::array<float, 32> terms{};
    for (int t = 0; t < 32; ++t) terms[static_cast<size_t>(t)] = 0.635f * std::log2(std::max(HuffmanTableMaximum(t), 1) * 1.0f);
    return terms;
  }();
  float tableTerm = 0;
  for (int table : g.tableSelect) tableTerm = std::max(tableTerm, kTableTerm[static_cast<size_t>(table & 31)]);
  int gain = g.globalGain;
  if (g.blockType == 2) gain -= 8 * std::min({g.subblockGain[0], g.subblockGain[1], g.subblockGain[2]});
  const float log2Peak = 14.35f + tableTerm + 0.1485f * static_cast<float>(gain - 210);
  return std::min(std::exp2(log2Peak), 32767.0f);
}

/// Holds each channel's estimate to 1.5 times the median of its neighbours
/// (the 17 granules around it), kept sorted as the window slides.
void HoldOutliers(std::vector<float>& peaks, int channels) {
  constexpr int64_t kReach = 8;
  const int64_t granules = static_cast<int64_t>(peaks.size()) / channels;
  const std::vector<float> original = peaks;
  std::vector<float> window;
  for (int ch = 0; ch < channels; ++ch) {
    auto at = [&](int64_t g) { return original[static_cast<size_t>(g * channels + ch)]; };
    window.clear();
    for (int64_t g = 0; g < std::min(granules, kReach); ++g) window.insert(std::upper_bound(window.begin(), window.end(), at(g)), at(g));
    for (int64_t g = 0; g < granules; ++g) {
      if (g + kReach < granules) window.insert(std::upper_bound(window.begin(), window.end(), at(g + kReach)), at(g + kReach));
      if (g - kReach - 1 >= 0) window.erase(std::lower_bound(window.begin(), window.end(), at(g - kReach - 1)));
      float& peak = peaks[static_cast<size_t>(g * channels + ch)];
      peak = std::min(peak, 1.5f * window[window.size() / 2]);
    }
  }
}

/// The decoded peaks of a few granules spread over the file, each with its
/// index and channel.
std::vector<std::tuple<int64_t, int, float>> DecodeSnippets(const std::string& fileName, Mp3FrameTable& table,
                                                            const Mp3Info& info, int granulesPerFrame) {
  constexpr int kSnippets = 16, kFramesEach = 4;
  std::vector<std::tuple<int64_t, int, float>> decoded;
  const int fd = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return decoded;  // the level stays the fit's
  struct Closer {
    int fd;
    ~Closer() { close(fd); }
  } closer{fd};
  Mp3FrameDecoder decoder(info.channels, info.sampleRate);
  const int granuleFrames = info.samplesPerFrame / granulesPerFrame;
  for (int k = 0; k < kSnippets; ++k) {
    const int64_t first = (2 * k + 1) * table.Count() / (2 * kSnippets);
    table.Decode(fd, decoder, first, first + kFramesEach - 1, [&](int64_t index, const int16_t* samples, int frames) {
      for (int g = 0; g < granulesPerFrame && (g + 1) * granuleFrames <= frames; ++g)
        for (int ch = 0; ch < info.channels; ++ch) {
          int peak = 0;
          for (int f = g * granuleFrames; f < (g + 1) * granuleFrames; ++f)
            peak = std::max(peak, std::abs(int{samples[f * info.channels + ch]}));
          decoded.emplace_back(index * granulesPerFrame + g, ch, static_cast<float>(peak));
        }
    });
  }
  return decoded;
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
  Mp3FrameTable table;
  int granulesPerFrame = 1;
  const Mp3Info info = WalkMp3Frames(
      fileName,
      [&](int64_t offset, const Mp3FrameHeader& header, const uint8_t* bytes) {
        if (header.layer != 3) return;  // no side information to read
        SideInfo side;
        if (!ParseSideInfo(bytes, header.length, header, side)) return;
        table.Add(offset, header);
        granulesPerFrame = side.granules;
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
  estimate.skipped = info.lameTag ? info.encoderDelay + kLayer3DecoderDelay : 0;
  HoldOutliers(estimate.peaks, estimate.channels);
  if (cancelled && cancelled()) return estimate;
  estimate.CalibrateTo(DecodeSnippets(fileName, table, info, granulesPerFrame));
  return estimate;
}
