#pragma once

#include <cstdint>
#include <optional>
#include <string>

/// A time given on a command line: hh:mm:ss.t (as the time boxes take it) or
/// seconds with up to three decimals ("12.345"). Milliseconds, or nothing
/// when the text is neither.
std::optional<int64_t> ParseTimeArgument(const std::string& text);

/// A position given on a command line, in frames at `sampleRate`: a time
/// (hh:mm:ss, hh:mm:ss.t, hh:mm:ss.ttt, any number of decimals) or seconds
/// with any number of decimals, rounded to the nearest frame with halves to
/// the even one; or a frame count written "123456s". Nothing when the text
/// is none of these.
std::optional<int64_t> ParseFrameArgument(const std::string& text, int sampleRate);

/// Frames StartSample..EndSample (inclusive; EndSample -1 for the end of the file).
struct FrameRange {
  int64_t startSample = 0;
  int64_t endSample = -1;
};

/// The frames of the times [startMs, endMs) in a file of `totalSamples` frames
/// at `sampleRate`: start = round(startMs x rate / 1000), end = round(endMs x
/// rate / 1000) - 1, an end past the file meaning its end. Nothing when the
/// start is not before the end or lies past the file.
std::optional<FrameRange> RangeOfTimes(int64_t startMs, int64_t endMs, int sampleRate, int64_t totalSamples);
