#pragma once

#include <QObject>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <stdexcept>

#include "platform/Error.h"

class QAudioSink;
class QIODevice;
class QTimer;

/// Why an audio sink cannot be made.
class AudioSinkError : public Error {
 public:
  enum class Reason { NoOutputDevice, FormatUnsupported };
  AudioSinkError(Reason reason, const std::string& message) : Error(ErrorKind::Failed, message), reason_(reason) {}
  Reason reason() const { return reason_; }

 private:
  Reason reason_;
};

/// Where played sound goes: 16-bit interleaved PCM at one rate and channel
/// count, through Qt Multimedia (the only code that touches QAudioSink), or
/// nowhere at the speed it would sound (tests, machines without sound).
///
/// Create and control it on the window thread; one other thread writes.
class AudioSink : public QObject {
 public:
  enum class Kind { Speakers, Silent };
  /// Silent when CLIPWRIGHT_AUDIO_OUTPUT is "silent", else the speakers.
  static Kind DefaultKind();

  /// Raises AudioSinkError when there is no output or it cannot take the format.
  AudioSink(Kind kind, int rate, int channels, QObject* parent = nullptr);
  ~AudioSink() override;

  /// Starts taking data (window thread).
  void Start();
  /// Queues `bytes` of samples; waits while about half a second is queued,
  /// while paused, and for the silent sink as long as they would sound.
  /// False once stopped (writer thread).
  bool Write(const char* data, size_t bytes);
  /// No more data will come; playing ends when the queue has sounded.
  void EndOfData();
  /// Started and not yet ended, stopped or lost.
  bool Playing() const;
  void Pause();
  void Resume();
  /// Ends playing at once and releases a waiting writer.
  void Stop();

  /// Called on the window thread when the output goes away while playing (the
  /// sound server ended); the sink has stopped by then.
  std::function<void()> OnLost;

 private:
  void Feed();

  const Kind kind_;
  const int bytesPerSecond_;
  mutable std::mutex mutex_;  // guards the fields below it
  std::condition_variable changed_;
  std::deque<char> queued_;   // speakers: written, not yet handed to Qt
  bool started_ = false;
  bool paused_ = false;
  bool stopped_ = true;
  bool ended_ = false;        // EndOfData came
  bool finished_ = false;     // everything has sounded
  QAudioSink* sink_ = nullptr;
  QIODevice* device_ = nullptr;
  QTimer* feeder_ = nullptr;
};
