#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <vector>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "audio/ACS_Tags.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

using Bytes = std::vector<uint8_t>;

/// Builds a tag of the given version from frames.
class TagBuilder {
 public:
  explicit TagBuilder(int version) : version_(version) {}

  TagBuilder& Frame(const std::string& id, const Bytes& data) {
    frames_.insert(frames_.end(), id.begin(), id.end());
    const auto size = static_cast<uint32_t>(data.size());
    if (version_ == 2) {
      frames_.insert(frames_.end(), {uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size)});
    } else if (version_ == 4) {
      frames_.insert(frames_.end(), {uint8_t((size >> 21) & 0x7F), uint8_t((size >> 14) & 0x7F),
                                     uint8_t((size >> 7) & 0x7F), uint8_t(size & 0x7F), 0, 0});
    } else {
      frames_.insert(frames_.end(), {uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size), 0, 0});
    }
    frames_.insert(frames_.end(), data.begin(), data.end());
    return *this;
  }

  TagBuilder& Text(const std::string& id, uint8_t encoding, const Bytes& text) {
    Bytes data{encoding};
    data.insert(data.end(), text.begin(), text.end());
    return Frame(id, data);
  }

  Bytes Build(size_t padding = 20) const {
    Bytes tag{'I', 'D', '3', uint8_t(version_), 0, 0};
    const auto size = static_cast<uint32_t>(frames_.size() + padding);
    tag.insert(tag.end(), {uint8_t((size >> 21) & 0x7F), uint8_t((size >> 14) & 0x7F), uint8_t((size >> 7) & 0x7F),
                           uint8_t(size & 0x7F)});
    tag.insert(tag.end(), frames_.begin(), frames_.end());
    tag.resize(tag.size() + padding, 0);
    return tag;
  }

 private:
  int version_;
  Bytes frames_;
};

Bytes Ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Utf16Le(const std::u16string& text, bool bom) {
  Bytes out;
  if (bom) out = {0xFF, 0xFE};
  for (char16_t c : text) out.insert(out.end(), {uint8_t(c & 0xFF), uint8_t(c >> 8)});
  out.insert(out.end(), {0, 0});
  return out;
}

/// Silent MPEG-1 layer III frames (128 kbit/s, 44.1 kHz), so that other readers take the file as MP3.
Bytes SilentMp3Frames(int count) {
  Bytes out;
  for (int i = 0; i < count; ++i) {
    Bytes frame(417, 0);
    frame[0] = 0xFF;
    frame[1] = 0xFB;
    frame[2] = 0x90;
    frame[3] = 0xC4;
    out.insert(out.end(), frame.begin(), frame.end());
  }
  return out;
}

class Id3v2 : public ::testing::Test {
 protected:
  /// Writes bytes to the test file and reads them with a fresh container.
  bool Read(const Bytes& bytes, TId3v2Tags& tags, off_t* after = nullptr) {
    WriteBytes(file, bytes);
    const int fd = ::open(file.c_str(), O_RDONLY);
    const bool ok = tags.ReadFromFile(fd);
    if (after) *after = ::lseek(fd, 0, SEEK_CUR);
    ::close(fd);
    return ok;
  }

  TempDir dir;
  std::string file = dir.File("tagged.mp3");
};

TEST_F(Id3v2, ReadsVersion3FramesInEveryEncoding) {
  const Bytes tag = TagBuilder(3)
                        .Text("TIT2", 0, Ascii("Plain title"))
                        .Text("TPE1", 1, Utf16Le(u"Art\u00efst", true))
                        .Text("TALB", 1, Utf16Le(u"No mark", false))
                        .Text("TCON", 3, Ascii("Caf\xc3\xa9"))
                        .Text("TCOM", 2, Ascii("skipped"))
                        .Text("COMM", 0, Ascii("eng\0comment"))
                        .Text("TRCK", 0, Ascii("3/12"))
                        .Text("WXXX", 0, Bytes{'d', 'e', 's', 'c', 0, 'h', 't', 't', 'p'})
                        .Text("TXXX", 0, Ascii("unknown"))
                        .Build();
  Bytes file = tag;
  file.insert(file.end(), 100, 0xAA);
  TId3v2Tags tags;
  off_t after = 0;
  ASSERT_TRUE(Read(file, tags, &after));
  EXPECT_EQ(after, static_cast<off_t>(tag.size()));
  EXPECT_TRUE(tags.IsNewVersion());
  EXPECT_EQ(tags.Title(), u"Plain title");
  EXPECT_EQ(tags.Artist(), u"Art\u00efst");  // byte-order mark dropped
  EXPECT_EQ(tags.Album(), u"No mark");
  EXPECT_EQ(tags.Genre(), u"Caf\u00e9");
  EXPECT_TRUE(std::holds_alternative<std::monostate>(tags.TagValue("TCOM")));  // encoding 2
  EXPECT_EQ(tags.Comment(), u"");
  EXPECT_EQ(tags.Track(), "3/12");
  EXPECT_EQ(tags.Link(), u"desc");
}

TEST_F(Id3v2, ReadsVersion2IntoTheShortNames) {
  TId3v2Tags tags;
  ASSERT_TRUE(Read(TagBuilder(2).Text("TP1", 0, Ascii("Old artist")).Text("TYE", 0, Ascii("1987")).Build(), tags));
  EXPECT_FALSE(tags.IsNewVersion());
  EXPECT_EQ(tags.Artist(), u"Old artist");
  EXPECT_EQ(tags.Year(), "1987");
  EXPECT_TRUE(std::holds_alternative<std::monostate>(tags.TagValue("TPE1")));
}

TEST_F(Id3v2, ReadsVersion4SyncsafeFrameSizes) {
  const std::string longTitle(300, 'x');
  TId3v2Tags tags;
  ASSERT_TRUE(Read(TagBuilder(4).Text("TIT2", 3, Ascii(longTitle)).Text("TPE1", 3, Ascii("After")).Build(), tags));
  EXPECT_EQ(tags.Title(), std::u16string(300, u'x'));
  EXPECT_EQ(tags.Artist(), u"After");
}

TEST_F(Id3v2, HeaderCheck) {
  TId3v2Tags tags;
  Bytes tag = TagBuilder(3).Text("TIT2", 0, Ascii("t")).Build();
  WriteBytes(file, tag);
  const int fd = ::open(file.c_str(), O_RDONLY);
  EXPECT_TRUE(tags.TagExists(fd));
  EXPECT_EQ(::lseek(fd, 0, SEEK_CUR), 0);
  ::close(fd);

  const struct {
    size_t at;
    uint8_t value;
  } breaks[] = {{0, 'X'}, {3, 5}, {4, 0xFF}, {5, 0x10}, {6, 0x80}, {9, 0x90}};
  for (const auto& b : breaks) {
    Bytes broken = tag;
    broken[b.at] = b.value;
    off_t after = -1;
    EXPECT_FALSE(Read(broken, tags, &after)) << b.at;
    EXPECT_EQ(after, 0) << b.at;
  }
  EXPECT_FALSE(tags.ReadFromFile(-1));
}

TEST_F(Id3v2, HostileSizesStayInsideTheTag) {
  // A frame claiming more than the tag holds, a tag claiming more than the
  // file holds, and a huge frame: nothing read past the end, no crash.
  Bytes tag = TagBuilder(3).Frame("TIT2", Bytes{0, 'a', 'b'}).Build(0);
  tag[10 + 4] = 0x7F;  // frame size byte
  TId3v2Tags tags;
  EXPECT_TRUE(Read(tag, tags));
  EXPECT_EQ(tags.Title(), u"");

  Bytes truncated = TagBuilder(3).Text("TIT2", 0, Ascii("title")).Build();
  truncated.resize(truncated.size() - 5);
  EXPECT_TRUE(Read(truncated, tags));
  EXPECT_EQ(tags.Title(), u"");

  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    Bytes noise = TagBuilder(3 + round % 2).Text("TIT2", 1, Utf16Le(u"seed", true)).Build(round % 40);
    for (int k = 0; k < 6; ++k) noise[10 + random() % (noise.size() - 10)] = static_cast<uint8_t>(random());
    off_t after = -1;
    if (Read(noise, tags, &after)) {
      EXPECT_GE(after, 10);
    }
  }
}

TEST_F(Id3v2, PaddingRoundsTheTagToSixteenBytes) {
  // One frame of 60 bytes (10 header + 1 encoding + 49 text): 10 bytes of padding.
  for (const auto& [textLength, padding] : {std::pair{49, 10}, std::pair{59, 16}}) {
    WriteBytes(file, {});
    TId3v2Tags tags;
    tags.SetTitle(std::u16string(static_cast<size_t>(textLength), u'a'));
    const int fd = ::open(file.c_str(), O_RDWR);
    ASSERT_TRUE(tags.WriteToFile(fd, false));
    const off_t size = ::lseek(fd, 0, SEEK_END);
    ::close(fd);
    EXPECT_EQ(size, 10 + 10 + 1 + textLength + padding) << textLength;
  }
}

TEST_F(Id3v2, WrittenTagReadsBackHereAndInTagLib) {
  Bytes audio = SilentMp3Frames(20);
  WriteBytes(file, audio);
  TId3v2Tags tags;
  tags.SetTitle(u"Title \u00e9\u4e2d");
  tags.SetArtist(u"Artist");
  tags.SetAlbum(u"");  // empty: no frame, the rest still written
  tags.SetGenre(u"Jazz");
  tags.SetYear("2004");
  tags.SetTrack("3");
  tags.SetComment(u"comments are not written");
  {
    const int fd = ::open(file.c_str(), O_RDWR);
    ASSERT_TRUE(tags.WriteToFile(fd, true));
    ::close(fd);
  }

  TId3v2Tags read;
  const int fd = ::open(file.c_str(), O_RDONLY);
  ASSERT_TRUE(read.ReadFromFile(fd));
  const off_t tagEnd = ::lseek(fd, 0, SEEK_CUR);
  Bytes rest(audio.size());
  EXPECT_EQ(::read(fd, rest.data(), rest.size()), static_cast<ssize_t>(audio.size()));
  ::close(fd);
  EXPECT_EQ(rest, audio);  // the old content moved up unchanged
  EXPECT_EQ(tagEnd % 16, 0);
  EXPECT_EQ(read.Title(), u"Title \u00e9\u4e2d");
  EXPECT_EQ(read.Artist(), u"Artist");
  EXPECT_EQ(read.Genre(), u"Jazz");
  EXPECT_EQ(read.Year(), "2004");
  EXPECT_EQ(read.Track(), "3");
  EXPECT_EQ(read.Comment(), u"");

  TagLib::MPEG::File other(file.c_str());
  ASSERT_TRUE(other.isValid());
  ASSERT_NE(other.ID3v2Tag(), nullptr);
  EXPECT_EQ(other.ID3v2Tag()->header()->majorVersion(), 3u);
  EXPECT_EQ(other.ID3v2Tag()->title().to8Bit(true), "Title \xc3\xa9\xe4\xb8\xad");
  EXPECT_EQ(other.ID3v2Tag()->artist().to8Bit(true), "Artist");
  EXPECT_EQ(other.ID3v2Tag()->genre().to8Bit(true), "Jazz");
  EXPECT_EQ(other.ID3v2Tag()->year(), 2004u);
  EXPECT_EQ(other.ID3v2Tag()->track(), 3u);
}

TEST_F(Id3v2, EightBitWritingUsesLatin1) {
  WriteBytes(file, Bytes(10, 0));
  TId3v2Tags tags;
  tags.SetTitle(u"Na\u00efve \u4e2d");
  const int fd = ::open(file.c_str(), O_RDWR);
  ASSERT_TRUE(tags.WriteToFile(fd, false));
  ::lseek(fd, 0, SEEK_SET);
  TId3v2Tags read;
  ASSERT_TRUE(read.ReadFromFile(fd));
  ::close(fd);
  EXPECT_EQ(read.Title(), u"Na\u00efve ?");
  EXPECT_TRUE(std::holds_alternative<std::string>(read.TagValue("TIT2")));
}

}  // namespace
