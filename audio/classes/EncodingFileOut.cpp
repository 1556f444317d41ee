#include "audio/classes/EncodingFileOut.h"

#include <stdexcept>
#include <string>

#include "audio/classes/AuException.h"

void TEncodingFileOut::StartInput() {
  Input_->Init();
  inputStarted_ = true;
  const int64_t bytesPerSecond = int64_t{Input_->Channels()} * Input_->BitsPerSample() / 8 * Input_->SampleRate();
  block_.assign(static_cast<size_t>(bytesPerSecond / 10), 0);
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
