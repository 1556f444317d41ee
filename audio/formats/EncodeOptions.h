#pragma once

#include <cstdint>
#include <optional>

#include "audio/mp3/Mp3Settings.h"

/// How an encode writes its target; unset fields keep the defaults:
/// 128 kbps constant bit rate in the source's channels (MP3), 128 kbps
/// (WMA, Ogg Vorbis, Opus, M4A); FLAC has no settings.
struct EncodeOptions {
  std::optional<TMP3BitRate> mp3Bitrate;
  std::optional<TMP3Quality> vbrQuality;  // MP3 at a variable bit rate
  std::optional<TMP3Mode> mode;
  uint32_t bitrate = 128000;  // bits per second, of the formats other than MP3
};

/// The options an encode to a format takes, as bits.
enum EncodeOption : unsigned {
  kNoEncodeOptions = 0,
  kBitrateOption = 1,  // --bitrate
  kVbrOption = 2,      // --vbr
  kModeOption = 4,     // --mode
};
