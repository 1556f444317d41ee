// The WMA writer: the format search, the format lists, time stamps, and files
// that decode back to the samples written, with their attributes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "audio/ACS_WinMedia.h"
#include "tests/audio/InputRun.h"
#include "tests/audio/MemoryComponents.h"
#include "tests/audio/WriterTest.h"
#include "tests/support/Alignment.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

/// A codec list made up for the search: each format is channels, rate, bits, bit rate.
class FakeCodecs : public wm::IWMProfileManager {
 public:
  struct Format {
    int channels, rate, bits;
    uint32_t bitrate;
  };
  struct Config : wm::IWMStreamConfig {
    explicit Config(const Format& f, int id) : format(f), id(id) {}
    int32_t GetBitrate(uint32_t* b) override { return *b = format.bitrate, wm::S_OK; }
    int32_t GetMediaType(wm::MediaType* type, bool* lossless) override {
      type->major = wm::MajorType::Audio;
      type->isWaveFormatEx = true;
      type->format.channels = static_cast<uint16_t>(format.channels);
      type->format.samplesPerSec = static_cast<uint32_t>(format.rate);
      type->format.bitsPerSample = static_cast<uint16_t>(format.bits);
      if (lossless) *lossless = false;
      return wm::S_OK;
    }
    int32_t SetStreamNumber(uint16_t) override { return wm::S_OK; }
    int32_t SetStreamName(const std::u16string&) override { return wm::S_OK; }
    int32_t SetConnectionName(const std::u16string&) override { return wm::S_OK; }
    int32_t GetProperty(const std::u16string&, wm::AttrType*, uint8_t*, uint16_t*) override { return wm::E_FAIL; }
    Format format;
    int id;
  };

  std::vector<std::vector<Format>> codecs;

  int32_t CreateEmptyProfile(uint32_t, std::shared_ptr<wm::IWMProfile>*) override { return wm::E_FAIL; }
  int32_t GetCodecInfoCount(wm::MajorType, uint32_t* count) override {
    return *count = static_cast<uint32_t>(codecs.size()), wm::S_OK;
  }
  int32_t GetCodecName(wm::MajorType, uint32_t, char16_t*, uint32_t*) override { return wm::E_FAIL; }
  int32_t GetCodecFormatCount(wm::MajorType, uint32_t codec, uint32_t* count) override {
    return *count = static_cast<uint32_t>(codecs[codec].size()), wm::S_OK;
  }
  int32_t GetCodecFormat(wm::MajorType, uint32_t codec, uint32_t format,
                         std::shared_ptr<wm::IWMStreamConfig>* config) override {
    *config = std::make_shared<Config>(codecs[codec][format], static_cast<int>(codec * 100 + format));
    return wm::S_OK;
  }
  int32_t GetCodecFormatDesc(wm::MajorType, uint32_t, uint32_t, std::shared_ptr<wm::IWMStreamConfig>*, char16_t*,
                             uint32_t*) override {
    return wm::E_FAIL;
  }
  int32_t SetCodecEnumerationSetting(wm::MajorType, uint32_t, const std::u16string&, wm::AttrType, const uint8_t*,
                                     uint32_t) override {
    return wm::E_FAIL;
  }

  /// The id (codec x 100 + format) the search picks, -1 for none.
  int Find(int channels, int rate, uint32_t desired) {
    auto found = FindCodecFormat(*this, channels, 16, rate, desired, false, false);
    return found ? std::static_pointer_cast<Config>(found)->id : -1;
  }
};

TEST(WmaFormatSearch, RulesOfTheConstantBitrateSearch) {
  FakeCodecs codecs;
  codecs.codecs = {{{2, 44100, 16, 192000}, {2, 44100, 16, 128000}, {2, 48000, 16, 128000}, {1, 44100, 16, 128000},
                    {2, 22050, 16, 96000}, {2, 32000, 16, 127000}}};
  // The nearest bit rate at a rate at least as near; the first of equal bit rates stays.
  EXPECT_EQ(codecs.Find(2, 44100, 128000), 1);
  EXPECT_EQ(codecs.Find(2, 48000, 128000), 1);  // 48 kHz comes later with the same bit rate
  EXPECT_EQ(codecs.Find(1, 44100, 128000), 3);
  // A strictly nearer bit rate replaces only with a rate at least as near.
  EXPECT_EQ(codecs.Find(2, 44100, 127000), 1);
  EXPECT_EQ(codecs.Find(2, 32000, 127000), 5);
  EXPECT_EQ(codecs.Find(6, 44100, 128000), -1);  // no format with these channels
  codecs.codecs.push_back({{2, 44100, 16, 128500}});
  EXPECT_EQ(codecs.Find(2, 44100, 128400), 100);  // a later codec's nearer format wins
}

TEST(WmaFormatSearch, FormatListsOfTheEncoders) {
  const auto codecs = ListCodecs();
  ASSERT_GE(codecs.size(), 2u);
  EXPECT_EQ(codecs[0], u"Windows Media Audio 2 (wmav2)");
  const auto formats = ListCodecFormats(0, false);
  EXPECT_GE(formats.size(), 30u);
  const auto has = [&](const std::u16string& text) { return std::find(formats.begin(), formats.end(), text) != formats.end(); };
  EXPECT_TRUE(has(u"128 kbps, 44 kHz, stereo CBR"));
  EXPECT_TRUE(has(u"32 kbps, 22 kHz, mono CBR"));
  EXPECT_TRUE(std::any_of(formats.begin(), formats.end(),
                          [](const std::u16string& f) { return f.find(u",  8 kHz,") != std::u16string::npos; }));
  // Bit rates from high to low.
  std::vector<int> kbps;
  for (const auto& f : formats) kbps.push_back(std::stoi(std::string(f.begin(), f.begin() + static_cast<long>(f.find(u' ')))));
  EXPECT_TRUE(std::is_sorted(kbps.rbegin(), kbps.rend()));
  EXPECT_TRUE(ListCodecFormats(0, true).empty());  // no VBR encoder here
  EXPECT_TRUE(ListCodecFormats(7, false).empty());
}

using WmaWriting = WriterTest<TWMAOut>;


TEST_F(WmaWriting, DecodesBackAlignedAndNeverShort) {
  for (const int rate : {22050, 44100, 48000}) {
    for (const int channels : {1, 2}) {
      const int frames = rate + 333;
      auto input = Tone(frames, channels, rate);
      // The codec's format of exactly this layout, as the joiner picks one.
      char wanted[64];
      std::snprintf(wanted, sizeof wanted, "%d kbps, %2d kHz, %s CBR", channels == 1 ? 48 : 128, rate / 1000,
                    channels == 1 ? "mono" : "stereo");
      const auto formats = ListCodecFormats(0, false);
      const auto at = std::find(formats.begin(), formats.end(), std::u16string(wanted, wanted + std::strlen(wanted)));
      ASSERT_NE(at, formats.end()) << wanted;
      output.SetCodecIndex(0);
      output.SetFormatIndex(static_cast<int32_t>(at - formats.begin()));
      ASSERT_EQ(Write(*input), "") << rate;
      Sealed<TWMIn> back;
      back.SetFileName(file);
      const std::string where = std::to_string(rate) + " Hz, " + std::to_string(channels) + " ch";
      EXPECT_EQ(back.SampleRate(), rate) << where;
      EXPECT_EQ(back.Channels(), channels) << where;
      EXPECT_EQ(back.TotalSamples(), frames) << where;  // from the count the writer records
      const auto decoded = ReadRun(back);
      EXPECT_EQ(decoded.size(), static_cast<size_t>(frames * channels)) << where;
      // Readers that ignore the count get every sample, and a little silence after.
      EXPECT_GE(DecodeWithFfmpeg(file).size(), static_cast<size_t>(frames * channels)) << where;
      EXPECT_EQ(BestLag(ToneSamples(frames, channels, rate, 440.0, 110.0), 0, decoded, channels, 300), 0) << where;
    }
  }
}

TEST_F(WmaWriting, EveryListedFormatEncodes) {
  for (const int32_t codec : {0, 1}) {
    const auto formats = ListCodecFormats(static_cast<uint32_t>(codec), false);
    for (size_t index = 0; index < formats.size(); ++index) {
      auto input = Tone(3000, formats[index].find(u"mono") != std::u16string::npos ? 1 : 2, 44100);
      output.SetCodecIndex(codec);
      output.SetFormatIndex(static_cast<int32_t>(index));
      ASSERT_EQ(Write(*input), "") << codec << ": " << std::string(formats[index].begin(), formats[index].end());
      Sealed<TWMIn> back;
      back.SetFileName(file);
      EXPECT_EQ(back.TotalSamples(), static_cast<int64_t>(3000.0 * back.SampleRate() / 44100 + 0.5))
          << std::string(formats[index].begin(), formats[index].end());
    }
  }
}

TEST_F(WmaWriting, AnInputEndingOnABufferBoundaryEndsCleanly) {
  // 44.1 kHz stereo fills the 14,112-byte buffer with 3,528 frames: the last
  // call then hands the writer an empty sample.
  auto input = Tone(3528 * 3, 2, 44100);
  output.SetDesiredBitrate(128);
  ASSERT_EQ(Write(*input), "");
  Sealed<TWMIn> back;
  back.SetFileName(file);
  EXPECT_EQ(back.TotalSamples(), 3528 * 3);
  EXPECT_EQ(ReadRun(back).size(), 3528u * 3 * 2);
}

TEST_F(WmaWriting, TagsBecomeAttributesThatReadersFind) {
  output.Id3v2Tags().SetArtist(u"Band \u00e9");
  output.Id3v2Tags().SetTitle(u"Song");
  output.Id3v2Tags().SetAlbum(u"Record");
  output.Id3v2Tags().SetGenre(u"Jazz");
  output.Id3v2Tags().SetYear("2004");
  output.Id3v2Tags().SetTrack("7");
  output.Id3v2Tags().SetComment(u"(c) us");
  output.SetDesiredBitrate(128000);
  auto input = Tone(20000, 2, 44100);
  ASSERT_EQ(Write(*input), "");

  Sealed<TWMIn> back;
  back.SetFileName(file);
  EXPECT_EQ(back.Id3v2Tags().Artist(), u"Band \u00e9");
  EXPECT_EQ(back.Id3v2Tags().Title(), u"Song");
  EXPECT_EQ(back.Id3v2Tags().Album(), u"Record");
  EXPECT_EQ(back.Id3v2Tags().Genre(), u"Jazz");
  EXPECT_EQ(back.Id3v2Tags().Year(), "2004");
  EXPECT_EQ(back.Id3v2Tags().Track(), "7");
  EXPECT_EQ(back.Id3v2Tags().Comment(), u"(c) us");
  EXPECT_EQ(back.Bitrate(), 128000);

  AVFormatContext* format = nullptr;
  ASSERT_EQ(avformat_open_input(&format, file.c_str(), nullptr, nullptr), 0);
  std::map<std::string, std::string> seen;
  for (const AVDictionaryEntry* e = nullptr; (e = av_dict_get(format->metadata, "", e, AV_DICT_IGNORE_SUFFIX));)
    seen[e->key] = e->value;
  avformat_close_input(&format);
  EXPECT_EQ(seen["title"], "Song");
  EXPECT_EQ(seen["copyright"], "(c) us");
  EXPECT_EQ(seen["album"], "Record");
  EXPECT_EQ(seen["track"], "7");
}

TEST_F(WmaWriting, FailuresAndTheirMessages) {
  auto input = Tone(5000, 2, 44100);
  output.SetVBR(true);
  EXPECT_EQ(Write(*input), "Failed to init codec");
  output.SetVBR(false);
  output.SetCodecIndex(5);  // past the codecs: no profile is set
  EXPECT_EQ(Write(*input), "Failed to set data writer: the WMA encoder could not be started");
  output.SetCodecIndex(0);
  output.SetFormatIndex(0);
  EXPECT_EQ(Write(*input), "");
  output.SetFileName(dir.File("missing/out.wma"));
  EXPECT_EQ(Write(*input), "Cannot create file");
  output.SetFileName("");
  EXPECT_EQ(Write(*input), "File name is not assigned.");
  auto surround = Tone(5000, 6, 44100);
  output.SetFileName(file);
  output.SetCodecIndex(-1);
  EXPECT_EQ(Write(*surround), "Failed to init codec");
}

/// A writer that only keeps the time stamps it is given.
class StampRecorder : public wm::IWMWriter {
 public:
  int32_t SetProfile(const std::shared_ptr<wm::IWMProfile>&) override { return wm::S_OK; }
  int32_t GetInputCount(uint32_t* count) override { return *count = 0, wm::S_OK; }
  int32_t GetInputProps(uint32_t, wm::MediaType*) override { return wm::E_FAIL; }
  int32_t SetInputProps(uint32_t, const wm::MediaType&) override { return wm::E_FAIL; }
  int32_t AllocateSample(uint32_t length, std::shared_ptr<wm::IWMWriterBuffer>* sample) override {
    struct Buffer : wm::IWMWriterBuffer {
      std::vector<uint8_t> bytes;
      uint32_t used = 0;
      int32_t GetBufferAndLength(uint8_t** b, uint32_t* l) override { return *b = bytes.data(), *l = used, wm::S_OK; }
      int32_t GetBuffer(uint8_t** b) override { return *b = bytes.data(), wm::S_OK; }
      int32_t SetLength(uint32_t l) override { return used = l, wm::S_OK; }
    };
    auto buffer = std::make_shared<Buffer>();
    buffer->bytes.resize(length);
    *sample = buffer;
    return wm::S_OK;
  }
  int32_t WriteSample(uint32_t, uint64_t time, uint32_t, const std::shared_ptr<wm::IWMWriterBuffer>&) override {
    times.push_back(time);
    return fail ? static_cast<int32_t>(0xC00D0BC1) : wm::S_OK;
  }
  int32_t BeginWriting() override { return wm::S_OK; }
  int32_t EndWriting() override { return wm::S_OK; }
  std::string FailureText() const override { return fail ? "the disk is full" : ""; }
  int32_t SetAttribute(uint16_t, const std::u16string&, wm::AttrType, const uint8_t*, uint16_t) override { return wm::S_OK; }
  int32_t AddSink(const std::shared_ptr<wm::IWMWriterSink>&) override { return wm::S_OK; }
  int32_t RemoveSink(const std::shared_ptr<wm::IWMWriterSink>&) override { return wm::S_OK; }
  std::vector<uint64_t> times;
  bool fail = false;
};

TEST(WmaWriteData, EachSampleCarriesTheRunningTimeWithItsOwnDuration) {
  auto recorder = std::make_shared<StampRecorder>();
  wma_writer w;
  w.writer = recorder;
  w.bytesPerSecond = 176400;
  std::vector<uint8_t> pcm(17640);
  WriteData(w, pcm.data(), 17640);  // 0.1 s
  WriteData(w, pcm.data(), 0);
  WriteData(w, pcm.data(), 1);      // 5.67 us: rounded to 57 units
  EXPECT_EQ(recorder->times, (std::vector<uint64_t>{1000000, 1000000, 1000057}));
  recorder->fail = true;
  try {
    WriteData(w, pcm.data(), 4);
    FAIL() << "a failing write passed";
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "Failed to write data: the disk is full");
  }
}

}  // namespace
