// clipwright-cli info: what a file holds.
#include "cli/Commands.h"

#include "app/jobs/Global.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/formats/FormatRegistry.h"
#include "audio/tags/TagText.h"
#include "cli/CommandHelpers.h"

namespace cli {

namespace {

/// What the opened file holds, a line each.
int Show(const Arguments& args, TAuFileIn& in) {
  const int64_t frames = in.TotalSamples();
  const int64_t ms = frames * 1000 / in.SampleRate();
  std::printf("format: %s\n", FormatName(FormatOfFile(args.files[0])));
  if (auto* wave = dynamic_cast<TWaveIn*>(&in)) {
    std::printf("type: %s\n", WavTypeName(wave->WavType()));
    if (wave->HeaderUnfinished())
      std::printf("note: the header's sizes were never filled in (a recording that was not finished); "
                  "the samples are read to the end of the file\n");
  }
  if (auto* media = dynamic_cast<TWMIn*>(&in)) {
    std::printf("codec: %s\n", media->Codec().c_str());
    std::printf("container: %s\n", media->Container().c_str());
  }
  std::printf("channels: %d\n", in.Channels());
  std::printf("sample_rate: %d\n", in.SampleRate());
  std::printf("bits_per_sample: %d\n", in.BitsPerSample());
  std::printf("total_samples: %lld\n", static_cast<long long>(frames));
  std::printf("duration: %s\n", MsToTimeText(static_cast<int32_t>(std::min<int64_t>(ms, INT32_MAX))).c_str());
  if (auto* media = dynamic_cast<TWMIn*>(&in)) {
    std::printf("bitrate: %d\n", media->Bitrate());
    std::printf("vbr: %s\n", media->IsVBR() ? "yes" : "no");
    const TId3v2Tags& tags = media->Id3v2Tags();
    const std::pair<const char*, std::string> lines[] = {
        {"title", TagText::Utf16ToUtf8(tags.Title())},   {"artist", TagText::Utf16ToUtf8(tags.Artist())},
        {"album", TagText::Utf16ToUtf8(tags.Album())},   {"genre", TagText::Utf16ToUtf8(tags.Genre())},
        {"year", tags.Year()},                           {"track", tags.Track()},
        {"comment", TagText::Utf16ToUtf8(media->Description().empty() ? tags.Comment() : media->Description())}};
    for (const auto& [key, value] : lines)
      if (!value.empty()) std::printf("%s: %s\n", key, value.c_str());
  }
  if (auto* wave = dynamic_cast<TWaveIn*>(&in)) {
    // Its INFO list and "id3 " chunk, by TagLib's names.
    const media::TagSet tags = wave->SourceTags();
    const std::pair<const char*, const char*> lines[] = {{"title", "TITLE"}, {"artist", "ARTIST"},    {"album", "ALBUM"},
                                                         {"genre", "GENRE"}, {"year", "DATE"},        {"track", "TRACKNUMBER"},
                                                         {"comment", "COMMENT"}};
    for (const auto& [key, name] : lines)
      if (const std::string value = tags.Field(name); !value.empty()) std::printf("%s: %s\n", key, value.c_str());
  }
  return kDone;
}

}  // namespace

int Info(const Arguments& args) {
  return WithSource(args.files[0], [&args](TAuFileIn& in) { return Show(args, in); });
}

}  // namespace cli
