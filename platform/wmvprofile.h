#pragma once
// The WMA codecs' format lists and the profiles built from them: shared by
// the profile manager and the writer, inside this folder only.

#include <memory>
#include <string>
#include <vector>

#include "Ffmpeg.h"
#include "platform/wmvwriter.h"

namespace wm {

/// One format a codec offers.
struct CodecFormat {
  int channels = 0;
  int rate = 0;
  int bitrate = 0;  // bits per second
};

struct Codec {
  std::u16string name;
  AVCodecID id;
  std::vector<CodecFormat> formats;  // bit rate high to low
};

/// The codecs FFmpeg can encode, each with the formats it accepts.
const std::vector<Codec>& Codecs();

class StreamConfig : public IWMStreamConfig {
 public:
  StreamConfig(size_t codec, const CodecFormat& format) : codec(codec), format(format) {}

  int32_t GetBitrate(uint32_t* bitrate) override {
    if (bitrate == nullptr) return E_FAIL;
    *bitrate = static_cast<uint32_t>(format.bitrate);
    return S_OK;
  }
  int32_t GetMediaType(MediaType* type, bool* lossless) override {
    if (type == nullptr) return E_FAIL;
    *type = PcmMediaType(format.channels, format.rate, 16);
    type->format.formatTag = Codecs()[codec].id == AV_CODEC_ID_WMAV2 ? 0x0161 : 0x0160;
    type->format.avgBytesPerSec = static_cast<uint32_t>(format.bitrate / 8);
    if (lossless) *lossless = false;
    return S_OK;
  }
  int32_t SetStreamNumber(uint16_t value) override {
    number = value;
    return value >= 1 && value <= 63 ? S_OK : E_FAIL;
  }
  int32_t SetStreamName(const std::u16string& value) override {
    name = value;
    return S_OK;
  }
  int32_t SetConnectionName(const std::u16string& value) override {
    connection = value;
    return S_OK;
  }
  int32_t GetProperty(const std::u16string&, AttrType*, uint8_t*, uint16_t*) override {
    return ASF_E_NOTFOUND;  // only VBR formats have "_VBRQUALITY", and there are none
  }

  const size_t codec;
  const CodecFormat format;
  uint16_t number = 0;
  std::u16string name, connection;
};

class Profile : public IWMProfile {
 public:
  int32_t AddStream(const std::shared_ptr<IWMStreamConfig>& config) override {
    auto stream = std::dynamic_pointer_cast<StreamConfig>(config);
    if (!stream || stream->number == 0 || !streams.empty()) return E_FAIL;  // one audio stream
    streams.push_back(stream);
    return S_OK;
  }
  std::vector<std::shared_ptr<StreamConfig>> streams;
};

}  // namespace wm
