// Lossless Opus cuts copy the source's packets and trim them by pre-skip and
// granule position: checked on files opusenc and FFmpeg make, against
// FFmpeg's decode of the source, sample for sample.
#include <gtest/gtest.h>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include <QProcess>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "audio/classes/FileStream.h"
#include "audio/classes/StreamBytes.h"
#include "platform/OggOpus.h"
#include "tests/cli/CliRun.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDir.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

constexpr int kRate = 48000;

media::OggOpusStream Scan(const std::string& file) {
  TAuFileStream stream(file, TFileMode::Read);
  TStreamBytes bytes(stream);
  auto scanned = media::ScanOggOpus(bytes);
  EXPECT_TRUE(scanned.has_value()) << file;
  return scanned ? *scanned : media::OggOpusStream{};
}

class OpusCopy : public ::testing::Test {
 protected:
  /// 20 s of stereo chord and noise at 48 kHz.
  std::string Wav() {
    const std::string wav = dir.File("chord.wav");
    EXPECT_EQ(RunTool("sox", {"-n", "-r", "48000", "-c", "2", "-b", "16", Q(wav), "synth", "20", "sine", "440",
                              "pinknoise", "vol", "0.4"}),
              0);
    return wav;
  }

  /// Cuts frames [from, to) losslessly; the result decodes to the range's
  /// length exactly, to the source's samples within `tolerance`, from the
  /// source's own packets.
  void ExpectCut(const std::string& source, int64_t from, int64_t to, int tolerance = 2) {
    SCOPED_TRACE(source + " " + std::to_string(from) + ".." + std::to_string(to));
    const std::string target = dir.File("cut.opus");
    const Result r = Cli({"cut", Q(source), Q(target), "--start", Q(std::to_string(from) + "s"), "--end",
                          Q(std::to_string(to) + "s"), "--lossless", "--force", "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<int16_t> whole = DecodeWithFfmpeg(source), cut = DecodeWithFfmpeg(target);
    ASSERT_EQ(cut.size(), static_cast<size_t>((to - from) * 2));
    int worst = 0;
    for (size_t i = 0; i < cut.size(); ++i)
      worst = std::max(worst, std::abs(cut[i] - whole[static_cast<size_t>(from * 2) + i]));
    EXPECT_LE(worst, tolerance);
    EXPECT_TRUE(FfmpegErrors(target).empty());
    // Our own reader counts the same.
    const std::string wav = dir.File("cut.wav");
    ASSERT_EQ(Cli({"decode", Q(target), Q(wav), "--force", "--quiet"}).code, 0);
    EXPECT_EQ(WavSamples(wav).size(), static_cast<size_t>((to - from) * 2));
    // A packet of the source from inside the range is in the result as it was.
    const media::OggOpusStream stream = Scan(source);
    const std::vector<uint8_t> sourceBytes = ReadFile(source), resultBytes = ReadFile(target);
    for (const media::OggOpusPacket& packet : stream.packets) {
      if (packet.start < from + stream.preSkip || packet.start + packet.duration > to + stream.preSkip ||
          packet.spans.size() != 1)
        continue;
      const auto begin = sourceBytes.begin() + packet.spans[0].first;
      EXPECT_NE(std::search(resultBytes.begin(), resultBytes.end(), begin, begin + packet.spans[0].second),
                resultBytes.end());
      break;
    }
  }

  TempDir dir;
};

TEST_F(OpusCopy, CutsOfFilesOpusencAndFfmpegMakeAreExactInLengthAndInSamples) {
  const std::string wav = Wav();
  const std::string byOpusenc = dir.File("opusenc.opus"), byFfmpeg = dir.File("ffmpeg.opus");
  ASSERT_EQ(RunTool("opusenc", {"--quiet", Q(wav), Q(byOpusenc)}), 0);
  ASSERT_EQ(RunFfmpeg({"-i", Q(wav), "-c:a", "libopus", "-b:a", "96k", Q(byFfmpeg)}), 0);
  for (const std::string& source : {byOpusenc, byFfmpeg}) {
    ExpectCut(source, 158400, 609600);         // 3.3 s to 12.7 s
    ExpectCut(source, 480000, 480000 + 960);   // one packet's length, inside two
    ExpectCut(source, 1000, 2000);             // before a pre-roll's worth of packets: from the first
    ExpectCut(source, 19 * kRate + 7, 20 * kRate);  // to the end
  }
}

TEST_F(OpusCopy, TagsAreCarriedAndOtherFilesAreRefusedWithTheReason) {
  const std::string wav = Wav();
  const std::string source = dir.File("tagged.opus");
  ASSERT_EQ(RunTool("opusenc", {"--quiet", "--title", "Song", "--artist", "Ann", Q(wav), Q(source)}), 0);
  ExpectCut(source, 96000, 240000);
  TagLib::FileRef file(dir.File("cut.opus").c_str());
  ASSERT_FALSE(file.isNull());
  EXPECT_EQ(file.file()->properties()["TITLE"].toString().to8Bit(true), "Song");
  EXPECT_EQ(file.file()->properties()["ARTIST"].toString().to8Bit(true), "Ann");
  // remove --lossless of the ends keeps one piece and its tags too.
  const std::string rest = dir.File("rest.opus");
  Result r = Cli({"remove", Q(source), Q(rest), "--range", "0-2", "--range", "18-20", "--widen", "0.1", "--lossless", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(DecodeWithFfmpeg(rest).size(), static_cast<size_t>((17.9 - 2.1) * kRate * 2));  // widened by 0.1 s
  TagLib::FileRef restFile(rest.c_str());
  EXPECT_EQ(restFile.file()->properties()["TITLE"].toString().to8Bit(true), "Song");
  // Damage in a page: its CRC fails, the packets cannot be trusted: refused, nothing written.
  std::vector<uint8_t> bytes = ReadFile(source);
  bytes[bytes.size() / 2] ^= 0x5A;
  const std::string damaged = dir.File("damaged.opus");
  std::ofstream(damaged, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
  r = Cli({"cut", Q(damaged), Q(dir.File("x.opus")), "--start", "1", "--end", "2", "--lossless"});
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("cut it without --lossless"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(damaged), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.opus")));
  // Without --lossless the damaged file is cut by decoding.
  r = Cli({"cut", Q(damaged), Q(dir.File("x.opus")), "--start", "1", "--end", "2", "--quiet"});
  EXPECT_EQ(r.code, 0) << r.err;
}

TEST(OpusPackets, DurationsFromTheTableOfContents) {
  const uint8_t celt20[] = {0xF8}, silk60x2[] = {(3 << 3) | 1}, hybrid10x3[] = {(12 << 3) | 3, 3};
  const uint8_t tooLong[] = {(3 << 3) | 3, 4};  // 4 x 60 ms: more than 120 ms
  EXPECT_EQ(media::OpusPacketSamples(celt20, 1), 960);
  EXPECT_EQ(media::OpusPacketSamples(silk60x2, 1), 5760);
  EXPECT_EQ(media::OpusPacketSamples(hybrid10x3, 2), 1440);
  EXPECT_EQ(media::OpusPacketSamples(tooLong, 2), 0);
  EXPECT_EQ(media::OpusPacketSamples(hybrid10x3, 1), 0);  // the count byte is missing
}

}  // namespace
