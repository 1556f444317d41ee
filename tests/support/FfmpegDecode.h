#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Decodes a whole file with FFmpeg directly (its own file reading, no seeks)
/// into interleaved 16-bit samples: the reference the inputs are checked against.
std::vector<int16_t> DecodeWithFfmpeg(const std::string& fileName);

/// The audio stream's length in samples as its container tells it (an MP4
/// file's edit list), read with FFmpeg directly.
int64_t StreamDurationSamples(const std::string& fileName);

/// What FFmpeg's demuxer and decoder report as errors while decoding the
/// whole file: what `ffmpeg -v error` prints.
std::vector<std::string> FfmpegErrors(const std::string& fileName);
