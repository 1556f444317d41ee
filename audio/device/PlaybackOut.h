#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "audio/classes/AuOutput.h"

class AudioSink;

/// The output that plays its Input: the samples, as 16-bit, go to an audio
/// sink, which holds the worker back to the speed they sound at.
class TPlaybackOut : public TAuOutput {
 public:
  void SetSink(AudioSink* sink) { sink_ = sink; }
  /// Frames handed to the sink since the run started.
  int64_t FramesPlayed() const { return framesPlayed_; }

 protected:
  void Prepare() override;
  bool DoOutput(bool Abort) override;
  void Done() override;

 private:
  AudioSink* sink_ = nullptr;
  std::vector<int16_t> samples_;
  std::atomic<int64_t> framesPlayed_{0};
};
