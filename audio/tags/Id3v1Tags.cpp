#include "audio/tags/Id3v1Tags.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "platform/FdIo.h"
#include "audio/tags/TagText.h"

namespace {

constexpr int kRecordSize = 128;

bool ReadRecord(int fd, uint8_t (&record)[kRecordSize]) {
  if (::lseek(fd, -kRecordSize, SEEK_END) < 0) return false;
  return FdIo::Read(fd, record, kRecordSize) == static_cast<int64_t>(kRecordSize) && std::memcmp(record, "TAG", 3) == 0;
}

/// A field at full width without the blanks, control bytes and zero bytes around it.
std::string Field(const uint8_t* bytes, size_t size) {
  size_t begin = 0, end = size;
  while (begin < end && bytes[begin] <= ' ') ++begin;
  while (end > begin && bytes[end - 1] <= ' ') --end;
  return std::string(reinterpret_cast<const char*>(bytes) + begin, end - begin);
}

void Put(uint8_t* field, const std::string& text, size_t width) {
  std::memcpy(field, text.data(), std::min(text.size(), width));
}

bool EqualIgnoringCase(const std::string& a, const char* b) {
  const size_t length = std::strlen(b);
  if (a.size() != length) return false;
  for (size_t i = 0; i < length; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

const std::array<const char*, TId3v1Tags::kGenreCount> TId3v1Tags::kGenres = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal",
    "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip",
    "Gospel", "Noise", "Alt. Rock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental pop",
    "Instrumental rock", "Ethnic", "Gothic", "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk",
    "Eurodance", "Dream", "Southern Rock", "Comedy", "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk",
    "Jungle", "Native American", "Cabaret", "New Wave", "Psychedelic", "Rave", "Showtunes", "Trailer", "Lo-Fi",
    "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk",
    "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",
    "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock",
    "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour", "Speech", "Chanson", "Opera", "Chamber music",
    "Sonata", "Symphony", "Booty Bass", "Primus", "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba",
    "Folklore", "Ballad", "Power Ballad", "Rhythmic soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo",
    "A Cappella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie",
    "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal", "Black Metal",
    "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa", "Thrash Metal", "Anime", "JPop",
    "Synthpop"};

TId3v1Tags::TId3v1Tags() {
  for (const char* name : {"artist", "album", "year", "track", "title", "comment"}) AddTag(name);
  AddTag("genre", TagInteger{12, 32});
}

std::string TId3v1Tags::Artist() const {
  const TagVariant value = TagValue("artist");
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* wide = std::get_if<std::u16string>(&value)) return TagText::Utf16ToLatin1(*wide);
  return {};
}

int TId3v1Tags::GenreId() const {
  const int32_t id = AsInteger("genre");
  return id >= 0 && id < kGenreCount ? id : 12;
}

void TId3v1Tags::SetGenre(const std::string& value) {
  const size_t first = value.find_first_not_of(" \t\r\n");
  const std::string trimmed =
      first == std::string::npos ? std::string() : value.substr(first, value.find_last_not_of(" \t\r\n") - first + 1);
  for (int id = 0; id < kGenreCount; ++id) {
    if (EqualIgnoringCase(trimmed, kGenres[static_cast<size_t>(id)])) {
      SetGenreId(static_cast<uint8_t>(id));
      return;
    }
  }
}

bool TId3v1Tags::TagExists(int fd) const {
  if (fd == -1) return false;
  const off_t position = ::lseek(fd, 0, SEEK_CUR);
  uint8_t record[kRecordSize];
  const bool found = ReadRecord(fd, record);
  if (position >= 0) ::lseek(fd, position, SEEK_SET);
  return found;
}

bool TId3v1Tags::ReadFromFile(int fd) {
  if (!TAuTags::ReadFromFile(fd)) return false;
  uint8_t record[kRecordSize];
  if (!ReadRecord(fd, record)) return false;
  SetTitle(Field(record + 3, 30));
  SetArtist(Field(record + 33, 30));
  SetAlbum(Field(record + 63, 30));
  int32_t year = 0;
  if (!ParseInt32(Field(record + 93, 4), year)) year = 0;
  SetYear(static_cast<uint16_t>(year));
  const uint8_t mark = record[125], track = record[126];
  // ID3v1.1: a track number in the last byte of the comment field.
  if ((mark == 0 && track != 0) || (mark == ' ' && track != ' ')) {
    SetComment(Field(record + 97, 28));
    SetTrack(track);
  } else {
    SetComment(Field(record + 97, 30));
    SetTrack(0);
  }
  SetGenreId(record[127]);
  return true;
}

bool TId3v1Tags::WriteToFile(int fd) {
  if (fd == -1 || ::lseek(fd, 0, SEEK_END) < 0) return false;
  uint8_t record[kRecordSize] = {};
  std::memcpy(record, "TAG", 3);
  Put(record + 3, Title(), 30);
  Put(record + 33, Artist(), 30);
  Put(record + 63, Album(), 30);
  Put(record + 93, std::to_string(Year()), 4);
  if (Track() != 0) {
    Put(record + 97, Comment(), 28);
    record[125] = 0;
    record[126] = Track();
  } else {
    Put(record + 97, Comment(), 30);
  }
  record[127] = static_cast<uint8_t>(GenreId());
  return FdIo::Write(fd, record, kRecordSize) == static_cast<int64_t>(kRecordSize);
}
