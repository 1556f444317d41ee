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

const CodecTraits* TraitsOfStream(const std::string& container, const std::string& codec) {
  using media::TagContainer;
  static const struct {
    const char* container;
    const char* codec;
    CodecTraits traits;
  } kStreams[] = {
      {"flac", "flac", {"flac", nullptr, "flac", TagContainer::Flac, true, false}},
      {"ogg", "vorbis", {"libvorbis", nullptr, "ogg", TagContainer::OggVorbis, false, false}},
      {"ogg", "opus", {"libopus", nullptr, "ogg", TagContainer::OggOpus, false, false}},
      {"ogg", "flac", {"flac", nullptr, "ogg", TagContainer::OggFlac, true, false}},
      {"mp4", "aac", {"aac", nullptr, "ipod", TagContainer::Mp4, false, true}},
      {"adts", "aac", {"aac", nullptr, "ipod", TagContainer::Mp4, false, true}},  // saved as .m4a
      {"mp4", "alac", {"alac", nullptr, "ipod", TagContainer::Mp4, true, false}},
      {"mp4", "flac", {"flac", nullptr, "mp4", TagContainer::Mp4, true, false}},
      {"mp4", "opus", {"libopus", nullptr, "mp4", TagContainer::Mp4, false, false}},
      {"mp4", "ac3", {"ac3", nullptr, "mp4", TagContainer::Mp4, false, false}},
      {"mp4", "eac3", {"eac3", nullptr, "mp4", TagContainer::Mp4, false, false}},
  };
  for (const auto& stream : kStreams)
    if (container == stream.container && codec == stream.codec) return &stream.traits;
  // AIFF holds PCM of many kinds; the result keeps its samples at 16 or 24 bits.
  if (container == "aiff" && codec.rfind("pcm_", 0) == 0) return &TraitsOf(CodecKind::Aiff);
  return nullptr;
}
