#include "audio/codecs/WMIn.h"

#include <algorithm>
#include <cmath>

#include "audio/classes/AuException.h"
#include "audio/classes/FileStream.h"
#include "audio/classes/StreamBytes.h"
#include "audio/tags/Id3v2Tags.h"
#include "audio/mp3/frames/Mp3Info.h"
#include "audio/tags/TagText.h"

void TWMIn::Reopen() {
  std::lock_guard lock(FileLock);
  if (OpenCount == 0) return;
  CloseFile();
  OpenFile();
}

void TWMIn::SetHighPrecision(bool value) {
  if (Busy_ || OutputChannels_ != cnMonoOrStereo) return;
  HighPrecision_ = value;
  Reopen();
}

void TWMIn::SetOutputChannels(TChannelsNumber value) {
  if (Busy_) return;
  if (value != cnMonoOrStereo) HighPrecision_ = true;
  OutputChannels_ = value;
  Reopen();
}

uint32_t TWMIn::FileDuration() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return FileDuration_;
}

bool TWMIn::IsProtected() {
  // FFmpeg decodes no protected content: such a file does not open at all.
  return false;
}

namespace {

[[noreturn]] void NoAudio() { throw EAuException("The file holds no audio that can be read"); }

}  // namespace

int TWMIn::Bitrate() {
  std::lock_guard lock(FileLock);
  OpenFile();
  if (!decoder_) NoAudio();
  return static_cast<int>(bitrate_);
}

bool TWMIn::IsVBR() {
  std::lock_guard lock(FileLock);
  OpenFile();
  if (!decoder_) NoAudio();
  return vbr_;
}

std::u16string TWMIn::Description() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return decoder_ ? TagText::Utf8ToUtf16(decoder_->Tag("comment")) : std::u16string();
}

std::string TWMIn::WhyUnreadable() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return decoder_ ? std::string() : whyUnreadable_;
}

std::string TWMIn::Refusal() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return refusal_;
}

std::string TWMIn::Codec() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return decoder_ ? decoder_->Codec() : std::string();
}

std::string TWMIn::Container() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return decoder_ ? decoder_->Container() : std::string();
}

media::TagSet TWMIn::Tags() {
  std::lock_guard lock(FileLock);
  OpenFile();
  media::TagSet fields = tags_;
  fields.pictures.clear();
  return fields;
}

media::TagSet TWMIn::SourceTags() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return tags_;
}

std::vector<media::Picture> TWMIn::Pictures() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return tags_.pictures;
}

std::vector<media::Chapter> TWMIn::Chapters() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return decoder_ ? decoder_->Chapters() : std::vector<media::Chapter>();
}

media::TagContainer TWMIn::TagPlace(const std::string& container, const std::string&) {
  return container == "asf" ? media::TagContainer::Asf : media::TagContainer::Mpeg;
}

TId3v2Tags& TWMIn::Id3v2Tags() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return TAuTaggedFileIn::Id3v2Tags();
}

void TWMIn::OpenFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount > 0) return;
  if (FileName_.empty()) throw EAuException("File name is not assigned");
  if (!Stream) Stream = std::make_unique<TAuFileStream>(FileName_, TFileMode::Read);
  bytes_ = std::make_shared<TStreamBytes>(*Stream);
  Valid_ = false;
  whyUnreadable_.clear();
  refusal_.clear();
  // A file no demuxer takes from its start may still be read from byte 30 on.
  for (const int64_t base : {0, 30}) {
    try {
      decoder_ = std::make_unique<media::Decoder>(bytes_, base);
      break;
    } catch (const std::runtime_error& e) {
      if (IsMissingLibrary(e)) throw;  // no file can be read: not this one's fault
      if (whyUnreadable_.empty()) whyUnreadable_ = e.what();  // what the file's own start says
      decoder_.reset();
    }
  }
  if (!decoder_) return;
  try {
    ChooseOutput();
    bitrate_ = decoder_->Bitrate();
    vbr_ = decoder_->IsVbr();
    TotalSamples_ = decoder_->Frames();
    if (decoder_->IsMp3()) ApplyMp3Facts();
  } catch (const std::runtime_error& e) {
    if (IsMissingLibrary(e)) throw;
    whyUnreadable_ = e.what();
    decoder_.reset();  // a file that cannot be read through holds no audio we can deliver
    return;
  }
  Valid_ = true;
  SampleRate_ = decoder_->SampleRate();
  FileDuration_ = static_cast<uint32_t>(std::llround(static_cast<double>(TotalSamples_) * 100.0 / SampleRate_));
  Size_ = TotalSamples_ * Channels_ * (BitsPerSample_ / 8);
  Seekable_ = true;
  block_.clear();
  handedOut_ = 0;

  TId3v2Tags& v2 = TAuTaggedFileIn::Id3v2Tags();
  v2.Clear();
  CommonTags().Clear();
  const auto tag = [this](const char* name) { return TagText::Utf8ToUtf16(decoder_->Tag(name)); };
  const std::u16string artist = tag("artist"), title = tag("title"), album = tag("album"), genre = tag("genre");
  const std::string track = TagText::Utf16ToLatin1(tag("track"));
  const std::string year = TagText::Utf16ToLatin1(tag("year"));
  TCommonTags& common = CommonTags();
  common.SetArtist(artist);
  common.SetTitle(title);
  common.SetAlbum(album);
  common.SetGenre(genre);
  common.SetTrack(track);
  common.SetYear(year);
  v2.SetArtist(artist);
  v2.SetTitle(title);
  v2.SetAlbum(album);
  v2.SetGenre(genre);
  v2.SetTrack(track);
  v2.SetYear(year);
  v2.SetComment(decoder_->IsMp3() ? Mp3Comment() : tag("copyright"));
  try {
    tags_ = media::ReadTags(FileName_, TagPlace(decoder_->Container(), decoder_->Codec()));
  } catch (const std::runtime_error&) {
    // Tags TagLib cannot read are no reason to refuse audio that decodes: the demuxer's are kept.
    tags_ = {};
  }
  ++OpenCount;
}

void TWMIn::ChooseOutput() {
  const int source = decoder_->SourceChannels();
  switch (OutputChannels_) {
    case cnMaxAvailable: Channels_ = std::max(source, 8); break;
    case cn5dot1: Channels_ = 6; break;
    case cn7dot1: Channels_ = 8; break;
    default: Channels_ = source; break;
  }
  // More than 16 bits (a 24-bit FLAC file) are delivered whole.
  BitsPerSample_ = FloatSamples_ || HighPrecision_ || decoder_->SourceBits() > 16 ? 32 : 16;
  decoder_->SetOutput(Channels_, BitsPerSample_, FloatSamples_);
}

void TWMIn::ApplyMp3Facts() {
  const Mp3Info info = ReadMp3Info(*bytes_);
  // One rate a stream is what every reader here delivers: reading on would
  // end the stream where the rate changes, and the rest would be lost.
  if (info.rateChangeAt >= 0)
    throw Error(ErrorKind::UnreadableFile,
                refusal_ = "the stream changes its sample rate from " + std::to_string(info.sampleRate) + " Hz to " +
                    std::to_string(info.laterRate) + " Hz after " + std::to_string(info.Samples() / std::max(info.sampleRate, 1)) +
                    " seconds (at byte " + std::to_string(info.rateChangeAt) +
                    "); this program reads streams of one rate, and would lose the rest");
  // Junk between the tag and the first frame would make the demuxer miss
  // the Xing/LAME frame and decode it as audio: leave it out.
  if (info.found && info.firstFrame > info.tagEnd) {
    decoder_->SkipBytes(info.tagEnd, info.firstFrame - info.tagEnd);
    ChooseOutput();
  }
  // Where the frames cannot be taken at their word (a file cut short, damage
  // skipped, an info frame that counts other frames than the stream holds),
  // the length is what decodes.
  const bool doubtful = info.truncated || info.damaged || (info.infoFrames != 0 && info.infoFrames != info.frames);
  if (doubtful) decoder_->CountByDecoding();
  TotalSamples_ = !doubtful && info.found && info.sampleRate > 0 ? info.Samples() : decoder_->Frames();
  if (info.found && !info.vbr && info.firstBitrate > 0) bitrate_ = info.firstBitrate;
  vbr_ = info.vbr;
}

std::u16string TWMIn::Mp3Comment() {
  // Our own reading of the ID3v2 tag: the demuxer drops a comment frame
  // whose empty description has no byte-order mark, as LAME writes it.
  try {
    TAuFileStream file(FileName_, TFileMode::Read);
    TId3v2Tags tag;
    if (tag.ReadFromFile(file.Handle()) && !tag.Comment().empty()) return tag.Comment();
  } catch (const std::exception&) {
    // Unreadable here means unreadable for the reader too, which says so.
  }
  return TagText::Utf8ToUtf16(decoder_->Tag("comment"));  // an ID3v1 comment
}

void TWMIn::CloseFile() {
  std::lock_guard lock(FileLock);
  tags_ = {};
  decoder_.reset();
  bytes_.reset();
  block_ = {};
  handedOut_ = 0;
  OpenCount = 0;
  Stream.reset();
}

void TWMIn::GetDataInternal(void*& Buffer, uint32_t& Bytes) {
  if (Size_ > 0) Bytes = static_cast<uint32_t>(std::clamp<int64_t>(Size_ - Position_, 0, Bytes));
  if (Bytes == 0) {
    Buffer = nullptr;
    return;
  }
  while (handedOut_ >= block_.size()) {
    handedOut_ = 0;
    if (!decoder_ || !decoder_->Read(block_)) {
      block_.clear();
      Buffer = nullptr;
      Bytes = 0;
      return;
    }
  }
  Bytes = static_cast<uint32_t>(std::min<size_t>(Bytes, block_.size() - handedOut_));
  Buffer = block_.data() + handedOut_;
  handedOut_ += Bytes;
}

bool TWMIn::SeekInternal(int64_t& SampleNum) {
  if (!Busy_ || TotalSamples_ <= 0) return false;
  if (!decoder_) return false;
  block_.clear();
  handedOut_ = 0;
  decoder_->Seek(std::max<int64_t>(SampleNum, 0));
  return true;
}
