#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

/// The tags of FLAC, Ogg and MP4 files, read and written with TagLib.
namespace media {

/// Where a file keeps its tags: Vorbis comments (FLAC, Ogg Vorbis, Opus),
/// MP4 atoms, ID3v2 (AIFF, MP3), a WAV file's INFO list and "id3 " chunk,
/// or ASF attributes (WMA).
enum class TagContainer { Flac, OggVorbis, OggOpus, OggFlac, Mp4, Aiff, Mpeg, Wav, Asf };

struct Picture {
  std::string mimeType;     // "image/jpeg"
  std::string description;
  int type = 3;             // what it shows, as ID3v2 and FLAC number it: 3 is the front cover
  std::vector<uint8_t> data;
  int width = 0, height = 0, depth = 0, colors = 0;  // as a FLAC picture block tells them; 0 unknown
};

struct TagSet {
  /// TagLib's property names ("ARTIST", "TRACKNUMBER", "DATE"), UTF-8 texts;
  /// for MP4 also atoms by their names ("----:com.apple.iTunes:iTunSMPB").
  std::vector<std::pair<std::string, std::string>> fields;
  std::vector<Picture> pictures;

  /// The first text of the property; empty when it has none.
  std::string Field(const std::string& name) const;
};

/// Where TagLib finds the tags of a stream of `codec` (FFmpeg's names:
/// "opus") in `container` ("ogg"); nothing when it is none of TagLib's.
std::optional<TagContainer> TagContainerOfStream(const std::string& container, const std::string& codec);

/// The tags of the file; empty when it has none. An MP3 file's later ID3v2
/// tags are folded into its first (see FoldLaterId3v2Tags); a WAV file's
/// INFO fields fill what its "id3 " chunk lacks. Throws std::runtime_error
/// "Failed to read tags" when TagLib cannot read the file as `container`.
TagSet ReadTags(const std::string& fileName, TagContainer container);

/// Replaces the file's fields and pictures with `tags` (texts that are empty
/// are left out). An MP3 file keeps its ID3v1 record as it is; a WAV file
/// gets both an INFO list (the fields it has names for) and an "id3 " chunk. Throws std::runtime_error "Failed to write tags" when
/// TagLib cannot read the file as `container`, "Failed to save tags" when
/// it cannot save it.
void WriteTags(const std::string& fileName, TagContainer container, const TagSet& tags);

}  // namespace media
