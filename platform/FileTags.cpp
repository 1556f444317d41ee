#include "platform/FileTags.h"
#include "platform/Error.h"

#include <taglib/aifffile.h>
#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <memory>
#include <stdexcept>

#include "platform/Id3v2Frames.h"

namespace media {
namespace {

TagLib::String Text(const std::string& utf8) { return TagLib::String(utf8, TagLib::String::UTF8); }
TagLib::ByteVector Bytes(const std::vector<uint8_t>& data) {
  return TagLib::ByteVector(reinterpret_cast<const char*>(data.data()), static_cast<unsigned>(data.size()));
}
std::vector<uint8_t> Bytes(const TagLib::ByteVector& data) { return {data.begin(), data.end()}; }

std::unique_ptr<TagLib::File> Open(const std::string& fileName, TagContainer container) {
  const char* name = fileName.c_str();
  switch (container) {
    case TagContainer::Flac: return std::make_unique<TagLib::FLAC::File>(name, false);
    case TagContainer::OggVorbis: return std::make_unique<TagLib::Ogg::Vorbis::File>(name, false);
    case TagContainer::OggOpus: return std::make_unique<TagLib::Ogg::Opus::File>(name, false);
    case TagContainer::OggFlac: return std::make_unique<TagLib::Ogg::FLAC::File>(name, false);
    case TagContainer::Mp4: return std::make_unique<TagLib::MP4::File>(name, false);
    case TagContainer::Aiff: return std::make_unique<TagLib::RIFF::AIFF::File>(name, false);
    case TagContainer::Mpeg: return std::make_unique<TagLib::MPEG::File>(name, false);
    case TagContainer::Wav: return std::make_unique<TagLib::RIFF::WAV::File>(name, false);
    case TagContainer::Asf: return std::make_unique<TagLib::ASF::File>(name, false);
  }
  return nullptr;
}

Picture FromFlac(const TagLib::FLAC::Picture& picture) {
  return {picture.mimeType().to8Bit(true), picture.description().to8Bit(true), static_cast<int>(picture.type()),
          Bytes(picture.data()), picture.width(), picture.height(), picture.colorDepth(), picture.numColors()};
}

TagLib::FLAC::Picture* ToFlac(const Picture& picture) {
  auto* made = new TagLib::FLAC::Picture;  // owned by the tag it is added to
  made->setMimeType(Text(picture.mimeType));
  made->setDescription(Text(picture.description));
  made->setType(static_cast<TagLib::FLAC::Picture::Type>(picture.type));
  made->setData(Bytes(picture.data));
  made->setWidth(picture.width);
  made->setHeight(picture.height);
  made->setColorDepth(picture.depth);
  made->setNumColors(picture.colors);
  return made;
}

/// The Vorbis comment block of an Ogg or FLAC file (made when absent).
TagLib::Ogg::XiphComment* XiphOf(TagLib::File& file, TagContainer container) {
  if (container == TagContainer::Flac) return static_cast<TagLib::FLAC::File&>(file).xiphComment(true);
  if (container == TagContainer::OggVorbis) return static_cast<TagLib::Ogg::Vorbis::File&>(file).tag();
  if (container == TagContainer::OggFlac) return static_cast<TagLib::Ogg::FLAC::File&>(file).tag();
  return static_cast<TagLib::Ogg::Opus::File&>(file).tag();
}

/// The ID3v2 tag of an AIFF, MP3 or WAV file (made when absent); null for the others.
TagLib::ID3v2::Tag* Id3v2Of(TagLib::File& file, TagContainer container) {
  if (container == TagContainer::Aiff) return static_cast<TagLib::RIFF::AIFF::File&>(file).tag();
  if (container == TagContainer::Mpeg) return static_cast<TagLib::MPEG::File&>(file).ID3v2Tag(true);
  if (container == TagContainer::Wav) return static_cast<TagLib::RIFF::WAV::File&>(file).ID3v2Tag();
  return nullptr;
}

TagLib::ASF::Tag* AsfOf(TagLib::File& file) { return static_cast<TagLib::ASF::File&>(file).tag(); }

std::vector<Picture> ReadPictures(TagLib::File& file, TagContainer container) {
  std::vector<Picture> pictures;
  if (TagLib::ID3v2::Tag* tag = Id3v2Of(file, container)) return Id3v2Pictures(*tag);
  if (container == TagContainer::Asf) {
    for (const TagLib::ASF::Attribute& attribute : AsfOf(file)->attribute("WM/Picture")) {
      const TagLib::ASF::Picture picture = attribute.toPicture();
      if (picture.isValid())
        pictures.push_back({picture.mimeType().to8Bit(true), picture.description().to8Bit(true),
                            static_cast<int>(picture.type()), Bytes(picture.picture())});
    }
    return pictures;
  }
  if (container == TagContainer::Mp4) {
    TagLib::MP4::Tag* tag = static_cast<TagLib::MP4::File&>(file).tag();
    if (tag == nullptr || !tag->contains("covr")) return pictures;
    for (const TagLib::MP4::CoverArt& art : tag->item("covr").toCoverArtList()) {
      const char* mime = art.format() == TagLib::MP4::CoverArt::PNG ? "image/png"
                         : art.format() == TagLib::MP4::CoverArt::BMP ? "image/bmp"
                         : art.format() == TagLib::MP4::CoverArt::GIF ? "image/gif"
                                                                      : "image/jpeg";
      pictures.push_back({mime, "", 3, Bytes(art.data())});
    }
    return pictures;
  }
  const TagLib::List<TagLib::FLAC::Picture*> list = container == TagContainer::Flac
                                                        ? static_cast<TagLib::FLAC::File&>(file).pictureList()
                                                        : XiphOf(file, container)->pictureList();
  for (const TagLib::FLAC::Picture* picture : list) pictures.push_back(FromFlac(*picture));
  return pictures;
}

void SetPictures(TagLib::File& file, TagContainer container, const std::vector<Picture>& pictures) {
  if (TagLib::ID3v2::Tag* tag = Id3v2Of(file, container)) {
    SetId3v2Pictures(*tag, pictures);
    return;
  }
  if (container == TagContainer::Asf) {
    TagLib::ASF::Tag* tag = AsfOf(file);
    tag->removeItem("WM/Picture");
    for (const Picture& picture : pictures) {
      TagLib::ASF::Picture made;
      made.setMimeType(Text(picture.mimeType));
      made.setDescription(Text(picture.description));
      made.setType(static_cast<TagLib::ASF::Picture::Type>(picture.type));
      made.setPicture(Bytes(picture.data));
      tag->addAttribute("WM/Picture", TagLib::ASF::Attribute(made));
    }
    return;
  }
  if (container == TagContainer::Mp4) {
    TagLib::MP4::Tag* tag = static_cast<TagLib::MP4::File&>(file).tag();
    TagLib::MP4::CoverArtList list;
    for (const Picture& picture : pictures) {
      const auto format = picture.mimeType == "image/png"   ? TagLib::MP4::CoverArt::PNG
                          : picture.mimeType == "image/bmp" ? TagLib::MP4::CoverArt::BMP
                          : picture.mimeType == "image/gif" ? TagLib::MP4::CoverArt::GIF
                                                            : TagLib::MP4::CoverArt::JPEG;
      list.append(TagLib::MP4::CoverArt(format, Bytes(picture.data)));
    }
    if (list.isEmpty()) tag->removeItem("covr");
    else tag->setItem("covr", TagLib::MP4::Item(list));
    return;
  }
  if (container == TagContainer::Flac) {
    auto& flac = static_cast<TagLib::FLAC::File&>(file);
    flac.removePictures();
    for (const Picture& picture : pictures) flac.addPicture(ToFlac(picture));
    return;
  }
  TagLib::Ogg::XiphComment* xiph = XiphOf(file, container);
  xiph->removeAllPictures();
  for (const Picture& picture : pictures) xiph->addPicture(ToFlac(picture));
}

}  // namespace

std::string TagSet::Field(const std::string& name) const {
  for (const auto& [key, value] : fields)
    if (key == name) return value;
  return {};
}

std::optional<TagContainer> TagContainerOfStream(const std::string& container, const std::string& codec) {
  if (container == "flac") return TagContainer::Flac;
  if (container == "ogg") {
    if (codec == "vorbis") return TagContainer::OggVorbis;
    if (codec == "opus") return TagContainer::OggOpus;
    if (codec == "flac") return TagContainer::OggFlac;
    return std::nullopt;
  }
  if (container == "mp4" || container == "adts") return TagContainer::Mp4;
  if (container == "aiff") return TagContainer::Aiff;
  if (container == "asf") return TagContainer::Asf;
  if (container == "mp3") return TagContainer::Mpeg;
  if (container == "wav") return TagContainer::Wav;
  return std::nullopt;
}

TagSet ReadTags(const std::string& fileName, TagContainer container) {
  const std::unique_ptr<TagLib::File> file = Open(fileName, container);
  if (!file || !file->isValid()) throw Error(ErrorKind::Failed, "Failed to read tags");
  TagSet tags;
  TagLib::PropertyMap properties = file->properties();
  if (container == TagContainer::Mpeg) {
    auto& mpeg = static_cast<TagLib::MPEG::File&>(*file);
    if (mpeg.hasID3v2Tag() && FoldLaterId3v2Tags(mpeg, *mpeg.ID3v2Tag()) > 0) properties = mpeg.ID3v2Tag()->properties();
  }
  if (container == TagContainer::Wav) {
    // Most writers keep a WAV file's tags in an INFO list only.
    for (const auto& [key, values] : static_cast<TagLib::RIFF::WAV::File&>(*file).InfoTag()->properties())
      if (!properties.contains(key)) properties.insert(key, values);
  }
  for (const auto& [key, values] : properties)
    for (const TagLib::String& value : values) tags.fields.emplace_back(key.to8Bit(true), value.to8Bit(true));
  if (container == TagContainer::Mp4) {
    // Texts kept as iTunes comments (URL) that the property names leave out.
    const TagLib::String prefix = "----:com.apple.iTunes:";
    for (const auto& [key, item] : static_cast<TagLib::MP4::File&>(*file).tag()->itemMap()) {
      if (!key.startsWith(prefix)) continue;
      const std::string name = key.substr(prefix.size()).to8Bit(true);
      if (!tags.Field(name).empty() || name == "iTunSMPB") continue;
      for (const TagLib::String& value : item.toStringList()) tags.fields.emplace_back(name, value.to8Bit(true));
    }
  }
  tags.pictures = ReadPictures(*file, container);
  return tags;
}

void WriteTags(const std::string& fileName, TagContainer container, const TagSet& tags) {
  const std::unique_ptr<TagLib::File> file = Open(fileName, container);
  if (!file || !file->isValid()) throw Error(ErrorKind::Failed, "Failed to write tags");
  TagLib::PropertyMap properties;
  for (const auto& [key, value] : tags.fields)
    if (!value.empty() && key.rfind("----:", 0) != 0) properties[Text(key)].append(Text(value));
  if (container == TagContainer::Flac) XiphOf(*file, container);  // where a FLAC file's properties go
  const TagLib::PropertyMap refused = file->setProperties(properties);
  if (container == TagContainer::Mp4) {
    // Atoms by their own names ("----:com.apple.iTunes:iTunSMPB"), as players look them up.
    TagLib::MP4::Tag* tag = static_cast<TagLib::MP4::File&>(*file).tag();
    for (const auto& [key, value] : tags.fields)
      if (key.rfind("----:", 0) == 0 && !value.empty()) tag->setItem(Text(key), TagLib::StringList(Text(value)));
    // Fields without an atom of their own (URL) go where players keep such texts.
    for (const auto& [key, values] : refused) tag->setItem("----:com.apple.iTunes:" + key, values);
  }
  if (container == TagContainer::Asf) {
    // Fields without an attribute of TagLib's (REPLAYGAIN_TRACK_GAIN) become attributes of their own names.
    TagLib::ASF::Tag* tag = static_cast<TagLib::ASF::File&>(*file).tag();
    for (const auto& [key, values] : refused)
      if (!values.isEmpty()) tag->setAttribute(key, TagLib::ASF::Attribute(values.front()));
  }
  SetPictures(*file, container, tags.pictures);
  bool saved = false;
  if (container == TagContainer::Mpeg) {
    // The ID3v1 record is the writer's own: left as it is.
    saved = static_cast<TagLib::MPEG::File&>(*file).save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone,
                                                         TagLib::ID3v2::v4, TagLib::File::DoNotDuplicate);
  } else {
    saved = file->save();
  }
  if (!saved) throw Error(ErrorKind::Failed, "Failed to save tags");
}

}  // namespace media
