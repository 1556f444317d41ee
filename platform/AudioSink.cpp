#include "platform/AudioSink.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>
#include <chrono>
#include <vector>

namespace {

constexpr auto kFeedInterval = std::chrono::milliseconds(20);

}  // namespace

AudioSink::Kind AudioSink::DefaultKind() {
  return qgetenv("CLIPWRIGHT_AUDIO_OUTPUT") == "silent" ? Kind::Silent : Kind::Speakers;
}

AudioSink::AudioSink(Kind kind, int rate, int channels, QObject* parent)
    : QObject(parent), kind_(kind), bytesPerSecond_(rate * channels * 2) {
  if (kind_ == Kind::Silent) return;
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) throw AudioSinkError(AudioSinkError::Reason::NoOutputDevice, "no audio output device");
  QAudioFormat format;
  format.setSampleRate(rate);
  format.setChannelCount(channels);
  format.setSampleFormat(QAudioFormat::Int16);
  if (!device.isFormatSupported(format))
    throw AudioSinkError(AudioSinkError::Reason::FormatUnsupported, "the audio output cannot take this format");
  sink_ = new QAudioSink(device, format, this);
  feeder_ = new QTimer(this);
  feeder_->setInterval(kFeedInterval);
  connect(feeder_, &QTimer::timeout, this, [this] { Feed(); });
}

AudioSink::~AudioSink() { Stop(); }

void AudioSink::Start() {
  {
    std::lock_guard lock(mutex_);
    queued_.clear();
    started_ = true;
    paused_ = stopped_ = ended_ = finished_ = false;
  }
  if (sink_) {
    device_ = sink_->start();
    feeder_->start();
  }
}

bool AudioSink::Write(const char* data, size_t bytes) {
  std::unique_lock lock(mutex_);
  if (kind_ == Kind::Silent) {
    // Real-time speed: the block takes as long as it would sound.
    const auto duration = std::chrono::microseconds(static_cast<int64_t>(bytes) * 1000000 / bytesPerSecond_);
    auto left = duration;
    for (;;) {
      changed_.wait(lock, [this] { return !paused_ || stopped_; });
      if (stopped_) return false;
      const auto from = std::chrono::steady_clock::now();
      if (!changed_.wait_for(lock, left, [this] { return stopped_ || paused_; })) return true;  // it has sounded
      if (stopped_) return false;
      left -= std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - from);
      if (left.count() <= 0) return true;
    }
  }
  // Keep about half a second queued for the sink.
  const size_t most = static_cast<size_t>(bytesPerSecond_) / 2;
  changed_.wait(lock, [&] { return stopped_ || (!paused_ && queued_.size() < most); });
  if (stopped_) return false;
  queued_.insert(queued_.end(), data, data + bytes);
  return true;
}

void AudioSink::EndOfData() {
  std::lock_guard lock(mutex_);
  ended_ = true;
  if (kind_ == Kind::Silent) finished_ = true;
}

bool AudioSink::Playing() const {
  std::lock_guard lock(mutex_);
  return started_ && !stopped_ && !finished_;
}

void AudioSink::Pause() {
  {
    std::lock_guard lock(mutex_);
    paused_ = true;
  }
  changed_.notify_all();
  if (sink_) sink_->suspend();
}

void AudioSink::Resume() {
  {
    std::lock_guard lock(mutex_);
    paused_ = false;
  }
  changed_.notify_all();
  if (sink_) sink_->resume();
}

void AudioSink::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    paused_ = false;
    queued_.clear();
  }
  changed_.notify_all();
  if (feeder_) feeder_->stop();
  if (sink_) sink_->stop();
  device_ = nullptr;
}

void AudioSink::Feed() {
  if (!sink_ || !device_) return;
  if (sink_->error() == QAudio::FatalError || sink_->error() == QAudio::OpenError) {
    // The sound server went away: nothing more will be heard.
    Stop();
    if (OnLost) OnLost();
    return;
  }
  std::vector<char> chunk;
  bool allHandedOver = false;
  {
    std::lock_guard lock(mutex_);
    const size_t n = std::min<size_t>(queued_.size(), static_cast<size_t>(std::max<qsizetype>(sink_->bytesFree(), 0)));
    chunk.assign(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(n));
    queued_.erase(queued_.begin(), queued_.begin() + static_cast<std::ptrdiff_t>(n));
    allHandedOver = ended_ && queued_.empty();
  }
  changed_.notify_all();
  if (!chunk.empty()) device_->write(chunk.data(), static_cast<qint64>(chunk.size()));
  // Done when everything was handed over and the sink has played it.
  if (allHandedOver && sink_->bytesFree() >= sink_->bufferSize()) {
    feeder_->stop();
    sink_->stop();
    device_ = nullptr;
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
}
