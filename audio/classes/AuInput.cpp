#include "audio/classes/AuInput.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "audio/classes/AuException.h"
#include "audio/classes/AuOutput.h"
#include "audio/classes/MainThread.h"

TAuInput::TAuInput() = default;

TAuInput::~TAuInput() { DetachOutputs(); }

void TAuInput::Init() {
  std::lock_guard lock(DataLock);
  EndOfData_ = false;
  try {
    InitInternal();
  } catch (const std::exception& e) {
    EndOfData_ = true;
    ThrowKeepingKind(e);
  } catch (...) {
    EndOfData_ = true;
    throw EAuException("Unknown error");
  }
}

void TAuInput::Flush() {
  std::lock_guard lock(DataLock);
  FlushInternal();
}

void TAuInput::GetData(void*& Buffer, uint32_t& Bytes) {
  std::lock_guard lock(DataLock);
  GetDataInternal(Buffer, Bytes);
  Position_ += Bytes;
}

void TAuInput::Reset() {
  // A reset is how a run that went wrong gives up its input: a failure to
  // close it is told, not thrown at the one giving up.
  try {
    Flush();
  } catch (const std::exception& e) {
    MainThread::ReportFailure(e.what());
  }
  Busy_ = false;
}

int TAuInput::FillBuffer(void* Dest, int BufferSize, bool& EndOfInput) {
  auto* dest = static_cast<uint8_t*>(Dest);
  int filled = 0;
  EndOfInput = false;
  while (filled < BufferSize) {
    void* block = nullptr;
    uint32_t bytes = static_cast<uint32_t>(BufferSize - filled);
    GetData(block, bytes);
    if (bytes == 0) {
      EndOfInput = true;
      break;
    }
    bytes = std::min<uint32_t>(bytes, static_cast<uint32_t>(BufferSize - filled));
    std::memcpy(dest + filled, block, bytes);
    filled += static_cast<int>(bytes);
  }
  return filled;
}

int TAuInput::CopyData(void* Dest, int BufferSize) {
  if (BufferSize <= 0) return 0;
  void* block = nullptr;
  uint32_t bytes = static_cast<uint32_t>(BufferSize);
  GetData(block, bytes);
  bytes = std::min<uint32_t>(bytes, static_cast<uint32_t>(BufferSize));
  if (bytes > 0) std::memcpy(Dest, block, bytes);
  return static_cast<int>(bytes);
}

void TAuInput::AttachOutput(TAuOutput* output) {
  if (std::find(outputs_.begin(), outputs_.end(), output) == outputs_.end()) outputs_.push_back(output);
}

void TAuInput::DetachOutput(TAuOutput* output) { std::erase(outputs_, output); }

void TAuInput::DetachOutputs() {
  // SetInput(nullptr) calls DetachOutput, which shrinks the list.
  while (!outputs_.empty()) outputs_.back()->SetInput(nullptr);
}
