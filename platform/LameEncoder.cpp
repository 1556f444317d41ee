#include "platform/LameEncoder.h"
#include "platform/Error.h"

#include <lame/lame.h>

#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/SharedLibrary.h"

namespace media {
namespace {
/// The libmp3lame calls we make, resolved from the loaded library.
struct Lame {
#define LAME_CALL(name) decltype(&::name) name = nullptr;
  LAME_CALL(lame_init)
  LAME_CALL(lame_close)
  LAME_CALL(lame_set_in_samplerate)
  LAME_CALL(lame_set_out_samplerate)
  LAME_CALL(lame_set_num_channels)
  LAME_CALL(lame_set_mode)
  LAME_CALL(lame_set_brate)
  LAME_CALL(lame_get_brate)
  LAME_CALL(lame_set_VBR)
  LAME_CALL(lame_set_VBR_q)
  LAME_CALL(lame_set_VBR_mean_bitrate_kbps)
  LAME_CALL(lame_set_VBR_min_bitrate_kbps)
  LAME_CALL(lame_set_VBR_max_bitrate_kbps)
  LAME_CALL(lame_set_error_protection)
  LAME_CALL(lame_set_original)
  LAME_CALL(lame_set_bWriteVbrTag)
  LAME_CALL(lame_set_disable_reservoir)
  LAME_CALL(lame_set_strict_ISO)
  LAME_CALL(lame_init_params)
  LAME_CALL(lame_encode_buffer)
  LAME_CALL(lame_encode_buffer_interleaved)
  LAME_CALL(lame_encode_flush)
  LAME_CALL(lame_get_lametag_frame)
  LAME_CALL(lame_get_out_samplerate)
  LAME_CALL(lame_get_encoder_delay)
  LAME_CALL(lame_get_framesize)
#undef LAME_CALL
};

Lame lame;
bool loaded = false;
std::once_flag loading;

void LoadOnce() {
  void* library = LoadSharedLibrary(kLameLibrary, "CLIPWRIGHT_LAME_LIBRARY");
  if (library == nullptr) return;
  bool all = true;
  auto resolve = [&](auto& pointer, const char* symbol) { all = ResolveSymbol(library, pointer, symbol) && all; };
#define RESOLVE(name) resolve(lame.name, #name);
  RESOLVE(lame_init) RESOLVE(lame_close) RESOLVE(lame_set_in_samplerate) RESOLVE(lame_set_out_samplerate)
  RESOLVE(lame_set_num_channels) RESOLVE(lame_set_mode) RESOLVE(lame_set_brate) RESOLVE(lame_get_brate) RESOLVE(lame_set_VBR)
  RESOLVE(lame_set_VBR_q) RESOLVE(lame_set_VBR_mean_bitrate_kbps) RESOLVE(lame_set_VBR_min_bitrate_kbps)
  RESOLVE(lame_set_VBR_max_bitrate_kbps) RESOLVE(lame_set_error_protection)
  RESOLVE(lame_set_original) RESOLVE(lame_set_bWriteVbrTag)
  RESOLVE(lame_set_disable_reservoir) RESOLVE(lame_set_strict_ISO)
  RESOLVE(lame_init_params) RESOLVE(lame_encode_buffer) RESOLVE(lame_encode_buffer_interleaved)
  RESOLVE(lame_encode_flush) RESOLVE(lame_get_lametag_frame) RESOLVE(lame_get_out_samplerate)
  RESOLVE(lame_get_encoder_delay) RESOLVE(lame_get_framesize)
#undef RESOLVE
  if (!all) {
    ::dlclose(library);
    lame = Lame{};
    return;
  }
  loaded = true;
}


MPEG_mode ModeOf(LameSettings::Mode mode) {
  switch (mode) {
    case LameSettings::Mode::JointStereo: return JOINT_STEREO;
    case LameSettings::Mode::Mono: return MONO;
    default: return STEREO;
  }
}

void Configure(lame_t flags, const LameSettings& c) {
  lame.lame_set_in_samplerate(flags, c.sampleRate);
  lame.lame_set_num_channels(flags, c.mode == LameSettings::Mode::Mono ? 1 : 2);
  lame.lame_set_mode(flags, ModeOf(c.mode));
  lame.lame_set_error_protection(flags, c.crc);
  lame.lame_set_original(flags, c.original);
  lame.lame_set_bWriteVbrTag(flags, c.tagFrame);
  lame.lame_set_disable_reservoir(flags, !c.bitReservoir);
  lame.lame_set_strict_ISO(flags, c.strictIso);
  if (!c.vbr) {
    if (c.bitrateKbps != 0) lame.lame_set_brate(flags, c.bitrateKbps);
    return;
  }
  if (c.abrKbps != 0) {
    lame.lame_set_VBR(flags, vbr_abr);
    lame.lame_set_VBR_mean_bitrate_kbps(flags, c.abrKbps);
  } else {
    lame.lame_set_VBR(flags, vbr_mtrh);
    lame.lame_set_VBR_q(flags, c.vbrQuality);
  }
  if (c.bitrateKbps != 0) lame.lame_set_VBR_min_bitrate_kbps(flags, c.bitrateKbps);
  if (c.maxBitrateKbps != 0) lame.lame_set_VBR_max_bitrate_kbps(flags, c.maxBitrateKbps);
}

/// What LAME asks of an output buffer for the worst case of a chunk.
constexpr int kOutputBytes = LameEncoder::kFramesPerChunk * 5 / 4 + 7200;

}  // namespace

bool LoadLame() {
  std::call_once(loading, LoadOnce);
  return loaded;
}

LameEncoder::LameEncoder(const LameSettings& settings)
    : channels_(settings.mode == LameSettings::Mode::Mono ? 1 : 2), out_(kOutputBytes) {
  if (!LoadLame()) throw Error(ErrorKind::MissingLibrary, std::string(kLameLibrary) + " could not be loaded");
  // The input's rate where the standard has this bit rate at it: LAME
  // would otherwise resample low bit rates (a 32 kbps podcast at 16 kHz
  // to 11.025 kHz). Where it has not (8 kbps at 44.1 kHz), LAME would
  // change the bit rate instead: then it chooses the rate.
  for (const bool keepRate : {true, false}) {
    flags_ = lame.lame_init();
    if (flags_ == nullptr) throw Error(ErrorKind::Failed, "LAME could not be started");
    Configure(flags_, settings);
    if (keepRate) lame.lame_set_out_samplerate(flags_, settings.sampleRate);
    const bool taken = lame.lame_init_params(flags_) >= 0;
    const bool rateKept = settings.vbr || settings.bitrateKbps == 0 || lame.lame_get_brate(flags_) == settings.bitrateKbps;
    if (taken && (rateKept || !keepRate)) return;
    lame.lame_close(flags_);
  }
  flags_ = nullptr;
  throw Error(ErrorKind::Failed, "LAME does not take these settings");
}

LameEncoder::~LameEncoder() {
  if (flags_ != nullptr) lame.lame_close(flags_);
}

const std::vector<uint8_t>& LameEncoder::Encode(const int16_t* pcm, int frames) {
  if (frames > kFramesPerChunk) throw Error(ErrorKind::Failed, "LAME takes at most 1152 frames at a time");
  auto* samples = const_cast<int16_t*>(pcm);  // LAME's interface is not const-correct
  const int made = channels_ == 1
                       ? lame.lame_encode_buffer(flags_, samples, samples, frames, out_.data(), kOutputBytes)
                       : lame.lame_encode_buffer_interleaved(flags_, samples, frames, out_.data(), kOutputBytes);
  if (made < 0) throw Error(ErrorKind::Failed, "LAME Error: " + std::to_string(made));
  made_.assign(out_.begin(), out_.begin() + made);
  return made_;
}

const std::vector<uint8_t>& LameEncoder::Flush() {
  const int made = lame.lame_encode_flush(flags_, out_.data(), kOutputBytes);
  if (made < 0) throw Error(ErrorKind::Failed, "LAME Error: " + std::to_string(made));
  made_.assign(out_.begin(), out_.begin() + made);
  return made_;
}

int LameEncoder::OutputRate() const { return lame.lame_get_out_samplerate(flags_); }
int LameEncoder::Delay() const { return lame.lame_get_encoder_delay(flags_); }
int LameEncoder::FrameSamples() const { return lame.lame_get_framesize(flags_); }

bool LameEncoder::MakesTagFrame(const LameSettings& settings) {
  if (!settings.tagFrame) return false;
  LameEncoder probe(settings);
  const std::vector<int16_t> silence(static_cast<size_t>(kFramesPerChunk) * probe.Channels(), 0);
  probe.Encode(silence.data(), kFramesPerChunk);
  probe.Flush();
  return !probe.TagFrame().empty();
}

std::vector<uint8_t> LameEncoder::TagFrame() {
  std::vector<uint8_t> frame(lame.lame_get_lametag_frame(flags_, nullptr, 0));
  if (!frame.empty() && lame.lame_get_lametag_frame(flags_, frame.data(), frame.size()) != frame.size()) frame.clear();
  return frame;
}

}  // namespace media
