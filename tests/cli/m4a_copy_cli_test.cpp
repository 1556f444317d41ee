// Lossless M4A cuts copy the source's AAC or ALAC packets and trim them by
// the edit list: checked on files FFmpeg makes, against FFmpeg's decode of
// the source (the start; FFmpeg plays a few samples past an edit list's end)
// and our reader's (both ends), sample for sample.
#include <gtest/gtest.h>

#include <taglib/fileref.h>
#include <taglib/mp4file.h>
#include <taglib/tpropertymap.h>

#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "tests/cli/CliRun.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDir.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kRate = 44100;

/// The largest difference between `cut` and `count` samples of `whole` from frame `from` (stereo).
int WorstDifference(const std::vector<int16_t>& whole, const std::vector<int16_t>& cut, int64_t from, int64_t count) {
  int worst = 0;
  for (size_t i = 0; i < static_cast<size_t>(count * 2); ++i)
    worst = std::max(worst, std::abs(cut[i] - whole[static_cast<size_t>(from * 2) + i]));
  return worst;
}

class M4aCopy : public ::testing::Test {
 protected:
  /// 20 s of a stereo chord and a sweep at 44.1 kHz.
  std::string Wav() {
    const std::string wav = dir.File("chord.wav");
    if (!std::filesystem::exists(wav)) {
      EXPECT_EQ(RunTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(wav), "synth", "20", "sine", "440", "sine",
                                "1250", "sine", "100-8000", "vol", "0.3"}),
                0);
    }
    return wav;
  }

  std::string Encode(const std::string& name, const QStringList& codec) {
    const std::string file = dir.File(name);
    QStringList arguments = {"-i", Q(Wav())};
    arguments << codec << Q(file);
    EXPECT_EQ(RunFfmpeg(arguments), 0);
    return file;
  }

  std::vector<int16_t> OurDecode(const std::string& file) {
    const std::string wav = dir.File("ours.wav");
    const Result r = Cli({"decode", Q(file), Q(wav), "--force", "--quiet"});
    EXPECT_EQ(r.code, 0) << r.err;
    return WavSamples(wav);
  }

  /// Cuts frames [from, to) losslessly: our reader gives the range's samples
  /// exactly and FFmpeg's decode starts with them; a packet of the source
  /// from inside the range is in the result as it was.
  void ExpectCut(const std::string& source, int64_t from, int64_t to, int tolerance = 0) {
    SCOPED_TRACE(source + " " + std::to_string(from) + ".." + std::to_string(to));
    const std::string target = dir.File("cut.m4a");
    const Result r = Cli({"cut", Q(source), Q(target), "--start", Q(std::to_string(from) + "s"), "--end",
                          Q(std::to_string(to) + "s"), "--lossless", "--force", "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<int16_t> ours = OurDecode(target), oursWhole = OurDecode(source);
    ASSERT_EQ(ours.size(), static_cast<size_t>((to - from) * 2));
    EXPECT_LE(WorstDifference(oursWhole, ours, from, to - from), tolerance);
    EXPECT_EQ(StreamDurationSamples(target), to - from);
    const std::vector<int16_t> theirs = DecodeWithFfmpeg(target), theirsWhole = DecodeWithFfmpeg(source);
    ASSERT_GE(theirs.size(), static_cast<size_t>((to - from) * 2));
    EXPECT_LE(WorstDifference(theirsWhole, theirs, from, to - from), tolerance);
    EXPECT_TRUE(FfmpegErrors(target).empty());
    if (to - from > 3 * 4096) {
      // Bytes from the middle of the range's part of the source are in the result as they were.
      const std::vector<uint8_t> sourceBytes = ReadFile(source), resultBytes = ReadFile(target);
      const double at = (static_cast<double>(from + to) / 2) / (20.0 * kRate);
      const auto middle = sourceBytes.begin() + static_cast<std::ptrdiff_t>(at * static_cast<double>(sourceBytes.size()));
      EXPECT_NE(std::search(resultBytes.begin(), resultBytes.end(), middle, middle + 64), resultBytes.end());
    }
  }

  TempDir dir;
};

TEST_F(M4aCopy, AacAndAlacCutsAreExactInLengthAndInSamples) {
  // FFmpeg's AAC encoder substitutes noise for noisy bands unless told not
  // to; a decoder draws that noise anew, so such files match within it.
  const std::string plain = Encode("plain.m4a", {"-c:a", "aac", "-aac_pns", "0", "-b:a", "160k"});
  const std::string alac = Encode("alac.m4a", {"-c:a", "alac"});
  for (const std::string& source : {plain, alac}) {
    ExpectCut(source, 1024 * 30, 1024 * 300);             // on packet boundaries
    ExpectCut(source, 54441, 749701);                     // inside packets
    ExpectCut(source, 5000, 5100);                        // shorter than a packet
    ExpectCut(source, 0, 700);                            // in the first packet
    ExpectCut(source, 19 * kRate + 7, 20 * kRate);        // to the end: the last packet
    ExpectCut(source, 0, 20 * kRate);                     // the whole file
  }
  const std::string noisy = Encode("substituted.m4a", {"-c:a", "aac", "-b:a", "96k"});
  ExpectCut(noisy, 54441, 749701, 2);
}

TEST_F(M4aCopy, TagsPicturesAndTheGaplessCommentAreWritten) {
  const std::string cover = dir.File("cover.png");
  ASSERT_EQ(RunTool("convert", {"-size", "16x16", "xc:red", Q(cover)}), 0);
  const std::string source = dir.File("tagged.m4a");
  ASSERT_EQ(RunFfmpeg({"-i", Q(Wav()), "-i", Q(cover), "-map", "0", "-map", "1", "-c:a", "aac", "-aac_pns", "0", "-c:v", "copy",
                       "-disposition:v", "attached_pic", "-metadata", "title=Song", "-metadata", "artist=Ann", Q(source)}),
            0);
  ExpectCut(source, 110250, 540225);
  TagLib::MP4::File mp4(dir.File("cut.m4a").c_str());
  ASSERT_TRUE(mp4.isValid());
  EXPECT_EQ(mp4.properties()["TITLE"].toString().to8Bit(true), "Song");
  EXPECT_EQ(mp4.properties()["ARTIST"].toString().to8Bit(true), "Ann");
  ASSERT_TRUE(mp4.tag()->contains("covr"));
  const std::vector<uint8_t> png = ReadFile(cover);
  EXPECT_EQ(mp4.tag()->item("covr").toCoverArtList().front().data(),
            TagLib::ByteVector(reinterpret_cast<const char*>(png.data()), static_cast<unsigned>(png.size())));
  // Players that ignore the edit list read the same trim from iTunSMPB.
  const TagLib::String smpb = mp4.tag()->item("----:com.apple.iTunes:iTunSMPB").toStringList().toString();
  unsigned zero = 1, priming = 0, padding = 0;
  unsigned long long samples = 0;
  ASSERT_EQ(std::sscanf(smpb.toCString(), " %x %x %x %llx", &zero, &priming, &padding, &samples), 4) << smpb.to8Bit();
  EXPECT_EQ(samples, 540225u - 110250u);
  EXPECT_EQ(priming, 110250u % 1024 + 1024);  // the packet before, and the range's start in its own
  EXPECT_EQ((priming + samples + padding) % 1024, 0u);
  // Split pieces copy packets too and, put together, are the source.
  const std::string folder = dir.File("pieces");
  std::filesystem::create_directory(folder);
  const Result r = Cli({"split", Q(source), Q(folder), "--at", "3.3,12345s", "--name", "{n}", "--lossless", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  std::vector<int16_t> joined;
  for (int n = 1; n <= 3; ++n) {
    const std::vector<int16_t> piece = OurDecode(folder + "/" + std::to_string(n) + ".m4a");
    joined.insert(joined.end(), piece.begin(), piece.end());
  }
  const std::vector<int16_t> whole = OurDecode(source);
  ASSERT_EQ(joined.size(), whole.size());
  EXPECT_EQ(WorstDifference(whole, joined, 0, static_cast<int64_t>(whole.size() / 2)), 0);
}

TEST_F(M4aCopy, AacWithoutAContainerIsRefusedWithTheReason) {
  const std::string adts = Encode("raw.aac", {"-c:a", "aac"});
  const std::string target = dir.File("x.m4a");
  Result r = Cli({"cut", Q(adts), Q(target), "--start", "1", "--end", "2", "--lossless"});
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("cut it without --lossless"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(adts), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(target));
  r = Cli({"cut", Q(adts), Q(target), "--start", "1", "--end", "2", "--quiet"});
  EXPECT_EQ(r.code, 0) << r.err;
}

}  // namespace
