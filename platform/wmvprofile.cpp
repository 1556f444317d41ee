#include "platform/wmvprofile.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "platform/Utf.h"

namespace wm {
namespace {

/// Whether the encoder opens with this format: what it accepts is what it offers.
bool Encodes(const AVCodec* encoder, const CodecFormat& format) {
  AVCodecContext* context = Ffmpeg().avcodec_alloc_context3(encoder);
  if (context == nullptr) return false;
  context->sample_fmt = AV_SAMPLE_FMT_FLTP;
  context->sample_rate = format.rate;
  Ffmpeg().av_channel_layout_default(&context->ch_layout, format.channels);
  context->bit_rate = format.bitrate;
  const bool opened = Ffmpeg().avcodec_open2(context, encoder, nullptr) == 0;
  Ffmpeg().avcodec_free_context(&context);
  return opened;
}

}  // namespace

const std::vector<Codec>& Codecs() {
  static std::vector<Codec> codecs;
  static std::once_flag listed;
  std::call_once(listed, [] {
    Ffmpeg().av_log_set_level(AV_LOG_QUIET);
    const std::pair<const char16_t*, AVCodecID> kinds[] = {{u"Windows Media Audio 2 (wmav2)", AV_CODEC_ID_WMAV2},
                                                           {u"Windows Media Audio 1 (wmav1)", AV_CODEC_ID_WMAV1}};
    for (const auto& [name, id] : kinds) {
      const AVCodec* encoder = Ffmpeg().avcodec_find_encoder(id);
      if (encoder == nullptr) continue;
      Codec codec{name, id, {}};
      for (int kbps : {320, 256, 192, 160, 128, 112, 96, 80, 64, 56, 48, 40, 32, 24, 20, 16, 12, 10, 8})
        // Of equal bit rates the most common rate first: the format search keeps
        // the first of them that fits.
        for (int rate : {44100, 48000, 32000, 22050, 16000, 11025, 8000})
          for (int channels : {2, 1})
            if (const CodecFormat format{channels, rate, kbps * 1000}; Encodes(encoder, format))
              codec.formats.push_back(format);
      codecs.push_back(std::move(codec));
    }
  });
  return codecs;
}

namespace {

std::u16string Description(const CodecFormat& f) {
  char text[64];
  std::snprintf(text, sizeof text, "%d kbps, %2d kHz, %s CBR", f.bitrate / 1000, f.rate / 1000,
                f.channels == 1 ? "mono" : "stereo");
  return Utf::Utf8ToUtf16(text);
}

/// Copies `text` with its NUL into `out` of `*length` characters, or tells the length.
int32_t TextOut(const std::u16string& text, char16_t* out, uint32_t* length) {
  if (length == nullptr) return E_FAIL;
  const auto needed = static_cast<uint32_t>(text.size() + 1);
  if (out == nullptr) {
    *length = needed;
    return S_OK;
  }
  if (*length < needed) return E_FAIL;
  std::copy(text.begin(), text.end(), out);
  out[text.size()] = u'\0';
  *length = needed;
  return S_OK;
}

class ProfileManager : public IWMProfileManager {
 public:
  int32_t CreateEmptyProfile(uint32_t version, std::shared_ptr<IWMProfile>* profile) override {
    if (profile == nullptr || version < WMT_VER_9_0) return E_FAIL;
    *profile = std::make_shared<Profile>();
    return S_OK;
  }
  int32_t GetCodecInfoCount(MajorType type, uint32_t* count) override {
    if (count == nullptr) return E_FAIL;
    *count = type == MajorType::Audio ? static_cast<uint32_t>(Codecs().size()) : 0;
    return S_OK;
  }
  int32_t GetCodecName(MajorType type, uint32_t codec, char16_t* name, uint32_t* length) override {
    if (!Valid(type, codec)) return E_FAIL;
    return TextOut(Codecs()[codec].name, name, length);
  }
  int32_t GetCodecFormatCount(MajorType type, uint32_t codec, uint32_t* count) override {
    if (!Valid(type, codec) || count == nullptr) return E_FAIL;
    *count = static_cast<uint32_t>(Codecs()[codec].formats.size());
    return S_OK;
  }
  int32_t GetCodecFormat(MajorType type, uint32_t codec, uint32_t format,
                         std::shared_ptr<IWMStreamConfig>* config) override {
    if (!Valid(type, codec) || config == nullptr || format >= Codecs()[codec].formats.size()) return E_FAIL;
    *config = std::make_shared<StreamConfig>(codec, Codecs()[codec].formats[format]);
    return S_OK;
  }
  int32_t GetCodecFormatDesc(MajorType type, uint32_t codec, uint32_t format, std::shared_ptr<IWMStreamConfig>* config,
                             char16_t* description, uint32_t* length) override {
    if (!Valid(type, codec) || format >= Codecs()[codec].formats.size()) return E_FAIL;
    const CodecFormat& f = Codecs()[codec].formats[format];
    if (config != nullptr) *config = std::make_shared<StreamConfig>(codec, f);
    return TextOut(Description(f), description, length);
  }
  int32_t SetCodecEnumerationSetting(MajorType type, uint32_t codec, const std::u16string&, AttrType, const uint8_t*,
                                     uint32_t) override {
    // No codec here encodes with a variable bit rate or losslessly.
    (void)type;
    (void)codec;
    return E_FAIL;
  }

 private:
  static bool Valid(MajorType type, uint32_t codec) { return type == MajorType::Audio && codec < Codecs().size(); }
};

}  // namespace

int32_t WMCreateProfileManager(std::shared_ptr<IWMProfileManager>* manager) {
  if (manager == nullptr) return E_FAIL;
  *manager = std::make_shared<ProfileManager>();
  return S_OK;
}

}  // namespace wm
