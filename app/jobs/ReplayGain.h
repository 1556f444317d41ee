#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "audio/Forward.h"
#include "platform/FileTags.h"
#include "platform/Loudness.h"

/// ReplayGain 2.0 tags: the gain that brings a result to -18 LUFS, and its
/// true peak (1.0: full scale), written for what the result holds.
enum class ReplayGainMode { None, Track, Album };

using TagFields = std::vector<std::pair<std::string, std::string>>;

/// REPLAYGAIN_TRACK_GAIN and _PEAK (or ALBUM_) for audio that measured
/// `figures` before a gain of `factor` was applied; nothing for silence.
TagFields ReplayGainFields(const media::LoudnessFigures& figures, double factor, bool album);

/// Sets `fields` in the file's tags, replacing those of the same names and
/// keeping the rest. Throws std::runtime_error with the cause.
void SetTagFields(const std::string& fileName, media::TagContainer container, const TagFields& fields);
