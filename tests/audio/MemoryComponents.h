#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "audio/ACS_Classes.h"

/// An input that delivers a byte pattern from memory in blocks of at most BlockSize.
class MemoryInput : public TAuInput {
 public:
  explicit MemoryInput(size_t bytes, uint8_t seed = 0) : data(bytes) {
    for (size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 7 + seed);
    AnnouncedSize = static_cast<int64_t>(bytes);
  }

  int BitsPerSample() override { return Bits; }
  int Channels() override { return ChannelCount; }
  int SampleRate() override { return Rate; }

  /// Replaces the data with interleaved 16-bit samples.
  void SetSamples(const std::vector<int16_t>& samples) {
    data.resize(samples.size() * 2);
    std::memcpy(data.data(), samples.data(), data.size());
    AnnouncedSize = static_cast<int64_t>(data.size());
  }

  int Bits = 16;
  int ChannelCount = 1;
  int Rate = 8000;

  /// Lets a test set the counters Progress reads.
  void SetCounters(int64_t position, int64_t size) {
    Position_ = position;
    Size_ = size;
  }

  std::vector<uint8_t> data;
  int64_t AnnouncedSize = 0;  // what Size reports during a run; -1 for unknown
  uint32_t BlockSize = 64;
  std::string InitError;
  std::string FlushError;
  std::string DeliveryError;  // GetData fails with this once data is asked for
  std::atomic<int> Flushes{0};
  /// A test can hold the input after a number of deliveries.
  std::atomic<int> DeliveriesAllowed{INT_MAX};
  std::atomic<int> Delivered{0};

 protected:
  void InitInternal() override {
    if (!InitError.empty()) throw std::runtime_error(InitError);
    Busy_ = true;
    Position_ = 0;
    Size_ = AnnouncedSize;
    offset_ = 0;
  }
  void FlushInternal() override {
    ++Flushes;
    Busy_ = false;
    if (!FlushError.empty()) throw std::runtime_error(FlushError);
  }
  void GetDataInternal(void*& Buffer, uint32_t& Bytes) override {
    while (Delivered >= DeliveriesAllowed) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ++Delivered;
    if (!DeliveryError.empty()) throw EAuException(DeliveryError);
    Bytes = static_cast<uint32_t>(std::min<size_t>({Bytes, BlockSize, data.size() - offset_}));
    Buffer = data.data() + offset_;
    offset_ += Bytes;
  }

 private:
  size_t offset_ = 0;
};

/// An output that copies its input into memory. A test can hold it after a
/// number of blocks (BlocksAllowed) to observe it while it runs; a held output
/// ends its run when a stop is requested, unless IgnoreStop is set.
class MemoryOutput : public TAuOutput {
 public:

  std::vector<uint8_t> written;
  std::string PrepareError;
  std::atomic<int> BlocksAllowed{INT_MAX};
  std::atomic<int> BlocksDone{0};
  std::atomic<bool> IgnoreStop{false};
  std::atomic<int> DoneCalls{0};
  std::string DoneError;  // Done fails with this message
  bool DoneThrowsNonStandard = false;  // Done throws something that is no std::exception

 protected:
  void Prepare() override {
    if (!PrepareError.empty()) throw EAuException(PrepareError);
    written.clear();
    BlocksDone = 0;
    Input_->Init();
  }

  bool DoOutput(bool Abort) override {
    if (Abort) return false;
    while (BlocksDone >= BlocksAllowed) {
      if (!IgnoreStop && Thread()->StopRequested) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void* block = nullptr;
    uint32_t bytes = 4096;
    Input_->GetData(block, bytes);
    if (bytes == 0) return false;
    const auto* begin = static_cast<const uint8_t*>(block);
    written.insert(written.end(), begin, begin + bytes);
    ++BlocksDone;
    return true;
  }

  void Done() override {
    ++DoneCalls;
    Input_->Flush();
    if (!DoneError.empty()) throw EAuException(DoneError);
    if (DoneThrowsNonStandard) throw 42;
  }
};
