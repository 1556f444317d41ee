#pragma once
#include <vector>

struct SwrContext;

/// Changes the sample rate of interleaved float samples (libswresample).
class RateConverter {
 public:
  /// Raises std::runtime_error when the conversion cannot be set up.
  RateConverter(int channels, int fromRate, int toRate);
  ~RateConverter();
  RateConverter(const RateConverter&) = delete;
  RateConverter& operator=(const RateConverter&) = delete;

  /// Appends to `out` what `frames` frames of `in` give; `in` null (and
  /// `frames` 0) gives what the converter still holds, at the end.
  void Convert(const float* in, int frames, std::vector<float>& out);

 private:
  SwrContext* context_ = nullptr;
  int channels_;
};
