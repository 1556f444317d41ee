#include "audio/classes/FileOut.h"

#include "audio/tags/TagText.h"

void TAuTaggedFileOut::TakePieceTags(const PieceTags& piece, const std::string&) {
  if (!piece.title.empty()) Id3v2Tags_.SetTitle(TagText::Utf8ToUtf16(piece.title));
  if (!piece.artist.empty()) Id3v2Tags_.SetArtist(TagText::Utf8ToUtf16(piece.artist));
  if (piece.track > 0) Id3v2Tags_.SetTrack(piece.TrackText());
}
