#pragma once

#include <vector>

#include "audio/ACS_Classes.h"

/// A file input for headerless 16-bit stereo PCM at 44100 Hz; an empty file is not valid.
class RawFileIn : public TAuTaggedFileIn {
 public:
  int opens = 0;

 protected:
  void OpenFile() override {
    if (OpenCount > 0) return;
    Stream = std::make_unique<TAuFileStream>(FileName_, TFileMode::Read);
    OpenCount = 1;
    ++opens;
    Size_ = Stream->Size();
    Valid_ = Size_ > 0;
    BitsPerSample_ = Valid_ ? 16 : 0;
    Channels_ = Valid_ ? 2 : 0;
    SampleRate_ = Valid_ ? 44100 : 0;
  }

  void CloseFile() override {
    Stream.reset();
    OpenCount = 0;
  }

  void GetDataInternal(void*& Buffer, uint32_t& Bytes) override {
    buffer_.resize(std::min<uint32_t>(Bytes, 1000));
    Bytes = static_cast<uint32_t>(Stream->Read(buffer_.data(), static_cast<int64_t>(buffer_.size())));
    Buffer = buffer_.data();
  }

  bool SeekInternal(int64_t& SampleNum) override { return Stream->Seek(SampleNum * 4, TAuStream::FromBeginning) >= 0; }

 private:
  std::vector<uint8_t> buffer_;
};
