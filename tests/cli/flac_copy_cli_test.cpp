// FLAC cuts copy the source's frames and encode only the frames cut through
// at the ends: checked on files the flac tool and FFmpeg make, at 16 and 24
// bits, against FFmpeg's decode of the source, sample for sample, and with
// `flac -t`, which checks every frame's CRCs and the stream's own counts.
#include <gtest/gtest.h>

#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/tpropertymap.h>

#include <QProcess>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "audio/classes/FileStream.h"
#include "audio/classes/StreamBytes.h"
#include "platform/FlacFrames.h"
#include "platform/FlacStream.h"
#include "tests/cli/CliRun.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDir.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kRate = 44100;

/// FFmpeg's decode of a file as 32-bit samples (16- and 24-bit sources alike).
std::vector<int32_t> Decode(const std::string& file) {
  QProcess ffmpeg;
  ffmpeg.start("ffmpeg", {"-nostdin", "-v", "error", "-i", Q(file), "-f", "s32le", "-"});
  ffmpeg.waitForFinished(120000);
  const QByteArray bytes = ffmpeg.readAllStandardOutput();
  std::vector<int32_t> samples(static_cast<size_t>(bytes.size()) / 4);
  std::memcpy(samples.data(), bytes.data(), samples.size() * 4);
  return samples;
}

media::FlacStream Scan(const std::string& file) {
  TAuFileStream stream(file, TFileMode::Read);
  TStreamBytes bytes(stream);
  auto scanned = media::ScanFlacStream(bytes);
  EXPECT_TRUE(scanned.has_value()) << file;
  return scanned ? *scanned : media::FlacStream{};
}

class FlacCopy : public ::testing::Test {
 protected:
  /// 20 s of a stereo chord with noise (so that frames differ), as a WAV of `bits`.
  std::string Wav(const std::string& name, int bits) {
    const std::string wav = dir.File(name);
    EXPECT_EQ(RunTool("sox", {"-n", "-r", QString::number(kRate), "-c", "2", "-b", QString::number(bits), Q(wav), "synth",
                              "20", "sine", "440", "pinknoise", "vol", "0.4"}),
              0);
    return wav;
  }

  /// Cuts [start, end) (times the tool takes) and checks the result against
  /// the source's own decode, and that the frames inside were copied.
  void ExpectExactCut(const std::string& source, const std::string& start, const std::string& end, int64_t from,
                      int64_t to) {
    SCOPED_TRACE(source + " " + start + ".." + end);
    const std::string target = dir.File("cut.flac");
    const Result r = Cli({"cut", Q(source), Q(target), "--start", Q(start), "--end", Q(end), "--force", "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<int32_t> whole = Decode(source), cut = Decode(target);
    ASSERT_EQ(cut.size(), static_cast<size_t>((to - from) * 2));
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), whole.begin() + from * 2));
    EXPECT_EQ(RunTool("flac", {"-t", "-s", Q(target)}), 0);  // every CRC and the stream's counts
    const media::FlacStream result = Scan(target);
    EXPECT_EQ(result.Samples(), to - from);
    EXPECT_EQ(result.info.samples, to - from);
    // A frame of the source that lies inside the range is in the result byte for byte (but its header).
    const media::FlacStream original = Scan(source);
    const std::vector<uint8_t> sourceBytes = ReadFile(source), resultBytes = ReadFile(target);
    for (const media::FlacFrameSpan& frame : original.frames) {
      if (frame.firstSample < from + 16 || frame.firstSample + frame.blockSize > to) continue;
      const auto body = sourceBytes.begin() + frame.offset + 16;
      const auto bodyEnd = sourceBytes.begin() + frame.offset + frame.bytes - 2;
      EXPECT_NE(std::search(resultBytes.begin(), resultBytes.end(), body, bodyEnd), resultBytes.end())
          << "frame at " << frame.firstSample << " was not copied";
      break;
    }
  }

  TempDir dir;
};

TEST_F(FlacCopy, CutsOfFilesTheFlacToolAndFfmpegMakeAreExactAndCopyTheFrames) {
  const std::string wav = Wav("chord.wav", 16);
  const std::string byFlac = dir.File("flac-tool.flac"), byFfmpeg = dir.File("ffmpeg.flac");
  ASSERT_EQ(RunTool("flac", {"-s", "-f", Q(wav), "-o", Q(byFlac)}), 0);  // blocks of 4096
  ASSERT_EQ(RunFfmpeg({"-i", Q(wav), "-c:a", "flac", Q(byFfmpeg)}), 0);  // blocks of 4608
  for (const std::string& source : {byFlac, byFfmpeg}) {
    const int block = Scan(source).frames.front().blockSize;
    const auto s = [](int64_t frames) { return std::to_string(frames) + "s"; };
    ExpectExactCut(source, s(3 * block), s(40 * block), 3 * block, 40 * block);          // on frame boundaries
    ExpectExactCut(source, "1.2345", "17.000013", 54441, 749701);                        // inside frames
    ExpectExactCut(source, s(5 * block - 7), s(9 * block + 3), 5 * block - 7, 9 * block + 3);  // 7 samples before a frame
    ExpectExactCut(source, "0", s(100), 0, 100);                                          // inside the first frame
    ExpectExactCut(source, s(block + 10), s(block + 20), block + 10, block + 20);         // shorter than a frame
    ExpectExactCut(source, "19.5", "99", 859950, 20 * kRate);                             // to the end: the last frame
    ExpectExactCut(source, "0", "99", 0, 20 * kRate);                                     // the whole file
  }
}

TEST_F(FlacCopy, TwentyFourBitsAndTheTagsAndPicturesAreCarried) {
  const std::string wav = Wav("wide.wav", 24);
  const std::string source = dir.File("wide.flac"), cover = dir.File("cover.png");
  ASSERT_EQ(RunTool("convert", {"-size", "16x16", "xc:red", Q(cover)}), 0);
  ASSERT_EQ(RunTool("flac", {"-s", "-f", "--tag=TITLE=Wide song", "--tag=ARTIST=Ann", "--picture=3||||" + Q(cover), Q(wav),
                             "-o", Q(source)}),
            0);
  ExpectExactCut(source, "2.5", "12.25", 110250, 540225);
  TagLib::FileRef file(dir.File("cut.flac").c_str());
  ASSERT_FALSE(file.isNull());
  EXPECT_EQ(file.file()->properties()["TITLE"].toString().to8Bit(true), "Wide song");
  EXPECT_EQ(file.file()->properties()["ARTIST"].toString().to8Bit(true), "Ann");
  TagLib::FLAC::File flac(dir.File("cut.flac").c_str());
  ASSERT_EQ(flac.pictureList().size(), 1u);
  EXPECT_EQ(flac.pictureList().front()->type(), TagLib::FLAC::Picture::FrontCover);
  const std::vector<uint8_t> png = ReadFile(cover);
  EXPECT_EQ(flac.pictureList().front()->data(),
            TagLib::ByteVector(reinterpret_cast<const char*>(png.data()), static_cast<unsigned>(png.size())));
  EXPECT_EQ(RunTool("flac", {"-t", "-s", Q(dir.File("cut.flac"))}), 0);  // the tags fitted in without harm
}

TEST_F(FlacCopy, SplitPiecesCopyFramesTooAndPutTogetherAreTheSource) {
  const std::string wav = Wav("chord.wav", 16);
  const std::string source = dir.File("album.flac"), folder = dir.File("pieces");
  ASSERT_EQ(RunTool("flac", {"-s", "-f", Q(wav), "-o", Q(source)}), 0);
  std::filesystem::create_directory(folder);
  const Result r = Cli({"split", Q(source), Q(folder), "--at", "3.3,7,12345s,0:15.5", "--name", "{n}", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  std::vector<int32_t> joined;
  for (int n = 1; n <= 5; ++n) {
    const std::string piece = folder + "/" + std::to_string(n) + ".flac";
    EXPECT_EQ(RunTool("flac", {"-t", "-s", Q(piece)}), 0) << piece;
    const std::vector<int32_t> samples = Decode(piece);
    joined.insert(joined.end(), samples.begin(), samples.end());
  }
  EXPECT_EQ(joined, Decode(source));
}

TEST_F(FlacCopy, AFileWhoseFramesDoNotFollowIsDecodedInstead) {
  const std::string wav = Wav("chord.wav", 16);
  const std::string source = dir.File("source.flac");
  ASSERT_EQ(RunTool("flac", {"-s", "-f", Q(wav), "-o", Q(source)}), 0);
  // Junk in the middle of a frame: the frames no longer follow one another.
  std::vector<uint8_t> bytes = ReadFile(source);
  const media::FlacStream stream = Scan(source);
  const auto& hit = stream.frames[stream.frames.size() / 2];
  std::fill_n(bytes.begin() + hit.offset + hit.bytes / 2, 64, uint8_t{0x55});
  const std::string damaged = dir.File("damaged.flac");
  std::ofstream(damaged, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
  TAuFileStream file(damaged, TFileMode::Read);
  TStreamBytes damagedBytes(file);
  EXPECT_FALSE(media::ScanFlacStream(damagedBytes).has_value());
  const std::string target = dir.File("cut.flac");
  const Result r = Cli({"cut", Q(damaged), Q(target), "--start", "1", "--end", "5", "--force", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(RunTool("flac", {"-t", "-s", Q(target)}), 0);
  const std::vector<int32_t> whole = Decode(source), cut = Decode(target);
  ASSERT_EQ(cut.size(), static_cast<size_t>(4 * kRate * 2));
  EXPECT_TRUE(std::equal(cut.begin(), cut.end(), whole.begin() + kRate * 2));  // the damage lies after 5 s
}

TEST(FlacFrames, HeadersNameTheirSampleInEveryLengthOfNumber) {
  // A frame of ours rewritten to start at samples that take 1 to 7 bytes to write.
  TempDir dir;
  const std::string wav = dir.File("short.wav"), flac = dir.File("short.flac");
  ASSERT_EQ(RunTool("sox", {"-n", "-r", "8000", "-c", "1", "-b", "16", Q(wav), "synth", "1", "sine", "300"}), 0);
  ASSERT_EQ(RunTool("flac", {"-s", "-f", Q(wav), "-o", Q(flac)}), 0);
  const media::FlacStream stream = Scan(flac);
  ASSERT_FALSE(stream.frames.empty());
  const std::vector<uint8_t> bytes = ReadFile(flac);
  const auto& frame = stream.frames[1];
  for (const uint64_t at : {uint64_t{0}, uint64_t{127}, uint64_t{128}, uint64_t{2047}, uint64_t{65535}, uint64_t{1} << 20,
                            uint64_t{1} << 27, (uint64_t{1} << 36) - 1}) {
    const std::vector<uint8_t> moved = media::FrameStartingAt(bytes.data() + frame.offset, static_cast<size_t>(frame.bytes), at);
    const auto header = media::ParseFlacFrameHeader(moved.data(), moved.size());
    ASSERT_TRUE(header.has_value()) << at;
    EXPECT_TRUE(header->variableBlocks);
    EXPECT_EQ(header->number, at);
    EXPECT_EQ(header->blockSize, frame.blockSize);
    EXPECT_EQ(media::FlacCrc16(moved.data(), moved.size()), 0) << at;  // the CRC-16 covers the new header
  }
}

}  // namespace
