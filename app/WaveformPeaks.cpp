#include "app/WaveformPeaks.h"

#include "audio/peaks/PeaksProvider.h"

WaveformPeaks::WaveformPeaks(const std::string& fileName, int channels, int64_t frames, int sampleRate)
    : provider_(std::make_unique<PeaksProvider>(fileName, channels, frames)), rate_(sampleRate) {}

WaveformPeaks::~WaveformPeaks() = default;

int64_t WaveformPeaks::Frames() const { return provider_->Frames(); }
int WaveformPeaks::Channels() const { return provider_->Channels(); }
uint64_t WaveformPeaks::Version() const { return provider_->Version(); }

WaveformColumns WaveformPeaks::Columns(int64_t from, int64_t to, int width) {
  const PeakColumns peaks = provider_->Columns(from, to, width);
  WaveformColumns columns;
  columns.width = peaks.width;
  columns.channels = peaks.channels;
  columns.low.reserve(peaks.values.size());
  columns.high.reserve(peaks.values.size());
  for (const PeakPair& pair : peaks.values) {
    columns.low.push_back(pair.min);
    columns.high.push_back(pair.max);
  }
  for (PeakQuality quality : peaks.quality)
    columns.known.push_back(quality == PeakQuality::Exact       ? WaveformColumns::kExact
                            : quality == PeakQuality::Estimated ? WaveformColumns::kRough
                                                                : WaveformColumns::kUnknown);
  return columns;
}
