#pragma once

#include "audio/tags/AuTags.h"

/// The APEv2 field set; a name-value container without file operations of its own.
class TAPEv2Tags : public TAuTags {
 public:
  TAPEv2Tags();

#define CLIPWRIGHT_WIDE_FIELD(Property, Name)                        \
  std::u16string Property() const { return AsWideString(Name); }     \
  void Set##Property(const std::u16string& value) { SetTagValue(Name, value); }
#define CLIPWRIGHT_TEXT_FIELD(Property, Name)                        \
  std::string Property() const { return AsString(Name); }            \
  void Set##Property(const std::string& value) { SetTagValue(Name, value); }

  CLIPWRIGHT_WIDE_FIELD(Artist, "Artist")
  CLIPWRIGHT_WIDE_FIELD(Composer, "Composer")
  CLIPWRIGHT_WIDE_FIELD(Album, "Album")
  CLIPWRIGHT_WIDE_FIELD(DebutAlbum, "Debut album")
  CLIPWRIGHT_WIDE_FIELD(Publisher, "Publisher")
  CLIPWRIGHT_WIDE_FIELD(Conductor, "Conductor")
  CLIPWRIGHT_WIDE_FIELD(Copyright, "Copyright")
  CLIPWRIGHT_TEXT_FIELD(ISBN, "ISBN")
  CLIPWRIGHT_TEXT_FIELD(ISRC, "ISRC")
  CLIPWRIGHT_TEXT_FIELD(BarCode, "EAN/UPC")
  CLIPWRIGHT_TEXT_FIELD(LabelCode, "LC")
  CLIPWRIGHT_TEXT_FIELD(Catalog, "Catalog")
  CLIPWRIGHT_WIDE_FIELD(Language, "Language")
  CLIPWRIGHT_WIDE_FIELD(Genre, "Genre")
  CLIPWRIGHT_TEXT_FIELD(Year, "Year")
  CLIPWRIGHT_TEXT_FIELD(RecordDate, "Record Date")
  CLIPWRIGHT_WIDE_FIELD(RecordLocation, "Record Location")
  CLIPWRIGHT_WIDE_FIELD(File_, "File")
  CLIPWRIGHT_WIDE_FIELD(Related, "Related")
  CLIPWRIGHT_WIDE_FIELD(Abstract, "Abstract")
  CLIPWRIGHT_WIDE_FIELD(Bibliography, "Bibliography")
  CLIPWRIGHT_TEXT_FIELD(Track, "Track")
  CLIPWRIGHT_WIDE_FIELD(Title, "Title")
  CLIPWRIGHT_WIDE_FIELD(SubTitle, "Subtitle")
  CLIPWRIGHT_WIDE_FIELD(Comment, "Comment")

#undef CLIPWRIGHT_WIDE_FIELD
#undef CLIPWRIGHT_TEXT_FIELD
};
