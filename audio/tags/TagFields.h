#pragma once

#include <string>
#include <vector>

#include "platform/FileTags.h"

class TId3v2Tags;

/// The twelve ID3v2 fields every job carries, under the names Vorbis
/// comments and MP4 atoms use: ARTIST, ALBUM, GENRE, DATE, TRACKNUMBER,
/// TITLE, COMMENT, COMPOSER, ENCODEDBY, COPYRIGHT, LANGUAGE, URL.
void FieldsToId3v2(const media::TagSet& from, TId3v2Tags& to);
void Id3v2ToFields(const TId3v2Tags& from, media::TagSet& to);

/// A field that describes the whole source's audio (ReplayGain, R128,
/// iTunNORM, iTunSMPB, lengths): wrong for any part of it.
bool OfTheWholeSource(std::string key);

/// The tags of a result made from part of a source: every field of the
/// source but those of the whole source's audio, under `own`'s fields
/// (a cue sheet's title and track), which win where they differ; a field
/// the source repeats keeps all its values when the first agrees.
media::TagSet ResultTags(const media::TagSet& source, const std::vector<media::Picture>& pictures, const TId3v2Tags& own);
