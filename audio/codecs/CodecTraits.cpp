#include "audio/codecs/CodecTraits.h"

const CodecTraits& TraitsOf(CodecKind kind) {
  static const CodecTraits kTraits[] = {
      {"flac", nullptr, "flac", media::TagContainer::Flac, true, false},
      {"libvorbis", nullptr, "ogg", media::TagContainer::OggVorbis, false, false},
      {"libopus", nullptr, "ogg", media::TagContainer::OggOpus, false, false},
      {"aac", nullptr, "ipod", media::TagContainer::Mp4, false, true},
      {"pcm_s16be", "pcm_s24be", "aiff", media::TagContainer::Aiff, true, false},
  };
  return kTraits[static_cast<int>(kind)];
}
