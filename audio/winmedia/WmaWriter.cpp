#include "audio/winmedia/WmaWriter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "audio/classes/AuException.h"

namespace {

/// Turns the writer's error statuses into the record's error procedure.
class TWMErrorCallback : public wm::IWMStatusCallback {
 public:
  explicit TWMErrorCallback(wma_writer& w) : w_(w) {}
  int32_t OnStatus(int32_t status, int32_t, wm::AttrType, const uint8_t*, void*) override {
    if ((status == 0 || status == 9 || status == 26 || status == 30) && w_.onError) w_.onError(w_.owner);
    return wm::S_OK;
  }

 private:
  wma_writer& w_;
};

/// Turns client statuses of a network sink into the record's procedures.
class TWMStatusCallback : public wm::IWMStatusCallback {
 public:
  explicit TWMStatusCallback(wma_writer& w) : w_(w) {}
  int32_t OnStatus(int32_t status, int32_t, wm::AttrType, const uint8_t*, void*) override {
    if (status == wm::WMT_CLIENT_CONNECT && w_.onClientConnected) w_.onClientConnected(w_.owner);
    if (status == wm::WMT_CLIENT_DISCONNECT && w_.onClientDisconnected) w_.onClientDisconnected(w_.owner);
    return wm::S_OK;
  }

 private:
  wma_writer& w_;
};

int32_t Difference(uint32_t a, uint32_t b) { return std::abs(static_cast<int32_t>(a) - static_cast<int32_t>(b)); }

/// Puts `config` in a new profile on the writer and the PCM layout on its input.
void BuildProfile(wma_writer& w, wm::IWMProfileManager& manager, const std::shared_ptr<wm::IWMStreamConfig>& config,
                  int channels, int bits, int rate) {
  std::shared_ptr<wm::IWMProfile> profile;
  if (manager.CreateEmptyProfile(wm::WMT_VER_9_0, &profile) != wm::S_OK)
    throw std::runtime_error("Failed to set up the WMA encoder: no profile could be made");
  config->SetStreamNumber(1);
  config->SetStreamName(u"NAAudioStream");
  config->SetConnectionName(u"NAAudioConnection");
  if (profile->AddStream(config) != wm::S_OK)
    throw std::runtime_error("Failed to set up the WMA encoder: the audio format was not taken");
  w.writer->SetProfile(profile);
  uint32_t inputs = 0;
  w.writer->GetInputCount(&inputs);
  for (uint32_t i = 0; i < inputs; ++i) {
    wm::MediaType type;
    if (w.writer->GetInputProps(i, &type) != wm::S_OK || type.major != wm::MajorType::Audio || !type.isWaveFormatEx)
      continue;
    w.inputNumber = i;
    type.format = wm::PcmMediaType(channels, rate, bits).format;  // PCM of the input's layout
    w.bytesPerSecond = type.format.avgBytesPerSec;
    w.writer->SetInputProps(i, type);
    break;
  }
}

std::u16string TextOf(const std::function<int32_t(char16_t*, uint32_t*)>& get) {
  uint32_t length = 0;
  if (get(nullptr, &length) != wm::S_OK || length == 0) return {};
  std::u16string text(length, u'\0');
  if (get(text.data(), &length) != wm::S_OK) return {};
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

bool EnableVbr(wm::IWMProfileManager& manager, uint32_t codec) {
  const uint32_t yes = 1;
  return manager.SetCodecEnumerationSetting(wm::MajorType::Audio, codec, u"_VBRENABLED", wm::AttrType::Bool,
                                            reinterpret_cast<const uint8_t*>(&yes), 4) == wm::S_OK;
}

std::shared_ptr<wm::IWMProfileManager> Manager() {
  std::shared_ptr<wm::IWMProfileManager> manager;
  if (wm::WMCreateProfileManager(&manager) != wm::S_OK) return nullptr;
  return manager;
}

}  // namespace

void OpenFileWriter(wma_writer& w, const std::u16string& fileName, TComponent* owner,
                    std::function<void(TComponent*)> onError) {
  w = wma_writer{};
  w.owner = owner;
  w.onError = std::move(onError);
  if (wm::WMCreateWriterFileSink(&w.fileSink) != wm::S_OK) return;
  if (wm::WMCreateWriter(nullptr, &w.writer) != wm::S_OK) {
    w.fileSink.reset();
    return;
  }
  w.writer->AddSink(w.fileSink);
  if (w.fileSink->Open(fileName) != wm::S_OK) {
    w.fileSink.reset();
    w.writer.reset();
    return;
  }
  w.errorCallback = std::make_shared<TWMErrorCallback>(w);
  w.fileSink->Advise(w.errorCallback, nullptr);
  w.initialised = true;
}

void OpenNetworkWriter(wma_writer& w, uint32_t& port, uint32_t maxClients, std::function<void(TComponent*)> onError,
                       std::function<void(TComponent*)> onDisconnected, std::function<void(TComponent*)> onConnected,
                       TComponent* owner) {
  w = wma_writer{};
  w.owner = owner;
  w.onError = std::move(onError);
  w.onClientDisconnected = std::move(onDisconnected);
  w.onClientConnected = std::move(onConnected);
  if (wm::WMCreateWriterNetworkSink(&w.networkSink) != wm::S_OK) return;
  if (wm::WMCreateWriter(nullptr, &w.writer) != wm::S_OK) {
    w.networkSink.reset();
    return;
  }
  w.networkSink->SetNetworkProtocol(0);
  const auto release = [&w] {
    w.networkSink->Close();
    w.networkSink.reset();
    w.writer.reset();
  };
  if (w.networkSink->Open(&port) != wm::S_OK) return release();
  if (maxClients != 0) w.networkSink->SetMaximumClients(maxClients);
  if (w.writer->AddSink(w.networkSink) != wm::S_OK) return release();
  w.statusCallback = std::make_shared<TWMStatusCallback>(w);
  w.networkSink->Advise(w.statusCallback, nullptr);
  w.initialised = true;
}

std::vector<std::u16string> ListCodecs() {
  std::vector<std::u16string> names;
  const auto manager = Manager();
  uint32_t count = 0;
  if (!manager || manager->GetCodecInfoCount(wm::MajorType::Audio, &count) != wm::S_OK) return names;
  for (uint32_t k = 0; k < count; ++k)
    names.push_back(TextOf([&](char16_t* text, uint32_t* length) {
      return manager->GetCodecName(wm::MajorType::Audio, k, text, length);
    }));
  return names;
}

std::vector<std::u16string> ListCodecFormats(uint32_t codec, bool vbr) {
  std::vector<std::u16string> list;
  const auto manager = Manager();
  uint32_t count = 0;
  if (!manager || manager->GetCodecInfoCount(wm::MajorType::Audio, &count) != wm::S_OK || codec >= count) return list;
  if (vbr && !EnableVbr(*manager, codec)) return list;
  uint32_t formats = 0;
  manager->GetCodecFormatCount(wm::MajorType::Audio, codec, &formats);
  for (uint32_t i = 0; i < formats; ++i)
    list.push_back(TextOf([&](char16_t* text, uint32_t* length) {
      return manager->GetCodecFormatDesc(wm::MajorType::Audio, codec, i, nullptr, text, length);
    }));
  return list;
}

void SetWriterFormatByIndex(wma_writer& w, int channels, int bits, int rate, bool vbr, uint32_t codec, uint32_t format) {
  const auto manager = Manager();
  uint32_t count = 0;
  if (!manager || manager->GetCodecInfoCount(wm::MajorType::Audio, &count) != wm::S_OK || codec >= count) return;
  if (vbr && !EnableVbr(*manager, codec)) return;
  std::shared_ptr<wm::IWMStreamConfig> config;
  if (manager->GetCodecFormat(wm::MajorType::Audio, codec, format, &config) != wm::S_OK || !config) return;
  BuildProfile(w, *manager, config, channels, bits, rate);
}

std::shared_ptr<wm::IWMStreamConfig> FindCodecFormat(wm::IWMProfileManager& codecs, int channels, int bits, int rate,
                                                     uint32_t desired, bool lossless, bool vbr) {
  std::shared_ptr<wm::IWMStreamConfig> candidate;
  uint32_t acceptedBitrate = 0, acceptedRate = 0, bestQuality = 0, bitrate = 0;
  bool match = false;
  uint32_t count = 0;
  codecs.GetCodecInfoCount(wm::MajorType::Audio, &count);
  for (uint32_t k = 0; k < count; ++k) {
    if ((lossless || vbr) && !EnableVbr(codecs, k)) continue;
    uint32_t formats = 0;
    codecs.GetCodecFormatCount(wm::MajorType::Audio, k, &formats);
    for (uint32_t i = 0; i < formats; ++i) {
      std::shared_ptr<wm::IWMStreamConfig> config;
      if (codecs.GetCodecFormat(wm::MajorType::Audio, k, i, &config) != wm::S_OK || !config) break;
      wm::MediaType type;
      bool isLossless = false;
      config->GetMediaType(&type, &isLossless);
      if (lossless) {
        match = isLossless;
      } else if (vbr) {
        uint32_t quality = 0;
        uint16_t length = 4;
        wm::AttrType kind{};
        config->GetProperty(u"_VBRQUALITY", &kind, reinterpret_cast<uint8_t*>(&quality), &length);
        if (Difference(desired, quality) < Difference(desired, bestQuality)) {
          bestQuality = quality;
          match = true;
        }
      } else {
        config->GetBitrate(&bitrate);
        match = Difference(bitrate, desired) < Difference(acceptedBitrate, desired);
      }
      if (!match) continue;
      if ((lossless || vbr) && !candidate) candidate = config;
      const uint32_t formatRate = type.format.samplesPerSec;
      if (type.format.channels == channels && type.format.bitsPerSample == bits &&
          Difference(formatRate, static_cast<uint32_t>(rate)) <= Difference(acceptedRate, static_cast<uint32_t>(rate))) {
        acceptedBitrate = bitrate;
        acceptedRate = formatRate;
        candidate = config;
      }
    }
  }
  return candidate;
}

void SetWriterFormat(wma_writer& w, int channels, int bits, int rate, bool lossless, bool vbr, uint32_t desired) {
  if (!vbr && desired < 1000) desired *= 1000;
  const auto manager = Manager();
  const auto config = manager ? FindCodecFormat(*manager, channels, bits, rate, desired, lossless, vbr) : nullptr;
  if (!config) throw std::runtime_error("Failed to init codec");
  BuildProfile(w, *manager, config, channels, bits, rate);
}

void SetWriterAttribute(wma_writer& w, const std::u16string& name, const std::u16string& text) {
  w.writer->SetAttribute(0, name, wm::AttrType::String, reinterpret_cast<const uint8_t*>(text.data()),
                         static_cast<uint16_t>(std::min<size_t>(text.size() * 2, 65534)));
}

void BeginWriter(wma_writer& w) {
  if (w.writer->BeginWriting() != wm::S_OK) {
    const std::string reason = w.writer->FailureText();
    throw EAuException("Failed to set data writer: " +
                       (reason.empty() ? std::string("the WMA encoder could not be started") : reason));
  }
  w.sampleTime = 0;
}

void WriteData(wma_writer& w, const void* data, uint32_t length) {
  std::shared_ptr<wm::IWMWriterBuffer> sample;
  if (w.writer->AllocateSample(length, &sample) != wm::S_OK) throw EAuException("Failed to write data: no buffer for it");
  uint8_t* buffer = nullptr;
  sample->GetBuffer(&buffer);
  if (length > 0) std::memcpy(buffer, data, length);
  sample->SetLength(length);
  const double seconds = w.bytesPerSecond > 0 ? static_cast<double>(length) / w.bytesPerSecond : 0.0;
  w.sampleTime += static_cast<uint64_t>(std::nearbyint(seconds / 1e-7));
  const int32_t result = w.writer->WriteSample(w.inputNumber, w.sampleTime, 0, sample);
  if (result != wm::S_OK) {
    // The encoder's own reason when it has one, else the result code.
    std::string reason = w.writer->FailureText();
    if (reason.empty()) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "%08X", static_cast<uint32_t>(result));
      reason = hex;
    }
    throw EAuException("Failed to write data: " + reason);
  }
}

bool CloseFileWriter(wma_writer& w) {
  const bool ended = w.writer && w.writer->EndWriting() == wm::S_OK;
  w.fileSink.reset();
  w.writer.reset();
  w.errorCallback.reset();
  w.initialised = false;
  return ended;
}

bool CloseNetworkWriter(wma_writer& w) {
  const bool ended = w.writer && w.writer->EndWriting() == wm::S_OK;
  if (w.networkSink) {
    w.networkSink->Close();
    if (w.writer) w.writer->RemoveSink(w.networkSink);
  }
  w.networkSink.reset();
  w.writer.reset();
  w.statusCallback.reset();
  w.errorCallback.reset();
  w.initialised = false;
  return ended;
}
