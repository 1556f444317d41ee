#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

/// Tags written with TagLib.
namespace media {

/// An MP3 file's ID3v2 fields, as UTF-8; an empty text or a 0 is left out.
struct Id3v2Fields {
  std::string title, artist, album, genre, comment;
  unsigned year = 0;
  std::string track;  // as ID3v2 keeps it: "3" or "3/12"
};

/// Puts an ID3v2 tag (texts in UTF-16) at the start of the MPEG file
/// `fileName`, whatever its name ends in. Throws std::runtime_error
/// "Failed to write tags" when the file is no MPEG file TagLib reads, and
/// "Failed to save tags" when it cannot be saved.
void WriteId3v2Tag(const std::string& fileName, const Id3v2Fields& fields);

/// Which of a tag's properties (TagLib's names: "LENGTH",
/// "REPLAYGAIN_TRACK_GAIN") a piece of the file keeps; empty keeps all.
using KeepProperty = std::function<bool(const std::string&)>;

/// The bytes of the MPEG file's ID3v2 tag (a new one when it has none) for a
/// piece of it: the non-empty of `fields`' title, artist and track set, the
/// fields and pictures of tags that follow the first folded in (the first
/// wins), the properties `keep` refuses left out, every other frame kept.
/// The file is only read. Throws std::runtime_error "Failed to write tags"
/// when it is no MPEG file TagLib reads.
std::vector<uint8_t> Id3v2TagWith(const std::string& fileName, const Id3v2Fields& fields, const KeepProperty& keep = {});

/// The MPEG file's ID3v2 tag cannot be copied as it is to a piece: tags
/// follow it, or it holds a property `keep` refuses.
bool Id3v2TagChangesForPiece(const std::string& fileName, const KeepProperty& keep);

}  // namespace media
