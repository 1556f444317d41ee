#include "audio/classes/SixteenBitInput.h"

#include "audio/classes/Convert.h"

void TSixteenBitInput::InitInternal() {
  source_.Init();
  Busy_ = true;
  Position_ = 0;
  sourceBytes_ = source_.BitsPerSample() / 8;
  FrameSize_ = static_cast<uint16_t>(source_.Channels() * 2);
  const int64_t size = source_.Size();
  Size_ = size < 0 || sourceBytes_ <= 0 ? size : size / sourceBytes_ * 2;
}

void TSixteenBitInput::FlushInternal() {
  source_.Flush();
  Busy_ = false;
}

void TSixteenBitInput::GetDataInternal(void*& Buffer, uint32_t& Bytes) {
  void* block = nullptr;
  uint32_t wanted = Bytes / 2 * static_cast<uint32_t>(sourceBytes_);
  source_.GetData(block, wanted);
  const size_t samples = wanted / static_cast<uint32_t>(sourceBytes_);
  buffer_.resize(samples);
  SampleConvert::ToShort(static_cast<const uint8_t*>(block), samples, sourceBytes_ * 8, buffer_.data());
  Buffer = buffer_.data();
  Bytes = static_cast<uint32_t>(samples * 2);
}
