#include "app/jobs/TagCopy.h"

#include "audio/tags/AuTags.h"
#include "audio/tags/Id3v1Tags.h"
#include "audio/tags/Id3v2Tags.h"
#include "audio/tags/TagText.h"
#include "app/jobs/Global.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_WinMedia.h"

void CopyId3v2Fields(const TId3v2Tags& from, TId3v2Tags& to) {
  to.SetArtist(from.Artist());
  to.SetAlbum(from.Album());
  to.SetGenre(from.Genre());
  to.SetYear(from.Year());
  to.SetTrack(from.Track());
  to.SetTitle(from.Title());
  to.SetComment(from.Comment());
  to.SetComposer(from.Composer());
  to.SetEncoder(from.Encoder());
  to.SetCopyright(from.Copyright());
  to.SetLanguage(from.Language());
  to.SetLink(from.Link());
}

void FillId3v1Fields(const TId3v2Tags& from, TId3v1Tags& to) {
  const auto integer = [](const std::string& text) {
    int32_t value = 0;
    return ParseInt32(text, value) ? value : 0;
  };
  to.SetArtist(TagText::Utf16ToLatin1(from.Artist()));
  to.SetAlbum(TagText::Utf16ToLatin1(from.Album()));
  to.SetGenreId(255);  // none, unless the name is one of the table's
  to.SetGenre(TagText::Utf16ToLatin1(from.Genre()));
  to.SetYear(static_cast<uint16_t>(integer(from.Year())));
  to.SetTrack(static_cast<uint8_t>(integer(from.Track())));
  to.SetTitle(TagText::Utf16ToLatin1(from.Title()));
  to.SetComment(TagText::Utf16ToLatin1(from.Comment()));
}

void CopyMp3Settings(TWMIn& source, TMP3Out& output) {
  CopyId3v2Fields(source.Id3v2Tags(), output.Id3v2Tags());
  FillId3v1Fields(source.Id3v2Tags(), output.Id3v1Tags());
  output.SetBitRate(BitRateToMP3BitRate(source.Bitrate()));
  if (source.Channels() == 1) output.SetMode(mmMono);
  if (source.Channels() == 2) output.SetMode(mmStereo);
  output.SetEnableVBR(source.IsVBR());
  output.SetCopyright(source.IsProtected());
}
