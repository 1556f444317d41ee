#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace media {

/// A file's or a selection's loudness by EBU R128 (ITU-R BS.1770), as
/// libebur128 measures it.
struct LoudnessFigures {
  double integrated = 0;  // LUFS; -infinity for silence
  double range = 0;       // LU
  double samplePeak = 0;  // dBFS, the largest sample
  double truePeak = 0;    // dBTP, between the samples too (oversampled)
};

class LoudnessMeter {
 public:
  /// Throws std::runtime_error when libebur128 refuses the layout.
  LoudnessMeter(int channels, int rate);
  ~LoudnessMeter();
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;

  /// Interleaved 16-bit frames, in order.
  void Add(const int16_t* samples, int64_t frames);
  /// Interleaved frames of floats (full scale 1.0, above it where a lossy
  /// decode goes), in order: peaks over full scale are measured as they are.
  void Add(const float* samples, int64_t frames);
  LoudnessFigures Figures() const;
  /// Of several meters' audio taken as one (an album of pieces).
  static LoudnessFigures Together(const std::vector<const LoudnessMeter*>& meters);

 private:
  struct State;  // libebur128's
  std::unique_ptr<State> state_;
  int channels_ = 0;
};

/// The factor a gain in decibels multiplies samples by, and back.
double GainFactor(double decibels);
double Decibels(double factor);

}  // namespace media
