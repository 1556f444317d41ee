#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/ACS_Classes.h"
#include "tests/audio/InputRun.h"
#include "audio/ACS_WinMedia.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WmaEncoder.h"

namespace {

std::vector<int16_t> Tone(int frames, int channels, int rate) {
  return ToneSamples(frames, channels, rate, 330.0, 220);
}


class WmaInput : public ::testing::Test {
 protected:
  TempDir dir;
  std::string file = dir.File("tone.wma");
};

TEST_F(WmaInput, FormatLengthAndAttributes) {
  WriteWma(file, Tone(44100 * 4, 2, 44100), 2, 44100, 128000,
           {{"Author", "Artist"}, {"Title", "Title \xc3\xa9"}, {"WM/AlbumTitle", "Album"}, {"WM/Genre", "Jazz"},
            {"WM/Year", "2004"}, {"WM/TrackNumber", "7"}, {"Copyright", "(c) us"}});
  Sealed<TWMIn> input;
  input.SetFileName(file);
  ASSERT_TRUE(input.Valid());
  EXPECT_EQ(input.Channels(), 2);
  EXPECT_EQ(input.SampleRate(), 44100);
  EXPECT_EQ(input.BitsPerSample(), 16);
  EXPECT_NEAR(static_cast<double>(input.FileDuration()), 400.0, 1.0);
  EXPECT_EQ(input.Bitrate(), 128000);
  EXPECT_EQ(input.Id3v2Tags().Artist(), u"Artist");
  EXPECT_EQ(input.Id3v2Tags().Title(), u"Title \u00e9");
  EXPECT_EQ(input.Id3v2Tags().Album(), u"Album");
  EXPECT_EQ(input.Id3v2Tags().Genre(), u"Jazz");
  EXPECT_EQ(input.Id3v2Tags().Year(), "2004");
  EXPECT_EQ(input.Id3v2Tags().Track(), "7");
  EXPECT_EQ(input.Id3v2Tags().Comment(), u"(c) us");

  const auto samples = ReadRun(input);
  // The decoded length is the announced one, give or take one codec frame.
  EXPECT_NEAR(static_cast<double>(samples.size() / 2), 44100.0 * 4, 2048.0);
}

TEST_F(WmaInput, RangesStartAtTheirExactSample) {
  WriteWma(file, Tone(44100 * 3, 1, 44100), 1, 44100, 64000);
  Sealed<TWMIn> input;
  input.SetFileName(file);
  const auto whole = ReadRun(input);
  EXPECT_EQ(whole, DecodeWithFfmpeg(file));  // the same as FFmpeg's own decode
  for (int64_t start : {4096, 50000, 77777}) {
    const auto part = ReadRun(input, start, start + 499);
    ASSERT_EQ(part.size(), 500u) << start;
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + start)) << start;
  }
}

TEST_F(WmaInput, VbrAsTheHeaderSaysIt) {
  WriteWma(file, Tone(4096, 1, 44100), 1, 44100, 64000);
  Sealed<TWMIn> plain;
  plain.SetFileName(file);
  EXPECT_FALSE(plain.IsVBR());
  WriteWma(file, Tone(4096, 1, 44100), 1, 44100, 64000, {{"IsVBR", "1"}});
  Sealed<TWMIn> vbr;
  vbr.SetFileName(file);
  EXPECT_TRUE(vbr.IsVBR());
}

TEST_F(WmaInput, DataAfterThirtyBytesOfJunkIsRead) {
  WriteWma(file, Tone(44100, 1, 44100), 1, 44100, 64000);
  std::vector<uint8_t> bytes(30, 0);
  {
    FILE* f = fopen(file.c_str(), "rb");
    uint8_t block[4096];
    for (size_t n; (n = fread(block, 1, sizeof block, f)) > 0;) bytes.insert(bytes.end(), block, block + n);
    fclose(f);
  }
  FILE* f = fopen(file.c_str(), "wb");
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  Sealed<TWMIn> input;
  input.SetFileName(file);
  EXPECT_TRUE(input.Valid());
  EXPECT_GT(ReadRun(input).size(), 40000u);
}

}  // namespace
