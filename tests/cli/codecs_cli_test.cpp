// FLAC, Ogg Vorbis, Opus and M4A through every job: cuts from the start,
// inside and to the end, joins and mixes, removed ranges and pieces, run by
// the command-line tool, which runs the window's job code.
#include <gtest/gtest.h>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include <cmath>
#include <filesystem>

#include "audio/codecs/CodecIn.h"
#include "platform/Encoder.h"
#include "tests/audio/CodecFiles.h"
#include "tests/cli/CliRun.h"
#include "tests/support/Alignment.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WavBuilder.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kRate = 48000;  // Opus's own, so every format keeps it
constexpr int kSeconds = 6;

const std::vector<uint8_t> kCover = {0xFF, 0xD8, 0xFF, 0xE0, 'c', 'o', 'v', 'e', 'r'};

void Tag(TCodecOut& out) {
  out.Id3v2Tags().SetArtist(u"Ann");
  out.Id3v2Tags().SetTitle(u"Song");
  out.Id3v2Tags().SetTrack("2");
  out.SetPictures({media::Picture{"image/jpeg", "", 3, kCover}});
}

class CodecJobs : public ::testing::TestWithParam<AudioFormat> {
 protected:
  std::string File(const std::string& stem) const { return dir.File(stem + CodecExtension(GetParam())); }

  /// A tagged stereo sweep of `seconds`.
  std::string Source(const std::string& stem, int frames) {
    const std::string file = File(stem);
    EXPECT_EQ(WriteCodecFile(file, GetParam(), ChirpSamples(frames, 2, kRate), 2, kRate, Tag), "");
    return file;
  }

  /// The file as our reader decodes it.
  std::vector<int16_t> Decoded(const std::string& file) {
    const std::string wav = dir.File("decoded.wav");
    const Result r = Cli({"decode", Q(file), Q(wav), "--force", "--quiet"});
    EXPECT_EQ(r.code, 0) << r.err;
    return WavSamples(wav);
  }

  /// The result is frames [from, from + count) of `whole`: the very samples
  /// for FLAC, lined up at lag 0 for the others.
  void ExpectRange(const std::vector<int16_t>& whole, size_t from, const std::string& result, size_t count) {
    const std::vector<int16_t> decoded = Decoded(result);
    ASSERT_EQ(decoded.size(), count * 2);
    if (GetParam() == AudioFormat::Flac) {
      EXPECT_TRUE(std::equal(decoded.begin(), decoded.end(), whole.begin() + static_cast<long>(from * 2)));
    } else {
      EXPECT_EQ(BestLag(whole, from, decoded, 2, 1500, 2400), 0);
    }
  }

  TempDir dir;
};

std::string Name(const ::testing::TestParamInfo<AudioFormat>& info) {
  return CodecTestName(info.param);
}

TEST_P(CodecJobs, CutsFromTheStartInsideAndToTheEndWithTheirTags) {
  const std::string source = Source("source", kRate * kSeconds);
  const std::vector<int16_t> whole = Decoded(source);
  ASSERT_EQ(whole.size(), size_t{kRate} * kSeconds * 2);
  const struct {
    const char* start;
    const char* end;
    size_t from, count;
  } cuts[] = {{"0", "2", 0, size_t{kRate} * 2},
              {"1.5", "4.5", size_t{kRate} * 3 / 2, size_t{kRate} * 3},
              {"4", "6", size_t{kRate} * 4, size_t{kRate} * 2}};
  for (const auto& cut : cuts) {
    SCOPED_TRACE(cut.start);
    const std::string target = File(std::string("cut") + cut.start);
    const Result r = Cli({"cut", Q(source), Q(target), "--start", cut.start, "--end", cut.end, "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    ExpectRange(whole, cut.from, target, cut.count);
    TagLib::FileRef ref(target.c_str());
    ASSERT_FALSE(ref.isNull());
    EXPECT_EQ(ref.tag()->artist().to8Bit(true), "Ann");
    EXPECT_EQ(ref.tag()->title().to8Bit(true), "Song");
    Sealed<TCodecIn> result(CodecOf(GetParam()));
    result.SetFileName(target);
    ASSERT_EQ(result.Pictures().size(), 1u);
    EXPECT_EQ(result.Pictures()[0].data, kCover);
  }
}

TEST_P(CodecJobs, JoinsMixesAndRemovesRanges) {
  const std::string one = Source("one", kRate * 2), two = Source("two", kRate * 3 / 2);
  const std::vector<int16_t> a = Decoded(one), b = Decoded(two);
  const std::string joined = File("joined");
  Result r = Cli({"join", Q(one), Q(two), Q(joined), "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<int16_t> both = Decoded(joined);
  ASSERT_EQ(both.size(), a.size() + b.size());
  if (GetParam() == AudioFormat::Flac) {
    EXPECT_TRUE(std::equal(a.begin(), a.end(), both.begin()));
    EXPECT_TRUE(std::equal(b.begin(), b.end(), both.begin() + static_cast<long>(a.size())));
  } else {
    const std::vector<int16_t> tail(both.begin() + static_cast<long>(a.size()), both.end());
    EXPECT_EQ(BestLag(a, 0, both, 2, 1500, 2400), 0);
    EXPECT_EQ(BestLag(b, 0, tail, 2, 1500, 2400), 0);
  }

  const std::string mixed = File("mixed");
  r = Cli({"mix", Q(one), Q(two), Q(mixed), "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Decoded(mixed).size(), a.size());  // the longer file's length

  // Seconds 1 to 2 of the joined file removed, widened by a tenth on each
  // side as Segment Cut does: what was before 0.9 s and after 2.1 s meets.
  const std::string removed = File("removed");
  r = Cli({"remove", Q(joined), Q(removed), "--range", "00:00:01.0-00:00:02.0", "--widen", "0.1", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<int16_t> rest = Decoded(removed);
  const long before = kRate * 9 / 10 * 2, after = kRate * 21 / 10 * 2;
  ASSERT_EQ(rest.size(), both.size() - static_cast<size_t>(after - before));
  if (GetParam() == AudioFormat::Flac) {
    EXPECT_TRUE(std::equal(rest.begin(), rest.begin() + before, both.begin()));
    EXPECT_TRUE(std::equal(rest.begin() + before, rest.end(), both.begin() + after));
  } else {
    const std::vector<int16_t> head(rest.begin(), rest.begin() + before), tail(rest.begin() + before, rest.end());
    EXPECT_EQ(BestLag(both, 0, head, 2, 1500, 4800), 0);
    EXPECT_EQ(BestLag(both, static_cast<size_t>(after / 2), tail, 2, 1500, 2400), 0);
  }
}

TEST_P(CodecJobs, SplitPiecesPutTogetherAreTheWhole) {
  const std::string source = Source("album", kRate * 5);
  const std::vector<int16_t> whole = Decoded(source);
  const std::string folder = dir.File("pieces");
  std::filesystem::create_directory(folder);
  const Result r = Cli({"split", Q(source), Q(folder), "--at", "1.25,3", "--name", "part {n}", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const size_t bounds[] = {0, size_t{kRate} * 5 / 4, size_t{kRate} * 3, size_t{kRate} * 5};
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    const std::string piece = folder + "/part " + std::to_string(n) + CodecExtension(GetParam());
    ASSERT_TRUE(std::filesystem::exists(piece));
    ExpectRange(whole, bounds[n - 1], piece, bounds[n] - bounds[n - 1]);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, CodecJobs,
                         ::testing::Values(AudioFormat::Flac, AudioFormat::Vorbis, AudioFormat::Opus, AudioFormat::M4a), Name);

TEST(CodecTool, EncodesToEveryFormatAndRefusesWhatCannotBe) {
  TempDir dir;
  const std::string wav = dir.File("voice.wav");
  WriteWav16(wav, ChirpSamples(44100 * 2, 1, 44100), 1, 44100);
  for (const char* ext : {".flac", ".ogg", ".oga", ".opus", ".m4a"}) {
    SCOPED_TRACE(ext);
    const std::string target = dir.File(std::string("voice") + ext);
    const Result r = Cli({"encode", Q(wav), Q(target), "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    const Result info = Cli({"info", Q(target)});
    // Opus is written at 48 kHz: two seconds are 96000 samples there.
    const bool opus = std::string(ext) == ".opus";
    EXPECT_NE(info.out.find(opus ? "total_samples: 96000\n" : "total_samples: 88200\n"), std::string::npos) << info.out;
  }
  const std::string flac = dir.File("voice.flac");
  EXPECT_EQ(WavSamples(wav).size(), 88200u);
  const std::string back = dir.File("back.wav");
  ASSERT_EQ(Cli({"decode", Q(flac), Q(back), "--quiet"}).code, 0);
  EXPECT_EQ(WavSamples(back), WavSamples(wav));  // FLAC keeps every sample

  Result r = Cli({"encode", Q(wav), Q(dir.File("x.flac")), "--bitrate", "128"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("FLAC keeps every sample"), std::string::npos) << r.err;
  r = Cli({"encode", Q(wav), Q(dir.File("x.ogg")), "--vbr", "2"});
  EXPECT_EQ(r.code, 1);
  r = Cli({"encode", Q(wav), Q(dir.File("x.aac"))});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("save it as .m4a"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.aac")));
  // Asked to be lossless, a FLAC cut is the cut itself.
  const std::string lossless = dir.File("lossless.flac");
  r = Cli({"cut", Q(flac), Q(lossless), "--start", "0.5", "--end", "1", "--lossless", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  ASSERT_EQ(Cli({"decode", Q(lossless), Q(back), "--force", "--quiet"}).code, 0);
  const std::vector<int16_t> source = WavSamples(wav);
  EXPECT_EQ(WavSamples(back), std::vector<int16_t>(source.begin() + 22050, source.begin() + 44100));
}

TEST(CodecTool, AnAacStreamWithoutContainerIsReadWholeAndCutIntoM4a) {
  TempDir dir;
  const std::string aac = dir.File("note.aac");
  WriteAdtsFile(aac, ChirpSamples(44100 * 3, 1, 44100));
  const Result info = Cli({"info", Q(aac)});
  ASSERT_EQ(info.code, 0) << info.err;
  // Counted by decoding: all of it, the encoder's priming and padding with it.
  const size_t counted = info.out.find("total_samples: ");
  ASSERT_NE(counted, std::string::npos) << info.out;
  const long total = std::stol(info.out.substr(counted + 15));
  EXPECT_GE(total, 44100 * 3);
  EXPECT_LE(total, 44100 * 3 + 3 * 1024);
  EXPECT_EQ(Cli({"cut", Q(aac), Q(dir.File("part.aac")), "--start", "1", "--end", "2"}).code, 1);
  const Result r = Cli({"cut", Q(aac), Q(dir.File("part.m4a")), "--start", "1", "--end", "2", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(Cli({"info", Q(dir.File("part.m4a"))}).out.find("total_samples: 44100\n"), std::string::npos);
}

}  // namespace
