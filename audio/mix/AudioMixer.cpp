#include "audio/mix/AudioMixer.h"

#include <algorithm>
#include <cstring>

#include "audio/classes/AuException.h"
#include "audio/classes/Convert.h"
#include "audio/mix/MatchedInput.h"

namespace {

constexpr uint16_t kFullVolume = 65535;

float Gain(uint16_t volume) { return static_cast<float>(volume) / 65535.0f; }

}  // namespace

TAudioMixer::TAudioMixer() = default;
TAudioMixer::~TAudioMixer() = default;

void TAudioMixer::SetInput1(TAuInput* value) {
  if (MixerBusy) throw EAuException("The component is busy.");
  Input1_ = value;
}

void TAudioMixer::SetInput2(TAuInput* value) {
  if (MixerBusy) throw EAuException("The component is busy.");
  Input2_ = value;
}

int TAudioMixer::BitsPerSample() {
  if (!Input1_) throw EAuException("Input not assigned");
  return Input1_->BitsPerSample();
}

int TAudioMixer::Channels() {
  if (!Input1_) throw EAuException("Input not assigned");
  return Input1_->Channels();
}

int TAudioMixer::SampleRate() {
  if (!Input1_) throw EAuException("Input not assigned");
  return Input1_->SampleRate();
}

void TAudioMixer::InitInternal() {
  Position_ = 0;
  SamplesDelivered_ = 0;
  EndOfInput1 = false;
  EndOfInput2 = false;
  if (!Input1_) throw EAuException("Input1 is not assigned");
  if (!Input2_) throw EAuException("Input2 is not assigned");
  MixerBusy = true;
  Busy_ = true;
  try {
    StartInputs();
  } catch (...) {
    // A run that did not start leaves nothing open and the mixer free.
    try {
      FlushInternal();
    } catch (...) {
    }
    throw;
  }
}

void TAudioMixer::StartInputs() {
  Input1_->Init();
  Input2_->Init();
  Width1 = Input1_->BitsPerSample() / 8;
  const int channels = Input1_->Channels();
  FrameSize_ = static_cast<uint16_t>(Width1 * channels);
  input2_ = std::make_unique<MatchedInput>(*Input2_, channels, Input1_->SampleRate());
  Input2StartsAt_ = Mode_ == amMix ? Input2StartSample_ * channels : 0;

  const int64_t samples1 = Input1_->Size() < 0 ? -1 : Input1_->Size() / Width1;
  const int64_t samples2 = input2_->Samples();
  samples1_ = samples1;
  overlapDone_ = 0;
  overlapSamples_ = Mode_ == amConcatenate && samples1 >= 0 && samples2 >= 0
                        ? std::min({Overlap_ * channels, samples1, samples2}) / channels * channels
                        : 0;
  if (samples1 < 0 || samples2 < 0) Size_ = -1;
  else if (Mode_ == amConcatenate) Size_ = Width1 * (samples1 + samples2 - overlapSamples_);
  else Size_ = Width1 * std::max(samples1, Input2StartsAt_ + samples2);

  Raw1.assign(static_cast<size_t>(kBlockSamples) * std::max(Width1, input2_->Width()), 0);
  if (overlapSamples_ > 0) Raw2.assign(Raw1.size(), 0);
  Float1.assign(kBlockSamples, 0.0f);
  Float2.assign(kBlockSamples, 0.0f);
}

void TAudioMixer::FlushInternal() {
  // Both inputs end their runs, whatever the first one says.
  std::exception_ptr failure;
  for (TAuInput* input : {Input1_, Input2_}) {
    if (!input) continue;
    try {
      input->Flush();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  input2_.reset();
  Raw1 = {};
  Raw2 = {};
  Float1 = {};
  Float2 = {};
  MixerBusy = false;
  Busy_ = false;
  if (failure) std::rethrow_exception(failure);
}

void TAudioMixer::GetDataInternal(void*& Buffer, uint32_t& Bytes) {
  const int channels = Input1_->Channels();
  int samples = std::min<int>(kBlockSamples, static_cast<int>(Bytes / static_cast<uint32_t>(Width1)));
  samples -= samples % channels;
  if ((EndOfInput1 && EndOfInput2) || samples <= 0) {
    Buffer = nullptr;
    Bytes = 0;
    return;
  }
  if (Mode_ == amMix) Mix(samples, Buffer, Bytes);
  else Concatenate(samples, Buffer, Bytes);
  SamplesDelivered_ += Bytes / static_cast<uint32_t>(Width1);
}

int TAudioMixer::ReadInput1(int samples, bool passThrough) {
  if (EndOfInput1) return 0;
  bool ended = false;
  const int got = Input1_->FillBuffer(Raw1.data(), samples * Width1, ended) / Width1;
  if (ended) EndOfInput1 = true;
  if (!passThrough && got > 0) {
    SampleConvert::ToFloat(Raw1.data(), Float1.data(), got, Width1);
    const float gain = Gain(Volume1_);
    for (int i = 0; i < got; ++i) Float1[i] *= gain;
  }
  return got;
}

void TAudioMixer::Mix(int samples, void*& Buffer, uint32_t& Bytes) {
  std::fill_n(Float1.begin(), samples, 0.0f);
  std::fill_n(Float2.begin(), samples, 0.0f);
  const int got1 = ReadInput1(samples, false);

  // Input2 comes in at its start, which may lie inside this block.
  int end2 = 0;
  if (!EndOfInput2) {
    const int64_t offset = std::max<int64_t>(0, Input2StartsAt_ - SamplesDelivered_);
    if (offset < samples) {
      const int at = static_cast<int>(offset);
      const int got2 = input2_->Read(Float2.data() + at, samples - at);
      if (got2 < samples - at) EndOfInput2 = true;
      const float gain = Gain(Volume2_);
      for (int i = at; i < at + got2; ++i) Float2[i] *= gain;
      end2 = at + got2;
    } else {
      end2 = samples;  // silence until Input2 comes in
    }
  }
  for (int i = 0; i < samples; ++i) Float1[i] = (Float1[i] + Float2[i]) / 2;
  const int delivered = std::max(got1, end2);
  SampleConvert::FromFloat(Float1.data(), Raw1.data(), delivered, Width1);
  Buffer = Raw1.data();
  Bytes = static_cast<uint32_t>(delivered * Width1);
}

void TAudioMixer::Concatenate(int samples, void*& Buffer, uint32_t& Bytes) {
  Buffer = Raw1.data();
  if (!EndOfInput1 && overlapSamples_ > 0) {
    const int channels = Input1_->Channels();
    const int64_t before = samples1_ - overlapSamples_ - SamplesDelivered_;  // Input1's samples before the overlap
    if (before > 0) {
      samples = static_cast<int>(std::min<int64_t>(samples, before));
    } else if (overlapDone_ < overlapSamples_) {
      // Both at once, added: each was faded to make the sum a crossfade.
      samples = static_cast<int>(std::min<int64_t>(samples, overlapSamples_ - overlapDone_)) / channels * channels;
      const int got1 = ReadInput1(samples, false);
      int got2 = 0;
      if (input2_->SameLayout() && input2_->Width() == Width1) {
        // Read as it is, so that what follows the overlap can still pass unchanged.
        bool ended = false;
        got2 = input2_->ReadRaw(Raw2.data(), got1, ended);
        SampleConvert::ToFloat(Raw2.data(), Float2.data(), got2, Width1);
        if (ended) EndOfInput2 = true;
      } else {
        got2 = input2_->Read(Float2.data(), got1);
      }
      const float gain = Gain(Volume2_);
      for (int i = 0; i < got2; ++i) Float1[i] += Float2[i] * gain;
      SampleConvert::FromFloat(Float1.data(), Raw1.data(), got1, Width1);
      overlapDone_ += got1;
      if (got1 < samples) EndOfInput1 = true;
      Bytes = static_cast<uint32_t>(got1 * Width1);
      if (got1 > 0) return;
    }
  }
  if (!EndOfInput1) {
    // At full volume the samples pass unchanged.
    const bool passThrough = Volume1_ == kFullVolume;
    const int got1 = ReadInput1(samples, passThrough);
    if (!passThrough) SampleConvert::FromFloat(Float1.data(), Raw1.data(), got1, Width1);
    Bytes = static_cast<uint32_t>(got1 * Width1);
    if (got1 > 0) return;
  }
  Bytes = 0;
  if (EndOfInput2) return;
  int got2 = 0;
  if (Volume2_ == kFullVolume && input2_->SameLayout() && input2_->Width() == Width1) {
    bool ended = false;
    got2 = input2_->ReadRaw(Raw1.data(), samples, ended);
    if (ended) EndOfInput2 = true;
  } else {
    got2 = input2_->Read(Float2.data(), samples);
    if (got2 < samples) EndOfInput2 = true;
    const float gain = Gain(Volume2_);
    for (int i = 0; i < got2; ++i) Float2[i] *= gain;
    SampleConvert::FromFloat(Float2.data(), Raw1.data(), got2, Width1);
  }
  Bytes = static_cast<uint32_t>(got2 * Width1);
}
