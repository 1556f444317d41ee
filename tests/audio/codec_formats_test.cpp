// FLAC, Ogg Vorbis, Opus and M4A: what our writer makes decodes to exactly
// the samples it was given, and our reader counts and seeks honestly.
#include <gtest/gtest.h>

#include <taglib/fileref.h>
#include <taglib/mp4file.h>
#include <taglib/tpropertymap.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "audio/codecs/CodecIn.h"
#include "audio/tags/Id3v2Tags.h"
#include "audio/tags/TagText.h"
#include "tests/audio/CodecFiles.h"
#include "tests/audio/InputRun.h"
#include "tests/support/Alignment.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

struct Layout {
  AudioFormat kind;
  int rate;
  int channels;
};

std::string Name(const ::testing::TestParamInfo<Layout>& info) {
  return CodecTestName(info.param.kind) + "_" + std::to_string(info.param.rate) + "_" +
         std::to_string(info.param.channels);
}

/// How far `b` is from `a`: the RMS of their difference against the RMS of `a`.
double RelativeError(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  double signal = 0, error = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    signal += double(a[i]) * a[i];
    error += double(a[i] - b[i]) * (a[i] - b[i]);
  }
  return signal > 0 ? std::sqrt(error / signal) : 0;
}

/// Decoders of FLAC and Vorbis repeat themselves to the bit; AAC and Opus
/// fill some bands with noise of their own, so two decodes only come close.
bool DecodesExactly(AudioFormat kind) { return kind == AudioFormat::Flac || kind == AudioFormat::Vorbis; }

class CodecRoundTrip : public ::testing::TestWithParam<Layout> {
 protected:
  TempDir dir;
};

TEST_P(CodecRoundTrip, DecodesToExactlyTheSamplesGivenAtLagZero) {
  const Layout layout = GetParam();
  // Not a whole number of any codec's frames.
  const int frames = 3 * layout.rate + 1237;
  const std::vector<int16_t> source = ChirpSamples(frames, layout.channels, layout.rate);
  const std::string file = dir.File(std::string("tone") + CodecExtension(layout.kind));
  ASSERT_EQ(WriteCodecFile(file, layout.kind, source, layout.channels, layout.rate), "");

  const std::vector<int16_t> decoded = DecodeWithFfmpeg(file);
  if (layout.kind == AudioFormat::M4a) {
    // FFmpeg's own decode leaves the last frame's padding in: the edit list tells where it starts.
    EXPECT_EQ(StreamDurationSamples(file), frames);
    EXPECT_GE(decoded.size(), source.size());
  } else {
    EXPECT_EQ(decoded.size(), source.size());
  }
  if (layout.kind == AudioFormat::Flac) {
    EXPECT_EQ(decoded, source);
  } else {
    EXPECT_EQ(BestLag(source, 0, decoded, layout.channels, 600, layout.rate / 10), 0);
  }

  Sealed<TCodecIn> input(CodecOf(layout.kind));
  input.SetFileName(file);
  ASSERT_TRUE(input.Valid());
  EXPECT_EQ(input.TotalSamples(), frames);
  EXPECT_EQ(input.Channels(), layout.channels);
  EXPECT_EQ(input.SampleRate(), layout.rate);
  const std::vector<int16_t> ours = ReadRun(input);
  ASSERT_EQ(ours.size(), source.size());
  // Our reader delivers what FFmpeg decodes, the padding left out.
  if (DecodesExactly(layout.kind)) EXPECT_TRUE(std::equal(ours.begin(), ours.end(), decoded.begin()));
  else EXPECT_LT(RelativeError(decoded, ours), 0.05);
}

INSTANTIATE_TEST_SUITE_P(Formats, CodecRoundTrip,
                         ::testing::Values(Layout{AudioFormat::Flac, 44100, 2}, Layout{AudioFormat::Flac, 8000, 1},
                                           Layout{AudioFormat::Vorbis, 44100, 2}, Layout{AudioFormat::Vorbis, 22050, 1},
                                           Layout{AudioFormat::Opus, 48000, 2}, Layout{AudioFormat::Opus, 48000, 1},
                                           Layout{AudioFormat::M4a, 44100, 2}, Layout{AudioFormat::M4a, 32000, 1}),
                         Name);

TEST(CodecOut, FilesShorterThanOneFrameKeepTheirLength) {
  TempDir dir;
  for (const AudioFormat kind : {AudioFormat::Flac, AudioFormat::Vorbis, AudioFormat::Opus, AudioFormat::M4a}) {
    for (const int frames : {1, 300, 2000}) {
      SCOPED_TRACE(std::string(CodecExtension(kind)) + " " + std::to_string(frames));
      const std::string file = dir.File("short" + std::to_string(frames) + CodecExtension(kind));
      const std::vector<int16_t> source = ChirpSamples(frames, 1, 48000);
      ASSERT_EQ(WriteCodecFile(file, kind, source, 1, 48000), "");
      Sealed<TCodecIn> input(CodecOf(kind));
      input.SetFileName(file);
      ASSERT_TRUE(input.Valid());
      EXPECT_EQ(input.TotalSamples(), frames);
      const std::vector<int16_t> read = ReadRun(input);
      EXPECT_EQ(read.size(), source.size());
      if (kind == AudioFormat::Flac) {
        EXPECT_EQ(read, source);
      }
    }
  }
}

TEST(CodecOut, OpusResamplesOtherRatesTo48kHz) {
  TempDir dir;
  const std::string file = dir.File("voice.opus");
  const int frames = 44100 * 2 + 11;
  ASSERT_EQ(WriteCodecFile(file, AudioFormat::Opus, ChirpSamples(frames, 1, 44100), 1, 44100), "");
  Sealed<TCodecIn> input(CodecOf(AudioFormat::Opus));
  input.SetFileName(file);
  EXPECT_EQ(input.SampleRate(), 48000);
  EXPECT_NEAR(static_cast<double>(input.TotalSamples()), frames * 48000.0 / 44100.0, 1.0);
  EXPECT_EQ(static_cast<int64_t>(ReadRun(input).size()), input.TotalSamples());
}

TEST(CodecOut, FlacKeeps24BitSamplesWhole) {
  TempDir dir;
  const std::string file = dir.File("deep.flac");
  const int frames = 30011;
  Sealed<MemoryInput> source(0);
  source.data.resize(static_cast<size_t>(frames) * 2 * 3);
  for (size_t i = 0; i < source.data.size(); ++i) source.data[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  source.AnnouncedSize = static_cast<int64_t>(source.data.size());
  source.Bits = 24;
  source.ChannelCount = 2;
  source.Rate = 96000;
  source.BlockSize = 6000;
  Sealed<TCodecOut> output(CodecOf(AudioFormat::Flac));
  output.SetFileName(file);
  bool done = false;
  output.OnDone = [&](TComponent*) { done = true; };
  output.SetInput(&source);
  output.Run();
  ASSERT_TRUE(SpinUntil([&] { return done; }, 60000));
  EXPECT_TRUE(output.ExceptionMessage().empty()) << output.ExceptionMessage();
  output.SetInput(nullptr);

  Sealed<TCodecIn> input(CodecOf(AudioFormat::Flac));
  input.SetFileName(file);
  ASSERT_EQ(input.BitsPerSample(), 32);  // more than 16 bits are delivered whole
  ASSERT_EQ(input.TotalSamples(), frames);
  input.Init();
  std::vector<uint8_t> decoded;
  for (;;) {
    void* block = nullptr;
    uint32_t bytes = 8192;
    input.GetData(block, bytes);
    if (bytes == 0) break;
    decoded.insert(decoded.end(), static_cast<uint8_t*>(block), static_cast<uint8_t*>(block) + bytes);
  }
  input.Flush();
  ASSERT_EQ(decoded.size(), static_cast<size_t>(frames) * 2 * 4);
  size_t wrong = 0;
  for (size_t i = 0; i < static_cast<size_t>(frames) * 2; ++i)
    // The 24 bits in the high bytes of each 32-bit sample.
    wrong += std::memcmp(&decoded[i * 4 + 1], &source.data[i * 3], 3) != 0 || decoded[i * 4] != 0;
  EXPECT_EQ(wrong, 0u);
}

/// Every field the MP3 path carries, a text beyond Latin-1 among them, and a cover.
void SetAllTags(TCodecOut& out) {
  TId3v2Tags& tags = out.Id3v2Tags();
  tags.SetArtist(u"Ann Åberg");
  tags.SetAlbum(u"Album");
  tags.SetGenre(u"Speech");
  tags.SetYear("2024");
  tags.SetTrack("3/12");
  tags.SetTitle(u"Τίτλος");
  tags.SetComment(u"A comment");
  tags.SetComposer(u"Composer");
  tags.SetEncoder(u"Encoder");
  tags.SetCopyright(u"(c) Ann");
  tags.SetLanguage(u"eng");
  tags.SetLink(u"https://example.org/");
  out.SetPictures({media::Picture{"image/png", "front", 3, {0x89, 'P', 'N', 'G', 1, 2, 3, 4, 5}}});
}

TEST(CodecTags, EveryFieldAndThePictureAreWrittenAndReadBack) {
  TempDir dir;
  for (const AudioFormat kind : {AudioFormat::Flac, AudioFormat::Vorbis, AudioFormat::Opus, AudioFormat::M4a}) {
    SCOPED_TRACE(CodecExtension(kind));
    const std::string file = dir.File(std::string("tagged") + CodecExtension(kind));
    ASSERT_EQ(WriteCodecFile(file, kind, ToneSamples(48000, 2, 48000), 2, 48000, SetAllTags), "");

    // As other programs read them.
    TagLib::FileRef ref(file.c_str());
    ASSERT_FALSE(ref.isNull());
    EXPECT_EQ(ref.tag()->artist().to8Bit(true), "Ann Åberg");
    EXPECT_EQ(ref.tag()->title().to8Bit(true), "Τίτλος");
    EXPECT_EQ(ref.tag()->year(), 2024u);
    EXPECT_EQ(ref.tag()->track(), 3u);
    const TagLib::PropertyMap properties = ref.file()->properties();
    EXPECT_EQ(properties["COMPOSER"].toString().to8Bit(true), "Composer");
    EXPECT_EQ(properties["COPYRIGHT"].toString().to8Bit(true), "(c) Ann");

    // And as our reader does.
    Sealed<TCodecIn> input(CodecOf(kind));
    input.SetFileName(file);
    TId3v2Tags& tags = input.Id3v2Tags();
    EXPECT_EQ(tags.Artist(), u"Ann Åberg");
    EXPECT_EQ(tags.Album(), u"Album");
    EXPECT_EQ(tags.Genre(), u"Speech");
    EXPECT_EQ(tags.Year(), "2024");
    EXPECT_EQ(tags.Track(), "3/12");
    EXPECT_EQ(tags.Title(), u"Τίτλος");
    EXPECT_EQ(tags.Comment(), u"A comment");
    EXPECT_EQ(tags.Composer(), u"Composer");
    EXPECT_EQ(tags.Encoder(), u"Encoder");
    EXPECT_EQ(tags.Copyright(), u"(c) Ann");
    EXPECT_EQ(tags.Language(), u"eng");
    EXPECT_EQ(tags.Link(), u"https://example.org/");
    const std::vector<media::Picture> pictures = input.Pictures();
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_EQ(pictures[0].mimeType, "image/png");
    EXPECT_EQ(pictures[0].data, (std::vector<uint8_t>{0x89, 'P', 'N', 'G', 1, 2, 3, 4, 5}));
    // Tags written after the audio leave its length as it was.
    EXPECT_EQ(input.TotalSamples(), 48000);
  }
}

TEST(CodecTags, AnM4aFileTellsItsDelayAndPaddingToOtherPlayers) {
  TempDir dir;
  const std::string file = dir.File("gapless.m4a");
  const int frames = 44100 + 100;
  ASSERT_EQ(WriteCodecFile(file, AudioFormat::M4a, ToneSamples(frames, 1, 44100), 1, 44100), "");
  TagLib::MP4::File mp4(file.c_str());
  ASSERT_TRUE(mp4.isValid());
  const TagLib::String smpb = mp4.tag()->item("----:com.apple.iTunes:iTunSMPB").toStringList().toString();
  unsigned zero = 1, delay = 0, padding = 0;
  unsigned long long samples = 0;
  ASSERT_EQ(std::sscanf(smpb.toCString(), " %x %x %x %llx", &zero, &delay, &padding, &samples), 4) << smpb.to8Bit();
  EXPECT_EQ(delay, 1024u);
  EXPECT_EQ(samples, static_cast<unsigned long long>(frames));
  // Delay, samples and padding fill whole frames of 1024.
  EXPECT_EQ((delay + samples + padding) % 1024, 0u);
  EXPECT_LT(padding, 1024u * 2);
}

TEST(CodecIn, SeeksToTheExactSample) {
  TempDir dir;
  for (const AudioFormat kind : {AudioFormat::Flac, AudioFormat::Vorbis, AudioFormat::Opus, AudioFormat::M4a}) {
    SCOPED_TRACE(CodecExtension(kind));
    const std::string file = dir.File(std::string("seek") + CodecExtension(kind));
    ASSERT_EQ(WriteCodecFile(file, kind, ChirpSamples(48000 * 6, 2, 48000), 2, 48000), "");
    Sealed<TCodecIn> input(CodecOf(kind));
    input.SetFileName(file);
    const std::vector<int16_t> whole = ReadRun(input);
    for (const int64_t start : {int64_t{1}, int64_t{100000}, int64_t{48000 * 5 + 17}}) {
      const int64_t end = std::min<int64_t>(start + 30000, 48000 * 6);
      const std::vector<int16_t> part = ReadRun(input, start, end - 1);  // the end sample is the last one read
      ASSERT_EQ(part.size(), static_cast<size_t>(end - start) * 2) << start;
      const std::vector<int16_t> expected(whole.begin() + start * 2, whole.begin() + end * 2);
      // Once the frames before the point are decoded, the decoder is where it was.
      if (DecodesExactly(kind)) EXPECT_EQ(part, expected) << start;
      else EXPECT_LT(RelativeError(expected, part), 0.05) << start << " lag " << BestLag(whole, static_cast<size_t>(start), part, 2, 2000, 100);
    }
  }
}

/// The file cut short after `share` of its bytes.
std::string Truncated(TempDir& dir, const std::string& file, double share) {
  std::vector<uint8_t> bytes = ReadFile(file);
  bytes.resize(static_cast<size_t>(static_cast<double>(bytes.size()) * share));
  const std::string cut = dir.File("short_" + std::filesystem::path(file).filename().string());
  WriteBytes(cut, bytes);
  return cut;
}

TEST(CodecIn, AFileCutShortCountsWhatItHolds) {
  TempDir dir;
  for (const AudioFormat kind : {AudioFormat::Flac, AudioFormat::Vorbis, AudioFormat::Opus}) {
    SCOPED_TRACE(CodecExtension(kind));
    const std::string file = dir.File(std::string("long") + CodecExtension(kind));
    ASSERT_EQ(WriteCodecFile(file, kind, ChirpSamples(48000 * 8, 1, 48000), 1, 48000), "");
    Sealed<TCodecIn> input(CodecOf(kind));
    input.SetFileName(Truncated(dir, file, 0.6));
    ASSERT_TRUE(input.Valid());
    // Its header still says 8 seconds; about 60% of them are there.
    EXPECT_GT(input.TotalSamples(), 48000 * 3);
    EXPECT_LT(input.TotalSamples(), 48000 * 6);
    EXPECT_EQ(static_cast<int64_t>(ReadRun(input).size()), input.TotalSamples());
  }
}

TEST(CodecIn, DamageInsideFailsTheReadThatReachesItAndSaysSo) {
  TempDir dir;
  for (const AudioFormat kind : {AudioFormat::Flac, AudioFormat::Vorbis}) {
    SCOPED_TRACE(CodecExtension(kind));
    const std::string file = dir.File(std::string("damaged") + CodecExtension(kind));
    ASSERT_EQ(WriteCodecFile(file, kind, ChirpSamples(48000 * 8, 1, 48000), 1, 48000), "");
    std::vector<uint8_t> bytes = ReadFile(file);
    const auto middle = static_cast<long>(bytes.size() / 2);
    std::fill(bytes.begin() + middle, bytes.begin() + middle + 300, 0x55);
    WriteBytes(file, bytes);
    Sealed<TCodecIn> input(CodecOf(kind));
    input.SetFileName(file);
    ASSERT_TRUE(input.Valid());
    // Its end is intact, so its header is believed; what lies before the damage reads as ever.
    EXPECT_EQ(input.TotalSamples(), 48000 * 8);
    EXPECT_EQ(ReadRun(input, 0, 48000 - 1).size(), 48000u);
    try {
      ReadRun(input);
      ADD_FAILURE() << "a read across the damage delivered everything it counted";
    } catch (const std::exception& e) {
      EXPECT_NE(std::string(e.what()).find("ended early: the file is damaged"), std::string::npos) << e.what();
    }
  }
}

TEST(CodecIn, WhatIsNoAudioOfItsFormatIsRefused) {
  TempDir dir;
  const std::string garbage = dir.File("noise.flac");
  std::vector<uint8_t> bytes(20000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((i * 7919) >> 3);
  WriteBytes(garbage, bytes);
  Sealed<TCodecIn> input(CodecOf(AudioFormat::Flac));
  input.SetFileName(garbage);
  EXPECT_FALSE(input.Valid());
  // An MP4 file keeps its index at the end: cut short, it cannot be read at all.
  const std::string m4a = dir.File("whole.m4a");
  ASSERT_EQ(WriteCodecFile(m4a, AudioFormat::M4a, ToneSamples(44100 * 3, 1, 44100), 1, 44100), "");
  Sealed<TCodecIn> shortened(CodecOf(AudioFormat::M4a));
  shortened.SetFileName(Truncated(dir, m4a, 0.7));
  EXPECT_FALSE(shortened.Valid());
}

}  // namespace
