#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "audio/peaks/ColumnPeaks.h"

/// How much is known of a stretch of the waveform.
enum class PeakQuality : uint8_t { None, Estimated, Exact };

/// Columns of a range as the store knows them: min and max of each channel,
/// and how well each column is known (the worst of what it covers).
struct PeakColumns {
  int width = 0;
  int channels = 0;
  std::vector<PeakPair> values;        // column-major: [column * channels + channel]
  std::vector<PeakQuality> quality;    // per column
  const PeakPair& At(int column, int channel) const {
    return values[static_cast<size_t>(column) * static_cast<size_t>(channels) + static_cast<size_t>(channel)];
  }
  bool Complete() const;               // every column exact
};

/// The lowest and highest sample of every channel in each block of
/// kBlockFrames frames of a file: 5 MB for an hour of 44.1 kHz stereo.
/// Workers store blocks while the window thread reads columns; each call
/// holds the lock only for its own copy.
class PeakStore {
 public:
  static constexpr int kBlockFrames = 256;

  PeakStore(int channels, int64_t frames);

  int Channels() const { return channels_; }
  int64_t Frames() const { return frames_; }
  int64_t Blocks() const { return blocks_; }
  /// Grows with every store, so that a reader can tell it has something new.
  uint64_t Version() const { return version_.load(std::memory_order_acquire); }

  /// Stores blocks [first, first + count): `values` holds count x channels
  /// pairs. An estimate never replaces an exact block.
  void Store(int64_t first, const PeakPair* values, int64_t count, PeakQuality quality);
  /// `width` columns over frames [from, to), column c covering
  /// [from + n*c/width, from + n*(c+1)/width). A column is made of every
  /// block it touches, so it is exact only where its edges lie on blocks
  /// (or the blocks are far smaller than the column).
  PeakColumns Columns(int64_t from, int64_t to, int width) const;
  /// True when every block is exact.
  bool Complete() const;

 private:
  int channels_;
  int64_t frames_;
  int64_t blocks_;
  mutable std::mutex lock_;
  /// Updates the groups that blocks [first, first + count) belong to.
  void UpdateGroups(int64_t first, int64_t count);
  /// Takes blocks [first, last) into `column`, by whole groups where it can.
  void Gather(int64_t first, int64_t last, PeakPair* column, bool& any, PeakQuality& worst) const;

  std::vector<PeakPair> values_;
  std::vector<PeakQuality> quality_;
  // Every kGroupBlocks blocks summed up, so that a column of the whole file
  // reads thousands of groups instead of a million blocks.
  static constexpr int64_t kGroupBlocks = 64;
  std::vector<PeakPair> groupValues_;
  std::vector<PeakQuality> groupQuality_;
  int64_t exactBlocks_ = 0;
  std::atomic<uint64_t> version_{0};
};

/// Min and max of each channel over each whole block of interleaved 16-bit
/// frames; the last block may be short. `out` gets blocks x channels pairs.
void BlockPeaks(const int16_t* samples, int64_t frames, int channels, std::vector<PeakPair>& out);
