// Joining and mixing two files: the job's rules, and whole runs through the
// command-line tool, which runs the window's job code.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "app/jobs/JoinJob.h"
#include "audio/formats/SettingsCopy.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_WinMedia.h"
#include "tests/cli/CliRun.h"
#include "tests/support/Alignment.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WavBuilder.h"
#include "tests/support/WmaEncoder.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

/// Full-scale values at both ends and everything between, so that any
/// change to a sample shows.
std::vector<int16_t> EverySample(int frames, int channels, int seed) {
  std::vector<int16_t> samples(static_cast<size_t>(frames) * channels);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>((i * 7919 + seed) % 65536 - 32768);
  return samples;
}

/// Rising zero crossings per second in channel 0: the pitch of a pure tone.
double Pitch(const std::vector<int16_t>& samples, int channels, int rate, size_t from, size_t to) {
  int crossings = 0;
  for (size_t f = from + 1; f < to; ++f)
    if (samples[(f - 1) * channels] < 0 && samples[f * channels] >= 0) ++crossings;
  return crossings * static_cast<double>(rate) / static_cast<double>(to - from);
}

class JoinJob : public ::testing::Test {
 protected:
  TempDir dir;
};

TEST(JoinChecks, NamesAndExtensions) {
  EXPECT_EQ(CheckJoinFiles("", "b.wav"), kSelectInputFiles);
  EXPECT_EQ(CheckJoinFiles("a.wav", ""), kSelectInputFiles);
  EXPECT_EQ(CheckJoinFiles("a.wav", "b.mp3"), kSelectSameFormat);
  EXPECT_EQ(CheckJoinFiles("/x.y/a.mp3", "/z/b.MP3"), "");
  EXPECT_EQ(CheckJoinFiles("/x.wav/a", "b.wav"), kSelectSameFormat);  // a dot in a folder is no extension
}

TEST(JoinChecks, WmaDescriptions) {
  EXPECT_EQ(WmaFormatDescription(127000, 44100, 2), "128 kbps, 44 kHz, stereo");
  EXPECT_EQ(WmaFormatDescription(100000, 44100, 2), "100 kbps, 44 kHz, stereo");
  EXPECT_EQ(WmaFormatDescription(95000, 48000, 1), "96 kbps, 48 kHz, mono");
  EXPECT_EQ(WmaFormatDescription(32000, 8000, 1), "32 kbps,  8 kHz, mono");
}

TEST_F(JoinJob, WmaFormatsAreMatchedByDescriptionOrElseByNearestBitRate) {
  const auto tone = ToneSamples(44100, 2, 44100);
  const std::string song = dir.File("song.wma");
  WriteWma(song, tone, 2, 44100, 128000);
  Sealed<TWMIn> source;
  TWMIn* in = &source;
  in->SetFileName(song);
  Sealed<TWMAOut> output;
  TWMAOut* out = &output;
  const int index = MatchWmaFormat(*in, *out);
  ASSERT_GE(index, 0);
  const std::u16string description = out->GetFormatList(0)[static_cast<size_t>(index)];
  EXPECT_EQ(description.rfind(u"128 kbps, 44 kHz, stereo", 0), 0u);

  // 8 kHz mono: its own description, with the blank before the 8.
  const std::string low = dir.File("low.wma");
  WriteWma(low, ToneSamples(8000, 1, 8000), 1, 8000, 32000);
  in->SetFileName(low);
  const int lowIndex = MatchWmaFormat(*in, *out);
  ASSERT_GE(lowIndex, 0);
  EXPECT_EQ(out->GetFormatList(0)[static_cast<size_t>(lowIndex)].rfind(u"32 kbps,  8 kHz, mono", 0), 0u);

  // A rate no format has: joined at the nearest bit rate, in the first file's layout.
  const std::string odd = dir.File("odd.wma");
  WriteWma(odd, ToneSamples(44100, 2, 44100), 2, 44100, 100000);
  const std::string target = dir.File("joined.wma");
  const Result r = Cli({"join", Q(odd), Q(song), Q(target), "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto frames = [](const std::string& name) {
    const std::string out = Cli({"info", Q(name)}).out;
    const size_t at = out.find("total_samples: ");
    return at == std::string::npos ? -1 : std::stoll(out.substr(at + 15));
  };
  EXPECT_EQ(frames(target), frames(odd) + frames(song));
  const Result info = Cli({"info", Q(target)});
  EXPECT_NE(info.out.find("channels: 2\nsample_rate: 44100\n"), std::string::npos) << info.out;
}

TEST_F(JoinJob, AWavJoinIsBitExactAndAMixAverages) {
  const auto a = EverySample(3000, 2, 1), b = EverySample(2000, 2, 5);
  const std::string first = dir.File("a.wav"), second = dir.File("b.WAV"), target = dir.File("ab.wav");
  WriteWav16(first, a, 2, 22050);
  WriteWav16(second, b, 2, 22050);
  Result r = Cli({"join", Q(first), Q(second), Q(target), "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  auto expected = a;
  expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(WavSamples(target), expected);

  r = Cli({"mix", Q(first), Q(second), Q(target), "--force", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto mixed = WavSamples(target);
  ASSERT_EQ(mixed.size(), a.size());  // the longer input's length
  for (size_t i = 0; i < mixed.size(); i += 97) {
    const double other = i < b.size() ? b[i] : 0;
    EXPECT_NEAR(mixed[i], (a[i] + other) / 2, 1.0) << i;
  }
}

TEST_F(JoinJob, ASecondFileOfAnotherRateOrLayoutKeepsItsPitchAndLength) {
  const std::string first = dir.File("first.wav"), fast = dir.File("fast.wav"), mono = dir.File("mono.wav");
  WriteWav16(first, ToneSamples(44100, 2, 44100, 440, 0), 2, 44100);
  WriteWav16(fast, ToneSamples(48000, 2, 48000, 1000, 0), 2, 48000);  // one second at 48 kHz
  WriteWav16(mono, ToneSamples(22050, 1, 44100, 1000, 0), 1, 44100);
  const std::string target = dir.File("out.wav");
  Result r = Cli({"join", Q(first), Q(fast), Q(target), "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  auto out = WavSamples(target);
  ASSERT_EQ(out.size(), 2u * (44100 + 44100));
  EXPECT_NEAR(Pitch(out, 2, 44100, 0, 44100), 440, 3);
  EXPECT_NEAR(Pitch(out, 2, 44100, 44100, 88200), 1000, 3);  // not 1088, as if played at the wrong speed

  r = Cli({"join", Q(first), Q(mono), Q(target), "--force", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  out = WavSamples(target);
  ASSERT_EQ(out.size(), 2u * (44100 + 22050));
  const auto tone = ToneSamples(22050, 1, 44100, 1000, 0);
  for (size_t f = 0; f < tone.size(); f += 11) {
    EXPECT_EQ(out[2 * (44100 + f)], out[2 * (44100 + f) + 1]);
    EXPECT_NEAR(out[2 * (44100 + f)], tone[f], 1.0);
  }
}

TEST_F(JoinJob, AnMp3JoinMeetsExactlyAtTheJoinPoint) {
  const auto one = ChirpSamples(44100 * 2, 2, 44100), two = ChirpSamples(44100 * 3 / 2, 2, 44100);
  const std::string first = dir.File("one.mp3"), second = dir.File("two.mp3"), target = dir.File("both.mp3");
  WriteBytes(first, EncodeMp3(one, 2, 44100, 192, true));
  WriteBytes(second, EncodeMp3(two, 2, 44100, 128, true));
  Result r = Cli({"join", Q(first), Q(second), Q(target), "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  r = Cli({"info", Q(target)});
  EXPECT_NE(r.out.find("total_samples: 154350\n"), std::string::npos) << r.out;  // 2 s + 1.5 s
  EXPECT_NE(r.out.find("bitrate: 192000\n"), std::string::npos) << r.out;        // the first file's settings

  // Decoded by our reader, each part lines up with its source at lag 0.
  const auto decoded = [this](const std::string& name) {
    const std::string wav = dir.File("decoded.wav");
    EXPECT_EQ(Cli({"decode", Q(name), Q(wav), "--force", "--quiet"}).code, 0);
    return WavSamples(wav);
  };
  const auto joined = decoded(target), a = decoded(first), b = decoded(second);
  ASSERT_EQ(joined.size(), a.size() + b.size());
  const std::vector<int16_t> head(joined.begin(), joined.begin() + static_cast<std::ptrdiff_t>(a.size()));
  const std::vector<int16_t> tail(joined.begin() + static_cast<std::ptrdiff_t>(a.size()), joined.end());
  EXPECT_EQ(BestLag(a, 0, head, 2, 3000), 0);
  EXPECT_EQ(BestLag(b, 0, tail, 2, 3000), 0);
}

TEST_F(JoinJob, RefusalsOfTheTool) {
  const std::string wav = dir.File("a.wav"), mp3 = dir.File("b.mp3"), target = dir.File("t.wav");
  WriteWav16(wav, EverySample(100, 1, 0), 1, 8000);
  WriteBytes(mp3, EncodeMp3(ToneSamples(8000, 1, 8000), 1, 8000, 32, true));
  Result r = Cli({"join", Q(wav), Q(mp3), Q(target)});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Please select the same format file!"), std::string::npos) << r.err;
  r = Cli({"mix", Q(wav), Q(wav), Q(wav), "--force"});
  EXPECT_EQ(r.code, 3);  // the target is one of the files
  EXPECT_EQ(ReadFile(wav).size(), 244u);
  r = Cli({"join", Q(wav), Q(dir.File("missing.wav")), Q(target)});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("missing.wav"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(target));
}

}  // namespace
