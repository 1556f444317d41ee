#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/classes/EncodingFileOut.h"
#include "platform/WmaEncoder.h"
#include "platform/WmaStreamServer.h"

/// Encodes the PCM its Input delivers into a WMA file through FFmpeg's WMA
/// encoders. The format is a codec's format given by CodecIndex and
/// FormatIndex, or, with CodecIndex -1, the one nearest DesiredBitrate (or
/// VBRQuality with VBR, or a lossless one) for the input's layout. Id3v2Tags
/// become header attributes.
class TWMAOut : public TEncodingFileOut {
 public:
  TWMAOut();

  uint32_t DesiredBitrate() const { return DesiredBitrate_; }
  void SetDesiredBitrate(uint32_t value) { if (!Busy()) DesiredBitrate_ = value; }
  bool Lossless() const { return Lossless_; }
  void SetLossless(bool value) { if (!Busy()) Lossless_ = value; }
  bool VBR() const { return VBR_; }
  void SetVBR(bool value) { if (!Busy()) VBR_ = value; }
  uint8_t VBRQuality() const { return VBRQuality_; }
  void SetVBRQuality(uint8_t value) { if (!Busy()) VBRQuality_ = value; }
  /// -1: choose the format from DesiredBitrate, VBR and Lossless.
  int32_t CodecIndex() const { return CodecIndex_; }
  void SetCodecIndex(int32_t value) { if (!Busy()) CodecIndex_ = value; }
  int32_t FormatIndex() const { return FormatIndex_; }
  void SetFormatIndex(int32_t value) { if (!Busy()) FormatIndex_ = value; }

  /// The installed audio codecs, in codec order.
  const std::vector<std::u16string>& Codecs() const { return Codecs_; }
  /// The codec's format descriptions (its VBR ones with VBR or Lossless).
  const std::vector<std::u16string>& GetFormatList(int32_t codec);
  int GetFormatCount(int32_t codec) { return static_cast<int>(GetFormatList(codec).size()); }

 protected:
  void Prepare() override;
  void Encode(const uint8_t* pcm, size_t length) override;
  void Done() override;
  /// Opens the encoder on its file; raises "Cannot create file" when it cannot.
  virtual void OpenEncoder(const media::WmaCodec& codec, const media::WmaFormat& format);
  /// Abandons or finishes the encoder's destination.
  virtual void CloseDestination() {}

  media::PcmLayout InputLayout() const;
  /// The input's tags under the muxer's names.
  media::WmaEncoder::Tags Attributes();

  std::unique_ptr<media::WmaEncoder> encoder_;

 private:

  uint32_t DesiredBitrate_ = 0;
  bool Lossless_ = false;
  bool VBR_ = false;
  uint8_t VBRQuality_ = 0;
  int32_t CodecIndex_ = -1;
  int32_t FormatIndex_ = 0;
  std::vector<std::u16string> Codecs_;
  std::vector<std::u16string> formatList_;

};

/// A codec and one of its formats, by index in media::WmaCodecs().
struct WmaFormatChoice {
  size_t codec = 0;
  size_t format = 0;
};

/// The format search of TWMAOut, for PCM of `channels` channels and `bits`
/// bits (the codecs take 16): of the formats at the source's own `rate`, the
/// bit rate nearest `desired` (bits per second); where none has that rate,
/// the bit rate nearest `desired` and of those the nearest sample rate. The
/// first of equal ones stays. A lossless or VBR format is never found: no
/// codec here has one.
std::optional<WmaFormatChoice> FindWmaFormat(const std::vector<media::WmaCodec>& codecs, int channels, int bits, int rate,
                                             uint32_t desired, bool lossless, bool vbr);

using TStreamedAudioEvent = TNotifyEvent;

/// TWMAOut serving the stream over HTTP instead of writing a file: every
/// client that connects to Port (all IPv4 interfaces; 0 takes a free port
/// and sets Port to it) gets the ASF stream from then on, at most MaxClients
/// of them at once (0: no limit). OnClientConnected and OnClientDisconnected
/// arrive on the window thread.
class TWMStreamedOut : public TWMAOut {
 public:
  uint32_t Port() const { return Port_; }
  void SetPort(uint32_t value) { if (!Busy()) Port_ = value; }
  uint32_t MaxClients() const { return MaxClients_; }
  void SetMaxClients(uint32_t value) { if (!Busy()) MaxClients_ = value; }

  TStreamedAudioEvent OnClientConnected;
  TStreamedAudioEvent OnClientDisconnected;

 protected:
  void OpenEncoder(const media::WmaCodec& codec, const media::WmaFormat& format) override;
  void CloseDestination() override;

 private:
  std::unique_ptr<media::WmaStreamServer> server_;
  std::atomic<uint32_t> Port_{0};
  uint32_t MaxClients_ = 0;
};
