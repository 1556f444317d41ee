#include "audio/winmedia/WMIn.h"

#include <algorithm>
#include <cmath>

#include "audio/classes/AuException.h"
#include "audio/classes/FileStream.h"
#include "audio/AudioFormat.h"
#include "audio/tags/Id3v2Tags.h"
#include "audio/tags/TagText.h"

int TWMIn::ChannelCode() const {
  switch (OutputChannels_) {
    case cnMaxAvailable: return -1;
    case cn5dot1: return 6;
    case cn7dot1: return 8;
    default: return 0;
  }
}

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
  std::lock_guard lock(FileLock);
  OpenFile();
  return reader_.isProtected;
}

int TWMIn::Bitrate() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return static_cast<int>(ReaderBitrate(reader_));
}

bool TWMIn::IsVBR() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return ReaderIsVBR(reader_);
}

std::u16string TWMIn::Description() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return reader_.headerInfo ? ReaderGetString(reader_, u"Description") : std::u16string();
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
  if (!Stream) Stream = std::make_unique<TAuFileStream>(FileName_, 32);
  Stream->Seek(0, TAuStream::FromBeginning);
  OpenReader(reader_, *Stream, HighPrecision_, ChannelCode());
  Valid_ = reader_.hasAudio;
  if (!reader_.reader) return;
  if (reader_.isProtected) throw EAuException("File is protected");
  FileDuration_ = ReaderDuration(reader_);
  Channels_ = static_cast<int>(reader_.channels);
  BitsPerSample_ = static_cast<int>(reader_.bitsPerSample);
  SampleRate_ = static_cast<int>(reader_.sampleRate);
  // From the exact duration rather than the rounded hundredths: the same for
  // whole hundredths, and never a few frames short or long otherwise.
  TotalSamples_ = static_cast<int64_t>(std::llround(static_cast<double>(reader_.duration) * SampleRate_ / 1e7));
  Size_ = TotalSamples_ * Channels_ * (BitsPerSample_ / 8);
  Seekable_ = true;

  // Without an accepted audio format there is no header to read tags from.
  TId3v2Tags& v2 = TAuTaggedFileIn::Id3v2Tags();
  v2.Clear();
  CommonTags().Clear();
  const std::u16string artist = ReaderGetString(reader_, u"Author");
  const std::u16string title = ReaderGetString(reader_, u"Title");
  const std::u16string album = ReaderGetString(reader_, u"WM/AlbumTitle");
  const std::u16string genre = ReaderGetString(reader_, u"WM/Genre");
  const std::string track = TagText::Utf16ToLatin1(ReaderGetString(reader_, u"WM/Track"));
  const std::string year = TagText::Utf16ToLatin1(ReaderGetString(reader_, u"WM/Year"));
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
  v2.SetComment(FormatOfFile(FileName_) == AudioFormat::Mp3 ? Mp3Comment() : ReaderGetString(reader_, u"Copyright"));
  ++OpenCount;
}

std::u16string TWMIn::Mp3Comment() {
  // Our own reading of the ID3v2 tag: the demuxer drops a comment frame
  // whose empty description has no byte-order mark, as LAME writes it.
  try {
    TAuFileStream file(FileName_, 32);
    TId3v2Tags tag;
    if (tag.ReadFromFile(file.Handle()) && !tag.Comment().empty()) return tag.Comment();
  } catch (const std::exception&) {
    // Unreadable here means unreadable for the reader too, which says so.
  }
  return ReaderGetString(reader_, u"Description");  // an ID3v1 comment
}

void TWMIn::CloseFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount > 0 || reader_.reader) CloseReader(reader_);
  OpenCount = 0;
  Stream.reset();
}

void TWMIn::GetDataInternal(void*& Buffer, uint32_t& Bytes) {
  if (Size_ > 0) Bytes = static_cast<uint32_t>(std::clamp<int64_t>(Size_ - Position_, 0, Bytes));
  if (Bytes == 0) {
    Buffer = nullptr;
    return;
  }
  ReaderRead(reader_, Buffer, Bytes);
}

bool TWMIn::SeekInternal(int64_t& SampleNum) {
  if (!Busy_ || TotalSamples_ <= 0) return false;
  // By the sample rate, not as a share of TotalSamples: TMP3In counts a third
  // of a second more than the file holds, which would move every seek early.
  if (SampleRate_ <= 0) return false;
  ReaderSeek(reader_, static_cast<double>(SampleNum) * 100.0 / SampleRate_);
  return true;
}
