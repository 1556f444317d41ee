#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class RateConverter;
class TAuInput;

/// Reads an input as float samples in another input's channel count and
/// sample rate: one channel goes to every channel, several to one are
/// averaged, otherwise channels are taken in order (missing ones silent);
/// the rate is converted by libswresample.
class MatchedInput {
 public:
  MatchedInput(TAuInput& input, int channels, int sampleRate);
  ~MatchedInput();

  /// True when samples pass unchanged but for their width.
  bool SameLayout() const { return !converter_ && channels_ == fromChannels_; }
  /// Samples this input will give (of `channels` channels), -1 when unknown.
  int64_t Samples() const;
  /// The next samples (at most `count`, whole frames), as floats; 0 at the end.
  int Read(float* dest, int count);
  /// The next samples as the input's own bytes, unconverted (SameLayout only).
  int ReadRaw(uint8_t* dest, int count, bool& ended);
  int Width() const { return width_; }

 private:
  /// Reads and converts one more block into pending_; false at the end.
  bool Refill();

  TAuInput& input_;
  int channels_;
  int fromChannels_;
  int width_;
  int64_t fromFrames_ = -1;
  int rate_, fromRate_;
  std::unique_ptr<RateConverter> converter_;
  std::vector<uint8_t> raw_;
  std::vector<float> floats_;
  std::vector<float> mapped_;
  std::vector<float> pending_;  // converted, not yet read
  size_t pendingAt_ = 0;
  bool ended_ = false;
};
