#pragma once

#include <cstdint>

#include "audio/mp3/frames/Mp3Info.h"

/// A Layer III frame's loudness changed without decoding it: every
/// granule's global gain field moves by `steps`, each 2^(1/4) (1.5 dB) of
/// amplitude, and a protected frame's check is made anew. Moving back by the
/// same steps restores the frame byte for byte, unless a field stopped at 0
/// or 255; the count of fields that stopped there is returned (0: exact).
/// `frame` holds the whole frame, `header` parsed from it.
int ShiftGlobalGain(uint8_t* frame, int frameBytes, const Mp3FrameHeader& header, int steps);

