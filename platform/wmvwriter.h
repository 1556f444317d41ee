#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/wmvcore.h"

/// The Windows Media writer calls the WMA output makes: profile manager with
/// codec information, stream configurations, profile, writer, file sink and
/// status callbacks, over libavcodec's WMA encoders and libavformat's ASF
/// muxer. Results are 0 on success, anything else a failure.
namespace wm {

inline constexpr uint32_t WMT_VER_9_0 = 0x00090000;
/// The header attribute in which the writer records how many frames were
/// written (decoders deliver whole codec frames, so a few more); the reader
/// stand-in counts that many. Other readers ignore it.
inline constexpr char kSampleCountAttribute[] = "ClipwrightSampleCount";
/// Status values a writer reports through IWMStatusCallback.
inline constexpr int32_t WMT_ERROR = 0;
inline constexpr int32_t WMT_CLIENT_CONNECT = 37;
inline constexpr int32_t WMT_CLIENT_DISCONNECT = 38;

/// One encoding choice: a codec's format, or the stream built from it.
class IWMStreamConfig {
 public:
  virtual ~IWMStreamConfig() = default;
  /// Bits per second.
  virtual int32_t GetBitrate(uint32_t* bitrate) = 0;
  /// The encoded format; `lossless` marks the lossless subtype.
  virtual int32_t GetMediaType(MediaType* type, bool* lossless) = 0;
  virtual int32_t SetStreamNumber(uint16_t number) = 0;
  virtual int32_t SetStreamName(const std::u16string& name) = 0;
  virtual int32_t SetConnectionName(const std::u16string& name) = 0;
  /// Format properties: "_VBRQUALITY" (DWORD) of VBR formats.
  virtual int32_t GetProperty(const std::u16string& name, AttrType* type, uint8_t* value, uint16_t* length) = 0;
};

class IWMProfile {
 public:
  virtual ~IWMProfile() = default;
  virtual int32_t AddStream(const std::shared_ptr<IWMStreamConfig>& config) = 0;
};

/// The profile manager with its codec information (audio codecs only).
class IWMProfileManager {
 public:
  virtual ~IWMProfileManager() = default;
  virtual int32_t CreateEmptyProfile(uint32_t version, std::shared_ptr<IWMProfile>* profile) = 0;
  virtual int32_t GetCodecInfoCount(MajorType type, uint32_t* count) = 0;
  /// With `name` null, only `length` (characters, with the NUL) is told.
  virtual int32_t GetCodecName(MajorType type, uint32_t codec, char16_t* name, uint32_t* length) = 0;
  virtual int32_t GetCodecFormatCount(MajorType type, uint32_t codec, uint32_t* count) = 0;
  virtual int32_t GetCodecFormat(MajorType type, uint32_t codec, uint32_t format,
                                 std::shared_ptr<IWMStreamConfig>* config) = 0;
  /// "<kbps> kbps, <kHz> kHz, <stereo|mono> CBR"; with `description` null only `length`.
  virtual int32_t GetCodecFormatDesc(MajorType type, uint32_t codec, uint32_t format,
                                     std::shared_ptr<IWMStreamConfig>* config, char16_t* description,
                                     uint32_t* length) = 0;
  /// "_VBRENABLED": lists VBR formats instead; fails for codecs that have none.
  virtual int32_t SetCodecEnumerationSetting(MajorType type, uint32_t codec, const std::u16string& name,
                                             AttrType attrType, const uint8_t* value, uint32_t length) = 0;
};

class IWMStatusCallback {
 public:
  virtual ~IWMStatusCallback() = default;
  virtual int32_t OnStatus(int32_t status, int32_t result, AttrType type, const uint8_t* value, void* context) = 0;
};

/// A block of PCM handed to the writer.
class IWMWriterBuffer : public INSSBuffer {
 public:
  virtual int32_t GetBuffer(uint8_t** buffer) = 0;
  virtual int32_t SetLength(uint32_t length) = 0;
};

class IWMWriterSink {
 public:
  virtual ~IWMWriterSink() = default;
};

class IWMWriterFileSink : public IWMWriterSink {
 public:
  virtual int32_t Open(const std::u16string& fileName) = 0;
  /// Status callbacks of the sink (IWMRegisterCallback::Advise).
  virtual int32_t Advise(const std::shared_ptr<IWMStatusCallback>& callback, void* context) = 0;
};

/// Serves what the writer produces to HTTP clients: each client that sends a
/// GET gets the ASF header and the stream from then on.
class IWMWriterNetworkSink : public IWMWriterSink {
 public:
  /// Only HTTP (0) is known.
  virtual int32_t SetNetworkProtocol(int32_t protocol) = 0;
  /// Starts listening on `port` of every IPv4 interface (0: a free port, see GetHostURL).
  virtual int32_t Open(uint32_t* port) = 0;
  /// 0: no limit.
  virtual int32_t SetMaximumClients(uint32_t clients) = 0;
  /// "http://<host>:<port>/" of the open sink.
  virtual int32_t GetHostURL(std::string* url) = 0;
  virtual int32_t Close() = 0;
  /// Status callbacks (client connected 37, disconnected 38, errors).
  virtual int32_t Advise(const std::shared_ptr<IWMStatusCallback>& callback, void* context) = 0;
};

class IWMWriter {
 public:
  virtual ~IWMWriter() = default;
  virtual int32_t SetProfile(const std::shared_ptr<IWMProfile>& profile) = 0;
  virtual int32_t GetInputCount(uint32_t* count) = 0;
  virtual int32_t GetInputProps(uint32_t input, MediaType* type) = 0;
  virtual int32_t SetInputProps(uint32_t input, const MediaType& type) = 0;
  virtual int32_t AllocateSample(uint32_t length, std::shared_ptr<IWMWriterBuffer>* sample) = 0;
  /// `time`: 100 ns units, the end of this sample on the running clock.
  virtual int32_t WriteSample(uint32_t input, uint64_t time, uint32_t flags,
                              const std::shared_ptr<IWMWriterBuffer>& sample) = 0;
  virtual int32_t BeginWriting() = 0;
  virtual int32_t EndWriting() = 0;
  /// Header attributes (stream 0): UTF-16 text without its NUL.
  virtual int32_t SetAttribute(uint16_t stream, const std::u16string& name, AttrType type, const uint8_t* value,
                               uint16_t length) = 0;
  virtual int32_t AddSink(const std::shared_ptr<IWMWriterSink>& sink) = 0;
  virtual int32_t RemoveSink(const std::shared_ptr<IWMWriterSink>& sink) = 0;
  /// Why the last call that failed failed, in words ("the disk is full",
  /// FFmpeg's own reason); empty when nothing failed or no reason is known.
  virtual std::string FailureText() const = 0;
};

int32_t WMCreateWriter(void* certificate, std::shared_ptr<IWMWriter>* writer);
int32_t WMCreateWriterFileSink(std::shared_ptr<IWMWriterFileSink>* sink);
int32_t WMCreateWriterNetworkSink(std::shared_ptr<IWMWriterNetworkSink>* sink);
int32_t WMCreateProfileManager(std::shared_ptr<IWMProfileManager>* manager);

}  // namespace wm
