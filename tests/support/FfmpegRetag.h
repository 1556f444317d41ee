#pragma once

#include <map>
#include <string>

/// Copies the MP3 file `source` to `target` through FFmpeg's own muxer, which
/// writes an ID3v2 tag of `metadata` (FFmpeg's keys: "comment", "genre",
/// "track"...) as files tagged by FFmpeg have it.
void RetagWithFfmpeg(const std::string& source, const std::string& target,
                     const std::map<std::string, std::string>& metadata);
