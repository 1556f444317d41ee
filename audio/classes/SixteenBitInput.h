#pragma once

#include <cstdint>
#include <vector>

#include "audio/classes/AuInput.h"

/// Delivers what another input delivers as 16-bit samples: 8-bit samples
/// are widened, 24- and 32-bit samples keep their upper 16 bits. For writers
/// that take 16-bit samples only. Create it as Sealed<TSixteenBitInput>.
class TSixteenBitInput : public TAuInput {
 public:
  explicit TSixteenBitInput(TAuInput& source) : source_(source) {}

  int BitsPerSample() override { return 16; }
  int Channels() override { return source_.Channels(); }
  int SampleRate() override { return source_.SampleRate(); }
  int64_t TotalSamples() override { return source_.TotalSamples(); }
  int TotalTime() override { return source_.TotalTime(); }

 protected:
  void InitInternal() override;
  void FlushInternal() override;
  void GetDataInternal(void*& Buffer, uint32_t& Bytes) override;

 private:
  TAuInput& source_;
  int sourceBytes_ = 2;  // per sample
  std::vector<int16_t> buffer_;
};
