#pragma once

#include "platform/FileTags.h"

class TId3v2Tags;

/// The twelve ID3v2 fields every job carries, under the names Vorbis
/// comments and MP4 atoms use: ARTIST, ALBUM, GENRE, DATE, TRACKNUMBER,
/// TITLE, COMMENT, COMPOSER, ENCODEDBY, COPYRIGHT, LANGUAGE, URL.
void FieldsToId3v2(const media::TagSet& from, TId3v2Tags& to);
void Id3v2ToFields(const TId3v2Tags& from, media::TagSet& to);
