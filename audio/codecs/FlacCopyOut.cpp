#include "audio/codecs/FlacCopyOut.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "audio/classes/AuException.h"
#include "audio/classes/FileIn.h"
#include "audio/classes/StreamBytes.h"
#include "platform/Encoder.h"
#include "platform/Error.h"
#include "platform/Leftovers.h"

namespace {

/// A frame shorter than this is not begun where a range starts: the format
/// asks for blocks of 16 samples or more, but for the last one.
constexpr int64_t kLeastBlock = 16;
/// The most samples a FLAC frame holds.
constexpr int64_t kMostBlock = 65535;
/// The source's bytes read at once while frames are copied.
constexpr int64_t kCopyBytes = 1 << 20;

}  // namespace

int TFlacCopyOut::Progress() const { return copying_ ? progress_.load() : TCodecOut::Progress(); }

void TFlacCopyOut::Write(const void* data, size_t size) {
  if (Stream->Write(data, static_cast<int64_t>(size)) != static_cast<int64_t>(size))
    throw EAuException(std::string("Cannot write the file: ") + ErrnoText(errno ? errno : EIO));
}

bool TFlacCopyOut::PlanCopy() {
  auto* input = dynamic_cast<TAuFileIn*>(Input_);
  // Native FLAC into native FLAC only (not FLAC in Ogg or MP4).
  if (input == nullptr || Traits().tags != media::TagContainer::Flac) return false;
  try {
    source_ = std::make_unique<TAuFileStream>(input->FileName(), TFileMode::Read);
  } catch (const std::exception&) {
    return false;  // the encoding path says why
  }
  const int64_t total = input->TotalSamples();
  start_ = std::clamp<int64_t>(input->StartSample(), 0, total);
  end_ = input->EndSample() < 0 ? total : std::clamp<int64_t>(input->EndSample() + 1, start_, total);
  if (start_ >= end_) throw EAuException("The range holds no samples");
  // The frames up to the range's end; those that hold its samples are checked by their CRC-16.
  TStreamBytes bytes(*source_);
  auto scanned = media::ScanFlacStream(bytes, {.checkFrom = start_, .until = end_});
  const bool usable = scanned && (scanned->info.bits == 16 || scanned->info.bits == 24) &&
                      (Bits() == 0 || Bits() == scanned->info.bits) && scanned->Samples() >= end_;
  if (!usable) {
    source_.reset();
    return false;
  }
  stream_ = std::move(*scanned);

  // Copied: the frames from the first that starts at the range's start (or
  // 16 samples or more after it) to the last that ends inside the range.
  const auto& frames = stream_.frames;
  copyFrom_ = 0;
  while (copyFrom_ < frames.size() && !(frames[copyFrom_].firstSample == start_ ||
                                        frames[copyFrom_].firstSample >= start_ + kLeastBlock))
    ++copyFrom_;
  copyTo_ = copyFrom_;
  while (copyTo_ < frames.size() && frames[copyTo_].firstSample + frames[copyTo_].blockSize <= end_) ++copyTo_;
  if (copyTo_ <= copyFrom_) {
    copyFrom_ = copyTo_ = frames.size();  // nothing to copy: the range is encoded whole
    head_ = EncodeEdge(start_, end_);
  } else {
    if (frames[copyFrom_].firstSample > start_) head_ = EncodeEdge(start_, frames[copyFrom_].firstSample);
    const int64_t copiedEnd = frames[copyTo_ - 1].firstSample + frames[copyTo_ - 1].blockSize;
    if (copiedEnd < end_) tail_ = EncodeEdge(copiedEnd, end_);
  }
  copyBytes_ = 0;
  for (size_t i = copyFrom_; i < copyTo_; ++i) copyBytes_ += frames[i].bytes;
  return true;
}

std::vector<TFlacCopyOut::Frame> TFlacCopyOut::EncodeEdge(int64_t from, int64_t to) {
  auto* input = dynamic_cast<TAuFileIn*>(Input_);
  input->SetStartSample(from);
  input->SetEndSample(to - 1);
  // The frames at the two edges, encoded anew before they are copied in.
  const Leftovers::ScratchFile edge(std::filesystem::temp_directory_path().string(), "clipwright-flac-");
  {
    input->Init();
    const media::PcmLayout layout{input->Channels(), input->SampleRate(), input->BitsPerSample()};
    media::EncoderSettings settings;
    settings.codec = "flac";
    settings.muxer = "flac";
    settings.rate = stream_.info.sampleRate;
    settings.bits = stream_.info.bits;
    // One frame for an edge where it can be: a short frame may only come last.
    settings.frameSize = static_cast<int>(std::clamp<int64_t>(to - from, kLeastBlock, kMostBlock));
    try {
      media::Encoder encoder(settings, layout, edge.Name());
      for (;;) {
        void* data = nullptr;
        uint32_t size = 1 << 16;
        input->GetData(data, size);
        if (size == 0) break;
        encoder.Write(static_cast<const uint8_t*>(data), size);
      }
      encoder.Finish();
    } catch (const std::runtime_error& e) {
      input->Flush();
      ThrowKeepingKind(e, "Encoder error: ");
    }
    input->Flush();
  }
  TAuFileStream file(edge.Name(), TFileMode::Read);
  TStreamBytes bytes(file);
  const auto encoded = media::ScanFlacStream(bytes);
  if (!encoded || encoded->Samples() != to - from)
    throw EAuException("The FLAC encoder wrote other samples than it was given");
  std::vector<Frame> frames;
  for (const media::FlacFrameSpan& span : encoded->frames) {
    Frame frame;
    frame.bytes.resize(static_cast<size_t>(span.bytes));
    if (bytes.ReadAt(span.offset, frame.bytes.data(), span.bytes) != span.bytes)
      throw EAuException("The encoded edge could not be read back");
    frame.blockSize = span.blockSize;
    frames.push_back(std::move(frame));
  }
  return frames;
}

void TFlacCopyOut::AppendFrame(const uint8_t* frame, size_t size, int64_t at) {
  if (!media::AppendFrameStartingAt(pending_, frame, size, static_cast<uint64_t>(at)))
    throw EAuException("A FLAC frame of the source could not be read again: " + FileName_);
}

void TFlacCopyOut::Flush() {
  Write(pending_.data(), pending_.size());
  pending_.clear();
}

void TFlacCopyOut::Prepare() {
  if (FileName_.empty()) throw EAuException("File name is not assigned.");
  progress_ = 0;
  copiedBytes_ = 0;
  written_ = 0;
  head_.clear();
  tail_.clear();
  copying_ = PlanCopy();
  if (!copying_) return TCodecOut::Prepare();
  next_ = copyFrom_;

  // The block sizes of all frames but the last one bound STREAMINFO's.
  std::vector<int> blocks;
  for (const Frame& frame : head_) blocks.push_back(frame.blockSize);
  for (size_t i = copyFrom_; i < copyTo_; ++i) blocks.push_back(stream_.frames[i].blockSize);
  for (const Frame& frame : tail_) blocks.push_back(frame.blockSize);
  const int last = blocks.back();
  blocks.pop_back();
  // Decoders ask for 16 at least (the last frame alone may be shorter).
  const int most = std::max({last, 16, blocks.empty() ? 0 : *std::max_element(blocks.begin(), blocks.end())});
  const int least = blocks.empty() ? most : std::max(16, *std::min_element(blocks.begin(), blocks.end()));

  // Room for the tags written at the end, so that they need not move the frames.
  size_t tagRoom = 8192;
  for (const media::FlacMetadataBlock& block : stream_.blocks)
    if (block.type == 4 || block.type == 6) tagRoom += block.body.size() + 4;
  std::vector<media::FlacMetadataBlock> blocksOut;
  blocksOut.push_back({0, media::StreamInfoBody(stream_.info, least, most, end_ - start_)});
  blocksOut.push_back({1, std::vector<uint8_t>(tagRoom, 0)});

  Stream = std::make_unique<TAuFileStream>(FileName_, TFileMode::Create);
  Write("fLaC", 4);
  const std::vector<uint8_t> metadata = media::MetadataBytes(blocksOut);
  Write(metadata.data(), metadata.size());
  for (const Frame& frame : head_) {
    AppendFrame(frame.bytes.data(), frame.bytes.size(), written_);
    written_ += frame.blockSize;
  }
  Flush();
}

bool TFlacCopyOut::DoOutput(bool Abort) {
  if (!copying_) return TCodecOut::DoOutput(Abort);
  if (Abort) return false;
  if (next_ < copyTo_) {
    // The next frames, up to a block of bytes (at least one frame).
    const auto& frames = stream_.frames;
    size_t until = next_ + 1;
    while (until < copyTo_ && frames[until].offset + frames[until].bytes - frames[next_].offset <= kCopyBytes) ++until;
    const int64_t from = frames[next_].offset;
    const int64_t size = frames[until - 1].offset + frames[until - 1].bytes - from;
    read_.resize(static_cast<size_t>(size));
    source_->Seek(from, TAuStream::FromBeginning);
    if (source_->Read(read_.data(), size) != size) throw EAuException("The source file changed while it was read");
    for (size_t i = next_; i < until; ++i) {
      AppendFrame(read_.data() + (frames[i].offset - from), static_cast<size_t>(frames[i].bytes), written_);
      written_ += frames[i].blockSize;
    }
    Flush();
    copiedBytes_ += size;
    next_ = until;
    progress_ = copyBytes_ > 0 ? static_cast<int>(copiedBytes_ * 100 / copyBytes_) : 100;
    return true;
  }
  for (const Frame& frame : tail_) {
    AppendFrame(frame.bytes.data(), frame.bytes.size(), written_);
    written_ += frame.blockSize;
  }
  Flush();
  tail_.clear();
  if (written_ != end_ - start_) throw EAuException("The frames written hold other samples than the range");
  return false;
}

void TFlacCopyOut::Done() {
  if (!copying_) return TCodecOut::Done();
  Stream.reset();
  source_.reset();
  read_ = {};
  pending_ = {};
  if (ExceptionMessage().empty()) {
    try {
      WriteTags(media::EncodedLength{end_ - start_, 0, 0});
    } catch (const std::runtime_error& e) {
      ThrowKeepingKind(e, "Cannot write the tags: ");
    }
  }
}
