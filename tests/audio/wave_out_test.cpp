#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "audio/ACS_Wave.h"
#include "tests/audio/MemoryComponents.h"
#include "tests/audio/WriterTest.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), {});
}

uint32_t U32At(const Bytes& b, size_t at) { return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24); }
uint16_t U16At(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

/// Interleaved stereo frames at 44100 Hz.
class StereoFrames : public MemoryInput {
 public:
  explicit StereoFrames(int frames, int bits = 16) : MemoryInput(static_cast<size_t>(frames) * 2 * (bits / 8)) {
    ChannelCount = 2;
    Bits = bits;
    Rate = 44100;
    BlockSize = 1000;
  }
};

class WaveWriting : public WriterTest<TWaveOut> {
 protected:
  void SetUp() override {
    WriterTest::SetUp();
    output.SetCreateNonMsHeaders(false);
  }
};

TEST_F(WaveWriting, PcmHeaderLayout) {
  Sealed<StereoFrames> input(1000);
  EXPECT_EQ(Write(input), "");
  const Bytes bytes = ReadFile(file);
  ASSERT_EQ(bytes.size(), 4044u);
  EXPECT_EQ(std::memcmp(bytes.data(), "RIFF", 4), 0);
  EXPECT_EQ(U32At(bytes, 4), 4036u);
  EXPECT_EQ(std::memcmp(bytes.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(U32At(bytes, 16), 16u);
  EXPECT_EQ(U16At(bytes, 20), 1);
  EXPECT_EQ(U16At(bytes, 22), 2);
  EXPECT_EQ(U32At(bytes, 24), 44100u);
  EXPECT_EQ(U32At(bytes, 28), 44100u * 4);
  EXPECT_EQ(U16At(bytes, 32), 4);
  EXPECT_EQ(U16At(bytes, 34), 16);
  EXPECT_EQ(U32At(bytes, 40), 4000u);
  EXPECT_TRUE(std::equal(input.data.begin(), input.data.end(), bytes.begin() + 44));

  // Read back by our reader.
  Sealed<TWaveIn> reader;
  reader.SetFileName(file);
  EXPECT_EQ(reader.TotalSamples(), 1000);
}

TEST_F(WaveWriting, HeaderTellsWhatWasWrittenNeverMore) {
  Sealed<StereoFrames> input(1000);
  input.AnnouncedSize = 8000;  // says 2000 frames, delivers 1000: nothing is invented
  EXPECT_EQ(Write(input), "");
  Bytes bytes = ReadFile(file);
  ASSERT_EQ(bytes.size(), 44u + 4000u);
  EXPECT_EQ(U32At(bytes, 40), 4000u);
  EXPECT_EQ(U32At(bytes, 4), 4036u);

  // Unknown size: the header follows the file.
  Sealed<StereoFrames> unknown(500);
  unknown.AnnouncedSize = -1;
  EXPECT_EQ(Write(unknown), "");
  bytes = ReadFile(file);
  ASSERT_EQ(bytes.size(), 2044u);
  EXPECT_EQ(U32At(bytes, 40), 2000u);
  EXPECT_EQ(U32At(bytes, 4), 2036u);

  // ADPCM: the "fact" count is the frames delivered, not the frames announced.
  output.SetWavType(wtDVIADPCM);
  Sealed<StereoFrames> adpcm(3000);
  adpcm.AnnouncedSize = 4 * 9000;
  EXPECT_EQ(Write(adpcm), "");
  bytes = ReadFile(file);
  EXPECT_EQ(U32At(bytes, 48), 3000u);
  EXPECT_EQ(U32At(bytes, 56), bytes.size() - 60);
}

TEST_F(WaveWriting, FailingInputFailsTheRun) {
  Sealed<StereoFrames> input(1000);
  input.DeliveryError = "the source went away";
  EXPECT_EQ(Write(input), "the source went away");
  output.SetWavType(wtDVIADPCM);
  EXPECT_EQ(Write(input), "the source went away");
}

uint64_t U64At(const Bytes& b, size_t at) { return U32At(b, at) | uint64_t{U32At(b, at + 4)} << 32; }

TEST_F(WaveWriting, PcmPastFourGibibytesIsRf64AndAdpcmIsRefused) {
  // Announced past 4 GiB: RF64 from the start, its sizes in "ds64" at the end.
  Sealed<StereoFrames> input(1000);
  input.AnnouncedSize = int64_t{5} << 30;
  EXPECT_EQ(Write(input), "");
  Bytes bytes = ReadFile(file);
  ASSERT_EQ(bytes.size(), 80u + 4000u);
  EXPECT_EQ(std::memcmp(bytes.data(), "RF64", 4), 0);
  EXPECT_EQ(U32At(bytes, 4), 0xFFFFFFFFu);
  EXPECT_EQ(std::memcmp(bytes.data() + 8, "WAVEds64", 8), 0);
  EXPECT_EQ(U32At(bytes, 16), 28u);
  EXPECT_EQ(U64At(bytes, 20), bytes.size() - 8);
  EXPECT_EQ(U64At(bytes, 28), 4000u);
  EXPECT_EQ(U64At(bytes, 36), 1000u);
  EXPECT_EQ(std::memcmp(bytes.data() + 48, "fmt ", 4), 0);
  EXPECT_EQ(std::memcmp(bytes.data() + 72, "data", 4), 0);
  EXPECT_EQ(U32At(bytes, 76), 0xFFFFFFFFu);
  EXPECT_TRUE(std::equal(input.data.begin(), input.data.end(), bytes.begin() + 80));
  {
    Sealed<TWaveIn> reader;
    reader.SetFileName(file);
    EXPECT_EQ(reader.TotalSamples(), 1000);
  }
  // FFmpeg reads the same samples.
  const std::vector<int16_t> decoded = DecodeWithFfmpeg(file);
  ASSERT_EQ(decoded.size(), 2000u);
  EXPECT_EQ(std::memcmp(decoded.data(), input.data.data(), 4000), 0);

  // A lower threshold, and the extensible header of wider samples.
  output.SetRf64Above(1000);
  Sealed<StereoFrames> wide(1000, 24);
  EXPECT_EQ(Write(wide), "");
  bytes = ReadFile(file);
  ASSERT_EQ(bytes.size(), 104u + 6000u);
  EXPECT_EQ(std::memcmp(bytes.data(), "RF64", 4), 0);
  EXPECT_EQ(U64At(bytes, 28), 6000u);
  EXPECT_EQ(U16At(bytes, 56), 0xFFFE);
  EXPECT_TRUE(std::equal(wide.data.begin(), wide.data.end(), bytes.begin() + 104));
  {
    Sealed<TWaveIn> wideReader;  // closed again before the next run writes the file
    wideReader.SetFileName(file);
    EXPECT_EQ(wideReader.TotalSamples(), 1000);
  }

  // ADPCM keeps 32-bit sizes: refused before anything is read.
  output.SetWavType(wtDVIADPCM);
  Sealed<StereoFrames> adpcm(1000);
  adpcm.AnnouncedSize = int64_t{20} << 30;
  EXPECT_EQ(Write(adpcm), "The result would be larger than the 4 GiB a WAV file can hold");
  EXPECT_EQ(adpcm.Delivered, 0);
}

TEST_F(WaveWriting, StoppedRunPatchesBothSizes) {
  Sealed<StereoFrames> input(100000);
  input.BlockSize = 4000;
  input.DeliveriesAllowed = 10;
  done = false;
  output.SetInput(&input);
  output.Run();
  ASSERT_TRUE(SpinUntil([&] { return input.Delivered == 10; }));
  output.Stop(true);
  input.DeliveriesAllowed = INT_MAX;
  ASSERT_TRUE(SpinUntil([this] { return done; }));
  const Bytes bytes = ReadFile(file);
  ASSERT_EQ(bytes.size(), 44u + 11 * 4000u);  // the block in progress is finished
  EXPECT_EQ(U32At(bytes, 40), bytes.size() - 44);
  EXPECT_EQ(U32At(bytes, 4), bytes.size() - 8);
}

TEST_F(WaveWriting, ExtensibleHeaderForWideSamples) {
  Sealed<StereoFrames> input(100, 24);
  EXPECT_EQ(Write(input), "");
  Bytes bytes = ReadFile(file);
  ASSERT_EQ(bytes.size(), 68u + 600u);
  EXPECT_EQ(output.WavType(), wtExtPCM);
  EXPECT_EQ(U32At(bytes, 16), 40u);
  EXPECT_EQ(U16At(bytes, 20), 0xFFFE);
  EXPECT_EQ(U16At(bytes, 36), 22);
  EXPECT_EQ(U16At(bytes, 38), 24);
  EXPECT_EQ(U32At(bytes, 40), 3u);
  EXPECT_EQ(bytes[44], 1);
  EXPECT_EQ(U32At(bytes, 64), 600u);
  Sealed<TWaveIn> reader;
  reader.SetFileName(file);
  EXPECT_EQ(reader.WavType(), wtExtPCM);

  Sealed<TWaveOut> classic;
  classic.SetFileName(dir.File("classic.wav"));
  bool classicDone = false;
  classic.OnDone = [&](TComponent*) { classicDone = true; };
  Sealed<StereoFrames> again(100, 24);
  classic.SetInput(&again);
  classic.Run();
  ASSERT_TRUE(SpinUntil([&] { return classicDone; }));
  EXPECT_EQ(ReadFile(dir.File("classic.wav")).size(), 44u + 600u);
}

TEST_F(WaveWriting, ImaAdpcmHeaderAndRoundTrip) {
  output.SetWavType(wtDVIADPCM);
  std::vector<int16_t> samples;
  for (int i = 0; i < 3000; ++i) samples.push_back(static_cast<int16_t>(6000 * std::sin(i * 0.05)));
  Sealed<MemoryInput> input(0);
  input.SetSamples(samples);
  EXPECT_EQ(Write(input), "");
  const Bytes bytes = ReadFile(file);
  EXPECT_EQ(U16At(bytes, 20), 17);
  EXPECT_EQ(U16At(bytes, 32), 512);
  EXPECT_EQ(U16At(bytes, 38), 1017);
  EXPECT_EQ(U32At(bytes, 48), 3000u);                 // fact: the real count
  EXPECT_EQ(U32At(bytes, 56), bytes.size() - 60);     // data: what was written
  EXPECT_EQ((bytes.size() - 60) % 512, 0u);
  EXPECT_EQ(U32At(bytes, 4), bytes.size() - 8);

  Sealed<TWaveIn> reader;
  reader.SetFileName(file);
  EXPECT_EQ(reader.WavType(), wtDVIADPCM);
  EXPECT_EQ(reader.TotalSamples(), 3000);
  reader.Init();
  std::vector<int16_t> decoded;
  for (;;) {
    void* block = nullptr;
    uint32_t n = 4096;
    reader.GetData(block, n);
    if (n == 0) break;
    decoded.insert(decoded.end(), static_cast<int16_t*>(block), static_cast<int16_t*>(block) + n / 2);
  }
  reader.Flush();
  ASSERT_EQ(decoded.size(), samples.size());
  double worst = 0;
  for (size_t i = 100; i < samples.size(); ++i) worst = std::max(worst, std::abs(double(samples[i]) - decoded[i]));
  EXPECT_LT(worst, 1200.0);

  // Stereo blocks of 512 bytes hold 505 frames.
  Sealed<StereoFrames> stereo(1000);
  EXPECT_EQ(Write(stereo), "");
  EXPECT_EQ(U16At(ReadFile(file), 38), 505);
  // So do blocks of 516: the four bytes left over hold no whole group of eight.
  output.SetBlockSize(516);
  EXPECT_EQ(Write(stereo), "");
  EXPECT_EQ(U16At(ReadFile(file), 38), 505);
  Sealed<TWaveIn> back;
  back.SetFileName(file);
  EXPECT_EQ(back.TotalSamples(), 1000);
}

TEST_F(WaveWriting, SettersIgnoreWhatTheyCannotDo) {
  output.SetWavType(wtMSADPCM);
  EXPECT_EQ(output.WavType(), wtPCM);
  output.SetBlockSize(510);
  EXPECT_EQ(output.BlockSize(), 512);
  output.SetBlockSize(0);
  EXPECT_EQ(output.BlockSize(), 512);
  output.SetBlockSize(1024);
  EXPECT_EQ(output.BlockSize(), 1024);

  Sealed<MemoryInput> eightBit(100);
  eightBit.Bits = 8;
  output.SetWavType(wtDVIADPCM);
  EXPECT_EQ(Write(eightBit), "Cannot encode 8 bit sound into ADPCM.");
  Sealed<TWaveOut> unnamed;
  bool unnamedDone = false;
  std::string message;
  unnamed.OnThreadException = [&](TComponent*) { message = unnamed.ExceptionMessage(); };
  unnamed.OnDone = [&](TComponent*) { unnamedDone = true; };
  unnamed.SetInput(&eightBit);
  unnamed.Run();
  ASSERT_TRUE(SpinUntil([&] { return unnamedDone; }));
  EXPECT_EQ(message, "File name is not assigned.");
}

TEST_F(WaveWriting, AppendingRules) {
  Sealed<StereoFrames> first(100);
  EXPECT_EQ(Write(first), "");
  output.SetFileMode(foAppend);
  Sealed<StereoFrames> second(50);
  EXPECT_EQ(Write(second), "");
  Bytes bytes = ReadFile(file);
  ASSERT_EQ(bytes.size(), 44u + 600u);
  EXPECT_EQ(U32At(bytes, 40), 600u);
  EXPECT_EQ(U32At(bytes, 4), 636u);
  EXPECT_TRUE(std::equal(second.data.begin(), second.data.end(), bytes.begin() + 44 + 400));

  Sealed<MemoryInput> mono(100);
  EXPECT_EQ(Write(mono), "Cannot append data in different audio format.");
  EXPECT_EQ(ReadFile(file).size(), 644u);  // untouched

  // An extensible file cannot be appended to.
  Sealed<TWaveOut> wide;
  wide.SetCreateNonMsHeaders(false);
  const std::string extFile = dir.File("ext.wav");
  wide.SetFileName(extFile);
  bool wideDone = false;
  wide.OnDone = [&](TComponent*) { wideDone = true; };
  Sealed<StereoFrames> deep(10, 24);
  wide.SetInput(&deep);
  wide.Run();
  ASSERT_TRUE(SpinUntil([&] { return wideDone; }));
  output.SetFileName(extFile);
  Sealed<StereoFrames> more(10);
  EXPECT_EQ(Write(more), "Cannot append data to this .wav file.");

  // Samples added after a tag chunk would be heard as part of it: refused.
  output.SetFileName(file);
  output.SetFileMode(foRewrite);
  output.Id3v2Tags().SetTitle(u"Song");
  Sealed<StereoFrames> tagged(100);
  EXPECT_EQ(Write(tagged), "");
  const size_t taggedSize = ReadFile(file).size();
  ASSERT_GT(taggedSize, 444u);  // the samples, then INFO and "id3 "
  output.Id3v2Tags().Clear();
  output.SetFileMode(foAppend);
  Sealed<StereoFrames> after(10);
  EXPECT_EQ(Write(after), "Cannot append data to this .wav file.");
  EXPECT_EQ(ReadFile(file).size(), taggedSize);

  // Appending to a missing file makes a new one.
  output.SetFileName(dir.File("new.wav"));
  Sealed<StereoFrames> fresh(10);
  EXPECT_EQ(Write(fresh), "");
  EXPECT_EQ(ReadFile(dir.File("new.wav")).size(), 84u);
}

TEST_F(WaveWriting, WriteFailureIsReported) {
  // A file size limit makes data writes fail as a full disk would.
  Sealed<StereoFrames> input(20000);
  std::string message;
  {
    const FileSizeLimit limit(10000);
    message = Write(input);
  }
  EXPECT_EQ(message, "Error writing wave file: the file is larger than this file system or its limit allows");
}

}  // namespace
