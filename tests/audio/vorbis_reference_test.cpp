// Ogg Vorbis read as the reference decoder (libvorbisfile, through oggdec)
// reads it: the same count, and every range starting on the same sample,
// for files of every quality oggenc makes, short ones on a single page, and
// files whose first stream is video.
#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "audio/codecs/CodecIn.h"
#include "audio/formats/FormatRegistry.h"
#include "tests/audio/InputRun.h"
#include "tests/audio/MemoryComponents.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDir.h"

namespace {

/// The largest difference of two runs of samples; the float decoders of
/// FFmpeg and libvorbis round apart by one step.
int Largest(const std::vector<int16_t>& a, const std::vector<int16_t>& b, size_t from) {
  int largest = 0;
  for (size_t i = 0; i < a.size(); ++i) largest = std::max(largest, std::abs(a[i] - b[from + i]));
  return largest;
}

class VorbisReference : public ::testing::Test {
 protected:
  /// oggdec's decode of `ogg`, 16-bit interleaved.
  std::vector<int16_t> Reference(const std::string& ogg) {
    const std::string wav = ogg + ".ref.wav";
    EXPECT_EQ(RunTool("oggdec", {"-Q", "-o", QString::fromStdString(wav), QString::fromStdString(ogg)}), 0);
    return WavSamples(wav);
  }

  /// A sweep of `seconds` at `rate` in `channels`, encoded by oggenc at `quality`.
  std::string Encode(const std::string& name, double seconds, int rate, int channels, const QString& quality) {
    const std::string wav = dir.File(name + ".wav"), ogg = dir.File(name + ".ogg");
    EXPECT_EQ(RunTool("sox", {"-n", "-r", QString::number(rate), "-c", QString::number(channels), "-b", "16",
                              QString::fromStdString(wav), "synth", QString::number(seconds), "sine", "100-5000",
                              "sine", "3000-60", "gain", "-6"}),
              0);
    EXPECT_EQ(RunTool("oggenc", {"-Q", "-q", quality, "-o", QString::fromStdString(ogg), QString::fromStdString(wav)}), 0);
    return ogg;
  }

  /// Every sample and `starts` random ranges of 1000 frames against the reference.
  void Compare(const std::string& ogg, int channels, int starts) {
    SCOPED_TRACE(ogg);
    const std::vector<int16_t> reference = Reference(ogg);
    Sealed<TCodecIn> input(CodecOf(AudioFormat::Vorbis));
    input.SetFileName(ogg);
    ASSERT_EQ(input.TotalSamples() * channels, static_cast<int64_t>(reference.size()));
    const std::vector<int16_t> whole = ReadRun(input);
    ASSERT_EQ(whole.size(), reference.size());
    EXPECT_LE(Largest(whole, reference, 0), 1);
    const int64_t frames = input.TotalSamples();
    std::mt19937 random(20261209);
    for (int i = 0; i < starts; ++i) {
      const int64_t start = std::uniform_int_distribution<int64_t>(0, std::max<int64_t>(frames - 1001, 0))(random);
      const std::vector<int16_t> part = ReadRun(input, start, start + 999);
      ASSERT_EQ(part.size(), 1000u * channels) << start;
      ASSERT_LE(Largest(part, reference, static_cast<size_t>(start * channels)), 1) << "a range from " << start;
    }
  }

  TempDir dir;
};

TEST_F(VorbisReference, EveryQualityAndRateDecodesAndSeeksAsTheReferenceDecoder) {
  for (const auto& [quality, rate, channels] :
       {std::tuple{"-1", 44100, 2}, std::tuple{"0", 22050, 1}, std::tuple{"3", 48000, 2}, std::tuple{"6", 11025, 1},
        std::tuple{"10", 44100, 2}})
    Compare(Encode(std::string("q") + quality + "_" + std::to_string(rate), 12, rate, channels, quality), channels, 100);
}

TEST_F(VorbisReference, AShortFileOnASinglePageIsReadWhole) {
  // oggenc -q -1 puts a second and a half on one page, first and last at once.
  for (const double seconds : {0.3, 1.5})
    Compare(Encode("short" + std::to_string(seconds), seconds, 44100, 2, "-1"), 2, 20);
}

TEST_F(VorbisReference, AFileWhoseFirstStreamIsVideoIsReadByItsAudio) {
  const std::string ogg = dir.File("film.ogg");
  ASSERT_EQ(RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=10:duration=6", "-f", "lavfi", "-i",
                       "sine=frequency=440:sample_rate=44100:duration=6", "-c:v", "libtheora", "-c:a", "libvorbis",
                       "-ac", "2", "-q:a", "2", QString::fromStdString(ogg)}),
            0);
  Compare(ogg, 2, 50);
}

}  // namespace
