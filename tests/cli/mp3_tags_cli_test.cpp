// Tags of MP3 sources, as LAME, FFmpeg and TagLib write them, read by `info`
// and carried into re-encoded cuts: the comment into both tags, the genre
// and track into the ID3v1 record.
#include <gtest/gtest.h>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <string>
#include <vector>

#include "audio/mp3/frames/Id3v2Header.h"
#include "tests/cli/CliRun.h"
#include "tests/support/FfmpegRetag.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

using Bytes = std::vector<uint8_t>;

QString Q(const std::string& s) { return QString::fromStdString(s); }

void Append(Bytes& to, const std::string& text) { to.insert(to.end(), text.begin(), text.end()); }

void AppendUtf16Le(Bytes& to, const std::string& ascii) {
  for (char c : ascii) to.insert(to.end(), {static_cast<uint8_t>(c), 0});
}

/// An ID3v2.3 tag with a title and the comment frame LAME 3.100 writes for
/// --tc: UTF-16, an empty description without a byte-order mark, then the
/// text with one.
Bytes LameStyleTag(const std::string& title, const std::string& comment) {
  Bytes frames;
  const auto frame = [&frames](const char* id, const Bytes& body) {
    Append(frames, id);
    const auto size = static_cast<uint32_t>(body.size());
    frames.insert(frames.end(), {uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size), 0, 0});
    frames.insert(frames.end(), body.begin(), body.end());
  };
  Bytes text{0};
  Append(text, title);
  frame("TIT2", text);
  Bytes comm{1};
  Append(comm, "eng");
  comm.insert(comm.end(), {0, 0, 0xFF, 0xFE});
  AppendUtf16Le(comm, comment);
  comm.insert(comm.end(), {0, 0});
  frame("COMM", comm);
  Bytes tag{'I', 'D', '3', 3, 0, 0};
  const auto size = static_cast<uint32_t>(frames.size());
  tag.insert(tag.end(), {uint8_t((size >> 21) & 0x7F), uint8_t((size >> 14) & 0x7F), uint8_t((size >> 7) & 0x7F),
                         uint8_t(size & 0x7F)});
  tag.insert(tag.end(), frames.begin(), frames.end());
  return tag;
}

class Mp3Tags : public ::testing::Test {
 protected:
  void SetUp() override { plain = EncodeMp3(ChirpSamples(44100 * 3, 2, 44100), 2, 44100, 128, true); }

  /// Cuts [0.5 s, 2 s) of `source` (re-encoded) and returns the cut's name.
  std::string CutOf(const std::string& source) {
    const std::string target = dir.File("cut.mp3");
    const Result r = Cli({"cut", Q(source), Q(target), "--start", "0.5", "--end", "2", "--force", "--quiet"});
    EXPECT_EQ(r.code, 0) << r.err;
    return target;
  }

  static std::string Id3v2Comment(const std::string& file) {
    TagLib::MPEG::File mp3(file.c_str());
    return mp3.ID3v2Tag() ? mp3.ID3v2Tag()->comment().to8Bit(true) : std::string();
  }

  static Bytes Id3v1Record(const std::string& file) {
    const Bytes bytes = ReadFile(file);
    return bytes.size() >= 128 ? Bytes(bytes.end() - 128, bytes.end()) : Bytes();
  }

  TempDir dir;
  Bytes plain;
};

TEST_F(Mp3Tags, ALameCommentIsReadAndKeptInBothTags) {
  const std::string source = dir.File("lame.mp3");
  Bytes file = LameStyleTag("Song", "a comment");
  file.insert(file.end(), plain.begin(), plain.end());
  WriteBytes(source, file);
  const Result info = Cli({"info", Q(source)});
  EXPECT_NE(info.out.find("comment: a comment\n"), std::string::npos) << info.out;

  const std::string cut = CutOf(source);
  EXPECT_EQ(Id3v2Comment(cut), "a comment");
  const Bytes record = Id3v1Record(cut);
  ASSERT_EQ(record.size(), 128u);
  EXPECT_EQ(std::string(record.begin() + 97, record.begin() + 106), "a comment");
  EXPECT_EQ(record[127], 255);  // no genre
}

TEST_F(Mp3Tags, FfmpegsGenreTrackAndALongCommentReachTheCut) {
  const std::string encoded = dir.File("plain.mp3"), source = dir.File("ffmpeg.mp3");
  WriteBytes(encoded, plain);
  const std::string comment = "A comment longer than an ID3v1 record can hold";
  RetagWithFfmpeg(encoded, source, {{"title", "Song"}, {"genre", "Jazz"}, {"track", "3"}, {"comment", comment}});
  const std::string cut = CutOf(source);
  EXPECT_EQ(Id3v2Comment(cut), comment);  // whole, in the ID3v2 tag
  const Bytes record = Id3v1Record(cut);
  ASSERT_EQ(record.size(), 128u);
  EXPECT_EQ(std::string(record.begin() + 3, record.begin() + 7), "Song");
  EXPECT_EQ(std::string(record.begin() + 97, record.begin() + 125), comment.substr(0, 28));
  EXPECT_EQ(record[125], 0);
  EXPECT_EQ(record[126], 3);   // ID3v1.1 track
  EXPECT_EQ(record[127], 8);   // Jazz
}

TEST_F(Mp3Tags, ATagLibCommentIsRead) {
  const std::string source = dir.File("taglib.mp3");
  WriteBytes(source, plain);
  {
    TagLib::MPEG::File tagged(source.c_str());
    tagged.ID3v2Tag(true)->setComment(TagLib::String("by TagLib \u00e9", TagLib::String::UTF8));
    ASSERT_TRUE(tagged.save());
  }
  const Result info = Cli({"info", Q(source)});
  EXPECT_NE(info.out.find("comment: by TagLib \u00e9\n"), std::string::npos) << info.out;
  EXPECT_EQ(Id3v2Comment(CutOf(source)), "by TagLib \u00e9");
}

TEST(Id3v2Header, SizeBytesWithTheHighBitMakeNoTag) {
  const uint8_t good[10] = {'I', 'D', '3', 3, 0, 0x10, 0, 0, 1, 0};
  const auto header = ParseId3v2Header(good);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->wholeSize, 128 + 10 + 10);  // with its footer
  for (int at : {6, 7, 8, 9}) {
    uint8_t bad[10];
    std::copy(good, good + 10, bad);
    bad[at] |= 0x80;
    EXPECT_FALSE(ParseId3v2Header(bad)) << at;
  }
  const uint8_t unknownVersion[10] = {'I', 'D', '3', 5, 0, 0, 0, 0, 1, 0};
  ASSERT_TRUE(ParseId3v2Header(unknownVersion));  // skipped whole, as decoders do
  EXPECT_FALSE(ParseId3v2Header(unknownVersion)->KnownLayout());  // but its frames are not read
}

}  // namespace
