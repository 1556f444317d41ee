#include "audio/mp3/MP3Out.h"

#include "platform/Cores.h"

#include <cerrno>

#include "platform/Error.h"

#include <algorithm>
#include <cmath>
#include <atomic>
#include <thread>
#include <cstring>

#include "audio/classes/AuException.h"
#include "audio/classes/FileStream.h"
#include "audio/tags/AuTags.h"
#include "audio/tags/TagFields.h"
#include "audio/tags/TagText.h"
#include "platform/TagWriter.h"
#include "platform/Utf.h"

int BitRateKbps(TMP3BitRate rate) {
  static constexpr int kKbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320, 8, 16, 24};
  return rate >= mbrAuto && rate <= mbr24 ? kKbps[rate] : 128;
}

TMP3BitRate AnyMp3BitRate(int32_t bitsPerSecond) {
  switch (bitsPerSecond) {
    case 8000: return mbr8;
    case 16000: return mbr16;
    case 24000: return mbr24;
    default: {
      const TMP3BitRate rate = BitRateToMP3BitRate(bitsPerSecond);
      return rate != mbrAuto && BitRateKbps(rate) * 1000 == bitsPerSecond ? rate : mbrAuto;
    }
  }
}

TMP3BitRate BitRateToMP3BitRate(int32_t bitsPerSecond) {
  switch (bitsPerSecond) {
    case 32000: return mbr32;
    case 40000: return mbr40;
    case 48000: return mbr48;
    case 56000: return mbr56;
    case 64000: return mbr64;
    case 80000: return mbr80;
    case 96000: return mbr96;
    case 112000: return mbr112;
    case 128000: return mbr128;
    case 144000: return mbr144;
    case 160000: return mbr160;
    case 192000: return mbr192;
    case 224000: return mbr224;
    case 256000: return mbr256;
    case 320000: return mbr320;
    default: return bitsPerSecond >= 0 && bitsPerSecond < 32000 ? mbrAuto : mbr128;
  }
}

namespace {

std::atomic<int> defaultThreads{0};
constexpr int kShortestChunkedSeconds = 30;

}  // namespace

void TMP3Out::SetDefaultThreads(int value) { defaultThreads = std::max(value, 0); }

int TMP3Out::DefaultThreads() {
  const int chosen = defaultThreads;
  return chosen > 0 ? chosen : UsableCores();
}

bool TMP3Out::StartChunks() {
  ThreadsUsed_ = 1;
  // Where LAME makes no info frame of its own, the chunks make ours, on
  // however many threads.
  if (!media::LameEncoder::MakesTagFrame(EncoderSettings_)) {
    if (!Mp3Chunks::Suits(EncoderSettings_))
      throw EAuException("Error writing down mp3 file: LAME makes no Xing/LAME frame at these settings");
    const int threads = std::clamp(Threads_ > 0 ? Threads_ : DefaultThreads(), 1, Mp3Chunks::kMostThreads);
    chunks_ = std::make_unique<Mp3Chunks>(EncoderSettings_, threads,
                                          [this](const uint8_t* made, size_t count) { WriteOut(made, static_cast<uint32_t>(count)); });
    ThreadsUsed_ = threads;
    return true;
  }
  const int threads = std::min(Threads_ > 0 ? Threads_ : DefaultThreads(), Mp3Chunks::kMostThreads);
  if (threads < 2) return false;
  const int64_t bytes = Input_->Size();  // unknown (-1) may be long
  const int64_t perSecond = int64_t{Input_->Channels()} * 2 * Input_->SampleRate();
  if (bytes >= 0 && bytes < perSecond * kShortestChunkedSeconds) return false;
  if (!Mp3Chunks::Suits(EncoderSettings_)) return false;
  chunks_ = std::make_unique<Mp3Chunks>(EncoderSettings_, threads,
                                        [this](const uint8_t* made, size_t count) { WriteOut(made, static_cast<uint32_t>(count)); });
  ThreadsUsed_ = threads;
  return true;
}

TMP3Out::TMP3Out() {
  media::LoadLame();
  Id3v1Tags().SetGenreId(255);  // no genre until one is set
}

void TMP3Out::TakePieceTags(const PieceTags& piece, const std::string& source) {
  TAuTaggedFileOut::TakePieceTags(piece, source);
  if (!piece.title.empty()) Id3v1Tags().SetTitle(TagText::Utf16ToLatin1(Id3v2Tags().Title()));
  if (!piece.artist.empty()) Id3v1Tags().SetArtist(TagText::Utf16ToLatin1(Id3v2Tags().Artist()));
  if (piece.track > 0) Id3v1Tags().SetTrack(static_cast<uint8_t>(std::min(piece.track, 255)));
}

void TMP3Out::FillSettings() {
  media::LameSettings& c = EncoderSettings_;
  c = {};
  c.sampleRate = Input_->SampleRate();
  using Mode = media::LameSettings::Mode;
  // LAME has no dual-channel mode: it is encoded as stereo.
  c.mode = Input_->Channels() == 1 || Mode_ == mmMono ? Mode::Mono : Mode_ == mmJointStereo ? Mode::JointStereo : Mode::Stereo;
  c.bitrateKbps = BitRateKbps(BitRate_);
  c.maxBitrateKbps = BitRateKbps(MaximumBitrate_);
  c.crc = CRC_;
  c.original = Original_;
  // The Xing/LAME frame carries the encoder delay and padding that a gapless
  // decoder removes: constant bit rates need it as much as variable ones.
  c.tagFrame = true;
  c.vbr = EnableVBR_;
  c.vbrQuality = EnableVBR_ ? VBRQuality_ : 0;
  c.abrKbps = BitRateKbps(AverageBitrate_);
  c.bitReservoir = EnableBitReservoir_;
  c.strictIso = StrictISO_;
}

void TMP3Out::Prepare() {
  if (!media::LoadLame())
    throw EAuException(ErrorKind::MissingLibrary, std::string(media::kLameLibrary) + " library could not be loaded.");
  if (FileName_.empty()) throw EAuException("File name is not assigned.");
  // The encoder takes 16-bit samples only; anything else would come out as noise.
  if (Input_->BitsPerSample() != 16)
    throw EAuException("MP3 encoding needs 16-bit samples; the input delivers " +
                       std::to_string(Input_->BitsPerSample()) + "-bit samples");
  if (Input_->Channels() < 1 || Input_->Channels() > 2)
    throw EAuException("MP3 encoding takes one or two channels; the input has " + std::to_string(Input_->Channels()));
  Stream = std::make_unique<TAuFileStream>(FileName_, TFileMode::Create);
  Input_->Init();
  inputFlushed_ = false;
  FillSettings();
  resampler_.reset();
  resamplerDrained_ = false;
  try {
    const int channels = EncoderSettings_.mode == media::LameSettings::Mode::Mono ? 1 : 2;
    if (const int rate = media::LameEncoder(EncoderSettings_).OutputRate(); rate != EncoderSettings_.sampleRate) {
      resampler_ = std::make_unique<RateConverter>(channels, EncoderSettings_.sampleRate, rate);
      EncoderSettings_.sampleRate = rate;
    }
    encoder_ = std::make_unique<media::LameEncoder>(EncoderSettings_);
    if (StartChunks()) encoder_.reset();
  } catch (const std::runtime_error& e) {
    Stream.reset();
    Input_->Flush();
    inputFlushed_ = true;
    ThrowKeepingKind(e);
  }
  inBuffer_.assign(static_cast<size_t>(Input_->Channels()) * media::LameEncoder::kFramesPerChunk * 2, 0);
  // LAME runs beside the input, which meanwhile decodes the next chunk.
  encodingError_ = nullptr;
  encoding_ = std::make_unique<BlockWorker>([this](uint8_t* bytes, size_t length) {
    try {
      Encode(reinterpret_cast<int16_t*>(bytes), static_cast<uint32_t>(length / 2));
      return true;
    } catch (...) {
      encodingError_ = std::current_exception();
      return false;
    }
  });
}

void TMP3Out::Encode(int16_t* pcm, uint32_t samples) {
  try {
    const std::vector<uint8_t>& made = encoder_->Encode(pcm, static_cast<int>(samples) / encoder_->Channels());
    WriteOut(made.data(), static_cast<uint32_t>(made.size()));
  } catch (const EAuException&) {
    throw;
  } catch (const std::runtime_error& e) {
    ThrowKeepingKind(e);
  }
}

void TMP3Out::FinishEncoding() {
  const bool ok = encoding_->Finish();
  if (!ok) std::rethrow_exception(encodingError_);
}

void TMP3Out::WriteOut(const uint8_t* bytes, uint32_t count) {
  if (count > 0 && Stream->Write(bytes, count) != count)
    throw EAuException(WithErrno("Error writing down mp3 file", errno));
}

bool TMP3Out::DoOutput(bool Abort) {
  if (!CanOutput()) return true;
  if (Abort) return false;
  bool ended = false;
  const int read = Input_->FillBuffer(inBuffer_.data(), static_cast<int>(inBuffer_.size()), ended);
  if (read <= 0) {
    if (resampler_ && !resamplerDrained_) {
      Resample(nullptr, 0, true);
      if (!resampled_.empty()) Submit(resampled_.data(), static_cast<uint32_t>(resampled_.size()));
    }
    return false;
  }
  uint32_t samples = static_cast<uint32_t>(read / 2);
  auto* pcm = reinterpret_cast<int16_t*>(inBuffer_.data());
  if (EncoderSettings_.mode == media::LameSettings::Mode::Mono && Input_->Channels() == 2) {
    // A mono file of a stereo input: the encoder takes one channel, so mix them.
    samples /= 2;
    for (uint32_t i = 0; i < samples; ++i) pcm[i] = static_cast<int16_t>((pcm[2 * i] + pcm[2 * i + 1]) / 2);
  }
  if (resampler_) {
    Resample(pcm, samples, ended);
    if (!resampled_.empty()) Submit(resampled_.data(), static_cast<uint32_t>(resampled_.size()));
  } else {
    Submit(pcm, samples);
  }
  return !ended;
}

void TMP3Out::Submit(int16_t* pcm, uint32_t samples) {
  if (chunks_) {
    try {
      chunks_->Write(pcm, samples / static_cast<uint32_t>(EncoderSettings_.mode == media::LameSettings::Mode::Mono ? 1 : 2));
    } catch (const EAuException&) {
      throw;
    } catch (const std::runtime_error& e) {
      ThrowKeepingKind(e);
    }
    return;
  }
  if (!encoding_->Submit(reinterpret_cast<uint8_t*>(pcm), samples * 2)) FinishEncoding();
}

void TMP3Out::Resample(const int16_t* pcm, uint32_t samples, bool last) {
  const int channels = EncoderSettings_.mode == media::LameSettings::Mode::Mono ? 1 : 2;
  resampleIn_.resize(samples);
  for (uint32_t i = 0; i < samples; ++i) resampleIn_[i] = pcm[i] / 32768.0f;
  resampleOut_.clear();
  try {
    if (samples > 0) resampler_->Convert(resampleIn_.data(), static_cast<int>(samples) / channels, resampleOut_);
    if (last) resampler_->Convert(nullptr, 0, resampleOut_);
    resamplerDrained_ = last;
  } catch (const std::runtime_error& e) {
    ThrowKeepingKind(e);
  }
  resampled_.resize(resampleOut_.size());
  for (size_t i = 0; i < resampleOut_.size(); ++i)
    resampled_[i] = static_cast<int16_t>(std::clamp(std::lrint(resampleOut_[i] * 32768.0f), -32768L, 32767L));
}

std::vector<uint8_t> TMP3Out::Id3v1Record() {
  std::vector<uint8_t> record(128, 0);
  std::memcpy(record.data(), "TAG", 3);
  const auto put = [&record](size_t at, const std::string& text, size_t width) {
    std::memcpy(record.data() + at, text.data(), std::min(text.size(), width));
  };
  TId3v1Tags& tags = Id3v1Tags();
  put(3, tags.Title(), 30);
  put(33, tags.Artist(), 30);
  put(63, tags.Album(), 30);
  const std::string year = tags.Year() != 0 ? std::to_string(tags.Year()) : std::string();
  if (year.size() == 4) put(93, year, 4);
  // ID3v1.1: a track number takes the last two bytes of the comment.
  if (tags.Track() != 0) {
    put(97, tags.Comment(), 28);
    record[126] = tags.Track();
  } else {
    put(97, tags.Comment(), 30);
  }
  // 255 says "no genre"; 0 would say Blues.
  const int32_t genre = tags.AsInteger("genre");
  record[127] = static_cast<uint8_t>(genre >= 0 && genre < TId3v1Tags::kGenreCount ? genre : 255);
  return record;
}

void TMP3Out::WriteId3v2Tag() {
  TId3v2Tags& tags = Id3v2Tags();
  if (!SourceTags().fields.empty() || !Pictures().empty()) {
    // Every field of the source, under the job's own.
    try {
      media::WriteTags(FileName_, media::TagContainer::Mpeg, ResultTags(SourceTags(), Pictures(), tags));
    } catch (const std::runtime_error& e) {
      ThrowKeepingKind(e);
    }
    return;
  }
  media::Id3v2Fields fields;
  fields.title = Utf::Utf16ToUtf8(tags.Title());
  fields.artist = Utf::Utf16ToUtf8(tags.Artist());
  fields.album = Utf::Utf16ToUtf8(tags.Album());
  fields.genre = Utf::Utf16ToUtf8(tags.Genre());
  // The ID3v1 record holds 30 characters of a comment; the whole of it goes here.
  fields.comment = Utf::Utf16ToUtf8(tags.Comment());
  int32_t number = 0;
  if (!tags.Year().empty() && ParseInt32(tags.Year(), number)) fields.year = static_cast<unsigned>(number);
  fields.track = tags.Track();  // "3/12" stays whole
  try {
    media::WriteId3v2Tag(FileName_, fields);
  } catch (const std::runtime_error& e) {
    ThrowKeepingKind(e);
  }
}

void TMP3Out::Release() {
  chunks_.reset();    // first: they write to Stream
  encoding_.reset();
  Stream.reset();
  encoder_.reset();
  inBuffer_ = {};
  if (!inputFlushed_) {
    inputFlushed_ = true;
    Input_->Flush();
  }
}

void TMP3Out::PlaceId3v1Record() {
  // TagLib rewrites or drops the ID3v1 record as it sees fit; the file ends
  // with ours, built from Id3v1Tags, whatever it did. A record with nothing
  // in it is left out: FFmpeg then trims LAME's padding wrongly.
  TAuFileStream file(FileName_, TFileMode::Update);
  const std::vector<uint8_t> record = Id3v1Record();
  std::vector<uint8_t> blank(128, 0);
  std::memcpy(blank.data(), "TAG", 3);
  blank[127] = 255;
  if (record == blank) return;
  uint8_t last[3] = {};
  const int64_t size = file.Size();
  const bool hasRecord = size >= 128 && file.Seek(size - 128, TAuStream::FromBeginning) >= 0 && file.Read(last, 3) == 3 &&
                         std::memcmp(last, "TAG", 3) == 0;
  file.Seek(hasRecord ? size - 128 : size, TAuStream::FromBeginning);
  if (file.Write(record.data(), 128) != 128) throw EAuException(WithErrno("Error writing down mp3 file", errno));
}

void TMP3Out::Done() {
  // A run that failed or was stopped only releases what it holds: the job
  // throws its file away, and the chunks still being encoded are dropped,
  // not finished, so that a stop is prompt.
  if (!ExceptionMessage().empty() || Stopped() || (!encoder_ && !chunks_)) {
    Release();
    return;
  }
  try {
    if (chunks_) {
      FinishChunks();
    } else {
      FinishStream();
    }
    Stream.reset();
    encoder_.reset();
    inBuffer_ = {};
    WriteId3v2Tag();
    PlaceId3v1Record();
  } catch (...) {
    Release();
    throw;
  }
  Release();
}

void TMP3Out::FinishChunks() {
  std::vector<uint8_t> infoFrame;
  try {
    infoFrame = chunks_->Finish();
  } catch (const std::runtime_error& e) {
    ThrowKeepingKind(e);
  }
  chunks_.reset();
  // Over the room left for it in front of the frames.
  if (Stream->Seek(0, TAuStream::FromBeginning) != 0) throw EAuException("Error writing down mp3 file");
  WriteOut(infoFrame.data(), static_cast<uint32_t>(infoFrame.size()));
}

void TMP3Out::FinishStream() {
  FinishEncoding();
  const std::vector<uint8_t>& rest = encoder_->Flush();
  WriteOut(rest.data(), static_cast<uint32_t>(rest.size()));
  // The Xing/LAME frame, now that the stream's length is known, over the
  // first frame, which LAME left for it.
  if (EncoderSettings_.tagFrame) {
    const std::vector<uint8_t> tagFrame = encoder_->TagFrame();
    if (tagFrame.empty() || Stream->Seek(0, TAuStream::FromBeginning) != 0) throw EAuException("Error writing down mp3 file");
    WriteOut(tagFrame.data(), static_cast<uint32_t>(tagFrame.size()));
  }
}
