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

/// A codec list made up for the search: each format is channels, rate, bit rate.
struct FakeCodecs {
  std::vector<media::WmaCodec> codecs;
  void Add(std::vector<media::WmaFormat> formats) { codecs.push_back({"fake", 0, std::move(formats)}); }
  /// codec x 100 + format of what the search finds; -1 for nothing.
  int Find(int channels, int rate, uint32_t desired, int bits = 16) {
    const auto found = FindWmaFormat(codecs, channels, bits, rate, desired, false, false);
    return found ? static_cast<int>(found->codec * 100 + found->format) : -1;
  }
};

TEST(WmaFormatSearch, RulesOfTheConstantBitrateSearch) {
  FakeCodecs codecs;
  codecs.Add({{2, 44100, 192000}, {2, 44100, 128000}, {2, 48000, 128000}, {1, 44100, 128000}, {2, 22050, 96000},
              {2, 32000, 127000}});
  // The source's rate wherever a format has it, at the nearest bit rate.
  EXPECT_EQ(codecs.Find(2, 44100, 128000), 1);
  EXPECT_EQ(codecs.Find(2, 48000, 128000), 2);  // not 44.1 kHz at the same bit rate
  EXPECT_EQ(codecs.Find(2, 48000, 320000), 2);  // a bit rate further off, but the rate kept
  EXPECT_EQ(codecs.Find(1, 44100, 128000), 3);
  EXPECT_EQ(codecs.Find(2, 44100, 127000), 1);
  EXPECT_EQ(codecs.Find(2, 32000, 127000), 5);
  // A rate no format has: the nearest bit rate, then a rate at least as near.
  EXPECT_EQ(codecs.Find(2, 24000, 100000), 4);
  EXPECT_EQ(codecs.Find(2, 40000, 127000), 1);  // 32 kHz's nearer bit rate, but a farther rate
  EXPECT_EQ(codecs.Find(6, 44100, 128000), -1);  // no format with these channels
  codecs.Add({{2, 44100, 128500}});
  EXPECT_EQ(codecs.Find(2, 44100, 128400), 100);  // a later codec's nearer format wins
  EXPECT_EQ(codecs.Find(2, 44100, 128000, 24), -1);  // the codecs take 16-bit samples
  EXPECT_FALSE(FindWmaFormat(codecs.codecs, 2, 16, 44100, 50, false, true));  // no VBR formats
}

TEST(WmaFormatSearch, FormatListsOfTheEncoders) {
  Sealed<TWMAOut> output;
  const auto& codecs = output.Codecs();
  ASSERT_GE(codecs.size(), 2u);
  EXPECT_EQ(codecs[0], u"Windows Media Audio 2 (wmav2)");
  const auto formats = output.GetFormatList(0);
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
  EXPECT_TRUE(output.GetFormatList(7).empty());
  output.SetVBR(true);
  EXPECT_TRUE(output.GetFormatList(0).empty());  // no VBR encoder here
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
      const auto formats = output.GetFormatList(0);
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
    const auto formats = output.GetFormatList(codec);
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

}  // namespace
