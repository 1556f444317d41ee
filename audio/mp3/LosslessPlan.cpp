#include "audio/mp3/LosslessPlan.h"

#include <algorithm>
#include <string>

namespace {

constexpr int kLargestField = 4095;  // 12 bits of delay or padding
constexpr int kLargestReservoir[2] = {511, 255};  // MPEG 1, MPEG 2 and 2.5

}  // namespace

LosslessPlan PlanLosslessCut(const Mp3Stream& stream, int64_t start, int64_t end) {
  const int64_t total = stream.GaplessSamples();
  if (start < 0 || start >= end || end > total)
    throw Mp3StreamRefused("the range [" + std::to_string(start) + ", " + std::to_string(end) +
                           ") does not lie within the " + std::to_string(total) + " samples of the file");
  const auto& frames = stream.frames;
  const int spf = stream.first.samples;
  // Positions in the decoder's raw output, before anything is dropped.
  const int64_t rawStart = start + stream.SkippedAtStart();
  const int64_t rawEnd = end + stream.SkippedAtStart();

  // The frame holding the start decodes exactly when the granules before it
  // did: the frame before (two granules) in MPEG 1, the two before in MPEG 2.
  const int64_t startFrame = rawStart / spf;
  const int64_t exactFrom = std::max<int64_t>(0, startFrame - (stream.first.version == 1 ? 1 : 2));

  // Main data positions count the bytes of the frames' main data regions.
  auto regionSize = [&](int64_t i) { return frames[i].length - frames[i].regionOffset; };
  // The earliest main data byte a frame from exactFrom on reads, relative to
  // exactFrom's region: later frames reach back at most a reservoir's length.
  int64_t reach = -frames[exactFrom].mainDataBegin;
  const int largest = kLargestReservoir[stream.first.version == 1 ? 0 : 1];
  for (int64_t i = exactFrom + 1, regionAt = regionSize(exactFrom);
       i < static_cast<int64_t>(frames.size()) && regionAt - largest < 0; regionAt += regionSize(i), ++i)
    reach = std::min<int64_t>(reach, regionAt - frames[i].mainDataBegin);

  LosslessPlan plan;
  plan.lastFrame = (rawEnd - 1) / spf;
  plan.firstFrame = exactFrom;
  int64_t missing = -reach;  // reservoir bytes not yet in the copy
  while (missing > 0 && plan.firstFrame > 0) missing -= regionSize(--plan.firstFrame);
  int64_t delay = rawStart - plan.firstFrame * spf - kLayer3DecoderDelay;
  while (delay < 0 && plan.firstFrame > 0) --plan.firstFrame, delay += spf;

  if (delay < 0) {
    // A file without a LAME tag is decoded from its first sample, and a copy
    // with one always drops the decoder's delay: a silent frame in front
    // takes it, and decodes to a state as clean as the file's start.
    plan.silentFrame = true;
    delay += spf;
  } else if (delay > kLargestField) {
    // Only the reservoir bytes of the lead-in frames are needed: one silent
    // frame carries them, which keeps the lead-in within the delay field.
    if (missing > 0)
      throw Mp3StreamRefused("the MP3 stream is damaged: a frame refers to data before the start of the stream");
    plan.firstFrame = exactFrom;
    plan.silentFrame = true;
    plan.carriedBytes = static_cast<int>(-reach);
    delay = rawStart - exactFrom * spf + spf - kLayer3DecoderDelay;
  }
  // FFmpeg forgets what is left of the start skip when the frame that ends
  // the range comes with its end trim: a range inside one frame is exact
  // for it only in the first frame.
  const int64_t firstOut = delay + kLayer3DecoderDelay;
  if (firstOut / spf > 0 && firstOut / spf == (firstOut + end - start - 1) / spf)
    throw Mp3StreamRefused("a range this short, inside one MP3 frame, cannot be copied so that every decoder "
                           "starts and ends it exactly");
  if (plan.AudioFrames() < 2) {
    // FFmpeg finds a stream only where one frame follows another.
    if (plan.lastFrame + 1 < static_cast<int64_t>(frames.size())) ++plan.lastFrame;
    else if (plan.firstFrame > 0 && delay + spf <= kLargestField) --plan.firstFrame, delay += spf;
  }
  plan.delay = static_cast<int>(delay);
  const int64_t padding = plan.AudioFrames() * spf - delay - (end - start);
  if (padding < kLayer3DecoderDelay || padding > kLargestField)
    throw Mp3StreamRefused("the end of the range cannot be told to a decoder (padding " + std::to_string(padding) + ")");
  plan.padding = static_cast<int>(padding);
  return plan;
}
