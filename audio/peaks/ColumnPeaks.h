#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TAuInput;

/// The lowest and the highest sample of one channel in one column.
struct PeakPair {
  int16_t min = 0;
  int16_t max = 0;
};

/// A waveform's overview: `width` columns of equal share of a range of
/// frames, and in each the lowest and highest sample of every channel (as
/// 16-bit values). Column c covers frames [n*c/width, n*(c+1)/width) of the
/// range's n frames; a column without a frame (more columns than frames)
/// holds 0, 0.
class ColumnPeaks {
 public:
  ColumnPeaks(int width, int channels, int64_t frames);

  int Width() const { return width_; }
  int Channels() const { return channels_; }
  /// Frames of the range the columns share.
  int64_t Frames() const { return frames_; }
  const PeakPair& At(int column, int channel) const {
    return values_[static_cast<size_t>(column) * static_cast<size_t>(channels_) + static_cast<size_t>(channel)];
  }

  /// Takes the next interleaved 16-bit frames of the range, in order.
  void Add(const int16_t* samples, int64_t frames);
  /// Takes interleaved 16-bit frames starting at frame `at` of the range.
  void AddAt(int64_t at, const int16_t* samples, int64_t frames);
  /// Frames taken by Add so far.
  int64_t Added() const { return added_; }
  /// Takes in the columns of another reader of the same range (of other frames).
  void Merge(const ColumnPeaks& other);

 private:
  /// Takes `frames` (at least one) frames that all lie in `column`.
  void MinMaxRun(size_t column, const int16_t* samples, int64_t frames);

  int width_;
  int channels_;
  int64_t frames_;
  int64_t added_ = 0;
  std::vector<PeakPair> values_;
  std::vector<bool> touched_;  // per column: some frame fell into it
  std::vector<PeakPair> run_;  // one run's peaks, before they join a column's
};

/// The lowest and highest sample of each channel over `frames` (at least
/// one) interleaved frames, into out[0..channels).
void FramePeaks(const int16_t* samples, int64_t frames, int channels, PeakPair* out);

/// Hands `sink` the frames of one run of `input` (its range as set) as the
/// input delivers them, whole frames only, aligned for their samples, in
/// pieces, until `frames` frames or the end. Returns the frames handed over.
int64_t ReadWholeFrames(TAuInput& input, int64_t frames, const std::function<void(const uint8_t*, int64_t)>& sink,
                        const std::function<bool()>& cancelled = {});

/// Hands `sink` the frames of one run of `input` (its range as set:
/// StartSample, EndSample) as interleaved 16-bit samples, in pieces, until
/// `frames` frames or the end; samples of 8, 24 and 32 bits are taken to 16
/// bits. `cancelled`, when given, is asked between pieces. Returns the
/// frames handed over; raises what the input raises.
int64_t ReadSixteenBit(TAuInput& input, int64_t frames, const std::function<void(const int16_t*, int64_t)>& sink,
                       const std::function<bool()>& cancelled = {});

/// Reads one run of `input` and returns `width` columns over the `frames`
/// frames it delivers. A cancelled read returns what it has. Raises what the
/// input raises, and EAuException when the input delivers fewer frames than
/// `frames`.
ColumnPeaks ReadColumnPeaks(TAuInput& input, int64_t frames, int width, const std::function<bool()>& cancelled = {});

/// The message for an input that delivered fewer frames than it counted.
std::string ShortDeliveryText(int64_t delivered, int64_t counted);
