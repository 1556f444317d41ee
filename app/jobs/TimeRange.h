#pragma once

#include <cstdint>
#include <optional>
#include <string>

/// A time or a duration as the tool takes it, in frames at `sampleRate`:
/// [[hh:]mm:]ss[.fraction] ("1:02:03.5", "5:00", "90", "5.0013"), the
/// fraction with any number of decimals, rounded to the nearest frame with
/// halves to the even one (as FrameOfMs rounds); or a frame count written
/// "123456s". Nothing when the text is none of these.
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
