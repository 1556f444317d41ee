#pragma once

#include <cstdint>
#include <vector>

/// Columns of a waveform as a source knows them: per column and channel the
/// lowest and highest sample (16-bit scale), and how well it is known.
struct WaveformColumns {
  enum Known : uint8_t { kUnknown, kRough, kExact };
  int width = 0;
  int channels = 0;
  std::vector<int16_t> low, high;  // [column * channels + channel]
  std::vector<Known> known;        // per column
};

/// Where a waveform view takes its peaks from. Sources may work in the
/// background: the view asks again whenever Version() moves.
class WaveformSource {
 public:
  virtual ~WaveformSource() = default;
  virtual int64_t Frames() const = 0;
  virtual int Channels() const = 0;
  virtual int SampleRate() const = 0;
  virtual uint64_t Version() const = 0;
  /// `width` columns over frames [from, to), column c covering
  /// [from + n*c/width, from + n*(c+1)/width).
  virtual WaveformColumns Columns(int64_t from, int64_t to, int width) = 0;
};
