#include "app/WaveformPeaks.h"

#include "audio/ACS_Classes.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/peaks/PeaksProvider.h"

std::unique_ptr<WaveformPeaks> WaveformPeaks::Open(const std::string& fileName) {
  const FormatEntry* format = FormatEntryOfFile(fileName);
  if (!format) return nullptr;
  std::unique_ptr<TAuFileIn> input = format->newInput();
  try {
    input->SetFileName(fileName);
    if (!input->Valid() || input->TotalSamples() <= 0) return nullptr;
    return std::make_unique<WaveformPeaks>(fileName, input->Channels(), input->TotalSamples(), input->SampleRate());
  } catch (const std::exception&) {
    return nullptr;  // without a waveform the file can still be cut by its times
  }
}

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

void WaveformPeaks::Cancel() { provider_->Cancel(); }
bool WaveformPeaks::Stopped() const { return provider_->Stopped(); }

RetiredPeaks::RetiredPeaks(QObject* parent) : QObject(parent) {}
RetiredPeaks::~RetiredPeaks() = default;

void RetiredPeaks::Retire(std::unique_ptr<WaveformPeaks> peaks) {
  if (!peaks) return;
  peaks->Cancel();
  retired_.push_back(std::move(peaks));
  if (timer_ == 0) timer_ = startTimer(50);
}

void RetiredPeaks::Sweep() {
  std::erase_if(retired_, [](const std::unique_ptr<WaveformPeaks>& peaks) { return peaks->Stopped(); });
  if (retired_.empty()) {
    killTimer(timer_);
    timer_ = 0;
  }
}
