#include "audio/classes/FileIn.h"

#include <algorithm>
#include <cmath>

#include "audio/classes/AuException.h"

TAuStreamedInput::TAuStreamedInput() { Seekable_ = true; }

void TAuStreamedInput::Account(uint32_t& Bytes, bool shorten) {
  if (Bytes == 0) {
    EndOfData_ = true;
    // Ending short would pass a damaged or shrunken file off as a whole one.
    if (!Loop_ && Position_ < Promised_)
      throw EAuException(SourceName() + " ended early: the file is damaged or changed while it was read");
    return;
  }
  Position_ += Bytes;
  const int64_t size = Size_;
  if (size > 0 && Position_ >= size) {
    EndOfData_ = true;
    if (shorten && Position_ > size) {
      Bytes -= static_cast<uint32_t>(Position_ - size);
      Position_ = size;
    }
  }
}

void TAuStreamedInput::GetData(void*& Buffer, uint32_t& Bytes) {
  std::lock_guard lock(DataLock);
  if (EndOfData_) {
    Buffer = nullptr;
    Bytes = 0;
    return;
  }
  const uint32_t wanted = Bytes;
  GetDataInternal(Buffer, Bytes);
  Account(Bytes, true);
  if (EndOfData_ && Loop_) {
    // The block that reached the end is dropped; delivery goes on from the start.
    EndOfData_ = false;
    if (Seekable_) {
      int64_t start = StartSample_;
      SeekInternal(start);
    } else {
      Flush();
      Init();
    }
    Position_ = 0;
    Bytes = wanted;
    GetDataInternal(Buffer, Bytes);
    Account(Bytes, false);
  }
}

int64_t TAuStreamedInput::DeliverTo(int fd, int64_t Bytes) {
  std::lock_guard lock(DataLock);
  if (Loop_) return -1;
  if (EndOfData_) return 0;
  if (Size_ > 0) Bytes = std::min<int64_t>(Bytes, Size_ - Position_);
  Bytes -= Bytes % std::max<int64_t>(FrameSize_, 1);
  const int64_t moved = Bytes > 0 ? CopyInternal(fd, Bytes) : 0;
  if (moved < 0) return -1;
  uint32_t counted = static_cast<uint32_t>(moved);
  Account(counted, false);
  return moved;
}

void TAuFileIn::SetFileName(const std::string& value) {
  {
    std::lock_guard lock(FileLock);
    CloseFile();
  }
  FileName_ = value;
}

void TAuFileIn::Open() {
  std::lock_guard lock(FileLock);
  OpenFile();
}

bool TAuFileIn::Valid() {
  Open();
  return Valid_;
}

int TAuFileIn::BitsPerSample() {
  Open();
  return BitsPerSample_;
}

int TAuFileIn::Channels() {
  Open();
  return Channels_;
}

int TAuFileIn::SampleRate() {
  Open();
  return SampleRate_;
}

int64_t TAuFileIn::TotalSamples() {
  Open();
  const int64_t frameSize = static_cast<int64_t>(Channels_) * (BitsPerSample_ / 8);
  TotalSamples_ = Size_ > 0 && frameSize > 0 ? Size_ / frameSize : -1;
  return TotalSamples_;
}

int TAuFileIn::TotalTime() {
  Open();
  const int64_t bytesPerSecond = static_cast<int64_t>(SampleRate_) * Channels_ * (BitsPerSample_ / 8);
  if (bytesPerSecond == 0) return 0;
  return static_cast<int>(std::nearbyint(static_cast<double>(Size_) / static_cast<double>(bytesPerSecond)));
}

bool TAuFileIn::Seek(int64_t SampleNum) {
  if (!Seekable_ || (TotalSamples_ != 0 && TotalSamples_ < SampleNum)) return false;
  std::lock_guard lock(DataLock);
  if (!Busy_) {
    StartSample_ = SampleNum;
    Position_ = SampleNum * FrameSize_;
    EndSample_ = -1;
    return true;
  }
  int64_t target = StartSample_ + SampleNum;
  const bool sought = SeekInternal(target);  // a file that cannot be positioned fails the run
  Position_ = SampleNum * FrameSize_;
  return sought;
}

void TAuFileIn::EndOfLife() {
  TAuStreamedInput::EndOfLife();
  std::lock_guard lock(FileLock);
  CloseFile();
}

void TAuFileIn::Reset() {
  TAuInput::Reset();
  OpenCount = 0;
}

void TAuFileIn::InitInternal() {
  if (Busy_) throw EAuException("The component is Busy");
  if (FileName_.empty()) throw EAuException("The file name is not assigned");
  Busy_ = true;
  Position_ = 0;
  Promised_ = 0;
  Open();
  if (!Valid_) {
    // Unrecognised or unreadable: a silent format and no data.
    SampleRate_ = 8000;
    BitsPerSample_ = 8;
    Channels_ = 1;
    Size_ = 0;
    TotalSamples_ = 0;
    EndOfData_ = true;
    return;
  }
  FrameSize_ = static_cast<uint16_t>(Channels_ * BitsPerSample_ / 8);
  if (FrameSize_ == 0) throw EAuException("The file has no samples to deliver");
  TotalSamples_ = Size_ / FrameSize_;
  if (StartSample_ > 0) {
    // A range that cannot be reached must not deliver the wrong frames.
    if (!Seek(0)) throw EAuException("Cannot move to the start of the selected range");
    Position_ = 0;
  }
  if (StartSample_ > 0 || EndSample_ != -1) {
    // The last frame is TotalSamples - 1. Counting one more would make a
    // writer that fills up to the counted size add a silent frame.
    if (EndSample_ >= TotalSamples_) EndSample_ = -1;
    const int64_t last = EndSample_ == -1 ? TotalSamples_ - 1 : EndSample_;
    TotalSamples_ = last - std::max<int64_t>(StartSample_, 0) + 1;
    if (TotalSamples_ <= 0) {
      // An empty or reversed range delivers nothing.
      TotalSamples_ = 0;
      Size_ = 0;
      EndOfData_ = true;
    } else {
      Size_ = TotalSamples_ * FrameSize_;
    }
  }
  // Every frame counted for the run is owed: the input counts only what its file holds.
  Promised_ = TotalSamples_ * FrameSize_;
  BufStart_ = 1;
  BufEnd_ = 0;
}

void TAuFileIn::FlushInternal() {
  {
    std::lock_guard lock(FileLock);
    CloseFile();
  }
  StartSample_ = 0;
  EndSample_ = -1;
  Busy_ = false;
}
