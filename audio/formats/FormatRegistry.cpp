#include "audio/formats/FormatRegistry.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "audio/ACS_LAME.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "audio/ACS_smpeg.h"
#include "audio/codecs/CodecIn.h"
#include "audio/codecs/CodecOut.h"
#include "audio/formats/SettingsCopy.h"
#include "audio/mp3cut/MP3LosslessOut.h"

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

template <CodecKind kind>
std::unique_ptr<TAuFileIn> NewCodecIn() {
  return std::make_unique<Sealed<TCodecIn>>(kind);
}

template <CodecKind kind>
std::unique_ptr<TAuFileOut> NewCodecOut() {
  return std::make_unique<Sealed<TCodecOut>>(kind);
}

template <CodecKind kind>
FormatEntry CodecEntry(AudioFormat format, const char* name, std::vector<std::string> extensions,
                       std::vector<std::string> readOnly = {}) {
  return {format, name, std::move(extensions), NewCodecIn<kind>, NewCodecIn<kind>, NewCodecOut<kind>, nullptr, CopyCodec,
          std::move(readOnly)};
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

}  // namespace

std::string FormatEntry::Patterns() const {
  std::string patterns;
  for (const std::string& extension : extensions) patterns += (patterns.empty() ? "*" : ";*") + extension;
  return patterns;
}

const std::vector<FormatEntry>& Formats() {
  static const std::vector<FormatEntry> formats = {
      {AudioFormat::Wav, "WAV", {".wav"}, [] { return std::unique_ptr<TAuFileIn>(New<TWaveIn>()); },
       [] { return std::unique_ptr<TAuFileIn>(New<TWaveIn>()); }, NewWaveOut, nullptr, CopyWaveSettings, {}},
      {AudioFormat::Mp3, "MP3", {".mp3"}, [] { return std::unique_ptr<TAuFileIn>(New<TMP3In>()); },
       [] { return std::unique_ptr<TAuFileIn>(New<TWMIn>()); }, NewMp3Out,
       [] { return std::unique_ptr<TAuFileOut>(New<TMP3LosslessOut>()); }, CopyMp3, {}},
      {AudioFormat::Wma, "WMA", {".wma"}, [] { return std::unique_ptr<TAuFileIn>(New<TWMIn>()); },
       [] { return std::unique_ptr<TAuFileIn>(New<TWMIn>()); },
       [] { return std::unique_ptr<TAuFileOut>(New<TWMAOut>()); }, nullptr, CopyWma, {}},
      CodecEntry<CodecKind::Flac>(AudioFormat::Flac, "FLAC", {".flac"}),
      CodecEntry<CodecKind::Vorbis>(AudioFormat::Vorbis, "Ogg Vorbis", {".ogg", ".oga"}),
      CodecEntry<CodecKind::Opus>(AudioFormat::Opus, "Opus", {".opus"}),
      CodecEntry<CodecKind::Aac>(AudioFormat::M4a, "M4A", {".m4a", ".m4b", ".aac"}, {".aac"}),
      CodecEntry<CodecKind::Aiff>(AudioFormat::Aiff, "AIFF", {".aiff", ".aif", ".aifc"}),
  };
  return formats;
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

std::string SoundFilesFilter() {
  std::string patterns;
  for (const FormatEntry& entry : Formats()) patterns += (patterns.empty() ? "" : ";") + entry.Patterns();
  return "Sound Files(" + patterns + ")|" + patterns;
}

std::string FormatNames() {
  // The order the program has always named them in.
  const auto& formats = Formats();
  std::vector<std::string> names;
  for (AudioFormat format : {AudioFormat::Mp3, AudioFormat::Wav, AudioFormat::Wma})
    if (const FormatEntry* entry = FindFormat(format)) names.push_back(entry->name);
  for (const FormatEntry& entry : formats)
    if (std::find(names.begin(), names.end(), entry.name) == names.end()) names.push_back(entry.name);
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  return text;
}
