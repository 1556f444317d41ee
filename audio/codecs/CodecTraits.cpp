#include "audio/codecs/CodecTraits.h"

const CodecTraits& TraitsOf(CodecKind kind) {
  static const CodecTraits kTraits[] = {
      {"flac", "flac", media::TagContainer::Flac, true, false},
      {"libvorbis", "ogg", media::TagContainer::OggVorbis, false, false},
      {"libopus", "ogg", media::TagContainer::OggOpus, false, false},
      {"aac", "ipod", media::TagContainer::Mp4, false, true},
  };
  return kTraits[static_cast<int>(kind)];
}
