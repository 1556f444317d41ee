#include "audio/mp3/MP3LosslessOut.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "audio/classes/AuException.h"
#include "audio/classes/FileIn.h"
#include "audio/mp3/frames/GlobalGain.h"
#include "audio/mp3/frames/InfoFrame.h"
#include "audio/tags/TagFields.h"
#include "platform/Error.h"
#include "platform/TagWriter.h"

namespace {

constexpr int64_t kBlockBytes = 1 << 20;

}  // namespace

int TMP3LosslessOut::Progress() const { return progress_; }

void TMP3LosslessOut::Write(const void* data, size_t size) {
  if (Stream->Write(data, static_cast<int64_t>(size)) != static_cast<int64_t>(size))
    throw EAuException(std::string("Cannot write the file: ") + ErrnoText(errno ? errno : EIO));
}

std::vector<uint8_t> TMP3LosslessOut::ReadSource(int64_t offset, int64_t size) {
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  source_->Seek(offset, TAuStream::FromBeginning);
  if (source_->Read(bytes.data(), size) != size) throw EAuException("The source file changed while it was read");
  return bytes;
}

void TMP3LosslessOut::Prepare() {
  progress_ = 0;
  copied_ = 0;
  stoppedGains_ = 0;
  auto* input = dynamic_cast<TAuFileIn*>(Input_);
  if (input == nullptr) throw EAuException("The input is not a file");
  if (FileName_.empty()) throw EAuException("File name is not assigned.");
  const std::string& sourceName = input->FileName();
  source_ = std::make_unique<TAuFileStream>(sourceName, TFileMode::Read);
  try {
    stream_ = ScanMp3Shared(source_->Handle(), source_->Size());
    const int64_t total = stream_->GaplessSamples();
    const int64_t start = input->StartSample();
    const int64_t end = input->EndSample() < 0 ? total : std::min(input->EndSample() + 1, total);
    plan_ = PlanLosslessCut(*stream_, start, end);
  } catch (const Mp3StreamRefused& e) {
    throw EAuException(LosslessRefusal(e.what(), sourceName));
  }
  const Mp3Frame& first = stream_->frames[static_cast<size_t>(plan_.firstFrame)];
  const Mp3Frame& last = stream_->frames[static_cast<size_t>(plan_.lastFrame)];
  const std::vector<uint8_t> header = ReadSource(first.offset, 4);
  std::copy(header.begin(), header.end(), firstHeader_);
  like_ = stream_->first;
  like_.bitrateIndex = first.bitrateIndex;  // the info frame's preferred rate
  copyFrom_ = first.offset;
  copyEnd_ = last.offset + last.length;

  carrier_.clear();
  lengths_.clear();
  if (plan_.silentFrame) {
    carrier_ = MakeCarrierFrame(like_, firstHeader_, CarriedReservoir());
    lengths_.push_back(static_cast<int>(carrier_.size()));
  }
  for (int64_t i = plan_.firstFrame; i <= plan_.lastFrame; ++i) lengths_.push_back(stream_->frames[static_cast<size_t>(i)].length);

  Stream = std::make_unique<TAuFileStream>(FileName_, TFileMode::Create);
  // Tags one after the other become one: readers see the first only.
  std::vector<uint8_t> folded;
  // So are fields of the whole source's audio (its length, its ReplayGain): wrong for a piece.
  const media::KeepProperty keep = [](const std::string& key) { return !OfTheWholeSource(key); };
  if (id3v2_.empty() && stream_->tagEnd > 0 && media::Id3v2TagChangesForPiece(sourceName, keep)) {
    try {
      folded = media::Id3v2TagWith(sourceName, {}, keep);
    } catch (const std::runtime_error& e) {
      ThrowKeepingKind(e, {}, sourceName);
    }
  }
  const std::vector<uint8_t>& tag = id3v2_.empty() ? folded : id3v2_;
  if (!tag.empty()) {
    Write(tag.data(), tag.size());
    infoAt_ = static_cast<int64_t>(tag.size());
  } else {
    if (stream_->tagEnd > 0) Write(ReadSource(0, stream_->tagEnd).data(), static_cast<size_t>(stream_->tagEnd));
    infoAt_ = stream_->tagEnd;
  }
  const std::vector<uint8_t> info = InfoFrame(0);  // written again with the frames' check at the end
  Write(info.data(), info.size());
  Write(carrier_.data(), carrier_.size());
  musicCrc_ = LameCrc16(carrier_.data(), carrier_.size());
}

std::vector<uint8_t> TMP3LosslessOut::CarriedReservoir() const {
  // The last carriedBytes of main data before the first copied frame's region.
  std::vector<uint8_t> reservoir(static_cast<size_t>(plan_.carriedBytes));
  size_t missing = reservoir.size();
  for (int64_t i = plan_.firstFrame - 1; i >= 0 && missing > 0; --i) {
    const Mp3Frame& frame = stream_->frames[static_cast<size_t>(i)];
    const size_t region = static_cast<size_t>(frame.length - frame.regionOffset);
    const size_t take = std::min(region, missing);
    missing -= take;
    source_->Seek(frame.offset + frame.length - static_cast<int64_t>(take), TAuStream::FromBeginning);
    if (source_->Read(reservoir.data() + missing, static_cast<int64_t>(take)) != static_cast<int64_t>(take))
      throw EAuException("The source file changed while it was read");
  }
  return reservoir;
}

std::vector<uint8_t> TMP3LosslessOut::InfoFrame(uint16_t musicCrc) const {
  InfoFrameFields fields;
  const int firstIndex = carrier_.empty() ? like_.bitrateIndex : carrier_[2] >> 4;
  fields.vbr = stream_->vbrTag || std::any_of(stream_->frames.begin() + plan_.firstFrame,
                                             stream_->frames.begin() + plan_.lastFrame + 1,
                                             [&](const Mp3Frame& f) { return f.bitrateIndex != firstIndex; });
  fields.frames = static_cast<uint32_t>(lengths_.size());
  const std::vector<uint8_t> sizing = MakeInfoFrame(like_, firstHeader_, fields);
  const uint32_t infoBytes = static_cast<uint32_t>(sizing.size());
  fields.bytes = infoBytes;
  for (int length : lengths_) fields.bytes += static_cast<uint32_t>(length);
  fields.toc = MakeToc(lengths_, infoBytes);
  fields.hasSource = stream_->lameTag;
  fields.source = stream_->lameExtension;
  fields.delay = plan_.delay;
  fields.padding = plan_.padding;
  fields.musicCrc = musicCrc;
  return MakeInfoFrame(like_, firstHeader_, fields);
}

bool TMP3LosslessOut::DoOutput(bool Abort) {
  if (Abort) return false;
  const int64_t size = copyEnd_ - copyFrom_;
  int64_t count = std::min(kBlockBytes, size - copied_);
  if (gainSteps_ != 0 && count > 0) {
    // Whole frames, so that each one's side information can be changed.
    const auto& frames = stream_->frames;
    if (copied_ == 0) nextFrame_ = static_cast<size_t>(plan_.firstFrame);
    size_t end = nextFrame_;
    count = 0;
    while (end <= static_cast<size_t>(plan_.lastFrame) && (count == 0 || count + frames[end].length <= kBlockBytes))
      count += frames[end++].length;
    std::vector<uint8_t> block = ReadSource(frames[nextFrame_].offset, count);
    for (size_t i = nextFrame_; i < end; ++i) {
      uint8_t* frame = block.data() + (frames[i].offset - frames[nextFrame_].offset);
      Mp3FrameHeader header;
      if (ParseMp3FrameHeader(frame, header)) stoppedGains_ += ShiftGlobalGain(frame, frames[i].length, header, gainSteps_);
    }
    nextFrame_ = end;
    musicCrc_ = LameCrc16(block.data(), block.size(), musicCrc_);
    Write(block.data(), block.size());
    copied_ += count;
    progress_ = static_cast<int>(copied_ * 100 / size);
  } else if (count > 0) {
    const std::vector<uint8_t> block = ReadSource(copyFrom_ + copied_, count);
    musicCrc_ = LameCrc16(block.data(), block.size(), musicCrc_);
    Write(block.data(), block.size());
    copied_ += count;
    progress_ = static_cast<int>(copied_ * 100 / size);
  }
  if (copied_ < size) return true;
  if (stream_->trailer < stream_->fileSize) {
    const std::vector<uint8_t> tags = ReadSource(stream_->trailer, stream_->fileSize - stream_->trailer);
    Write(tags.data(), tags.size());
  }
  const std::vector<uint8_t> info = InfoFrame(musicCrc_);
  Stream->Seek(infoAt_, TAuStream::FromBeginning);
  Write(info.data(), info.size());
  return false;
}

void TMP3LosslessOut::Done() {
  Stream.reset();
  source_.reset();
}

void TMP3LosslessOut::TakePieceTags(const PieceTags& piece, const std::string& source) {
  if (piece.Empty()) return;
  media::Id3v2Fields fields;
  fields.title = piece.title;
  fields.artist = piece.artist;
  fields.track = piece.TrackText();
  SetId3v2Tag(media::Id3v2TagWith(source, fields, [](const std::string& key) { return !OfTheWholeSource(key); }));
}
