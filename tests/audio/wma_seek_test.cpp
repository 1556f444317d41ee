// Ranges of WMA files start on their exact sample, wherever the demuxer's
// seek lands, for files written by FFmpeg's muxer and by our own writer.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "audio/ACS_WinMedia.h"
#include "tests/audio/InputRun.h"
#include "tests/audio/WriterTest.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WmaEncoder.h"

namespace {

struct Layout {
  int rate;
  int channels;
};

/// Every tenth of a second from 0 to 20 s, and some odd milliseconds.
std::vector<int> StartTimesMs() {
  std::vector<int> times;
  for (int ms = 0; ms <= 20000; ms += 100) times.push_back(ms);
  for (int ms : {1, 7, 333, 1234, 4999, 9871, 12345, 17017, 19999}) times.push_back(ms);
  return times;
}

/// Reads 600 frames from every start time and compares them with the
/// whole-file decode at the same place.
void ExpectExactRanges(const std::string& file) {
  Sealed<TWMIn> input;
  input.SetFileName(file);
  ASSERT_TRUE(input.Valid());
  const int rate = input.SampleRate();
  const std::vector<int16_t> whole = ReadRun(input);
  const size_t channels = static_cast<size_t>(input.Channels());
  int wrong = 0;
  for (int ms : StartTimesMs()) {
    const int64_t start = static_cast<int64_t>(ms) * rate / 1000;
    const int64_t end = start + 599;
    const std::vector<int16_t> part = ReadRun(input, start, end);
    ASSERT_EQ(part.size(), 600 * channels) << ms << " ms";
    const auto from = whole.begin() + static_cast<ptrdiff_t>(start * static_cast<int64_t>(channels));
    if (!std::equal(part.begin(), part.end(), from) && ++wrong <= 5)
      ADD_FAILURE() << file << ": the range from " << ms << " ms differs from the whole decode";
  }
  EXPECT_EQ(wrong, 0);
}

class WmaSeek : public ::testing::TestWithParam<Layout> {
 protected:
  TempDir dir;
};

TEST_P(WmaSeek, FfmpegFilesStartOnTheExactSample) {
  const Layout layout = GetParam();
  const std::string file = dir.File("ffmpeg.wma");
  WriteWma(file, ChirpSamples(layout.rate * 21, layout.channels, layout.rate), layout.channels, layout.rate,
           layout.channels * 64000);
  ExpectExactRanges(file);
}

class OurWmaSeek : public WriterTest<TWMAOut>, public ::testing::WithParamInterface<Layout> {};

TEST_P(OurWmaSeek, OurFilesStartOnTheExactSample) {
  const Layout layout = GetParam();
  auto source = std::make_unique<Sealed<MemoryInput>>(0);
  source->SetSamples(ChirpSamples(layout.rate * 21, layout.channels, layout.rate));
  source->ChannelCount = layout.channels;
  source->Rate = layout.rate;
  source->BlockSize = 8192;
  const std::string wma = dir.File("ours.wma");
  output.SetFileName(wma);
  output.SetDesiredBitrate(static_cast<uint32_t>(layout.channels * 64000));
  ASSERT_EQ(Write(*source), "");  // at the rate and channels our encoder offers nearest
  ExpectExactRanges(wma);
}

const Layout kLayouts[] = {{44100, 2}, {44100, 1}, {48000, 2}, {48000, 1}, {22050, 2}, {22050, 1}};
INSTANTIATE_TEST_SUITE_P(Layouts, WmaSeek, ::testing::ValuesIn(kLayouts));
INSTANTIATE_TEST_SUITE_P(Layouts, OurWmaSeek, ::testing::ValuesIn(kLayouts));

}  // namespace
