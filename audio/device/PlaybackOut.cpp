#include "audio/device/PlaybackOut.h"

#include "audio/classes/AuInput.h"
#include "audio/classes/Convert.h"
#include "platform/AudioSink.h"

namespace {

/// Interleaved samples of any width as 16-bit.
void To16Bit(const uint8_t* in, uint32_t bytes, int bits, std::vector<int16_t>& out) {
  out.resize(bytes / static_cast<uint32_t>(bits / 8));
  SampleConvert::ToShort(in, out.size(), bits, out.data());
}

}  // namespace

void TPlaybackOut::Prepare() {
  framesPlayed_ = 0;
  Input_->Init();
}

bool TPlaybackOut::DoOutput(bool Abort) {
  if (Abort || sink_ == nullptr) return false;
  void* block = nullptr;
  uint32_t bytes = 8192;
  Input_->GetData(block, bytes);
  if (bytes == 0) return false;
  To16Bit(static_cast<const uint8_t*>(block), bytes, Input_->BitsPerSample(), samples_);
  if (!sink_->Write(reinterpret_cast<const char*>(samples_.data()), samples_.size() * 2)) return false;
  framesPlayed_ += static_cast<int64_t>(samples_.size()) / Input_->Channels();
  return true;
}

void TPlaybackOut::Done() {
  // However the run ended, nothing more comes: the sink plays out what it holds.
  if (sink_) sink_->EndOfData();
  Input_->Flush();
}
