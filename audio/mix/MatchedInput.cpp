#include "audio/mix/MatchedInput.h"

#include <algorithm>
#include <cmath>

#include "audio/classes/AuInput.h"
#include "audio/classes/Convert.h"
#include "platform/RateConverter.h"

namespace {

constexpr int kBlockFrames = 2048;

}  // namespace

MatchedInput::MatchedInput(TAuInput& input, int channels, int sampleRate)
    : input_(input),
      channels_(channels),
      fromChannels_(input.Channels()),
      width_(input.BitsPerSample() / 8),
      rate_(sampleRate),
      fromRate_(input.SampleRate()) {
  if (input.Size() >= 0 && width_ > 0 && fromChannels_ > 0) fromFrames_ = input.Size() / width_ / fromChannels_;
  if (rate_ != fromRate_) converter_ = std::make_unique<RateConverter>(channels_, fromRate_, rate_);
}

MatchedInput::~MatchedInput() = default;

int64_t MatchedInput::Samples() const {
  if (fromFrames_ < 0) return -1;
  const auto frames = static_cast<int64_t>(std::llround(static_cast<double>(fromFrames_) * rate_ / fromRate_));
  return frames * channels_;
}

int MatchedInput::ReadRaw(uint8_t* dest, int count, bool& ended) {
  const int frames = count / fromChannels_;
  const int got = input_.FillBuffer(dest, frames * fromChannels_ * width_, ended);
  return got / width_;
}

bool MatchedInput::Refill() {
  if (ended_) return false;
  raw_.resize(static_cast<size_t>(kBlockFrames) * fromChannels_ * width_);
  bool ended = false;
  const int bytes = input_.FillBuffer(raw_.data(), static_cast<int>(raw_.size()), ended);
  const int frames = bytes / width_ / fromChannels_;
  floats_.resize(static_cast<size_t>(frames) * fromChannels_);
  if (frames > 0) SampleConvert::ToFloat(raw_.data(), floats_.data(), frames * fromChannels_, width_);

  // Channels first, so that the rate converter works on the channels kept.
  const std::vector<float>* mapped = &floats_;
  if (channels_ != fromChannels_) {
    mapped_.assign(static_cast<size_t>(frames) * channels_, 0.0f);
    for (int f = 0; f < frames; ++f) {
      const float* in = &floats_[static_cast<size_t>(f) * fromChannels_];
      float* out = &mapped_[static_cast<size_t>(f) * channels_];
      if (fromChannels_ == 1) {
        std::fill(out, out + channels_, in[0]);
      } else if (channels_ == 1) {
        float sum = 0;
        for (int c = 0; c < fromChannels_; ++c) sum += in[c];
        out[0] = sum / static_cast<float>(fromChannels_);
      } else {
        std::copy(in, in + std::min(channels_, fromChannels_), out);
      }
    }
    mapped = &mapped_;
  }
  // What was not read yet moves to the front.
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_));
  pendingAt_ = 0;
  if (converter_) {
    if (frames > 0) converter_->Convert(mapped->data(), frames, pending_);
    if (ended) converter_->Convert(nullptr, 0, pending_);
  } else {
    pending_.insert(pending_.end(), mapped->begin(), mapped->end());
  }
  ended_ = ended;
  return true;
}

int MatchedInput::Read(float* dest, int count) {
  count -= count % channels_;
  while (pending_.size() - pendingAt_ < static_cast<size_t>(count) && Refill()) {
  }
  const int given = static_cast<int>(std::min(pending_.size() - pendingAt_, static_cast<size_t>(count)));
  std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_), given, dest);
  pendingAt_ += static_cast<size_t>(given);
  return given;
}
