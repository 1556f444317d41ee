#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audio/codecs/CodecTraits.h"
#include "audio/formats/AudioFormat.h"
#include "audio/formats/EncodeOptions.h"
#include "audio/Forward.h"

/// What a source's settings are copied for: a join picks WMA formats by
/// their description (see CopyWmaSettingsForJoin).
enum class SettingsUse { Cut, Join };

/// Everything the program knows of one audio format. Windows, jobs and the
/// tool ask here instead of switching on the format: adding a format is an
/// entry here and a folder of its components.
struct FormatEntry {
  AudioFormat format = AudioFormat::Unknown;
  const char* name = "";                // "MP3"
  std::vector<std::string> extensions = {};  // lower case with the dot; any letter case matches
  /// Extensions it reads but does not write (".aac": AAC without a
  /// container cannot tell where the audio starts and ends).
  std::vector<std::string> readOnlyExtensions = {};

  /// Its input, counting exactly what the file holds.
  std::unique_ptr<TAuFileIn> (*newInput)() = nullptr;
  /// Why a file its input found invalid cannot be read, for the message
  /// that names the file after it.
  std::string (*whyUnreadable)(const FormatEntry& entry, TAuFileIn& input) = nullptr;

  /// The output, with the settings every job starts from.
  std::unique_ptr<TAuFileOut> (*newOutput)() = nullptr;
  /// Gives `output` (this format's) the source's (this format's input) tags and encoder settings.
  void (*copySettings)(TAuFileIn& source, TAuFileOut& output, SettingsUse use) = nullptr;
  /// The codec it is written with through FFmpeg; null for formats with writers of their own.
  const CodecTraits* codec = nullptr;

  /// An output that copies the source's coded frames (a lossless cut); null when the format has none.
  std::unique_ptr<TAuFileOut> (*newLosslessOutput)() = nullptr;
  /// Why a lossless cut cannot be made of it, when the format is known to have no way (the refusal's words).
  const char* whyNoLosslessCut = nullptr;
  /// A plain cut loses nothing (FLAC): asked for a lossless one, it is done.
  bool plainCutIsLossless = false;
  /// Its output can append to a file of its own, as the joins of Segment Cut's work files do (WAV).
  bool appends = false;

  /// Written by `encode` (not WAV: `decode` writes it), with these EncodeOption bits.
  bool encodes = true;
  unsigned encodeOptions = kNoEncodeOptions;
  /// Its encoder takes one or two channels of 16-bit samples (the others take any).
  bool encodesSixteenBitStereo = false;
  /// Gives an output of this format an encode's options, for a source of `channels`.
  void (*applyEncodeOptions)(TAuFileOut& output, const EncodeOptions& options, int channels) = nullptr;

  /// Its frames can be walked without decoding: the waveform's overview is
  /// estimated from them first, and intact files are decoded frame by frame.
  bool walksFrames = false;

  /// Its lossless cut is done: by its own nature or by copying frames.
  bool CutsLosslessly() const { return plainCutIsLossless || newLosslessOutput != nullptr; }
};

/// The formats, in the order the dialogs list them.
const std::vector<FormatEntry>& Formats();
/// Null for AudioFormat::Unknown.
const FormatEntry* FindFormat(AudioFormat format);
/// The codec traits of a codec format (FLAC, Ogg Vorbis, Opus, M4A, AIFF).
const CodecTraits& CodecOf(AudioFormat format);
/// How a stream of `codec` in `container` (as the decoder names them:
/// "alac" in "mp4", "opus" in "ogg") is written again in the same codec and
/// container; null when FFmpeg cannot write it so.
const CodecTraits* TraitsOfStream(const std::string& container, const std::string& codec);

/// The container of the tags a file read by `source` keeps (for tags written
/// into a result of the source's format); none for a format that keeps none.
std::optional<media::TagContainer> TagContainerOfInput(TAuFileIn& source);
/// A plain cut of `source` (a file of `entry`'s format) keeps every sample
/// and is what a lossless cut of it is: the format is lossless (FLAC), or
/// the stream in it is and the format copies no packets (FLAC in Ogg).
bool PlainCutIsLossless(const FormatEntry& entry, const std::string& source);

/// The entry of a file name's extension; null when no format has it.
const FormatEntry* FormatEntryOfFile(const std::string& fileName);
/// The extension a result made from `source` gets: the source's own, its
/// letter case kept, unless its format does not write it (".aac" gives ".m4a").
std::string ResultExtension(const std::string& source);
/// The target's extension is one its format reads but does not write.
bool IsReadOnlyExtension(const std::string& fileName);
/// "*.wav", "*.mp3", ...: every format's patterns, in the dialogs' order.
std::vector<std::string> SoundFilePatterns();
/// "MP3, WAV and WMA": the formats, for messages.
std::string FormatNames();
/// The names of the formats whose entries `has` holds ("MP3"), for messages.
std::string FormatNames(bool (*has)(const FormatEntry&));
/// ".mp3, .wma or .flac": the extensions of those formats, for messages.
std::string ExtensionList(bool (*has)(const FormatEntry&));
