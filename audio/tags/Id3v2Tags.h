#pragma once

#include "audio/tags/AuTags.h"

/// The ID3v2 text fields, each registered under its ID3v2.2 and ID3v2.3 frame
/// id. IsNewVersion chooses which of the two names the properties use.
///
/// This is the container the windows copy from an input to an output. It can
/// read a tag at the current file position and put a new tag in front of a file.
class TId3v2Tags : public TAuTags {
 public:
  /// The fields in frame order, with their ids; `wide` fields hold UTF-16 text.
  struct Field {
    const char* oldId;
    const char* newId;
    bool wide;
  };
  static const Field kFields[12];
  static constexpr int kComment = 6;  // index of the comment in kFields

  TId3v2Tags();

  bool IsNewVersion() const { return IsNewVersion_; }
  void SetIsNewVersion(bool value) { IsNewVersion_ = value; }

  std::u16string Album() const { return Wide(0); }
  void SetAlbum(const std::u16string& value) { SetWide(0, value); }
  std::u16string Artist() const { return Wide(1); }
  void SetArtist(const std::u16string& value) { SetWide(1, value); }
  std::u16string Genre() const { return Wide(2); }
  void SetGenre(const std::u16string& value) { SetWide(2, value); }
  std::u16string Title() const { return Wide(3); }
  void SetTitle(const std::u16string& value) { SetWide(3, value); }
  std::string Track() const { return AsString(Name(4)); }
  void SetTrack(const std::string& value) { SetTagValue(Name(4), value); }
  std::string Year() const { return AsString(Name(5)); }
  void SetYear(const std::string& value) { SetTagValue(Name(5), value); }
  std::u16string Comment() const { return Wide(6); }
  void SetComment(const std::u16string& value) { SetWide(6, value); }
  std::u16string Composer() const { return Wide(7); }
  void SetComposer(const std::u16string& value) { SetWide(7, value); }
  std::u16string Encoder() const { return Wide(8); }
  void SetEncoder(const std::u16string& value) { SetWide(8, value); }
  std::u16string Copyright() const { return Wide(9); }
  void SetCopyright(const std::u16string& value) { SetWide(9, value); }
  std::u16string Language() const { return Wide(10); }
  void SetLanguage(const std::u16string& value) { SetWide(10, value); }
  std::u16string Link() const { return Wide(11); }
  void SetLink(const std::u16string& value) { SetWide(11, value); }

  /// A valid tag header at the current position, which is kept.
  bool TagExists(int fd) const override;
  /// Clears, then reads the tag at the current position; afterwards the
  /// position is just past the tag whenever its header was valid.
  bool ReadFromFile(int fd) override;
  /// Puts a new tag (ID3v2.3) with the text fields in front of the file.
  bool WriteToFile(int fd) override { return WriteToFile(fd, true); }
  /// With unicode, UTF-16 fields are written as UTF-8, the others as 8-bit text.
  bool WriteToFile(int fd, bool unicode);

 private:
  const char* Name(int field) const { return IsNewVersion_ ? kFields[field].newId : kFields[field].oldId; }
  std::u16string Wide(int field) const { return AsWideString(Name(field)); }
  void SetWide(int field, const std::u16string& value) { SetTagValue(Name(field), value); }
  void StoreFrame(const char* id, const uint8_t* data, size_t size);
  /// A COMM frame: the one without a description is the comment; a
  /// described one (players keep their own data so) only while there is none.
  void StoreComment(const uint8_t* data, size_t size);

  bool IsNewVersion_ = true;
  bool plainComment_ = false;  // the comment read came from a frame without a description
};
