#pragma once

#include <cstdint>
#include <string>

/// Reads text as a signed 32-bit decimal integer: leading blanks and a sign
/// allowed, nothing after the digits. The program's one integer parser.
bool ParseInt32(const std::string& text, int32_t& value);

/// The frame a time in milliseconds falls on at `sampleRate`, rounded to the
/// nearest (halves to even): the one conversion cuts, ranges and the preview share.
int64_t FrameOfMs(int64_t ms, int sampleRate);
