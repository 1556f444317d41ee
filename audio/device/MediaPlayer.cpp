#include "audio/device/MediaPlayer.h"

#include "audio/ACS_Classes.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/device/PlaybackOut.h"
#include "platform/Numbers.h"

TMediaPlayer::TMediaPlayer(QObject* parent) : TMediaPlayer(AudioSink::DefaultKind(), parent) {}

TMediaPlayer::TMediaPlayer(Output output, QObject* parent) : QObject(parent), output_(output) {}

TMediaPlayer::~TMediaPlayer() { Close(); }

void TMediaPlayer::RequireOpen() const {
  if (!input_) throw EMCIDeviceError(EMCIDeviceError::Reason::NotOpen, "No MCI device open");
}

void TMediaPlayer::Open() {
  Close();
  const FormatEntry* format = FormatEntryOfFile(FileName_);
  if (!format) throw EMCIDeviceError(EMCIDeviceError::Reason::CannotPlay, "MCI cannot play this kind of file");
  std::unique_ptr<TAuFileIn> input = format->newInput();
  input->SetFileName(FileName_);
  bool playable = false;
  try {
    playable = input->Valid() && input->TotalSamples() > 0 && input->SampleRate() > 0 && input->BitsPerSample() >= 8;
  } catch (const std::exception& e) {
    throw EMCIDeviceError(EMCIDeviceError::Reason::Unreadable, e.what());
  }
  if (!playable) throw EMCIDeviceError(EMCIDeviceError::Reason::CannotPlay, "MCI cannot play this file");
  std::unique_ptr<AudioSink> sink;
  try {
    sink = std::make_unique<AudioSink>(output_, input->SampleRate(), input->Channels(), this);
  } catch (const AudioSinkError& e) {
    if (e.reason() == AudioSinkError::Reason::NoOutputDevice)
      throw EMCIDeviceError(EMCIDeviceError::Reason::NoOutputDevice, "MCI found no audio output device");
    throw EMCIDeviceError(EMCIDeviceError::Reason::CannotPlay, "MCI cannot play this audio format");
  }
  sink->OnLost = [this] {
    StopPlaying();
    if (OnDeviceLost) OnDeviceLost();
  };
  rate_ = input->SampleRate();
  length_ = input->TotalSamples() * 1000 / rate_;
  auto playback = std::make_unique<Sealed<TPlaybackOut>>();
  playback->SetSink(sink.get());
  playback->SetInput(input.get());
  sink_ = std::move(sink);
  input_ = std::move(input);
  playback_ = std::move(playback);
}

void TMediaPlayer::Close() {
  if (!input_) return;
  StopPlaying();
  playback_.reset();
  input_.reset();
  sink_.reset();
}

int64_t TMediaPlayer::Length() {
  RequireOpen();
  return length_;
}

TMPModes TMediaPlayer::Mode() const {
  if (!input_) return mpNotReady;
  if (paused_) return mpPaused;
  // Playing while the worker decodes and while the sink still sounds what it holds.
  return playback_->Busy() || sink_->Playing() ? mpPlaying : mpStopped;
}

int64_t TMediaPlayer::FramesPlayed() const { return playback_ ? playback_->FramesPlayed() : 0; }

void TMediaPlayer::Play() {
  RequireOpen();
  StopPlaying();
  // The frames a cut of the same times starts and ends on.
  const int64_t startFrame = StartPos_ > 0 ? FrameOfMs(StartPos_, rate_) : 0;
  const int64_t endFrame = EndPos_ > 0 ? FrameOfMs(EndPos_, rate_) - 1 : -1;
  StartPos_ = EndPos_ = -1;  // each used once
  input_->SetStartSample(startFrame);
  input_->SetEndSample(endFrame);
  sink_->Start();
  playback_->Run();
}

void TMediaPlayer::Pause() {
  RequireOpen();
  if (paused_) return Resume();
  if (Mode() != mpPlaying) return;
  paused_ = true;
  sink_->Pause();
}

void TMediaPlayer::Resume() {
  RequireOpen();
  if (!paused_) return Play();
  paused_ = false;
  sink_->Resume();
}

void TMediaPlayer::Stop() {
  RequireOpen();
  StopPlaying();
}

void TMediaPlayer::StopPlaying() {
  paused_ = false;
  if (!sink_) return;
  sink_->Stop();  // first: it releases a worker waiting to write
  playback_->Stop(false);
}
