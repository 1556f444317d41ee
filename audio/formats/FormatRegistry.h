#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/formats/AudioFormat.h"
#include "audio/Forward.h"

/// What a source's settings are copied for: a join picks WMA formats by
/// their description (see CopyWmaSettingsForJoin).
enum class SettingsUse { Cut, Join };

/// Everything the program knows of one audio format. Windows, jobs and the
/// tool ask here instead of switching on the format: adding a format is an
/// entry here and a folder of its components.
struct FormatEntry {
  AudioFormat format;
  const char* name;                     // "MP3"
  std::vector<std::string> extensions;  // lower case with the dot; any letter case matches
  /// The input windows and jobs cut with (TMP3In announces a third of a second more).
  std::unique_ptr<TAuFileIn> (*newInput)();
  /// An input that counts exactly what the file holds (the tool, the preview, the waveform).
  std::unique_ptr<TAuFileIn> (*newExactInput)();
  /// The output, with the settings every job starts from.
  std::unique_ptr<TAuFileOut> (*newOutput)();
  /// An output that copies the source's coded frames; null when the format has none.
  std::unique_ptr<TAuFileOut> (*newLosslessOutput)();
  /// Gives `output` (this format's) the source's (this format's input) tags and encoder settings.
  void (*copySettings)(TAuFileIn& source, TAuFileOut& output, SettingsUse use);

  /// Extensions it reads but does not write (".aac": AAC without a
  /// container cannot tell where the audio starts and ends).
  std::vector<std::string> readOnlyExtensions;

  /// "*.mp3" for the file dialogs.
  std::string Patterns() const;
};

/// The formats, in the order the dialogs list them.
const std::vector<FormatEntry>& Formats();
/// Null for AudioFormat::Unknown.
const FormatEntry* FindFormat(AudioFormat format);
/// The entry of a file name's extension; null when no format has it.
const FormatEntry* FormatEntryOfFile(const std::string& fileName);
/// The extension a result made from `source` gets: the source's own, its
/// letter case kept, unless its format does not write it (".aac" gives ".m4a").
std::string ResultExtension(const std::string& source);
/// The target's extension is one its format reads but does not write.
bool IsReadOnlyExtension(const std::string& fileName);
/// "Sound Files(*.wav;*.mp3;*.wma)|*.wav;*.mp3;*.wma": every format, for an open dialog.
std::string SoundFilesFilter();
/// "MP3, WAV and WMA": the formats, for messages.
std::string FormatNames();
