#include "app/jobs/Components.h"

#include "audio/ACS_AudioMix.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"
#include "audio/mp3cut/MP3LosslessOut.h"

std::unique_ptr<TMP3In> NewMp3In() { return std::make_unique<Sealed<TMP3In>>(); }
std::unique_ptr<TWaveIn> NewWaveIn() { return std::make_unique<Sealed<TWaveIn>>(); }
std::unique_ptr<TWMIn> NewWmIn() { return std::make_unique<Sealed<TWMIn>>(); }

std::unique_ptr<TMP3LosslessOut> NewMp3LosslessOut() { return std::make_unique<Sealed<TMP3LosslessOut>>(); }

std::unique_ptr<TMP3Out> NewMp3Out() {
  auto out = std::make_unique<Sealed<TMP3Out>>();
  out->SetBitRate(mbr128);
  out->SetMode(mmMono);
  out->SetEnableBitReservoir(false);
  out->SetStrictISO(false);
  out->SetVBRQuality(mp3ql0);
  out->SetAverageBitrate(mbrAuto);
  out->SetMaximumBitrate(mbrAuto);
  return out;
}

std::unique_ptr<TWaveOut> NewWaveOut() {
  auto out = std::make_unique<Sealed<TWaveOut>>();
  out->SetWavType(wtPCM);
  out->SetBlockSize(512);
  out->SetCreateNonMsHeaders(false);
  out->SetFileMode(foRewrite);
  return out;
}

std::unique_ptr<TWMAOut> NewWmaOut() { return std::make_unique<Sealed<TWMAOut>>(); }

std::unique_ptr<TAudioMixer> NewMixer() { return std::make_unique<Sealed<TAudioMixer>>(); }
