#include "audio/codecs/CodecSpec.h"

const CodecSpec& SpecOf(CodecKind kind) {
  static const CodecSpec kSpecs[] = {
      {"flac", "flac", media::TagContainer::Flac, true, false},
      {"libvorbis", "ogg", media::TagContainer::OggVorbis, false, false},
      {"libopus", "ogg", media::TagContainer::OggOpus, false, false},
      {"aac", "ipod", media::TagContainer::Mp4, false, true},
  };
  return kSpecs[static_cast<int>(kind)];
}
