#include "audio/formats/SettingsCopy.h"

#include <algorithm>
#include <cctype>

#include "audio/classes/AuException.h"
#include "audio/tags/AuTags.h"
#include "audio/tags/Id3v1Tags.h"
#include "audio/tags/Id3v2Tags.h"
#include "audio/tags/TagText.h"
#include "audio/ACS_LAME.h"
#include "audio/ACS_WinMedia.h"
#include "audio/codecs/CodecIn.h"
#include "audio/codecs/CodecOut.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/wave/WaveIn.h"

namespace {

/// The usual bit rate a nominal one stands for.
uint32_t NormalisedKbps(uint32_t k) {
  const struct { uint32_t above, below, becomes; } kRules[] = {
      {90, 100, 96}, {120, 135, 128}, {145, 180, 160}, {185, 200, 192}, {250, 270, 256}, {310, 330, 320}};
  for (const auto& rule : kRules)
    if (k > rule.above && k < rule.below) k = rule.becomes;
  return k;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

}  // namespace

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

void CarrySourceTags(TAuFileIn& source, TAuFileOut& output) {
  auto* tagged = dynamic_cast<TAuTaggedFileOut*>(&output);
  if (tagged == nullptr) return;
  media::TagSet tags = source.SourceTags();
  tagged->SetPictures(std::move(tags.pictures));
  tags.pictures.clear();
  tagged->SetSourceTags(std::move(tags));
}

void CarryConvertedTags(TAuFileIn& source, TAuFileOut& output) {
  auto* tagged = dynamic_cast<TAuTaggedFileOut*>(&output);
  const TId3v2Tags* common = source.CommonFields();
  if (tagged && common) {
    CopyId3v2Fields(*common, tagged->Id3v2Tags());
    if (dynamic_cast<TMP3Out*>(&output)) FillId3v1Fields(*common, tagged->Id3v1Tags());
  }
  CarrySourceTags(source, output);
}

void CopyMp3Settings(TWMIn& source, TMP3Out& output) {
  // The MP3 writer makes layer III: a layer I or II source would come out in another codec.
  if (const std::string codec = source.Codec(); codec == "mp1" || codec == "mp2")
    throw EAuException(WithFileName(std::string("the file holds MPEG layer ") + (codec == "mp1" ? "I" : "II") +
                                        " audio, which the MP3 writer would turn into layer III, another codec: decode "
                                        "it to WAV or FLAC to keep every sample, or encode it to MP3 on purpose",
                                    source.FileName()));
  CopyId3v2Fields(source.Id3v2Tags(), output.Id3v2Tags());
  CarrySourceTags(source, output);
  FillId3v1Fields(source.Id3v2Tags(), output.Id3v1Tags());
  // The low rates of MPEG 2 and 2.5 are kept too, not left to the encoder.
  const TMP3BitRate low = source.Bitrate() < 32000 ? AnyMp3BitRate(source.Bitrate()) : mbrAuto;
  output.SetBitRate(low != mbrAuto ? low : BitRateToMP3BitRate(source.Bitrate()));
  if (source.Channels() == 1) output.SetMode(mmMono);
  if (source.Channels() == 2) output.SetMode(mmStereo);
  output.SetEnableVBR(source.IsVBR());
  output.SetCopyright(source.IsProtected());
}

void CopyWmaSettings(TWMIn& source, TWMAOut& output) {
  output.SetDesiredBitrate(static_cast<uint32_t>(source.Bitrate()));
  CopyId3v2Fields(source.Id3v2Tags(), output.Id3v2Tags());
  CarrySourceTags(source, output);
}

void CopyWmaSettingsForJoin(TWMIn& source, TWMAOut& output) {
  const int index = MatchWmaFormat(source, output);
  if (index >= 0 && index < output.GetFormatCount(0)) {
    output.SetCodecIndex(0);
    output.SetFormatIndex(index);
  } else {
    // No listed format describes the source: the one nearest its bit rate for its layout.
    output.SetCodecIndex(-1);
    output.SetDesiredBitrate(static_cast<uint32_t>(source.Bitrate()));
  }
  CopyId3v2Fields(source.Id3v2Tags(), output.Id3v2Tags());
  CarrySourceTags(source, output);
}

std::string WmaFormatDescription(int bitrate, int sampleRate, int channels) {
  std::string d = std::to_string(NormalisedKbps(static_cast<uint32_t>(bitrate) / 1000)) + " kbps, ";
  const auto r = static_cast<uint32_t>(sampleRate) / 1000;
  d += (r > 9 ? "" : " ") + std::to_string(r) + " kHz, ";
  return d + (channels > 1 ? "stereo" : "mono");
}

int MatchWmaFormat(TWMIn& source, TWMAOut& output) {
  const std::string d = Upper(WmaFormatDescription(source.Bitrate(), source.SampleRate(), source.Channels()));
  const auto& formats = output.GetFormatList(0);
  for (size_t i = 0; i < formats.size(); ++i) {
    // From the start: "12 kbps" must not match "112 kbps".
    if (Upper(TagText::Utf16ToUtf8(formats[i])).rfind(d, 0) == 0) return static_cast<int>(i);
  }
  return -1;
}


void CopyCodecSettings(TCodecIn& source, TCodecOut& output) {
  CopyId3v2Fields(source.Id3v2Tags(), output.Id3v2Tags());
  CarrySourceTags(source, output);
  // The usual rate the source's stands for: a file made at 128 kbps averages 133 or so.
  const uint32_t kbps = NormalisedKbps(static_cast<uint32_t>((int64_t{source.Bitrate()} + 500) / 1000));
  if (kbps > 0) output.SetBitrate(kbps * 1000);
  output.SetBits(source.BitsPerSample() > 16 ? 24 : 16);
  // The source's own codec in its own container, never a lesser one.
  const std::string codec = source.Codec(), container = source.Container();
  const CodecTraits* stream = TraitsOfStream(container, codec);
  if (stream == nullptr)
    throw EAuException("FFmpeg cannot write " + codec + " audio in " + container +
                       " again, and this program writes no lesser codec in its place: decode it to WAV or FLAC instead");
  output.SetStreamTraits(stream);
  output.SetChapters(ChaptersOfRange(source.Chapters(), source.StartSample(), source.EndSample()));
}

std::vector<media::Chapter> ChaptersOfRange(const std::vector<media::Chapter>& chapters, int64_t start, int64_t last) {
  std::vector<media::Chapter> kept;
  const int64_t end = last < 0 ? INT64_MAX : last + 1;
  for (const media::Chapter& chapter : chapters) {
    const int64_t from = std::max(chapter.start, start), to = std::min(chapter.end, end);
    if (to > from) kept.push_back({from - start, to - start, chapter.title});
  }
  return kept;
}
