#pragma once

#include <QObject>
#include <memory>
#include <string>
#include <vector>

#include "controls/WaveformSource.h"

class PeaksProvider;

/// The engine's peaks of one file as a waveform view's source: opening it
/// starts the work in the background; destroying it cancels the work.
class WaveformPeaks : public WaveformSource {
 public:
  /// The peaks of a file our inputs read, or nullptr for one they cannot.
  static std::unique_ptr<WaveformPeaks> Open(const std::string& fileName);
  /// Raises what the file's input raises when it cannot be read.
  WaveformPeaks(const std::string& fileName, int channels, int64_t frames, int sampleRate);
  ~WaveformPeaks() override;

  int64_t Frames() const override;
  int Channels() const override;
  int SampleRate() const override { return rate_; }
  uint64_t Version() const override;
  WaveformColumns Columns(int64_t from, int64_t to, int width) override;

  /// Asks the work to stop, and whether it has: destroying a stopped
  /// source does not wait.
  void Cancel();
  bool Stopped() const;

 private:
  std::unique_ptr<PeaksProvider> provider_;
  int rate_;
};

/// Peaks a window no longer shows, kept until their threads have ended so
/// that opening another file never waits for them (a window owns one).
class RetiredPeaks : public QObject {
 public:
  explicit RetiredPeaks(QObject* parent);
  ~RetiredPeaks() override;
  /// Cancels `peaks` and destroys it once it has stopped.
  void Retire(std::unique_ptr<WaveformPeaks> peaks);

 private:
  void Sweep();
  std::vector<std::unique_ptr<WaveformPeaks>> retired_;
  int timer_ = 0;
  void timerEvent(QTimerEvent*) override { Sweep(); }
};
