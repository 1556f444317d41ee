#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/AudioSink.h"
#include "platform/Error.h"

class TAuFileIn;
class TPlaybackOut;

/// A failure of the playback device; Reason tells callers what kind it is,
/// the message tells people.
class EMCIDeviceError : public Error {
 public:
  enum class Reason {
    NotOpen,         // a call that needs an open device
    CannotPlay,      // the device cannot play this file (its message carries "MCI")
    NoOutputDevice,  // there is nothing to play through
    Unreadable,      // the file itself cannot be read (the reader's message)
  };
  EMCIDeviceError(Reason reason, const std::string& message)
      : Error(reason == Reason::Unreadable ? ErrorKind::UnreadableFile : ErrorKind::Failed, message), reason_(reason) {}
  Reason reason() const { return reason_; }

 private:
  Reason reason_;
};

/// What the device is doing: closed, open and still, playing, or paused.
enum TMPModes { mpNotReady, mpStopped, mpPlaying, mpPaused };

/// The preview player: plays the file named by FileName, or a part of it, in
/// milliseconds. It is a small pipeline of the engine's own: the file's input
/// feeds a TPlaybackOut, whose worker thread decodes into an audio sink (the
/// speakers, or silence at real-time speed).
///
/// Create and use it on the window thread.
class TMediaPlayer : public QObject {
 public:
  using Output = AudioSink::Kind;

  /// Silent when CLIPWRIGHT_AUDIO_OUTPUT is "silent", else the speakers.
  explicit TMediaPlayer(QObject* parent = nullptr);
  TMediaPlayer(Output output, QObject* parent = nullptr);
  ~TMediaPlayer() override;

  const std::string& FileName() const { return FileName_; }
  void SetFileName(const std::string& value) { FileName_ = value; }

  /// Closes a device still open, then opens FileName.
  void Open();
  /// Never raises; nothing happens on a closed device.
  void Close();
  /// Milliseconds.
  int64_t Length();
  /// A closed device is mpNotReady, never mpPaused.
  TMPModes Mode() const;
  /// Start and end of the next Play only.
  void SetStartPos(int64_t ms) { StartPos_ = ms; }
  void SetEndPos(int64_t ms) { EndPos_ = ms; }
  /// Starts at once; on a playing device starts again at StartPos.
  void Play();
  /// Pauses a playing device, resumes a paused one.
  void Pause();
  /// Continues a paused device, or plays.
  void Resume();
  void Stop();

  /// Called on the window thread when the audio output goes away during
  /// playback (the sound server ended); playback has stopped by then.
  std::function<void()> OnDeviceLost;

  /// Frames handed to the output since the last Play (for tests).
  int64_t FramesPlayed() const;

 private:
  void RequireOpen() const;
  void StopPlaying();

  Output output_;
  std::string FileName_;
  int rate_ = 0;
  int64_t length_ = 0;  // ms, told at Open
  int64_t StartPos_ = -1;
  int64_t EndPos_ = -1;
  bool paused_ = false;
  std::unique_ptr<AudioSink> sink_;
  std::unique_ptr<TAuFileIn> input_;
  std::unique_ptr<TPlaybackOut> playback_;  // last: it stops before its input and sink go
};
