#include "audio/codecs/CodecOut.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <stdexcept>

#include "audio/classes/AuException.h"
#include "audio/tags/TagFields.h"
#include "audio/tags/Id3v2Tags.h"

namespace {

/// The gapless comment players read from an M4A file: delay, padding and
/// the sample count in hexadecimal.
std::string ItunesGapless(const media::EncodedLength& length) {
  char text[160];
  std::snprintf(text, sizeof text,
                " 00000000 %08" PRIX64 " %08" PRIX64 " %016" PRIX64
                " 00000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000",
                static_cast<uint64_t>(length.priming), static_cast<uint64_t>(length.padding),
                static_cast<uint64_t>(length.samples));
  return text;
}

}  // namespace

void TCodecOut::Prepare() {
  if (FileName_.empty()) throw EAuException("File name is not assigned.");
  const CodecTraits& traits = Traits();
  const media::PcmLayout layout{Input_->Channels(), Input_->SampleRate(), Input_->BitsPerSample()};
  media::EncoderSettings settings;
  settings.codec = traits.encoder;
  settings.muxer = traits.muxer;
  settings.rate = media::EncoderRate(traits.encoder, layout.rate);
  if (settings.rate == 0) throw EAuException(std::string("FFmpeg's ") + traits.encoder + " encoder is not installed");
  // Opus decoders play at 48 kHz whatever the encoder was given: the file is made at that rate.
  if (std::string(traits.encoder) == "libopus") settings.rate = 48000;
  settings.bitrate = traits.lossless ? 0 : Bitrate_;
  settings.bits = Bits_ != 0 ? Bits_ : layout.bits > 16 ? 24 : 16;
  settings.chapters = Chapters_;
  if (settings.bits > 16 && traits.wideEncoder != nullptr) settings.codec = traits.wideEncoder;
  StartInput();
  try {
    encoder_ = std::make_unique<media::Encoder>(settings, layout, FileName_);
  } catch (const std::runtime_error& e) {
    ThrowKeepingKind(e, "Failed to start the encoder: ");
  }
}

void TCodecOut::Encode(const uint8_t* pcm, size_t length) { encoder_->Write(pcm, length); }

void TCodecOut::Done() {
  EndInput();
  std::string failure;
  ErrorKind kind = ErrorKind::Failed;
  if (encoder_ && ExceptionMessage().empty()) {
    try {
      WriteTags(encoder_->Finish());
    } catch (const std::runtime_error& e) {
      failure = e.what();
      kind = KindOf(e);
    }
  }
  encoder_.reset();
  if (!failure.empty()) throw EAuException(kind, "Encoder error: " + failure);
}


void TCodecOut::WriteTags(const media::EncodedLength& length) {
  const CodecTraits& traits = Traits();
  media::TagSet tags = ResultTags(SourceTags(), Pictures(), Id3v2Tags());
  if (traits.gaplessComment) tags.fields.emplace_back("----:com.apple.iTunes:iTunSMPB", ItunesGapless(length));
  bool any = !tags.pictures.empty();
  for (const auto& field : tags.fields) any = any || !field.second.empty();
  if (any) media::WriteTags(FileName_, traits.tags, tags);
}
