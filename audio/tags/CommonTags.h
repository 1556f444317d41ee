#pragma once

#include "audio/tags/AuTags.h"

/// The fields every tagged input offers, whatever its format.
class TCommonTags : public TAuTags {
 public:
  TCommonTags();

  std::u16string Artist() const { return AsWideString("Artist"); }
  void SetArtist(const std::u16string& value) { SetTagValue("Artist", value); }
  std::u16string Album() const { return AsWideString("Album"); }
  void SetAlbum(const std::u16string& value) { SetTagValue("Album", value); }
  std::u16string Genre() const { return AsWideString("Genre"); }
  void SetGenre(const std::u16string& value) { SetTagValue("Genre", value); }
  std::u16string Title() const { return AsWideString("Title"); }
  void SetTitle(const std::u16string& value) { SetTagValue("Title", value); }
  std::string Year() const { return AsString("Year"); }
  void SetYear(const std::string& value) { SetTagValue("Year", value); }
  std::string Track() const { return AsString("Track"); }
  void SetTrack(const std::string& value) { SetTagValue("Track", value); }
};
