#include "platform/Loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/Error.h"

namespace media {

namespace {

constexpr int kModes = EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_SAMPLE_PEAK | EBUR128_MODE_TRUE_PEAK;

/// The loudest channel's peak of one state, by `peak` (sample or true).
double Peak(ebur128_state* state, int channels, int (*peak)(ebur128_state*, unsigned int, double*)) {
  double loudest = 0;
  for (int c = 0; c < channels; ++c) {
    double value = 0;
    if (peak(state, static_cast<unsigned>(c), &value) == EBUR128_SUCCESS) loudest = std::max(loudest, value);
  }
  return loudest;
}

}  // namespace

struct LoudnessMeter::State {
  ebur128_state* meter = nullptr;
  ~State() {
    if (meter != nullptr) ebur128_destroy(&meter);
  }
};

double GainFactor(double decibels) { return std::pow(10.0, decibels / 20.0); }

double Decibels(double factor) {
  return factor > 0 ? 20.0 * std::log10(factor) : -std::numeric_limits<double>::infinity();
}

LoudnessMeter::LoudnessMeter(int channels, int rate) : state_(std::make_unique<State>()), channels_(channels) {
  if (channels <= 0 || rate <= 0) throw Error(ErrorKind::Failed, "the audio has no channels or rate to measure");
  ebur128_state* meter = state_->meter =
      ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate), kModes);
  if (meter == nullptr) throw Error(ErrorKind::Failed, "libebur128 cannot measure this layout");
  // Five or more channels: the fourth and fifth are the surrounds, the fourth
  // of a 5.1 layout is LFE, which BS.1770 leaves out.
  if (channels == 6) {
    ebur128_set_channel(meter, 3, EBUR128_UNUSED);
    ebur128_set_channel(meter, 4, EBUR128_LEFT_SURROUND);
    ebur128_set_channel(meter, 5, EBUR128_RIGHT_SURROUND);
  }
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::Add(const int16_t* samples, int64_t frames) {
  if (frames > 0 && ebur128_add_frames_short(state_->meter, samples, static_cast<size_t>(frames)) != EBUR128_SUCCESS)
    throw Error(ErrorKind::Failed, "libebur128 failed to measure");
}

void LoudnessMeter::Add(const float* samples, int64_t frames) {
  if (frames > 0 && ebur128_add_frames_float(state_->meter, samples, static_cast<size_t>(frames)) != EBUR128_SUCCESS)
    throw Error(ErrorKind::Failed, "libebur128 failed to measure");
}

LoudnessFigures LoudnessMeter::Figures() const { return Together({this}); }

LoudnessFigures LoudnessMeter::Together(const std::vector<const LoudnessMeter*>& meters) {
  std::vector<ebur128_state*> states;
  LoudnessFigures figures;
  double samplePeak = 0, truePeak = 0;
  for (const LoudnessMeter* meter : meters) {
    states.push_back(meter->state_->meter);
    samplePeak = std::max(samplePeak, Peak(meter->state_->meter, meter->channels_, ebur128_sample_peak));
    truePeak = std::max(truePeak, Peak(meter->state_->meter, meter->channels_, ebur128_true_peak));
  }
  if (ebur128_loudness_global_multiple(states.data(), states.size(), &figures.integrated) != EBUR128_SUCCESS)
    throw Error(ErrorKind::Failed, "libebur128 failed to measure");
  if (ebur128_loudness_range_multiple(states.data(), states.size(), &figures.range) != EBUR128_SUCCESS)
    figures.range = 0;  // too short to have a range
  figures.samplePeak = Decibels(samplePeak);
  figures.truePeak = Decibels(truePeak);
  return figures;
}

}  // namespace media
