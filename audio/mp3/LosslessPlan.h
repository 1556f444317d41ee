#pragma once

#include <cstdint>

#include "audio/mp3/Mp3Stream.h"

/// Which frames a frame-copying cut of [start, end) keeps, and what its info
/// frame must tell a gapless decoder so that it delivers exactly those samples.
///
/// A decoder's first output samples are not yet right: a Layer III frame
/// takes part of its data from the frames before it (the bit reservoir), and
/// its first granule overlaps the previous one's. So the copy starts early
/// enough for the frame holding `start` to decode exactly as in the source,
/// and the encoder delay tells the decoder to drop what comes before it.
/// When those lead-in frames would be more than the delay field can tell
/// (4095 samples), they are replaced by one silent frame that carries the
/// reservoir bytes the kept frames need. A silent frame also goes first when
/// the range starts within the decoder delay of a file without a LAME tag:
/// it leaves the decoder as fresh as the file's start did, and gives the
/// decoder's delay something to drop.
struct LosslessPlan {
  int64_t firstFrame = 0;  // the source frames [firstFrame, lastFrame] are copied
  int64_t lastFrame = 0;
  bool silentFrame = false;  // a silent frame goes before them,
  int carriedBytes = 0;      // ending with this many reservoir bytes
  int delay = 0;             // the new encoder delay and padding
  int padding = 0;

  int64_t AudioFrames() const { return lastFrame - firstFrame + 1 + (silentFrame ? 1 : 0); }
};

/// Plans the cut of the samples [start, end) of the stream's gapless decode.
/// Raises Mp3StreamRefused, naming the reason, when no exact copy can be made.
LosslessPlan PlanLosslessCut(const Mp3Stream& stream, int64_t start, int64_t end);
