#pragma once

#include <cstdint>
#include <memory>
#include <vector>

/// Decodes MPEG audio frames handed over one by one (the bytes of exactly
/// one frame each) with FFmpeg's decoder, into interleaved 16-bit samples
/// converted exactly as the media reader converts them. A frame whose bit
/// reservoir lies in frames the decoder has not seen decodes wrongly or to
/// nothing: callers start a few frames early and drop what those give.
class Mp3FrameDecoder {
 public:
  /// Raises std::runtime_error when FFmpeg's MP3 decoder cannot be had.
  Mp3FrameDecoder(int channels, int sampleRate);
  ~Mp3FrameDecoder();
  Mp3FrameDecoder(const Mp3FrameDecoder&) = delete;
  Mp3FrameDecoder& operator=(const Mp3FrameDecoder&) = delete;

  /// Decodes one frame and appends its samples to `out`; returns the frames
  /// (samples per channel) appended.
  int Decode(const uint8_t* frame, int bytes, std::vector<int16_t>& out);
  /// Forgets every frame seen, as before a jump.
  void Reset();

 private:
  struct State;
  std::unique_ptr<State> state_;
};
