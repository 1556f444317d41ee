#include "audio/codecs/Mp4CopyOut.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "audio/classes/AuException.h"
#include "audio/classes/FileIn.h"
#include "platform/Error.h"

namespace {

/// Packets copied a call.
constexpr int kPacketsAtOnce = 256;

}  // namespace

void TMp4CopyOut::Prepare() {
  auto* input = dynamic_cast<TAuFileIn*>(Input_);
  if (input == nullptr) throw EAuException("The input is not a file");
  if (FileName_.empty()) throw EAuException("File name is not assigned.");
  const int64_t total = input->TotalSamples();
  const int64_t start = std::clamp<int64_t>(input->StartSample(), 0, total);
  const int64_t end = input->EndSample() < 0 ? total : std::clamp<int64_t>(input->EndSample() + 1, start, total);
  if (start >= end) throw EAuException("The range holds no samples");
  finished_ = false;
  progress_ = 0;
  try {
    copy_ = std::make_unique<media::PacketCopy>(input->FileName(), FileName_, Traits().muxer, start, end);
  } catch (const std::runtime_error& e) {
    throw EAuException(KindOf(e), WithFileName(std::string(e.what()) + ": cut it without --lossless", input->FileName()));
  }
}

bool TMp4CopyOut::DoOutput(bool Abort) {
  if (Abort || finished_) return false;
  try {
    finished_ = !copy_->Step(kPacketsAtOnce);
    progress_ = copy_->Percent();
  } catch (const std::runtime_error& e) {
    ThrowKeepingKind(e, "Cannot copy the packets: ");
  }
  return !finished_;
}

void TMp4CopyOut::Done() {
  std::unique_ptr<media::PacketCopy> copy = std::move(copy_);
  if (!copy || !ExceptionMessage().empty() || !finished_) return;
  media::EncodedLength length;
  try {
    length = copy->Finish();
    copy.reset();
    WriteTags(length);
  } catch (const std::runtime_error& e) {
    ThrowKeepingKind(e, "Cannot finish the file: ");
  }
}
