// Inputs count only what their files hold, and a file that delivers less
// than was counted fails the run instead of ending quietly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"
#include "tests/audio/InputRun.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WavBuilder.h"
#include "tests/support/WmaEncoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadBytes(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), {});
}

Bytes FirstBytes(const Bytes& bytes, size_t count) { return Bytes(bytes.begin(), bytes.begin() + count); }

/// A mono IMA ADPCM file of `blocks` blocks of 512 bytes (1017 frames each)
/// whose "fact" chunk claims `factSamples`.
Bytes ImaFile(int blocks, uint32_t factSamples) {
  const auto tone = ToneSamples(1017 * blocks, 1, 8000);
  Bytes data(static_cast<size_t>(512 * blocks));
  Adpcm::ImaChannel state;
  for (int b = 0; b < blocks; ++b) Adpcm::ImaEncodeBlock(tone.data() + 1017 * b, 512, 1, &state, data.data() + 512 * b);
  Bytes extra, fact;
  WavBuilder::Put16(extra, 2);
  WavBuilder::Put16(extra, 1017);
  WavBuilder::Put32(fact, factSamples);
  return WavBuilder().Format(17, 1, 8000, 512, 4, extra).Chunk("fact", fact).Chunk("data", data).Build();
}

/// A stereo Microsoft ADPCM file of `blocks` blocks of 256 bytes (244 frames each).
Bytes MsAdpcmFile(int blocks, uint32_t factSamples) {
  Bytes extra, fact;
  WavBuilder::Put16(extra, 32);
  WavBuilder::Put16(extra, 244);
  WavBuilder::Put16(extra, 7);
  for (int16_t c : {256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232})
    WavBuilder::Put16(extra, static_cast<uint16_t>(c));
  WavBuilder::Put32(fact, factSamples);
  Bytes data(static_cast<size_t>(256 * blocks));
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
  for (int b = 0; b < blocks; ++b) {
    data[256 * b] = data[256 * b + 1] = 1;  // predictors within the table
    data[256 * b + 2] = data[256 * b + 4] = 16;  // deltas
    data[256 * b + 3] = data[256 * b + 5] = 0;
  }
  return WavBuilder().Format(2, 2, 22050, 256, 4, extra).Chunk("fact", fact).Chunk("data", data).Build();
}

class HonestLengths : public ::testing::Test {
 protected:
  /// Frames counted before the run and frames delivered by it.
  template <class Input>
  std::pair<int64_t, int64_t> CountAndRead(const std::string& name) {
    Sealed<Input> input;
    input.SetFileName(name);
    const int64_t counted = input.TotalSamples();
    const int channels = input.Channels();
    const auto samples = ReadRun(input);
    return {counted, static_cast<int64_t>(samples.size()) / channels};
  }

  TempDir dir;
  std::string file = dir.File("in.wav");
};

TEST_F(HonestLengths, AdpcmCountsTheWholeBlocksPresent) {
  // A minute of IMA ADPCM cut after 10 KB: 19 whole blocks are left.
  const Bytes minute = ImaFile(472, 472 * 1017);
  WriteBytes(file, FirstBytes(minute, 10 * 1024));
  EXPECT_EQ(CountAndRead<TWaveIn>(file), std::make_pair(int64_t{19 * 1017}, int64_t{19 * 1017}));

  // A "fact" count far beyond the blocks is a limit, not a promise.
  WriteBytes(file, ImaFile(1, 500000));
  EXPECT_EQ(CountAndRead<TWaveIn>(file), std::make_pair(int64_t{1017}, int64_t{1017}));
  // And a smaller one still limits.
  WriteBytes(file, ImaFile(2, 1500));
  EXPECT_EQ(CountAndRead<TWaveIn>(file), std::make_pair(int64_t{1500}, int64_t{1500}));

  const Bytes ms = MsAdpcmFile(200, 200 * 244);
  WriteBytes(file, FirstBytes(ms, 10 * 1024));
  const int64_t whole = (10 * 1024 - static_cast<int64_t>(ms.size() - 200 * 256)) / 256 * 244;
  EXPECT_EQ(CountAndRead<TWaveIn>(file), std::make_pair(whole, whole));
  WriteBytes(file, MsAdpcmFile(2, 90000));
  EXPECT_EQ(CountAndRead<TWaveIn>(file), std::make_pair(int64_t{488}, int64_t{488}));
}

TEST_F(HonestLengths, TruncatedMp3CountsTheFramesPresent) {
  for (const bool vbr : {false, true}) {
    const std::string whole = dir.File("whole.mp3"), cut = dir.File("cut.mp3");
    WriteBytes(whole, EncodeMp3(ToneSamples(44100 * 6, 2, 44100), 2, 44100, 128, true, vbr));
    const Bytes bytes = ReadBytes(whole);
    WriteBytes(cut, FirstBytes(bytes, bytes.size() / 3));
    const auto reference = DecodeWithFfmpeg(cut);
    ASSERT_GT(reference.size(), 44100u * 2);
    const auto [counted, delivered] = CountAndRead<TWMIn>(cut);
    EXPECT_EQ(counted * 2, static_cast<int64_t>(reference.size())) << vbr;
    EXPECT_EQ(delivered, counted) << vbr;

    // TMP3In announces its third of a second more, but delivers the same.
    Sealed<TMP3In> mp3;
    mp3.SetFileName(cut);
    EXPECT_EQ(mp3.TotalSamples(), counted + 44100 / 3);
    EXPECT_EQ(ReadRun(mp3), reference);
  }
}

TEST_F(HonestLengths, TruncatedWmaCountsThePacketsPresent) {
  const std::string whole = dir.File("whole.wma"), cut = dir.File("cut.wma");
  WriteWma(whole, ToneSamples(44100 * 6, 2, 44100), 2, 44100, 128000);
  const Bytes bytes = ReadBytes(whole);
  WriteBytes(cut, FirstBytes(bytes, bytes.size() / 2));
  const auto reference = DecodeWithFfmpeg(cut);
  const auto [counted, delivered] = CountAndRead<TWMIn>(cut);
  EXPECT_EQ(delivered, counted);
  EXPECT_EQ(counted * 2, static_cast<int64_t>(reference.size()));
}

TEST_F(HonestLengths, JunkBeforeTheFirstMp3FrameIsLeftOut) {
  const std::string clean = dir.File("clean.mp3"), junk = dir.File("junk.mp3");
  const auto tone = ToneSamples(44100 * 2, 2, 44100);
  const Bytes mp3 = EncodeMp3(tone, 2, 44100, 128, true);
  WriteBytes(clean, mp3);
  Bytes dirty(777 + mp3.size(), 0x5A);
  std::copy(mp3.begin(), mp3.end(), dirty.begin() + 777);
  WriteBytes(junk, dirty);

  Sealed<TWMIn> a, b;
  a.SetFileName(clean);
  b.SetFileName(junk);
  EXPECT_EQ(b.TotalSamples(), 44100 * 2);
  const auto expected = ReadRun(a);
  EXPECT_EQ(expected.size(), tone.size());
  EXPECT_EQ(ReadRun(b), expected);
  // Ranges land on the same samples too.
  EXPECT_EQ(ReadRun(b, 30000, 30099), ReadRun(a, 30000, 30099));

  // Junk after an (empty) ID3v2 tag: the tag stays readable, the junk is left out.
  Bytes tagged(10 + dirty.size(), 0);
  std::copy_n("ID3\x03", 4, tagged.begin());
  std::copy(dirty.begin(), dirty.end(), tagged.begin() + 10);
  WriteBytes(junk, tagged);
  Sealed<TWMIn> c;
  c.SetFileName(junk);
  EXPECT_EQ(c.TotalSamples(), 44100 * 2);
  EXPECT_EQ(ReadRun(c), expected);
}

TEST_F(HonestLengths, ASourceThatShrinksDuringARunFailsIt) {
  WritePcmWav(file, 44100, 2, 44100 * 4);
  Sealed<TWaveIn> input;
  input.SetFileName(file);
  input.Init();
  std::filesystem::resize_file(file, 44 + 44100 * 4);  // another program cuts it to a second
  std::string failure;
  try {
    for (;;) {
      void* block = nullptr;
      uint32_t bytes = 65536;
      input.GetData(block, bytes);
      if (bytes == 0) break;
    }
  } catch (const EAuException& e) {
    failure = e.what();
  }
  input.Flush();
  EXPECT_EQ(failure, file + " ended early: the file is damaged or changed while it was read");
}

}  // namespace
