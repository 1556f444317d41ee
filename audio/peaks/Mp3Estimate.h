#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

/// The loudness of an MP3 file read from its frames' side information,
/// without decoding: an estimate of the peak of each channel in each
/// granule (576 frames, 1152 in MPEG 1 frames of two granules).
///
/// A granule's side information gives its quantiser step (global gain and
/// sub-block gains) and, through the Huffman tables chosen, a bound on its
/// largest quantised line; the peak is taken from both by a fit made over
/// sines, noises and tone bursts at many levels and bit rates (CBR, VBR,
/// joint stereo, MPEG 1 and 2). Digital silence costs no bits and shows as
/// 0. Scale factors are in the main data and not read, so a granule may
/// look louder than it is: each estimate is held to at most 1.5 times the
/// median of its 17 neighbours, and a file's overall level is set by
/// decoding 16 snippets spread over it (CalibrateTo).
struct Mp3Estimate {
  int channels = 0;
  int granuleFrames = 576;
  /// Decoded frames before the first gapless frame: granule g covers
  /// frames [g * granuleFrames - skipped, ...) of what the reader delivers.
  int64_t skipped = 0;
  std::vector<float> peaks;  // [granule * channels + channel], on the 16-bit scale

  int64_t Granules() const { return channels ? static_cast<int64_t>(peaks.size()) / channels : 0; }
  /// The first delivered frame of granule g (negative for the skipped start).
  int64_t FrameOf(int64_t granule) const { return granule * granuleFrames - skipped; }
  /// Scales every estimate so that their level matches `decoded`, the true
  /// peaks of some granules (granule index, channel, peak): by the median
  /// of the ratios, so that a few odd granules do not move it.
  void CalibrateTo(const std::vector<std::tuple<int64_t, int, float>>& decoded);
};

/// Reads the estimate of an MP3 file, its level set by decoded snippets. Damaged stretches are stepped over
/// (granules after them may sit a little early); `cancelled` is asked
/// between blocks of the file, and a cancelled read returns what it has. Raises EAuException when the file cannot be
/// read or holds no Layer III frame.
Mp3Estimate ReadMp3Estimate(const std::string& fileName, const std::function<bool()>& cancelled = {});
