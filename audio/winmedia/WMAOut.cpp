#include "audio/winmedia/WMAOut.h"

#include <stdexcept>

#include "audio/classes/AuException.h"
#include "audio/classes/EventHandler.h"
#include "audio/tags/TagText.h"

TWMAOut::TWMAOut() : Codecs_(ListCodecs()) {}

const std::vector<std::u16string>& TWMAOut::GetFormatList(int32_t codec) {
  formatList_.clear();
  if (codec >= 0 && static_cast<size_t>(codec) < Codecs_.size())
    formatList_ = ListCodecFormats(static_cast<uint32_t>(codec), VBR_ || Lossless_);
  return formatList_;
}

void TWMAOut::SetAttributes() {
  TId3v2Tags& tags = Id3v2Tags();
  const std::pair<const char16_t*, std::u16string> attributes[] = {
      {u"Author", tags.Artist()},
      {u"WM/AlbumTitle", tags.Album()},
      {u"WM/Genre", tags.Genre()},
      {u"WM/Year", TagText::Latin1ToUtf16(tags.Year())},
      {u"WM/Track", TagText::Latin1ToUtf16(tags.Track())},
      // Other programs read the track from here.
      {u"WM/TrackNumber", TagText::Latin1ToUtf16(tags.Track())},
      {u"Title", tags.Title()},
      {u"Copyright", tags.Comment()},
  };
  for (const auto& [name, text] : attributes)
    if (!text.empty()) SetWriterAttribute(writer_, name, text);
}

void TWMAOut::InitInput() {
  Input_->Init();
  inputFlushed_ = false;
}

std::function<void(TComponent*)> TWMAOut::ErrorProcedure() {
  return [this](TComponent*) { error_ = true; };
}

void TWMAOut::OpenWriter() {
  if (FileName_.empty()) throw EAuException("File name is not assigned.");
  InitInput();
  OpenFileWriter(writer_, TagText::Utf8ToUtf16(FileName_), this, ErrorProcedure());
  if (!writer_.initialised) throw std::runtime_error("Cannot create file");
}

bool TWMAOut::CloseWriter() { return CloseFileWriter(writer_); }

void TWMAOut::Prepare() {
  OpenWriter();
  const int channels = Input_->Channels(), bits = Input_->BitsPerSample(), rate = Input_->SampleRate();
  if (CodecIndex_ >= 0)
    SetWriterFormatByIndex(writer_, channels, bits, rate, VBR_ || Lossless_, static_cast<uint32_t>(CodecIndex_),
                           static_cast<uint32_t>(FormatIndex_));
  else if (VBR_)
    SetWriterFormat(writer_, channels, bits, rate, Lossless_, VBR_, VBRQuality_);
  else
    SetWriterFormat(writer_, channels, bits, rate, Lossless_, VBR_, DesiredBitrate_);
  // A tenth of a second's bytes (channels x bits x rate / 8 / 10), in 64 bits.
  buffer_.assign(static_cast<size_t>(int64_t{channels} * bits * rate / 100), 0);
  SetAttributes();
  BeginWriter(writer_);
  endOfInput_ = false;
  error_ = false;
}

bool TWMAOut::DoOutput(bool Abort) {
  if (error_) throw EAuException("Windows Media output error");
  if (!CanOutput()) return true;
  if (Abort || endOfInput_) return false;
  const int read = Input_->FillBuffer(buffer_.data(), static_cast<int>(buffer_.size()), endOfInput_);
  WriteData(writer_, buffer_.data(), static_cast<uint32_t>(read));
  return true;
}

void TWMAOut::Done() {
  if (!inputFlushed_) {
    inputFlushed_ = true;
    Input_->Flush();
  }
  const bool failedBefore = !ExceptionMessage().empty();
  const bool wasOpen = writer_.initialised;
  const bool closed = CloseWriter();
  buffer_ = {};
  // Finishing the file (the encoder's last frames, the index) can fail too.
  if (wasOpen && !closed && !failedBefore) throw EAuException("Windows Media output error");
}

void TWMStreamedOut::OpenWriter() {
  InitInput();
  uint32_t port = Port_;
  const auto post = [this](TStreamedAudioEvent& handler) {
    if (TEventHandler* events = TEventHandler::Instance(); events && handler) events->PostEvent(this, handler);
  };
  OpenNetworkWriter(
      writer_, port, MaxClients_, ErrorProcedure(),
      [this, post](TComponent*) { post(OnClientDisconnected); }, [this, post](TComponent*) { post(OnClientConnected); },
      this);
  if (!writer_.initialised) throw std::runtime_error("Cannot create file");
  Port_ = port;
}

bool TWMStreamedOut::CloseWriter() { return CloseNetworkWriter(writer_); }
