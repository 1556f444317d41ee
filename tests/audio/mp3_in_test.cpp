#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "audio/ACS_Classes.h"
#include "tests/audio/InputRun.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_smpeg.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

std::vector<int16_t> Tone(int frames, int channels, int rate) {
  return ToneSamples(frames, channels, rate, 440.0, 110);
}


class Mp3Input : public ::testing::Test {
 protected:
  std::string Make(const std::string& name, int seconds, int channels, int rate, bool tag = true, bool vbr = false) {
    const std::string file = dir.File(name);
    WriteBytes(file, EncodeMp3(Tone(seconds * rate, channels, rate), channels, rate, 128, tag, vbr));
    return file;
  }

  TempDir dir;
};

TEST_F(Mp3Input, LengthsOfATenSecondFile) {
  const std::string file = Make("ten.mp3", 10, 2, 44100);
  Sealed<TWMIn> wm;
  wm.SetFileName(file);
  EXPECT_TRUE(wm.Valid());
  EXPECT_EQ(wm.FileDuration(), 1000u);
  EXPECT_EQ(wm.TotalSamples(), 441000);
  EXPECT_EQ(wm.Size(), 1764000);
  EXPECT_EQ(wm.Channels(), 2);
  EXPECT_EQ(wm.BitsPerSample(), 16);
  EXPECT_EQ(wm.Bitrate(), 128000);
  EXPECT_FALSE(wm.IsVBR());
  EXPECT_FALSE(wm.IsProtected());

  // The MP3 input counts what the file holds, not a third of a second more.
  Sealed<TMP3In> mp3;
  mp3.SetFileName(file);
  EXPECT_EQ(mp3.TotalSamples(), 441000);
  EXPECT_EQ(mp3.Size(), 1764000);
}

TEST_F(Mp3Input, DecodesExactlyTheEncodedSamples) {
  for (const auto& [rate, channels] : {std::pair{44100, 2}, std::pair{32000, 1}, std::pair{48000, 2}}) {
    const std::string file = Make("gapless.mp3", 3, channels, rate);
    Sealed<TMP3In> input;
    input.SetFileName(file);
    const auto samples = ReadRun(input);
    EXPECT_EQ(samples.size(), static_cast<size_t>(3 * rate * channels)) << rate;
  }
}

TEST_F(Mp3Input, RangesStartAtTheirExactSample) {
  const std::string file = Make("seek.mp3", 5, 2, 44100);
  Sealed<TWMIn> input;
  input.SetFileName(file);
  const auto whole = ReadRun(input);
  ASSERT_EQ(whole.size(), 5u * 44100 * 2);
  EXPECT_EQ(whole, DecodeWithFfmpeg(file));  // the same as FFmpeg's own decode
  for (int64_t start : {1, 1151, 9000, 100000, 123457, 219000}) {
    const auto part = ReadRun(input, start, start + 999);
    ASSERT_EQ(part.size(), 2000u) << start;
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + start * 2)) << start;
  }
}

TEST_F(Mp3Input, RangesOfTheMp3InputStartWhereTheySay) {
  const std::string file = Make("half.mp3", 10, 2, 44100);
  Sealed<TWMIn> reference;
  reference.SetFileName(file);
  const auto whole = ReadRun(reference);
  Sealed<TMP3In> input;
  input.SetFileName(file);
  for (int64_t start : {227850, 445410 / 2, 400000}) {
    const auto part = ReadRun(input, start, start + 99);
    ASSERT_EQ(part.size(), 200u);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + start * 2)) << start;
  }
  // To the end of the file: the exact rest, no more.
  EXPECT_EQ(ReadRun(input, 400000, -1).size(), (441000u - 400000) * 2);
}

TEST_F(Mp3Input, VariableBitRateAndMissingTag) {
  Sealed<TMP3In> vbr;
  vbr.SetFileName(Make("vbr.mp3", 4, 2, 44100, true, true));
  EXPECT_TRUE(vbr.IsVBR());
  EXPECT_EQ(ReadRun(vbr).size(), 4u * 44100 * 2);

  // Without the LAME tag the frames are counted; the encoder delay stays in.
  Sealed<TWMIn> untagged;
  untagged.SetFileName(Make("untagged.mp3", 2, 1, 44100, false));
  EXPECT_FALSE(untagged.IsVBR());
  const auto samples = ReadRun(untagged);
  EXPECT_GE(samples.size(), 2u * 44100);
  EXPECT_EQ(static_cast<int64_t>(samples.size()), untagged.TotalSamples() >= 0 ? static_cast<int64_t>(samples.size()) : 0);
  EXPECT_NEAR(static_cast<double>(untagged.FileDuration()), samples.size() * 100.0 / 44100, 1.0);
}

TEST_F(Mp3Input, TagsComeFromId3v2) {
  const std::string file = Make("tagged.mp3", 1, 2, 44100);
  {
    TagLib::MPEG::File tagged(file.c_str());
    TagLib::ID3v2::Tag* tag = tagged.ID3v2Tag(true);
    tag->setTitle(TagLib::String("Title \u00e9", TagLib::String::UTF8));
    tag->setArtist("Artist");
    tag->setAlbum("Album");
    tag->setGenre("Jazz");
    tag->setYear(2004);
    tag->setTrack(3);
    ASSERT_TRUE(tagged.save());
  }
  Sealed<TMP3In> input;
  input.SetFileName(file);
  EXPECT_EQ(input.Id3v2Tags().Title(), u"Title \u00e9");
  EXPECT_EQ(input.Id3v2Tags().Artist(), u"Artist");
  EXPECT_EQ(input.Id3v2Tags().Album(), u"Album");
  EXPECT_EQ(input.Id3v2Tags().Genre(), u"Jazz");
  EXPECT_EQ(input.Id3v2Tags().Year(), "2004");
  EXPECT_EQ(input.Id3v2Tags().Track(), "3");
  EXPECT_EQ(input.CommonTags().Artist(), u"Artist");
  EXPECT_EQ(ReadRun(input).size(), 44100u * 2);
}

TEST_F(Mp3Input, ChannelChoices) {
  Sealed<TWMIn> input;
  input.SetFileName(Make("layout.mp3", 1, 2, 44100));
  input.SetOutputChannels(cn5dot1);
  EXPECT_TRUE(input.HighPrecision());
  input.SetHighPrecision(false);
  EXPECT_TRUE(input.HighPrecision());
  EXPECT_EQ(input.Channels(), 6);
  EXPECT_EQ(input.BitsPerSample(), 32);  // the last 6-channel format offered wins
  EXPECT_EQ(ReadRun(input).size(), 44100u * 6 * 2);
  input.SetOutputChannels(cnMaxAvailable);
  EXPECT_EQ(input.Channels(), 8);
  EXPECT_EQ(input.BitsPerSample(), 32);
}

TEST_F(Mp3Input, NonMediaFilesAreNotValid) {
  const std::string file = dir.File("text.mp3");
  WriteBytes(file, std::vector<uint8_t>(5000, 'x'));
  Sealed<TMP3In> input;
  input.SetFileName(file);
  EXPECT_FALSE(input.Valid());
  EXPECT_THROW(input.Bitrate(), EAuException);
  EXPECT_FALSE(input.IsProtected());
  EXPECT_TRUE(ReadRun(input).empty());

  // A truncated file reads what is there.
  std::string whole = Make("cut-short.mp3", 2, 2, 44100);
  std::vector<uint8_t> bytes(20000);
  {
    FILE* f = fopen(whole.c_str(), "rb");
    bytes.resize(fread(bytes.data(), 1, bytes.size(), f));
    fclose(f);
  }
  WriteBytes(whole, bytes);
  Sealed<TMP3In> truncated;
  truncated.SetFileName(whole);
  const auto samples = ReadRun(truncated);
  EXPECT_GT(samples.size(), 0u);
  EXPECT_LT(samples.size(), 2u * 44100 * 2);
}

TEST_F(Mp3Input, FramesThatChangeTheirChannelCountFromTheFuzzer) {
  // Mono frames with one stereo frame among them once crashed the resampler.
  std::vector<uint8_t> bytes(2235, 0);
  const std::pair<size_t, std::vector<uint8_t>> runs[] = {
      {0, {0x49, 0x44, 0x33, 0x03}}, {10, {0xFF, 0xFB, 0x90, 0xC4}}, {427, {0xFF, 0xFB, 0x90, 0xC4}},
      {844, {0xFF, 0xFB, 0x90, 0x23}}, {1261, {0xFF, 0xFB, 0x90, 0xC4}}, {1332, {0x10}}, {1506, {0x2E}},
      {1678, {0xFF, 0xFB, 0x90, 0xC4}}};
  for (const auto& [at, run] : runs) std::copy(run.begin(), run.end(), bytes.begin() + static_cast<long>(at));
  const std::string file = dir.File("fuzzed.mp3");
  WriteBytes(file, bytes);
  Sealed<TWMIn> input;
  input.SetFileName(file);
  ASSERT_TRUE(input.Valid());
  const int channels = input.Channels();
  const auto samples = ReadRun(input, input.TotalSamples() / 2);
  // Whatever the frames say, the delivery keeps the layout it opened with.
  EXPECT_EQ(samples.size() % static_cast<size_t>(channels), 0u);
  EXPECT_LE(static_cast<int64_t>(samples.size()), input.TotalSamples() * channels);
  EXPECT_GT(samples.size(), 0u);
}

}  // namespace

namespace {

TEST_F(Mp3Input, DestroyingTheInputDuringARunStopsItsOutputFirst) {
  auto input = std::make_unique<Sealed<TMP3In>>();
  input->SetFileName(Make("long.mp3", 20, 2, 44100));
  Sealed<TWaveOut> output;
  output.SetFileName(dir.File("out.wav"));
  output.SetInput(input.get());
  bool done = false;
  output.OnDone = [&](TComponent*) { done = true; };
  output.Run();
  ASSERT_TRUE(SpinUntil([&] { return input->Position() > 0; }));
  input.reset();  // while the worker decodes
  EXPECT_EQ(output.Input(), nullptr);
  EXPECT_FALSE(output.Busy());
  EXPECT_FALSE(done);
}

}  // namespace
