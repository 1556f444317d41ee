#include "platform/mci.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>
#include <chrono>
#include <cstring>
#include <vector>

#include "app/jobs/AudioFormat.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"

namespace {

/// Interleaved samples of any width as 16-bit.
void To16Bit(const uint8_t* in, uint32_t bytes, int bits, std::vector<int16_t>& out) {
  const int width = bits / 8;
  const uint32_t count = bytes / static_cast<uint32_t>(width);
  out.resize(count);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* s = in + static_cast<size_t>(i) * width;
    switch (width) {
      case 1: out[i] = static_cast<int16_t>((s[0] - 128) << 8); break;
      case 2: out[i] = static_cast<int16_t>(s[0] | (s[1] << 8)); break;
      case 3: out[i] = static_cast<int16_t>(s[1] | (s[2] << 8)); break;
      default: out[i] = static_cast<int16_t>(s[2] | (s[3] << 8)); break;
    }
  }
}

constexpr auto kFeedInterval = std::chrono::milliseconds(20);

}  // namespace

TMediaPlayer::TMediaPlayer(QObject* parent)
    : TMediaPlayer(qgetenv("CLIPWRIGHT_AUDIO_OUTPUT") == "silent" ? Output::Silent : Output::Speakers, parent) {}

TMediaPlayer::TMediaPlayer(Output output, QObject* parent) : QObject(parent), output_(output) {}

TMediaPlayer::~TMediaPlayer() { Close(); }

void TMediaPlayer::RequireOpen() const {
  if (!input_) throw EMCIDeviceError(EMCIDeviceError::Reason::NotOpen, "No MCI device open");
}

void TMediaPlayer::Open() {
  Close();
  std::unique_ptr<TAuFileIn> input;
  switch (FormatOfFile(FileName_)) {
    case AudioFormat::Wav: input = std::make_unique<Sealed<TWaveIn>>(); break;
    case AudioFormat::Mp3:
    case AudioFormat::Wma: input = std::make_unique<Sealed<TWMIn>>(); break;
    default: throw EMCIDeviceError(EMCIDeviceError::Reason::CannotPlay, "MCI cannot play this kind of file");
  }
  input->SetFileName(FileName_);
  bool playable = false;
  try {
    playable = input->Valid() && input->TotalSamples() > 0 && input->SampleRate() > 0 && input->BitsPerSample() >= 8;
  } catch (const std::exception& e) {
    throw EMCIDeviceError(EMCIDeviceError::Reason::Unreadable, e.what());
  }
  if (!playable) throw EMCIDeviceError(EMCIDeviceError::Reason::CannotPlay, "MCI cannot play this file");
  rate_ = input->SampleRate();
  channels_ = input->Channels();
  if (output_ == Output::Speakers) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
      throw EMCIDeviceError(EMCIDeviceError::Reason::NoOutputDevice, "MCI found no audio output device");
    QAudioFormat format;
    format.setSampleRate(rate_);
    format.setChannelCount(channels_);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
      throw EMCIDeviceError(EMCIDeviceError::Reason::CannotPlay, "MCI cannot play this audio format");
    sink_ = new QAudioSink(device, format, this);
    feeder_ = new QTimer(this);
    feeder_->setInterval(kFeedInterval);
    connect(feeder_, &QTimer::timeout, this, [this] { FeedSink(); });
  }
  length_ = input->TotalSamples() * 1000 / rate_;
  input_ = std::move(input);
}

void TMediaPlayer::Close() {
  if (!input_) return;
  StopWorker();
  delete sink_;
  sink_ = nullptr;
  sinkDevice_ = nullptr;
  delete feeder_;
  feeder_ = nullptr;
  input_.reset();
}

int64_t TMediaPlayer::Length() {
  RequireOpen();
  return length_;
}

TMPModes TMediaPlayer::Mode() const {
  if (!input_) return mpNotReady;
  std::lock_guard lock(mutex_);
  if (paused_) return mpPaused;
  return playing_ ? mpPlaying : mpStopped;
}

void TMediaPlayer::Play() {
  RequireOpen();
  StopWorker();
  const int64_t startFrame = StartPos_ > 0 ? StartPos_ * rate_ / 1000 : 0;
  const int64_t endFrame = EndPos_ > 0 ? EndPos_ * rate_ / 1000 - 1 : -1;
  StartPos_ = EndPos_ = -1;  // each used once
  framesPlayed_ = 0;
  {
    std::lock_guard lock(mutex_);
    paused_ = false;
    stopRequested_ = false;
    decoding_ = true;
  }
  playing_ = true;
  if (sink_) {
    sinkDevice_ = sink_->start();
    feeder_->start();
  }
  worker_ = std::thread([this, startFrame, endFrame] { Decode(startFrame, endFrame); });
}

void TMediaPlayer::Pause() {
  RequireOpen();
  bool resume = false;
  {
    std::lock_guard lock(mutex_);
    if (paused_) resume = true;
    else if (playing_) paused_ = true;
  }
  if (resume) {
    Resume();
    return;
  }
  if (sink_ && Mode() == mpPaused) sink_->suspend();
}

void TMediaPlayer::Resume() {
  RequireOpen();
  bool wasPaused = false;
  {
    std::lock_guard lock(mutex_);
    wasPaused = paused_;
    paused_ = false;
  }
  if (!wasPaused) {
    Play();
    return;
  }
  changed_.notify_all();
  if (sink_) sink_->resume();
}

void TMediaPlayer::Stop() {
  RequireOpen();
  StopWorker();
}

void TMediaPlayer::StopWorker() {
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
    paused_ = false;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
  {
    std::lock_guard lock(mutex_);
    pending_.clear();
    decoding_ = false;
  }
  playing_ = false;
  if (feeder_) feeder_->stop();
  if (sink_) sink_->stop();
  sinkDevice_ = nullptr;
}

bool TMediaPlayer::WaitWhilePaused(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [this] { return !paused_ || stopRequested_; });
  return !stopRequested_;
}

void TMediaPlayer::Decode(int64_t startFrame, int64_t endFrame) {
  std::vector<int16_t> samples;
  try {
    input_->SetStartSample(startFrame);
    input_->SetEndSample(endFrame);
    input_->Init();
    const int bits = input_->BitsPerSample();
    for (;;) {
      void* block = nullptr;
      uint32_t bytes = 8192;
      input_->GetData(block, bytes);
      if (bytes == 0) break;
      To16Bit(static_cast<const uint8_t*>(block), bytes, bits, samples);
      const int64_t frames = static_cast<int64_t>(samples.size()) / channels_;
      std::unique_lock lock(mutex_);
      if (!WaitWhilePaused(lock)) break;
      if (output_ == Output::Silent) {
        // Real-time speed: the block takes as long as it would sound.
        const auto duration = std::chrono::microseconds(frames * 1000000 / rate_);
        if (changed_.wait_for(lock, duration, [this] { return stopRequested_ || paused_; })) {
          if (stopRequested_ || !WaitWhilePaused(lock)) break;
        }
      } else {
        // Keep about half a second queued for the sink.
        const size_t most = static_cast<size_t>(rate_) * channels_ * 2 / 2;
        changed_.wait(lock, [&] { return stopRequested_ || (!paused_ && pending_.size() < most); });
        if (stopRequested_) break;
        const auto* first = reinterpret_cast<const uint8_t*>(samples.data());
        pending_.insert(pending_.end(), first, first + samples.size() * 2);
      }
      framesPlayed_ += frames;
    }
    input_->Flush();
  } catch (...) {
    input_->Reset();
  }
  std::lock_guard lock(mutex_);
  decoding_ = false;
  if (output_ == Output::Silent) playing_ = false;
}

void TMediaPlayer::FeedSink() {
  if (!sink_ || !sinkDevice_) return;
  if (sink_->error() == QAudio::FatalError || sink_->error() == QAudio::OpenError) {
    // The sound server went away: nothing more will be heard.
    StopWorker();
    if (OnDeviceLost) OnDeviceLost();
    return;
  }
  std::vector<char> chunk;
  bool finished = false;
  {
    std::lock_guard lock(mutex_);
    const size_t n = std::min<size_t>(pending_.size(), static_cast<size_t>(std::max<qsizetype>(sink_->bytesFree(), 0)));
    chunk.assign(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(n));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(n));
    finished = !decoding_ && pending_.empty();
  }
  changed_.notify_all();
  if (!chunk.empty()) sinkDevice_->write(chunk.data(), static_cast<qint64>(chunk.size()));
  // Done when everything was handed over and the sink has played it.
  if (finished && sink_->bytesFree() >= sink_->bufferSize()) {
    feeder_->stop();
    sink_->stop();
    playing_ = false;
  }
}
