#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "audio/ACS_Tags.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

/// An open read-write descriptor, closed on destruction.
class OpenFile {
 public:
  explicit OpenFile(const std::string& name) : fd(::open(name.c_str(), O_RDWR)) {}
  ~OpenFile() {
    if (fd >= 0) ::close(fd);
  }
  int fd;
};

std::vector<uint8_t> Id3v1Record(const char* title, const uint8_t (&comment)[30], uint8_t genre) {
  std::vector<uint8_t> record(128, 0);
  std::memcpy(record.data(), "TAG", 3);
  std::memcpy(record.data() + 3, title, std::strlen(title));
  std::memcpy(record.data() + 33, "  Artist  ", 10);
  std::memcpy(record.data() + 93, "1999", 4);
  std::memcpy(record.data() + 97, comment, 30);
  record[127] = genre;
  return record;
}

TEST(TagValues, StoreComparesAndConverts) {
  TCommonTags tags;
  EXPECT_TRUE(tags.Empty());
  EXPECT_FALSE(tags.Changed());
  EXPECT_EQ(tags.TagCount(), 6);
  EXPECT_EQ(tags.TagName(0), "Album");  // sorted
  EXPECT_EQ(tags.TagName(6), "");

  tags.SetTitle(u"Caf\u00e9 \u4e2d");
  EXPECT_FALSE(tags.Empty());
  EXPECT_TRUE(tags.Changed());
  EXPECT_EQ(tags.AsString("title"), "Caf\xe9 ?");  // names ignore case; '?' for what Latin-1 lacks
  tags.SetTrack("12");
  EXPECT_EQ(tags.AsInteger("Track"), 12);
  tags.SetYear("19x9");
  EXPECT_EQ(tags.AsInteger("Year"), 0);
  EXPECT_EQ(tags.AsInteger("NoSuchName"), 0);
  tags.SetTagValue("NoSuchName", std::string("x"));
  EXPECT_EQ(tags.TagCount(), 6);

  TId3v1Tags v1;
  v1.SetTagValue("year", TagInteger{int64_t(1) << 40, 64});
  EXPECT_EQ(v1.AsInteger("year"), 0);  // 64-bit integers do not read as integers
  EXPECT_EQ(v1.AsString("year"), "");
  v1.SetTagValue("artist", TagInteger{5, 8});
  EXPECT_EQ(v1.Artist(), "");  // only text is an artist
}

TEST(TagValues, EqualValueLeavesChangedAlone) {
  TId3v1Tags tags;
  tags.Clear();
  TId3v1Tags fresh;
  EXPECT_FALSE(fresh.Changed());
  fresh.SetGenreId(12);  // the starting value
  EXPECT_FALSE(fresh.Changed());
  EXPECT_TRUE(fresh.Empty());
  fresh.SetGenreId(13);
  EXPECT_TRUE(fresh.Changed());
}

TEST(TagValues, AssignCopiesNamesBothHave) {
  TCommonTags common;
  common.SetTitle(u"Song");
  common.SetArtist(u"Band");
  common.SetGenre(u"Rock");
  common.SetYear("2004");
  common.SetTrack("3");
  TId3v1Tags v1;
  v1.SetComment("old comment");
  v1.Assign(common);
  EXPECT_EQ(v1.Title(), "Song");
  EXPECT_EQ(v1.Artist(), "Band");
  EXPECT_EQ(v1.Year(), 2004);
  EXPECT_EQ(v1.Track(), 3);
  EXPECT_EQ(v1.Comment(), "");                    // cleared, not in the source
  EXPECT_EQ(v1.GenreId(), 0);                     // a name copied as text is no id
  EXPECT_EQ(v1.Genre(), "Blues");

  TCommonTags back;
  common.AssignTo(back);
  EXPECT_EQ(back.Title(), u"Song");
}

TEST(Id3v1, GenreTableAndLookup) {
  TId3v1Tags tags;
  EXPECT_EQ(tags.GenreId(), 12);
  EXPECT_EQ(TId3v1Tags::kGenres.size(), 148u);
  EXPECT_STREQ(TId3v1Tags::kGenres[0], "Blues");
  EXPECT_STREQ(TId3v1Tags::kGenres[79], "Hard Rock");
  EXPECT_STREQ(TId3v1Tags::kGenres[133], "Negerpunk");
  EXPECT_STREQ(TId3v1Tags::kGenres[147], "Synthpop");
  tags.SetGenreId(200);
  EXPECT_EQ(tags.GenreId(), 12);
  EXPECT_EQ(tags.Genre(), "Other");
  tags.SetGenre("  hip-hop ");
  EXPECT_EQ(tags.GenreId(), 7);
  tags.SetGenre("No Such Genre");
  EXPECT_EQ(tags.GenreId(), 7);
  tags.Clear();
  EXPECT_EQ(tags.GenreId(), 0);
  EXPECT_EQ(tags.Genre(), "Blues");
}

TEST(Id3v1, RecordCommentAndTrackRule) {
  TempDir dir;
  const std::string file = dir.File("v1.mp3");
  uint8_t comment[30] = {};
  std::memcpy(comment, "a comment that fills it all!", 28);
  comment[29] = 7;  // byte 126: the track
  std::vector<uint8_t> bytes(500, 0x55);
  const auto record = Id3v1Record("Title", comment, 17);
  bytes.insert(bytes.end(), record.begin(), record.end());
  WriteBytes(file, bytes);

  OpenFile open(file);
  TId3v1Tags tags;
  EXPECT_TRUE(tags.TagExists(open.fd));
  EXPECT_EQ(::lseek(open.fd, 0, SEEK_CUR), 0);
  ASSERT_TRUE(tags.ReadFromFile(open.fd));
  EXPECT_EQ(tags.Title(), "Title");
  EXPECT_EQ(tags.Artist(), "Artist");
  EXPECT_EQ(tags.Year(), 1999);
  EXPECT_EQ(tags.Comment(), "a comment that fills it all!");
  EXPECT_EQ(tags.Track(), 7);
  EXPECT_EQ(tags.Genre(), "Rock");

  // Byte 126 zero: the whole 30 bytes are comment and there is no track.
  comment[29] = 0;
  comment[28] = 'x';
  const auto noTrack = Id3v1Record("T", comment, 17);
  std::copy(noTrack.begin(), noTrack.end(), bytes.end() - 128);
  WriteBytes(file, bytes);
  OpenFile again(file);
  ASSERT_TRUE(tags.ReadFromFile(again.fd));
  EXPECT_EQ(tags.Comment(), "a comment that fills it all!x");
  EXPECT_EQ(tags.Track(), 0);

  WriteBytes(file, std::vector<uint8_t>(100, 'T'));
  OpenFile none(file);
  EXPECT_FALSE(tags.TagExists(none.fd));
  EXPECT_FALSE(tags.ReadFromFile(none.fd));
  EXPECT_FALSE(tags.TagExists(-1));
  EXPECT_FALSE(tags.ReadFromFile(-1));
}

TEST(Id3v1, WrittenRecordReadsBack) {
  TempDir dir;
  const std::string file = dir.File("out.mp3");
  WriteBytes(file, std::vector<uint8_t>(50, 1));
  TId3v1Tags tags;
  tags.SetTitle("A title longer than thirty characters in all");
  tags.SetArtist("Artist");
  tags.SetComment("A comment longer than twenty-eight bytes");
  tags.SetYear(2004);
  tags.SetTrack(9);
  tags.SetGenre("Jazz");
  {
    OpenFile open(file);
    ASSERT_TRUE(tags.WriteToFile(open.fd));
  }
  OpenFile open(file);
  EXPECT_EQ(::lseek(open.fd, 0, SEEK_END), 50 + 128);
  TId3v1Tags read;
  ASSERT_TRUE(read.ReadFromFile(open.fd));
  EXPECT_EQ(read.Title(), "A title longer than thirty cha");
  EXPECT_EQ(read.Comment(), "A comment longer than twenty");
  EXPECT_EQ(read.Track(), 9);
  EXPECT_EQ(read.Year(), 2004);
  EXPECT_EQ(read.Genre(), "Jazz");
}

}  // namespace
