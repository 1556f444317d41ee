#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/classes/EncodingFileOut.h"
#include "audio/codecs/CodecTraits.h"
#include "platform/Encoder.h"

/// Encodes the PCM its Input delivers into a FLAC, Ogg Vorbis, Opus or M4A
/// file through FFmpeg's encoders, then writes Id3v2Tags' fields and the
/// Pictures as the format's tags. The result decodes to exactly the samples
/// given: the container marks the encoder's delay and padding (Opus
/// pre-skip and granule positions, Vorbis granule positions, the MP4 edit
/// list). Opus is written at 48 kHz, the rate its decoders deliver, so
/// other rates are resampled; FLAC keeps every sample as it is.
class TCodecOut : public TEncodingFileOut {
 public:
  /// `traits`: how the format's own codec is written.
  explicit TCodecOut(const CodecTraits& traits) : traits_(traits) {}
  /// Bits per second of a lossy format.
  uint32_t Bitrate() const { return Bitrate_; }
  void SetBitrate(uint32_t value) { if (!Busy()) Bitrate_ = value; }
  /// Bits per sample of a FLAC result, 16 or 24; 0 follows the input (more than 16 bits: 24).
  int Bits() const { return Bits_; }
  void SetBits(int value) { if (!Busy()) Bits_ = value; }
  /// The codec and container to write, when they are not the format's own
  /// (Opus in an .ogg file, ALAC in an .m4a file): the source's. Null: the format's.
  void SetStreamTraits(const CodecTraits* value) { if (!Busy()) StreamTraits_ = value; }
  const CodecTraits& Traits() const { return StreamTraits_ ? *StreamTraits_ : traits_; }
  /// Chapters of the result, in samples of the input's rate (an M4B's, shifted to the range's start).
  void SetChapters(std::vector<media::Chapter> value) { if (!Busy()) Chapters_ = std::move(value); }

 protected:
  void Prepare() override;
  void Encode(const uint8_t* pcm, size_t length) override;
  void Done() override;

 protected:
  /// Writes the source's tags (and the gapless comment of an M4A file) into the finished file.
  void WriteTags(const media::EncodedLength& length);

 private:

  const CodecTraits& traits_;
  uint32_t Bitrate_ = 128000;
  int Bits_ = 0;
  const CodecTraits* StreamTraits_ = nullptr;
  std::vector<media::Chapter> Chapters_;

  std::unique_ptr<media::Encoder> encoder_;
};
