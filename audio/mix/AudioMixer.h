#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/classes/AuInput.h"

class MatchedInput;

enum TAudioMixerMode { amMix = 0, amConcatenate = 1 };

/// An input that combines two inputs: amMix plays them at once (each sample
/// the average of the two gained inputs), amConcatenate delivers all of
/// Input1, then all of Input2. The result has Input1's format; Input2 is
/// converted to Input1's sample width, channel count and sample rate.
class TAudioMixer : public TAuInput {
 public:
  /// Samples (not frames) per delivery at most.
  static constexpr int kBlockSamples = 4096;

  TAudioMixer();
  ~TAudioMixer() override;

  TAuInput* Input1() const { return Input1_; }
  /// Raises "The component is busy." during a run.
  void SetInput1(TAuInput* value);
  TAuInput* Input2() const { return Input2_; }
  void SetInput2(TAuInput* value);
  TAudioMixerMode Mode() const { return Mode_; }
  void SetMode(TAudioMixerMode value) { Mode_ = value; }
  /// amMix: the frame of Input1 at which Input2 starts.
  int64_t Input2StartSample() const { return Input2StartSample_; }
  void SetInput2StartSample(int64_t value) { Input2StartSample_ = value < 0 ? 0 : value; }
  /// amConcatenate: frames at the end of Input1 that Input2's first frames
  /// are added to (a crossfade, each side faded beforehand); the result is
  /// that much shorter. Held to the shorter input.
  int64_t Overlap() const { return Overlap_; }
  void SetOverlap(int64_t frames) { if (!MixerBusy) Overlap_ = std::max<int64_t>(frames, 0); }
  /// Gain of each input as Volume / 65535.
  uint16_t Volume1() const { return Volume1_; }
  void SetVolume1(uint16_t value) { Volume1_ = value; }
  uint16_t Volume2() const { return Volume2_; }
  void SetVolume2(uint16_t value) { Volume2_ = value; }

  /// Input1's format; raise "Input not assigned" without Input1.
  int BitsPerSample() override;
  int Channels() override;
  int SampleRate() override;

 protected:
  void InitInternal() override;
  void FlushInternal() override;
  void GetDataInternal(void*& Buffer, uint32_t& Bytes) override;

 private:
  /// Starts both inputs' runs and sets up the buffers.
  void StartInputs();
  void Mix(int samples, void*& Buffer, uint32_t& Bytes);
  void Concatenate(int samples, void*& Buffer, uint32_t& Bytes);
  /// Input1's next samples, gained, into Raw1; the count read.
  int ReadInput1(int samples, bool passThrough);

  TAuInput* Input1_ = nullptr;
  TAuInput* Input2_ = nullptr;
  TAudioMixerMode Mode_ = amMix;
  int64_t Input2StartSample_ = 0;
  int64_t Overlap_ = 0;
  int64_t samples1_ = -1;          // Input1's this run, -1 unknown
  int64_t overlapSamples_ = 0;     // of this run
  int64_t overlapDone_ = 0;
  uint16_t Volume1_ = 65535;
  uint16_t Volume2_ = 65535;

  bool EndOfInput1 = false;
  bool EndOfInput2 = false;
  std::vector<uint8_t> Raw1;
  std::vector<uint8_t> Raw2;  // Input2's bytes in an overlap
  std::vector<float> Float1;
  std::vector<float> Float2;
  int Width1 = 0;
  bool MixerBusy = false;
  int64_t SamplesDelivered_ = 0;    // samples of Input1's layout delivered this run
  int64_t Input2StartsAt_ = 0;      // the same count at which Input2 comes in (amMix)
  std::unique_ptr<MatchedInput> input2_;  // Input2 in Input1's layout
};
