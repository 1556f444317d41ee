#pragma once

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <vector>

#include "platform/FileTags.h"

/// ID3v2 pieces shared by the MPEG, WAV and AIFF tags.
namespace media {

std::vector<Picture> Id3v2Pictures(const TagLib::ID3v2::Tag& tag);
void SetId3v2Pictures(TagLib::ID3v2::Tag& tag, const std::vector<Picture>& pictures);

/// Some taggers put a new tag in front of the old one instead of replacing
/// it. Folds every tag that follows the file's first directly into `first`:
/// a field or a picture type the first lacks is taken from the later ones,
/// the first wins where both have it. Returns how many tags were folded.
int FoldLaterId3v2Tags(TagLib::MPEG::File& file, TagLib::ID3v2::Tag& first);

}  // namespace media
