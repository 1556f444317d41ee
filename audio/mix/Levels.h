#pragma once

#include <cstdint>
#include <vector>

#include "audio/classes/AuInput.h"

/// How a fade's gain rises (fade-in) or falls (fade-out) over its frames.
enum class FadeCurve {
  Linear,      // the gain itself goes straight: i / N
  EqualPower,  // sin(pi/2 * i / N): two such fades across each other keep the power
};

/// The gain of frame `i` (0-based) of a fade-in of `length` frames; a
/// fade-out's frame that lies `i` frames before its last has the same. The
/// first frame of a fade-in, and so the last of a fade-out, is silent.
double FadeGain(FadeCurve curve, int64_t i, int64_t length);

/// An input that delivers another input's samples times a gain, faded in
/// over its first frames and out over its last, in the same format. Samples
/// are rounded to the nearest and held to the format's range; with a gain
/// of 1 and no fades they pass unchanged.
class TAuLevels : public TAuInput {
 public:
  ~TAuLevels() override;

  void SetInput(TAuInput* value);
  TAuInput* Input() const { return Input_; }
  void SetGain(double factor) { if (!Busy()) Gain_ = factor; }
  double Gain() const { return Gain_; }
  /// Frames of each fade (0: none), and its curve.
  void SetFades(int64_t in, int64_t out, FadeCurve curve);

  int BitsPerSample() override;
  int Channels() override;
  int SampleRate() override;
  int64_t TotalSamples() override;

 protected:
  void InitInternal() override;
  void FlushInternal() override;
  void GetDataInternal(void*& Buffer, uint32_t& Bytes) override;

 private:
  TAuInput& Source();
  /// The gain of frame `frame` of the run.
  double FrameGain(int64_t frame) const;

  TAuInput* Input_ = nullptr;
  double Gain_ = 1.0;
  int64_t FadeIn_ = 0, FadeOut_ = 0;
  FadeCurve Curve_ = FadeCurve::Linear;
  int64_t frames_ = 0;     // the run's, -1 when the input cannot tell
  int64_t delivered_ = 0;  // frames so far
  std::vector<uint8_t> block_;
};
