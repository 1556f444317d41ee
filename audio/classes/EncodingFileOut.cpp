#include "audio/classes/EncodingFileOut.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "audio/classes/AuException.h"

void TEncodingFileOut::StartInput() {
  Input_->Init();
  inputStarted_ = true;
  // A tenth of a second in whole frames: at 11,025 Hz a tenth of the bytes
  // of a second is half a frame more, which an encoder would drop.
  const int64_t frameBytes = int64_t{Input_->Channels()} * Input_->BitsPerSample() / 8;
  const int64_t frames = std::max<int64_t>(Input_->SampleRate() / 10, 1);
  block_.assign(static_cast<size_t>(std::max<int64_t>(frameBytes, 1) * frames), 0);
  endOfInput_ = false;
}

bool TEncodingFileOut::DoOutput(bool Abort) {
  if (!CanOutput()) return true;
  if (Abort || endOfInput_) return false;
  const int read = Input_->FillBuffer(block_.data(), static_cast<int>(block_.size()), endOfInput_);
  try {
    Encode(block_.data(), static_cast<size_t>(read));
  } catch (const std::runtime_error& e) {
    ThrowKeepingKind(e, "Failed to write data: ");
  }
  return true;
}

void TEncodingFileOut::EndInput() {
  if (inputStarted_) {
    inputStarted_ = false;
    Input_->Flush();
  }
  block_ = {};
}
