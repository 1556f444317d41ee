#include "audio/wma/WMAOut.h"
#include "platform/Error.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "audio/classes/AuException.h"
#include "audio/classes/EventHandler.h"
#include "audio/tags/TagFields.h"
#include "audio/tags/TagText.h"

std::optional<WmaFormatChoice> FindWmaFormat(const std::vector<media::WmaCodec>& codecs, int channels, int bits, int rate,
                                             uint32_t desired, bool lossless, bool vbr) {
  if (lossless || vbr) return std::nullopt;
  const auto difference = [](int64_t a, int64_t b) { return std::abs(a - b); };
  // The source's own rate wherever a format has it: of those, the nearest bit rate.
  std::optional<WmaFormatChoice> sameRate;
  int64_t sameRateBitrate = 0;
  for (size_t k = 0; k < codecs.size() && bits == 16; ++k)
    for (size_t i = 0; i < codecs[k].formats.size(); ++i) {
      const media::WmaFormat& f = codecs[k].formats[i];
      if (f.channels != channels || f.rate != rate) continue;
      if (sameRate && difference(f.bitrate, desired) >= difference(sameRateBitrate, desired)) continue;
      sameRateBitrate = f.bitrate;
      sameRate = WmaFormatChoice{k, i};
    }
  if (sameRate) return sameRate;
  std::optional<WmaFormatChoice> candidate;
  int64_t acceptedBitrate = 0, acceptedRate = 0;
  for (size_t k = 0; k < codecs.size(); ++k) {
    for (size_t i = 0; i < codecs[k].formats.size(); ++i) {
      const media::WmaFormat& f = codecs[k].formats[i];
      if (difference(f.bitrate, desired) >= difference(acceptedBitrate, desired)) continue;
      if (f.channels == channels && bits == 16 && difference(f.rate, rate) <= difference(acceptedRate, rate)) {
        acceptedBitrate = f.bitrate;
        acceptedRate = f.rate;
        candidate = WmaFormatChoice{k, i};
      }
    }
  }
  return candidate;
}

TWMAOut::TWMAOut() {
  for (const media::WmaCodec& codec : media::WmaCodecs()) Codecs_.push_back(TagText::Utf8ToUtf16(codec.name));
}

const std::vector<std::u16string>& TWMAOut::GetFormatList(int32_t codec) {
  formatList_.clear();
  // Only constant bit rates here: the VBR and lossless lists are empty.
  if (codec >= 0 && static_cast<size_t>(codec) < Codecs_.size() && !VBR_ && !Lossless_)
    for (const media::WmaFormat& format : media::WmaCodecs()[static_cast<size_t>(codec)].formats)
      formatList_.push_back(TagText::Utf8ToUtf16(format.Description()));
  return formatList_;
}

namespace {

/// "WM/Track" of a track number ("6" is "5"; "6/12" too); empty when it is none.
std::string ZeroBasedTrack(const std::string& track) {
  char* end = nullptr;
  const long number = std::strtol(track.c_str(), &end, 10);
  return !track.empty() && end != track.c_str() && number >= 1 && number < 100000 ? std::to_string(number - 1) : std::string();
}

}  // namespace

media::WmaEncoder::Tags TWMAOut::Attributes() {
  TId3v2Tags& tags = Id3v2Tags();
  const std::pair<const char*, std::u16string> attributes[] = {
      {"author", tags.Artist()},
      {"WM/AlbumTitle", tags.Album()},
      {"WM/Genre", tags.Genre()},
      {"WM/Year", TagText::Latin1ToUtf16(tags.Year())},
      // The older attribute counts from 0; players read the track from the other.
      {"WM/Track", TagText::Latin1ToUtf16(ZeroBasedTrack(tags.Track()))},
      {"WM/TrackNumber", TagText::Latin1ToUtf16(tags.Track())},
      {"title", tags.Title()},
      {"copyright", tags.Comment()},
  };
  media::WmaEncoder::Tags list;
  for (const auto& [name, text] : attributes)
    if (!text.empty()) list.emplace_back(name, TagText::Utf16ToUtf8(text));
  return list;
}

media::PcmLayout TWMAOut::InputLayout() const {
  return {Input_->Channels(), Input_->SampleRate(), Input_->BitsPerSample()};
}

void TWMAOut::OpenEncoder(const media::WmaCodec& codec, const media::WmaFormat& format) {
  if (FileName_.empty()) throw EAuException("File name is not assigned.");
  // Made now, so that a folder that is not there says so before anything is encoded.
  const int fd = ::open(FileName_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw EAuException("Cannot create file");
  ::close(fd);
  encoder_ = std::make_unique<media::WmaEncoder>(codec, format, InputLayout(), Attributes(), FileName_);
}

void TWMAOut::Prepare() {
  const int channels = Input_->Channels(), bits = Input_->BitsPerSample(), rate = Input_->SampleRate();
  std::optional<WmaFormatChoice> choice;
  const auto& codecs = media::WmaCodecs();
  if (CodecIndex_ >= 0) {
    const auto codec = static_cast<size_t>(CodecIndex_), format = static_cast<size_t>(FormatIndex_);
    if (!VBR_ && !Lossless_ && codec < codecs.size() && format < codecs[codec].formats.size())
      choice = WmaFormatChoice{codec, format};
    if (!choice) throw EAuException("Failed to set data writer: the WMA encoder could not be started");
  } else {
    uint32_t desired = VBR_ ? VBRQuality_ : DesiredBitrate_;
    if (!VBR_ && desired < 1000) desired *= 1000;
    choice = FindWmaFormat(codecs, channels, bits, rate, desired, Lossless_, VBR_);
    if (!choice) throw Error(ErrorKind::Failed, "Failed to init codec");
  }
  StartInput();
  try {
    OpenEncoder(codecs[choice->codec], codecs[choice->codec].formats[choice->format]);
  } catch (const EAuException&) {
    throw;
  } catch (const std::runtime_error& e) {
    ThrowKeepingKind(e, "Failed to set data writer: ");
  }
}

void TWMAOut::Encode(const uint8_t* pcm, size_t length) { encoder_->Write(pcm, length); }

void TWMAOut::Done() {
  EndInput();
  // Finishing the file (the encoder's last frames, the index) can fail too.
  std::string failure;
  ErrorKind kind = ErrorKind::Failed;
  if (encoder_ && ExceptionMessage().empty()) {
    try {
      encoder_->Finish();
    } catch (const std::runtime_error& e) {
      failure = e.what();
      kind = KindOf(e);
    }
  }
  encoder_.reset();
  CloseDestination();
  // The muxer writes the common attributes; the source's others go in after it.
  if (failure.empty() && ExceptionMessage().empty() && !FileName_.empty() &&
      (!SourceTags().fields.empty() || !Pictures().empty())) {
    try {
      media::WriteTags(FileName_, media::TagContainer::Asf, ResultTags(SourceTags(), Pictures(), Id3v2Tags()));
    } catch (const std::runtime_error& e) {
      failure = e.what();
      kind = KindOf(e);
    }
  }
  if (!failure.empty()) throw EAuException(kind, "Windows Media output error: " + failure);
}

void TWMStreamedOut::OpenEncoder(const media::WmaCodec& codec, const media::WmaFormat& format) {
  const auto post = [this](TStreamedAudioEvent& handler) {
    if (TEventHandler* events = TEventHandler::Instance(); events && handler) events->PostEvent(this, handler);
  };
  server_ = std::make_unique<media::WmaStreamServer>([this, post] { post(OnClientConnected); },
                                                     [this, post] { post(OnClientDisconnected); });
  try {
    Port_ = server_->Open(Port_);
  } catch (const std::runtime_error& e) {
    // The stream's address is what failed, not a file: say which port and why.
    server_.reset();
    ThrowKeepingKind(e, "Cannot open the stream: ");
  }
  if (MaxClients_ != 0) server_->SetMaximumClients(MaxClients_);
  encoder_ = std::make_unique<media::WmaEncoder>(codec, format, InputLayout(), Attributes(), std::string(), server_.get());
}

void TWMStreamedOut::CloseDestination() {
  // A stream that ended gives its listeners a few seconds for the rest; a stopped one ends now.
  if (server_) server_->Close(!Stopped());
  server_.reset();
}
