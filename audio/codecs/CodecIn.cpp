#include "audio/codecs/CodecIn.h"

#include <stdexcept>

#include "audio/codecs/CodecTags.h"
#include "audio/tags/Id3v2Tags.h"

media::TagSet TCodecIn::Tags() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return tags_;
}

std::vector<media::Picture> TCodecIn::Pictures() {
  std::lock_guard lock(FileLock);
  OpenFile();
  return pictures_;
}

void TCodecIn::OpenFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount > 0) return;
  TWMIn::OpenFile();
  if (OpenCount == 0) return;  // holds no audio: the reader says so
  try {
    // The tags of what the file holds (Opus in an .ogg file has Opus's).
    const CodecTraits* stream = TraitsOfStream(Container(), Codec());
    const media::TagSet tags = media::ReadTags(FileName_, stream ? stream->tags : TraitsOf(kind_).tags);
    FieldsToId3v2(tags, TAuTaggedFileIn::Id3v2Tags());
    pictures_ = tags.pictures;
    tags_.fields = tags.fields;
  } catch (const std::runtime_error&) {
    // Tags TagLib cannot read are no reason to refuse audio that decodes: the demuxer's are kept.
    pictures_.clear();
    tags_ = {};
  }
}

void TCodecIn::CloseFile() {
  std::lock_guard lock(FileLock);
  pictures_.clear();
  tags_ = {};
  TWMIn::CloseFile();
}
