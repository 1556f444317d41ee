#include "audio/winmedia/WmaSyncReader.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/classes/AuException.h"
#include "audio/winmedia/AudioStream.h"

void OpenReader(wma_sync_reader& r, TAuStream& source, bool highPrecision, int channelCode) {
  r = wma_sync_reader{};
  if (wm::WMCreateSyncReader(nullptr, 0, &r.reader) != wm::S_OK || !r.reader) return;
  r.stream = std::make_shared<TAudioStream>(source);
  if (r.reader->OpenStream(r.stream) != wm::S_OK) {
    source.Seek(30, TAuStream::FromBeginning);
    if (r.reader->OpenStream(r.stream) != wm::S_OK) {
      r.reader.reset();
      r.stream.reset();
      return;
    }
  }
  uint32_t outputs = 0;
  r.reader->GetOutputCount(&outputs);
  for (uint32_t i = 0; i < outputs; ++i) {
    wm::MediaType props;
    if (r.reader->GetOutputProps(i, &props) != wm::S_OK || props.major != wm::MajorType::Audio) continue;
    const uint32_t discrete = highPrecision ? 1 : 0;
    r.reader->SetOutputSetting(i, u"EnableDiscreteOutput", wm::AttrType::Bool,
                               reinterpret_cast<const uint8_t*>(&discrete), 4);
    uint32_t takenChannels = props.format.channels, takenRate = props.format.samplesPerSec;
    if (channelCode > 2) {
      const auto speakers = static_cast<uint32_t>(channelCode);
      r.reader->SetOutputSetting(i, u"SpeakerConfig", wm::AttrType::Dword, reinterpret_cast<const uint8_t*>(&speakers), 4);
    }
    uint32_t formats = 0;
    r.reader->GetOutputFormatCount(i, &formats);
    for (uint32_t j = 0; j < formats; ++j) {
      wm::MediaType format;
      if (r.reader->GetOutputFormat(i, j, &format) != wm::S_OK || !format.isWaveFormatEx) continue;
      const WaveFormatEx& f = format.format;
      bool accept = false;
      if (channelCode == 0)
        accept = f.bitsPerSample >= r.bitsPerSample && f.samplesPerSec == takenRate && f.channels == takenChannels;
      else if (channelCode > 0)
        accept = f.channels == static_cast<uint32_t>(channelCode);
      else
        accept = f.channels >= r.channels && f.samplesPerSec >= r.sampleRate && f.bitsPerSample >= r.bitsPerSample;
      if (!accept) continue;
      r.hasAudio = true;
      r.outputNumber = i;
      r.bitsPerSample = f.bitsPerSample;
      if (channelCode == 0) {
        r.channels = takenChannels;
        r.sampleRate = takenRate;
      } else {
        r.channels = f.channels;
        r.sampleRate = f.samplesPerSec;
      }
      r.reader->SetOutputProps(i, format);
    }
  }
  if (!r.hasAudio) return;
  r.reader->GetStreamNumberForOutput(r.outputNumber, &r.streamNumber);
  r.isProtected = r.reader->SetReadStreamSamples(r.streamNumber, false) == wm::NS_E_PROTECTED_CONTENT;
  r.headerInfo = r.reader->HeaderInfo();
  uint16_t stream = 0, length = 8;
  wm::AttrType type{};
  uint64_t duration = 0;
  if (r.headerInfo &&
      r.headerInfo->GetAttributeByName(&stream, u"Duration", &type, reinterpret_cast<uint8_t*>(&duration), &length) ==
          wm::S_OK)
    r.duration = duration;
}

uint32_t ReaderDuration(const wma_sync_reader& r) {
  return static_cast<uint32_t>(std::llround(static_cast<double>(r.duration) / 100000.0));
}

namespace {

uint32_t ReadNumber(wma_sync_reader& r, const std::u16string& name) {
  if (!r.headerInfo) throw EAuException("The file holds no audio that can be read");
  uint16_t stream = 0, length = 4;
  wm::AttrType type{};
  uint32_t value = 0;
  if (r.headerInfo->GetAttributeByName(&stream, name, &type, reinterpret_cast<uint8_t*>(&value), &length) != wm::S_OK)
    return 0;
  return value;
}

}  // namespace

uint32_t ReaderBitrate(wma_sync_reader& r) { return ReadNumber(r, u"Bitrate"); }

bool ReaderIsVBR(wma_sync_reader& r) { return ReadNumber(r, u"IsVBR") != 0; }

std::u16string ReaderGetString(wma_sync_reader& r, const std::u16string& name) {
  if (!r.headerInfo) throw EAuException("The file holds no audio that can be read");
  uint16_t stream = 0, length = 0;
  wm::AttrType type{};
  if (r.headerInfo->GetAttributeByName(&stream, name, &type, nullptr, &length) != wm::S_OK || length == 0) return {};
  std::vector<uint8_t> bytes(length);
  if (r.headerInfo->GetAttributeByName(&stream, name, &type, bytes.data(), &length) != wm::S_OK) return {};
  std::u16string text(length / 2, u'\0');
  std::copy(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(text.size() * 2), reinterpret_cast<uint8_t*>(text.data()));
  while (!text.empty() && text.back() == u'\0') text.pop_back();
  return text;
}

void ReaderSeek(wma_sync_reader& r, double hundredths) {
  if (!r.reader) return;
  r.sample.reset();
  r.consumed = 0;
  r.reader->SetRange(static_cast<uint64_t>(std::llround(std::max(hundredths, 0.0) * 100000.0)), 0);
}

void ReaderRead(wma_sync_reader& r, void*& buffer, uint32_t& bytes) {
  for (;;) {
    if (r.sample) {
      uint8_t* data = nullptr;
      uint32_t length = 0;
      r.sample->GetBufferAndLength(&data, &length);
      if (r.consumed < length) {
        const uint32_t n = std::min(bytes, length - r.consumed);
        buffer = data + r.consumed;
        r.consumed += n;
        bytes = n;
        return;
      }
      r.sample.reset();
      r.consumed = 0;
    }
    if (!r.reader || r.reader->GetNextSample(r.streamNumber, &r.sample) != wm::S_OK) {
      r.sample.reset();
      buffer = nullptr;
      bytes = 0;
      return;
    }
  }
}

void CloseReader(wma_sync_reader& r) {
  if (r.reader) r.reader->Close();
  r.sample.reset();
  r.reader.reset();
  r.headerInfo.reset();
  r.stream.reset();
}
