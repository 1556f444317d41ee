// Inputs count only what their files hold, and a file that delivers less
// than was counted fails the run instead of ending quietly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <tuple>
#include <fstream>
#include <iterator>
#include <vector>

#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"
#include "audio/mp3/frames/Mp3Info.h"
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

    Sealed<TMP3In> mp3;
    mp3.SetFileName(cut);
    EXPECT_EQ(mp3.TotalSamples(), counted);
    EXPECT_EQ(ReadRun(mp3), reference);
  }
}

/// Offsets of the frame headers of a clean MP3 stream, after any tag frame.
std::vector<size_t> FrameOffsets(const Bytes& mp3) {
  std::vector<size_t> offsets;
  for (size_t at = 0; at + 4 <= mp3.size();) {
    Mp3FrameHeader header;
    if (!ParseMp3FrameHeader(&mp3[at], header)) break;
    offsets.push_back(at);
    at += static_cast<size_t>(header.length);
  }
  return offsets;
}

// Damaged and mis-tagged MP3 files: the count is what the stream holds, as
// FFmpeg decodes it, and every frame counted is delivered.
TEST_F(HonestLengths, Mp3DamageAndWrongTagsCostOnlyWhatIsDamaged) {
  const auto music = ChirpSamples(44100 * 30, 2, 44100);
  const Bytes plain = EncodeMp3(music, 2, 44100, 128, false);
  const Bytes tagged = EncodeMp3(music, 2, 44100, 128, true);
  const std::vector<size_t> plainFrames = FrameOffsets(plain), taggedFrames = FrameOffsets(tagged);
  ASSERT_GT(plainFrames.size(), 1000u);

  std::vector<std::pair<std::string, Bytes>> corpus;
  for (const auto& [name, clean, frames] :
       {std::tuple{"plain", plain, plainFrames}, std::tuple{"tagged", tagged, taggedFrames}}) {
    Bytes zeroed = clean;  // four bytes zeroed at a header a tenth of the way in
    std::fill_n(zeroed.begin() + static_cast<ptrdiff_t>(frames[frames.size() / 10]), 4, 0);
    corpus.emplace_back(std::string(name) + " header zeroed", zeroed);
    Bytes inserted = clean;  // one stray byte in the middle
    inserted.insert(inserted.begin() + static_cast<ptrdiff_t>(frames[frames.size() / 2] + 100), 0);
    corpus.emplace_back(std::string(name) + " byte inserted", inserted);
    Bytes junk = clean;  // a run of junk between two frames
    junk.insert(junk.begin() + static_cast<ptrdiff_t>(frames[frames.size() / 3]), 777, 0x5A);
    corpus.emplace_back(std::string(name) + " junk between frames", junk);
  }
  Bytes twice = tagged;  // two copies of one file
  twice.insert(twice.end(), tagged.begin(), tagged.end());
  corpus.emplace_back("two copies", twice);
  // The Xing frame's count: 10, and 0xFFFFFFFF. It follows the side information.
  const size_t countAt = 4 + 32 + 8;
  ASSERT_EQ(std::string(tagged.begin() + 4 + 32, tagged.begin() + 4 + 36), "Info");
  Bytes ten = tagged;
  std::copy_n(Bytes{0, 0, 0, 10}.begin(), 4, ten.begin() + countAt);
  corpus.emplace_back("info frame says 10 frames", ten);
  Bytes huge = tagged;
  std::fill_n(huge.begin() + countAt, 4, 0xFF);
  corpus.emplace_back("info frame says 0xFFFFFFFF frames", huge);

  for (const auto& [name, bytes] : corpus) {
    SCOPED_TRACE(name);
    const std::string mp3 = dir.File("damaged.mp3");
    WriteBytes(mp3, bytes);
    const auto reference = DecodeWithFfmpeg(mp3);
    ASSERT_GT(reference.size(), 2u * 44100 * 29) << name;
    int64_t counted = 0, delivered = 0;
    EXPECT_NO_THROW(std::tie(counted, delivered) = CountAndRead<TWMIn>(mp3));
    EXPECT_EQ(counted * 2, static_cast<int64_t>(reference.size()));
    EXPECT_EQ(delivered, counted);
  }
}

TEST_F(HonestLengths, WmaWhosePlayDurationIsWrongIsReadWhole) {
  const std::string original = dir.File("original.wma"), wma = dir.File("wrong.wma");
  WriteWma(original, ChirpSamples(44100 * 30, 2, 44100), 2, 44100, 128000);
  const auto reference = DecodeWithFfmpeg(original);
  ASSERT_GT(reference.size(), 2u * 44100 * 29);
  const Bytes clean = ReadBytes(original);
  // The file properties object: its play duration (100 ns units) at +64.
  const uint8_t fileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                      0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  const auto at = std::search(clean.begin(), clean.end(), std::begin(fileProperties), std::end(fileProperties));
  ASSERT_NE(at, clean.end());
  const size_t durationAt = static_cast<size_t>(at - clean.begin()) + 64;
  uint64_t duration = 0;
  std::memcpy(&duration, &clean[durationAt], 8);
  // Halved, and as large as the field holds (84 centuries and more).
  for (const uint64_t wrong : {duration / 2, uint64_t{0x7FFFFFFFFFFFFFFF}, ~uint64_t{0}}) {
    SCOPED_TRACE(wrong);
    Bytes bytes = clean;
    std::memcpy(&bytes[durationAt], &wrong, 8);
    WriteBytes(wma, bytes);
    const auto [counted, delivered] = CountAndRead<TWMIn>(wma);
    EXPECT_EQ(counted * 2, static_cast<int64_t>(reference.size()));
    EXPECT_EQ(delivered, counted);
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
  // What a whole read of a file told is remembered only while the file is
  // unchanged: cut shorter at the same name, it is counted again.
  WriteBytes(cut, FirstBytes(bytes, bytes.size() / 3));
  const auto shorter = DecodeWithFfmpeg(cut);
  ASSERT_LT(shorter.size(), reference.size());
  const auto [again, deliveredAgain] = CountAndRead<TWMIn>(cut);
  EXPECT_EQ(again * 2, static_cast<int64_t>(shorter.size()));
  EXPECT_EQ(deliveredAgain, again);
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
