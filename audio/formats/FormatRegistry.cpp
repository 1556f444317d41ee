#include "audio/formats/FormatRegistry.h"
#include "platform/Error.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"
#include "audio/codecs/CodecIn.h"
#include "audio/codecs/CodecOut.h"
#include "audio/codecs/FlacCopyOut.h"
#include "audio/codecs/Mp4CopyOut.h"
#include "audio/codecs/OpusCopyOut.h"
#include "audio/formats/SettingsCopy.h"
#include "audio/mp3/MP3LosslessOut.h"
#include "audio/mp3/frames/FrameScan.h"

namespace {

template <typename Component>
std::unique_ptr<Component> New() {
  return std::make_unique<Sealed<Component>>();
}

std::unique_ptr<TAuFileOut> NewWaveOut() {
  auto out = New<TWaveOut>();
  out->SetWavType(wtPCM);  // plain PCM (wider samples with the extensible header)
  out->SetBlockSize(512);
  out->SetCreateNonMsHeaders(false);
  out->SetFileMode(foRewrite);
  return out;
}

std::unique_ptr<TAuFileOut> NewMp3Out() {
  auto out = New<TMP3Out>();
  // 128 kbps mono, constant bit rate, until a job sets them from its source.
  out->SetBitRate(mbr128);
  out->SetMode(mmMono);
  out->SetEnableBitReservoir(false);
  out->SetStrictISO(false);
  out->SetVBRQuality(mp3ql0);
  out->SetAverageBitrate(mbrAuto);
  out->SetMaximumBitrate(mbrAuto);
  return out;
}

void CopyWaveSettings(TAuFileIn& source, TAuFileOut& output, SettingsUse) {
  // A WAV result takes the source's layout from its input.
  CarrySourceTags(source, output);
}

void CopyMp3(TAuFileIn& source, TAuFileOut& output, SettingsUse) {
  CopyMp3Settings(dynamic_cast<TWMIn&>(source), dynamic_cast<TMP3Out&>(output));
}

void CopyWma(TAuFileIn& source, TAuFileOut& output, SettingsUse use) {
  auto& in = dynamic_cast<TWMIn&>(source);
  auto& out = dynamic_cast<TWMAOut&>(output);
  if (use == SettingsUse::Join) CopyWmaSettingsForJoin(in, out);
  else CopyWmaSettings(in, out);
}

void CopyCodec(TAuFileIn& source, TAuFileOut& output, SettingsUse) {
  CopyCodecSettings(dynamic_cast<TCodecIn&>(source), dynamic_cast<TCodecOut&>(output));
}

void EncodeMp3(TAuFileOut& output, const EncodeOptions& options, int channels) {
  auto& mp3 = dynamic_cast<TMP3Out&>(output);
  mp3.SetBitRate(options.mp3Bitrate.value_or(mbr128));
  mp3.SetMode(options.mode.value_or(channels == 1 ? mmMono : mmStereo));
  if (options.vbrQuality) {
    mp3.SetEnableVBR(true);
    mp3.SetVBRQuality(*options.vbrQuality);
  }
}

void EncodeWma(TAuFileOut& output, const EncodeOptions& options, int) {
  dynamic_cast<TWMAOut&>(output).SetDesiredBitrate(options.bitrate);
}

void EncodeCodec(TAuFileOut& output, const EncodeOptions& options, int) {
  // FLAC and AIFF keep the source's bits; the lossy ones take the bit rate.
  dynamic_cast<TCodecOut&>(output).SetBitrate(options.bitrate);
}

std::string WhyInvalidFile(const FormatEntry& entry, TAuFileIn& input) {
  const std::string why = input.WhyUnreadable();
  return std::string("not a ") + entry.name + " file this program can read" + (why.empty() ? "" : " (" + why + ")");
}

std::string WhyInvalidWave(const FormatEntry& entry, TAuFileIn& input) {
  const std::string why = input.WhyUnreadable();
  return why.empty() ? WhyInvalidFile(entry, input) : why;
}

std::string WhyInvalidMp3(const FormatEntry&, TAuFileIn& input) {
  // Layer III frames the decoder cannot read would only give an empty file.
  const int layer = LayerOfFirstSync(input.FileName());
  if (layer == 3) {
    // The reader's own reason, where it refuses a stream it could decode (one that changes its rate).
    auto* reader = dynamic_cast<TWMIn*>(&input);
    const std::string refusal = reader ? reader->Refusal() : std::string();
    return refusal.empty() ? "The MP3 file cannot be decoded" : refusal;
  }
  if (layer == 0) return "no MPEG audio frame was found: the file is not an MP3 file, or it is damaged";
  return "This is not a standard MP3 file. Please use Vorlun Quorvex to convert it into a standard MP3 file.";
}

const CodecTraits kFlac{"flac", nullptr, "flac", media::TagContainer::Flac, true, false};
const CodecTraits kVorbis{"libvorbis", nullptr, "ogg", media::TagContainer::OggVorbis, false, false};
const CodecTraits kOpus{"libopus", nullptr, "ogg", media::TagContainer::OggOpus, false, false};
const CodecTraits kAac{"aac", nullptr, "ipod", media::TagContainer::Mp4, false, true};
const CodecTraits kAiff{"pcm_s16be", "pcm_s24be", "aiff", media::TagContainer::Aiff, true, false};

const CodecTraits kOggFlac{"flac", nullptr, "ogg", media::TagContainer::OggFlac, true, false};
const CodecTraits kAlac{"alac", nullptr, "ipod", media::TagContainer::Mp4, true, false};
const CodecTraits kMp4Flac{"flac", nullptr, "mp4", media::TagContainer::Mp4, true, false};
const CodecTraits kMp4Opus{"libopus", nullptr, "mp4", media::TagContainer::Mp4, false, false};
const CodecTraits kMp4Ac3{"ac3", nullptr, "mp4", media::TagContainer::Mp4, false, false};
const CodecTraits kMp4Eac3{"eac3", nullptr, "mp4", media::TagContainer::Mp4, false, false};

/// The streams a file of a codec format may hold, each written again in
/// its own codec and container (as the decoder names them).
const struct {
  const char* container;
  const char* codec;
  const CodecTraits* traits;
} kStreams[] = {
    {"flac", "flac", &kFlac},     {"ogg", "vorbis", &kVorbis}, {"ogg", "opus", &kOpus},
    {"ogg", "flac", &kOggFlac},   {"mp4", "aac", &kAac},       {"adts", "aac", &kAac},  // ADTS is saved as .m4a
    {"mp4", "alac", &kAlac},      {"mp4", "flac", &kMp4Flac},  {"mp4", "opus", &kMp4Opus},
    {"mp4", "ac3", &kMp4Ac3},     {"mp4", "eac3", &kMp4Eac3},
};

template <const CodecTraits& traits>
std::unique_ptr<TAuFileIn> NewCodecIn() {
  return std::make_unique<Sealed<TCodecIn>>(traits);
}

template <const CodecTraits& traits>
std::unique_ptr<TAuFileOut> NewCodecOut() {
  return std::make_unique<Sealed<TCodecOut>>(traits);
}

/// FLAC: a native FLAC file's frames are copied where a range holds them whole.
std::unique_ptr<TAuFileOut> NewFlacOut() { return std::make_unique<Sealed<TFlacCopyOut>>(kFlac); }

/// Opus: a lossless cut copies the source's packets and trims them by pre-skip and granule position.
std::unique_ptr<TAuFileOut> NewOpusCopyOut() { return std::make_unique<Sealed<TOpusCopyOut>>(kOpus); }

/// M4A: a lossless cut copies the source's packets and trims them by the edit list.
std::unique_ptr<TAuFileOut> NewMp4CopyOut() { return std::make_unique<Sealed<TMp4CopyOut>>(kAac); }

/// A format read and written through FFmpeg's codecs and TagLib's tags.
template <const CodecTraits& traits>
FormatEntry CodecEntry(AudioFormat format, const char* name, std::vector<std::string> extensions,
                       std::vector<std::string> readOnly, bool plainCutIsLossless, unsigned encodeOptions) {
  return {.format = format,
          .name = name,
          .extensions = std::move(extensions),
          .readOnlyExtensions = std::move(readOnly),
          .newInput = NewCodecIn<traits>,
          .whyUnreadable = WhyInvalidFile,
          .newOutput = NewCodecOut<traits>,
          .copySettings = CopyCodec,
          .codec = &traits,
          .plainCutIsLossless = plainCutIsLossless,
          .encodeOptions = encodeOptions,
          .applyEncodeOptions = EncodeCodec};
}

FormatEntry WithOutput(FormatEntry entry, std::unique_ptr<TAuFileOut> (*newOutput)()) {
  entry.newOutput = newOutput;
  return entry;
}

FormatEntry WithLosslessOutput(FormatEntry entry, std::unique_ptr<TAuFileOut> (*newLosslessOutput)()) {
  entry.newLosslessOutput = newLosslessOutput;
  return entry;
}

FormatEntry WithNoLosslessCut(FormatEntry entry, const char* why) {
  entry.whyNoLosslessCut = why;
  return entry;
}

/// "a, b and c".
std::string ListOf(const std::vector<std::string>& items, const char* last) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) text += (i == 0 ? "" : i + 1 == items.size() ? last : ", ") + items[i];
  return text;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

const std::vector<FormatEntry>& Formats() {
  static const std::vector<FormatEntry> formats = {
      {.format = AudioFormat::Wav,
       .name = "WAV",
       .extensions = {".wav"},
       .newInput = [] { return std::unique_ptr<TAuFileIn>(New<TWaveIn>()); },
       .whyUnreadable = WhyInvalidWave,
       .newOutput = NewWaveOut,
       .copySettings = CopyWaveSettings,
       .appends = true,
       .encodes = false},
      {.format = AudioFormat::Mp3,
       .name = "MP3",
       .extensions = {".mp3"},
       .newInput = [] { return std::unique_ptr<TAuFileIn>(New<TMP3In>()); },
       .whyUnreadable = WhyInvalidMp3,
       .newOutput = NewMp3Out,
       .copySettings = CopyMp3,
       .newLosslessOutput = [] { return std::unique_ptr<TAuFileOut>(New<TMP3LosslessOut>()); },
       .encodeOptions = kBitrateOption | kVbrOption | kModeOption,
       .encodesSixteenBitStereo = true,
       .applyEncodeOptions = EncodeMp3,
       .walksFrames = true},
      {.format = AudioFormat::Wma,
       .name = "WMA",
       .extensions = {".wma"},
       .newInput = [] { return std::unique_ptr<TAuFileIn>(New<TWMIn>()); },
       .whyUnreadable = WhyInvalidFile,
       .newOutput = [] { return std::unique_ptr<TAuFileOut>(New<TWMAOut>()); },
       .copySettings = CopyWma,
       .whyNoLosslessCut = "WMA cannot be cut without re-encoding: ASF has no way to leave out the start of the first "
                           "copied packet (no pre-skip, no edit list), so a copy would start early",
       .encodeOptions = kBitrateOption,
       .encodesSixteenBitStereo = true,
       .applyEncodeOptions = EncodeWma},
      WithOutput(CodecEntry<kFlac>(AudioFormat::Flac, "FLAC", {".flac"}, {}, true, kNoEncodeOptions), NewFlacOut),
      WithNoLosslessCut(
          CodecEntry<kVorbis>(AudioFormat::Vorbis, "Ogg Vorbis", {".ogg", ".oga"}, {}, false, kBitrateOption),
          "Ogg Vorbis cannot be cut exactly without re-encoding: only the first page's granule position could leave "
          "out the samples before the range, which libvorbisfile drops but FFmpeg only marks with negative "
          "timestamps, so players built on it may play them"),
      WithLosslessOutput(CodecEntry<kOpus>(AudioFormat::Opus, "Opus", {".opus"}, {}, false, kBitrateOption),
                         NewOpusCopyOut),
      WithLosslessOutput(
          CodecEntry<kAac>(AudioFormat::M4a, "M4A", {".m4a", ".m4b", ".aac"}, {".aac"}, false, kBitrateOption),
          NewMp4CopyOut),
      CodecEntry<kAiff>(AudioFormat::Aiff, "AIFF", {".aiff", ".aif", ".aifc"}, {}, false, kNoEncodeOptions),
  };
  return formats;
}

const CodecTraits& CodecOf(AudioFormat format) {
  const FormatEntry* entry = FindFormat(format);
  if (entry == nullptr || entry->codec == nullptr) throw Error(ErrorKind::Failed, "not a codec format");
  return *entry->codec;
}

const CodecTraits* TraitsOfStream(const std::string& container, const std::string& codec) {
  for (const auto& stream : kStreams)
    if (container == stream.container && codec == stream.codec) return stream.traits;
  // AIFF holds PCM of many kinds; the result keeps its samples at 16 or 24 bits.
  if (container == "aiff" && codec.rfind("pcm_", 0) == 0) return &kAiff;
  return nullptr;
}

bool PlainCutIsLossless(const FormatEntry& entry, const std::string& source) {
  if (entry.plainCutIsLossless) return true;
  // Where packets can be copied (ALAC in M4A) they are: the same bytes, and faster.
  if (entry.codec == nullptr || entry.newLosslessOutput != nullptr) return false;
  try {
    const std::unique_ptr<TAuFileIn> input = entry.newInput();
    input->SetFileName(source);
    auto* stream = dynamic_cast<TWMIn*>(input.get());
    const CodecTraits* traits = stream ? TraitsOfStream(stream->Container(), stream->Codec()) : nullptr;
    return traits != nullptr && traits->lossless;
  } catch (const std::exception&) {
    return false;  // the cut that opens it says why
  }
}

const FormatEntry* FindFormat(AudioFormat format) {
  for (const FormatEntry& entry : Formats())
    if (entry.format == format) return &entry;
  return nullptr;
}

const FormatEntry* FormatEntryOfFile(const std::string& fileName) {
  const std::string extension = Lower(std::filesystem::path(fileName).extension().string());
  for (const FormatEntry& entry : Formats())
    if (std::find(entry.extensions.begin(), entry.extensions.end(), extension) != entry.extensions.end()) return &entry;
  return nullptr;
}

bool IsReadOnlyExtension(const std::string& fileName) {
  const FormatEntry* entry = FormatEntryOfFile(fileName);
  const std::string extension = Lower(std::filesystem::path(fileName).extension().string());
  return entry && std::find(entry->readOnlyExtensions.begin(), entry->readOnlyExtensions.end(), extension) !=
                      entry->readOnlyExtensions.end();
}

std::string ResultExtension(const std::string& source) {
  if (IsReadOnlyExtension(source)) return FormatEntryOfFile(source)->extensions.front();
  return std::filesystem::path(source).extension().string();
}

std::vector<std::string> SoundFilePatterns() {
  std::vector<std::string> patterns;
  for (const FormatEntry& entry : Formats())
    for (const std::string& extension : entry.extensions) patterns.push_back("*" + extension);
  return patterns;
}

std::string FormatNames(bool (*has)(const FormatEntry&)) {
  std::vector<std::string> names;
  for (const FormatEntry& entry : Formats())
    if (has(entry)) names.push_back(entry.name);
  return ListOf(names, " and ");
}

std::string ExtensionList(bool (*has)(const FormatEntry&)) {
  std::vector<std::string> extensions;
  for (const FormatEntry& entry : Formats())
    if (has(entry))
      for (const std::string& extension : entry.extensions)
        if (std::find(entry.readOnlyExtensions.begin(), entry.readOnlyExtensions.end(), extension) ==
            entry.readOnlyExtensions.end())
          extensions.push_back(extension);
  return ListOf(extensions, " or ");
}

std::string FormatNames() {
  // The order the program has always named them in.
  const auto& formats = Formats();
  std::vector<std::string> names;
  for (AudioFormat format : {AudioFormat::Mp3, AudioFormat::Wav, AudioFormat::Wma})
    if (const FormatEntry* entry = FindFormat(format)) names.push_back(entry->name);
  for (const FormatEntry& entry : formats)
    if (std::find(names.begin(), names.end(), entry.name) == names.end()) names.push_back(entry.name);
  return ListOf(names, " and ");
}

std::optional<media::TagContainer> TagContainerOfInput(TAuFileIn& source) {
  if (dynamic_cast<TWaveIn*>(&source) != nullptr) return media::TagContainer::Wav;
  if (auto* media = dynamic_cast<TWMIn*>(&source)) return media::TagContainerOfStream(media->Container(), media->Codec());
  return std::nullopt;
}
