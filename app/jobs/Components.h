#pragma once

#include <memory>
#include <stdexcept>

#include "audio/Forward.h"

/// The components the jobs use, with the settings every job starts from:
/// WAV results are plain PCM (wider samples with the extensible header); MP3
/// at 128 kbps mono, constant bit rate, until a job sets them from its source.
std::unique_ptr<TMP3In> NewMp3In();
std::unique_ptr<TMP3Out> NewMp3Out();
/// Writes a range of an MP3 file by copying its frames, without re-encoding.
std::unique_ptr<TMP3LosslessOut> NewMp3LosslessOut();
std::unique_ptr<TWaveIn> NewWaveIn();
std::unique_ptr<TWaveOut> NewWaveOut();
std::unique_ptr<TWMIn> NewWmIn();
std::unique_ptr<TWMAOut> NewWmaOut();
std::unique_ptr<TAudioMixer> NewMixer();

/// Why a job cannot start; its message is for the user.
class JobRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
