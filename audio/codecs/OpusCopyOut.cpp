#include "audio/codecs/OpusCopyOut.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "audio/classes/AuException.h"
#include "audio/classes/FileIn.h"
#include "audio/classes/StreamBytes.h"
#include "platform/Error.h"

namespace {

/// What is decoded before the range and dropped. RFC 7845 asks for 80 ms
/// for an Opus decoder to converge; measured on noise and tones, its output
/// still differs by up to 4% of full scale 20 ms later and settles to the
/// very samples after about 400 ms: half a second is taken (a pre-skip can
/// hold 1.36 s).
constexpr int64_t kPreRoll = 24000;
constexpr int64_t kWindowBytes = 1 << 20;
/// Packets copied a call.
constexpr size_t kPacketsAtOnce = 512;

}  // namespace

void TOpusCopyOut::Write(const std::vector<uint8_t>& bytes) {
  if (Stream->Write(bytes.data(), static_cast<int64_t>(bytes.size())) != static_cast<int64_t>(bytes.size()))
    throw EAuException(std::string("Cannot write the file: ") + ErrnoText(errno ? errno : EIO));
}

const uint8_t* TOpusCopyOut::PacketBytes(const media::OggOpusPacket& packet) {
  packet_.clear();
  for (const auto& [offset, length] : packet.spans) {
    if (offset < windowAt_ || offset + length > windowAt_ + static_cast<int64_t>(window_.size())) {
      window_.resize(static_cast<size_t>(std::max(kWindowBytes, length)));
      source_->Seek(offset, TAuStream::FromBeginning);
      const int64_t got = source_->Read(window_.data(), static_cast<int64_t>(window_.size()));
      if (got < length) throw EAuException("The source file changed while it was read");
      window_.resize(static_cast<size_t>(got));
      windowAt_ = offset;
    }
    const uint8_t* from = window_.data() + (offset - windowAt_);
    packet_.insert(packet_.end(), from, from + length);
  }
  return packet_.data();
}

void TOpusCopyOut::Prepare() {
  progress_ = 0;
  auto* input = dynamic_cast<TAuFileIn*>(Input_);
  if (input == nullptr) throw EAuException("The input is not a file");
  if (FileName_.empty()) throw EAuException("File name is not assigned.");
  const std::string& sourceName = input->FileName();
  source_ = std::make_unique<TAuFileStream>(sourceName, TFileMode::Read);
  TStreamBytes bytes(*source_);
  auto scanned = media::ScanOggOpus(bytes);
  if (!scanned)
    throw EAuException(WithFileName("not a single Ogg Opus stream whose packets can be copied (chained, damaged, or "
                                    "another codec): cut it without --lossless",
                                    sourceName));
  stream_ = std::move(*scanned);
  windowAt_ = 0;
  window_.clear();
  const int64_t total = stream_.Samples();
  const int64_t start = std::clamp<int64_t>(input->StartSample(), 0, total);
  const int64_t end = input->EndSample() < 0 ? total : std::clamp<int64_t>(input->EndSample() + 1, start, total);
  if (start >= end) throw EAuException("The range holds no samples");
  length_ = end - start;
  // In granule positions, which count the source's pre-skip too.
  const int64_t from = start + stream_.preSkip, to = end + stream_.preSkip;
  const auto& packets = stream_.packets;
  first_ = 0;
  while (first_ + 1 < packets.size() && packets[first_ + 1].start <= from - kPreRoll) ++first_;
  if (packets[first_].start > from) throw EAuException(WithFileName("the range starts before the stream's first packet", sourceName));
  last_ = first_;
  while (last_ + 1 < packets.size() && packets[last_].start + packets[last_].duration < to) ++last_;
  preSkip_ = static_cast<int>(from - packets[first_].start);
  next_ = first_;

  std::vector<uint8_t> head = stream_.head;
  head[10] = static_cast<uint8_t>(preSkip_ & 0xFF);
  head[11] = static_cast<uint8_t>(preSkip_ >> 8);
  // Tags are written once the audio is in place, as for every result.
  std::vector<uint8_t> tags = {'O', 'p', 'u', 's', 'T', 'a', 'g', 's'};
  const std::string vendor = "Vorlun Clipwright";
  for (int i = 0; i < 4; ++i) tags.push_back(static_cast<uint8_t>(vendor.size() >> (8 * i)));
  tags.insert(tags.end(), vendor.begin(), vendor.end());
  tags.insert(tags.end(), {0, 0, 0, 0});
  pages_ = std::make_unique<media::OggPageWriter>(stream_.serial);
  pending_.clear();
  pages_->Add(head.data(), head.size(), 0, true, pending_);
  pages_->Add(tags.data(), tags.size(), 0, true, pending_);
  Stream = std::make_unique<TAuFileStream>(FileName_, TFileMode::Create);
  Write(pending_);
  pending_.clear();
}

bool TOpusCopyOut::DoOutput(bool Abort) {
  if (Abort) return false;
  const auto& packets = stream_.packets;
  const int64_t origin = packets[first_].start;
  for (size_t done = 0; next_ <= last_ && done < kPacketsAtOnce; ++next_, ++done) {
    const media::OggOpusPacket& packet = packets[next_];
    // The last granule position ends the stream at the range's end.
    const int64_t granule = next_ == last_ ? preSkip_ + length_ : packet.start + packet.duration - origin;
    pages_->Add(PacketBytes(packet), static_cast<size_t>(packet.bytes), granule, false, pending_);
  }
  if (next_ > last_) pages_->FinishStream(pending_);
  Write(pending_);
  pending_.clear();
  progress_ = static_cast<int>((next_ - first_) * 100 / (last_ - first_ + 1));
  return next_ <= last_;
}

void TOpusCopyOut::Done() {
  Stream.reset();
  source_.reset();
  pages_.reset();
  window_ = {};
  packet_ = {};
  if (ExceptionMessage().empty()) {
    try {
      WriteTags(media::EncodedLength{length_, preSkip_, 0});
    } catch (const std::runtime_error& e) {
      ThrowKeepingKind(e, "Cannot write the tags: ");
    }
  }
}
