#pragma once

#include <array>
#include <cstdint>

#include "audio/tags/AuTags.h"

/// The ID3v1 (and ID3v1.1) fields and their 128-byte record at the end of a file.
class TId3v1Tags : public TAuTags {
 public:
  static constexpr int kGenreCount = 148;
  /// ID3v1 genres 0..79, then the common extension list 80..147.
  static const std::array<const char*, kGenreCount> kGenres;

  TId3v1Tags();

  std::string Title() const { return AsString("title"); }
  void SetTitle(const std::string& value) { SetTagValue("title", value); }
  /// Text only; an integer reads as empty.
  std::string Artist() const;
  void SetArtist(const std::string& value) { SetTagValue("artist", value); }
  std::string Album() const { return AsString("album"); }
  void SetAlbum(const std::string& value) { SetTagValue("album", value); }
  std::string Comment() const { return AsString("comment"); }
  void SetComment(const std::string& value) { SetTagValue("comment", value); }
  uint16_t Year() const { return static_cast<uint16_t>(AsInteger("year")); }
  void SetYear(uint16_t value) { SetTagValue("year", TagInteger{value, 16}); }
  uint8_t Track() const { return static_cast<uint8_t>(AsInteger("track")); }
  void SetTrack(uint8_t value) { SetTagValue("track", TagInteger{value, 8}); }
  /// 12 ("Other") for a stored value outside 0..147.
  int GenreId() const;
  void SetGenreId(uint8_t value) { SetTagValue("genre", TagInteger{value, 8}); }
  /// The table name of GenreId.
  std::string Genre() const { return kGenres[static_cast<size_t>(GenreId())]; }
  /// Looks the name up, trimmed and ignoring case; an unknown name changes nothing.
  void SetGenre(const std::string& value);

  /// A record at 128 bytes before the end; the position is kept.
  bool TagExists(int fd) const override;
  /// Clears, then reads the record; the position is left after it.
  bool ReadFromFile(int fd) override;
  /// Appends one record at the end of the file.
  bool WriteToFile(int fd) override;
};
