#include "audio/mix/Levels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

#include "audio/classes/AuException.h"

double FadeGain(FadeCurve curve, int64_t i, int64_t length) {
  if (length <= 0 || i >= length) return 1.0;
  const double x = static_cast<double>(std::max<int64_t>(i, 0)) / static_cast<double>(length);
  return curve == FadeCurve::EqualPower ? std::sin(std::numbers::pi / 2 * x) : x;
}

namespace {

/// A little-endian sample of `width` bytes (1: unsigned around 128) and back, held to its range.
int64_t ReadSample(const uint8_t* at, int width) {
  switch (width) {
    case 1: return int64_t{at[0]} - 128;
    case 2: return static_cast<int16_t>(at[0] | (at[1] << 8));
    case 3: return static_cast<int32_t>((static_cast<uint32_t>(at[0]) << 8) | (static_cast<uint32_t>(at[1]) << 16) |
                                        (static_cast<uint32_t>(at[2]) << 24)) >> 8;
    default: return static_cast<int32_t>(at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24));
  }
}

void WriteSample(uint8_t* at, int width, double value) {
  const int64_t top = (int64_t{1} << (8 * width - 1)) - 1;
  const auto sample = static_cast<int64_t>(std::clamp(std::nearbyint(value), static_cast<double>(-top - 1), static_cast<double>(top)));
  if (width == 1) {
    at[0] = static_cast<uint8_t>(sample + 128);
    return;
  }
  for (int b = 0; b < width; ++b) at[b] = static_cast<uint8_t>(static_cast<uint64_t>(sample) >> (8 * b));
}

}  // namespace

TAuLevels::~TAuLevels() = default;

void TAuLevels::SetInput(TAuInput* value) {
  if (Busy()) throw EAuException("The component is busy.");
  Input_ = value;
}

void TAuLevels::SetFades(int64_t in, int64_t out, FadeCurve curve) {
  if (Busy()) return;
  FadeIn_ = std::max<int64_t>(in, 0);
  FadeOut_ = std::max<int64_t>(out, 0);
  Curve_ = curve;
}

TAuInput& TAuLevels::Source() {
  if (!Input_) throw EAuException("Input not assigned");
  return *Input_;
}

int TAuLevels::BitsPerSample() { return Source().BitsPerSample(); }
int TAuLevels::Channels() { return Source().Channels(); }
int TAuLevels::SampleRate() { return Source().SampleRate(); }
int64_t TAuLevels::TotalSamples() { return Source().TotalSamples(); }

void TAuLevels::InitInternal() {
  TAuInput& input = Source();
  Busy_ = true;
  input.Init();
  FrameSize_ = static_cast<uint16_t>(input.Channels() * input.BitsPerSample() / 8);
  Size_ = input.Size();
  Position_ = 0;
  frames_ = input.Size() > 0 && FrameSize_ > 0 ? input.Size() / FrameSize_ : -1;
  if (frames_ < 0 && FadeOut_ > 0) {
    input.Flush();
    Busy_ = false;
    throw EAuException("A fade-out needs to know where the input ends");
  }
  delivered_ = 0;
}

void TAuLevels::FlushInternal() {
  block_ = {};
  Busy_ = false;
  if (Input_) Input_->Flush();
}

double TAuLevels::FrameGain(int64_t frame) const {
  double gain = Gain_ * FadeGain(Curve_, frame, FadeIn_);
  if (FadeOut_ > 0 && frames_ >= 0) gain *= FadeGain(Curve_, frames_ - 1 - frame, FadeOut_);
  return gain;
}

void TAuLevels::GetDataInternal(void*& Buffer, uint32_t& Bytes) {
  void* data = nullptr;
  uint32_t bytes = Bytes;
  Source().GetData(data, bytes);
  if (bytes == 0 || FrameSize_ == 0) {
    Buffer = nullptr;
    Bytes = 0;
    return;
  }
  const int channels = Input_->Channels(), width = FrameSize_ / channels;
  const int64_t frames = bytes / FrameSize_;
  const bool unchanged = Gain_ == 1.0 && (FadeIn_ == 0 || delivered_ >= FadeIn_) &&
                         (FadeOut_ == 0 || delivered_ + frames < frames_ - FadeOut_);
  if (unchanged) {
    Buffer = data;
  } else {
    block_.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + bytes);
    uint8_t* at = block_.data();
    for (int64_t f = 0; f < frames; ++f) {
      const double gain = FrameGain(delivered_ + f);
      for (int c = 0; c < channels; ++c, at += width)
        WriteSample(at, width, static_cast<double>(ReadSample(at, width)) * gain);
    }
    Buffer = block_.data();
  }
  Bytes = static_cast<uint32_t>(frames * FrameSize_);
  delivered_ += frames;
  Position_ += Bytes;
}
