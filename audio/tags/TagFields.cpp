#include "audio/tags/TagFields.h"

#include <algorithm>
#include <cctype>

#include "audio/tags/Id3v2Tags.h"
#include "audio/tags/TagText.h"

namespace {

struct Mapping {
  const char* name;
  std::u16string (TId3v2Tags::*get)() const;
  void (TId3v2Tags::*set)(const std::u16string&);
};

const Mapping kWide[] = {
    {"ARTIST", &TId3v2Tags::Artist, &TId3v2Tags::SetArtist},
    {"ALBUM", &TId3v2Tags::Album, &TId3v2Tags::SetAlbum},
    {"GENRE", &TId3v2Tags::Genre, &TId3v2Tags::SetGenre},
    {"TITLE", &TId3v2Tags::Title, &TId3v2Tags::SetTitle},
    {"COMMENT", &TId3v2Tags::Comment, &TId3v2Tags::SetComment},
    {"COMPOSER", &TId3v2Tags::Composer, &TId3v2Tags::SetComposer},
    {"ENCODEDBY", &TId3v2Tags::Encoder, &TId3v2Tags::SetEncoder},
    {"COPYRIGHT", &TId3v2Tags::Copyright, &TId3v2Tags::SetCopyright},
    {"LANGUAGE", &TId3v2Tags::Language, &TId3v2Tags::SetLanguage},
    {"URL", &TId3v2Tags::Link, &TId3v2Tags::SetLink},
};

}  // namespace

void FieldsToId3v2(const media::TagSet& from, TId3v2Tags& to) {
  for (const Mapping& field : kWide) (to.*field.set)(TagText::Utf8ToUtf16(from.Field(field.name)));
  // Year and track are 8-bit text in ID3v2; "2024-05-01" is kept whole.
  to.SetYear(TagText::Utf16ToLatin1(TagText::Utf8ToUtf16(from.Field("DATE"))));
  to.SetTrack(TagText::Utf16ToLatin1(TagText::Utf8ToUtf16(from.Field("TRACKNUMBER"))));
}

void Id3v2ToFields(const TId3v2Tags& from, media::TagSet& to) {
  for (const Mapping& field : kWide) to.fields.emplace_back(field.name, TagText::Utf16ToUtf8((from.*field.get)()));
  to.fields.emplace_back("DATE", TagText::Utf16ToUtf8(TagText::Latin1ToUtf16(from.Year())));
  to.fields.emplace_back("TRACKNUMBER", TagText::Utf16ToUtf8(TagText::Latin1ToUtf16(from.Track())));
}

bool OfTheWholeSource(std::string key) {
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  // ID3v2 keeps iTunNORM as a described comment: "COMMENT:ITUNNORM".
  if (key.rfind("COMMENT:", 0) == 0) key.erase(0, 8);
  for (const char* prefix : {"REPLAYGAIN_", "R128_", "ITUNNORM", "ITUNSMPB", "LENGTH", "----:COM.APPLE.ITUNES:ITUN"})
    if (key.rfind(prefix, 0) == 0) return true;
  return false;
}

media::TagSet ResultTags(const media::TagSet& source, const std::vector<media::Picture>& pictures, const TId3v2Tags& own) {
  media::TagSet tags;
  for (const auto& field : source.fields)
    if (!OfTheWholeSource(field.first)) tags.fields.push_back(field);
  media::TagSet ours;
  Id3v2ToFields(own, ours);
  for (const auto& field : ours.fields) {
    const std::string& key = field.first;
    if (field.second.empty() || tags.Field(key) == field.second) continue;
    std::erase_if(tags.fields, [&key](const auto& kept) { return kept.first == key; });
    tags.fields.push_back(field);
  }
  tags.pictures = pictures;
  return tags;
}
