#include "audio/codecs/CodecIn.h"

#include <stdexcept>

#include "audio/tags/TagFields.h"
#include "audio/tags/Id3v2Tags.h"

media::TagContainer TCodecIn::TagPlace(const std::string& container, const std::string& codec) {
  return media::TagContainerOfStream(container, codec).value_or(traits_.tags);
}

void TCodecIn::OpenFile() {
  std::lock_guard lock(FileLock);
  if (OpenCount > 0) return;
  TWMIn::OpenFile();
  if (OpenCount == 0) return;  // holds no audio: the reader says so
  // TagLib's reading over the demuxer's where it has any.
  const media::TagSet tags = TWMIn::Tags();
  if (!tags.fields.empty()) FieldsToId3v2(tags, TAuTaggedFileIn::Id3v2Tags());
}
