#include "platform/Id3v2Frames.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/tpropertymap.h>

#include <memory>
#include <set>

namespace media {
namespace {

TagLib::String Text(const std::string& utf8) { return TagLib::String(utf8, TagLib::String::UTF8); }

/// Where the tag at `offset` ends, or -1 when no tag starts there.
long TagEndAt(TagLib::File& file, long offset) {
  file.seek(offset);
  const TagLib::ByteVector head = file.readBlock(10);
  if (head.size() < 10 || !head.startsWith("ID3")) return -1;
  TagLib::ID3v2::Header header(head);
  return header.tagSize() == 0 ? -1 : offset + static_cast<long>(header.completeTagSize());
}

}  // namespace

std::vector<Picture> Id3v2Pictures(const TagLib::ID3v2::Tag& tag) {
  std::vector<Picture> pictures;
  for (const TagLib::ID3v2::Frame* frame : tag.frameList("APIC"))
    if (const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame)) {
      const TagLib::ByteVector data = picture->picture();
      pictures.push_back({picture->mimeType().to8Bit(true), picture->description().to8Bit(true),
                          static_cast<int>(picture->type()), {data.begin(), data.end()}});
    }
  return pictures;
}

void SetId3v2Pictures(TagLib::ID3v2::Tag& tag, const std::vector<Picture>& pictures) {
  tag.removeFrames("APIC");
  for (const Picture& picture : pictures) {
    auto* frame = new TagLib::ID3v2::AttachedPictureFrame;  // owned by the tag
    frame->setMimeType(Text(picture.mimeType));
    frame->setDescription(Text(picture.description));
    frame->setType(static_cast<TagLib::ID3v2::AttachedPictureFrame::Type>(picture.type));
    frame->setPicture(TagLib::ByteVector(reinterpret_cast<const char*>(picture.data.data()),
                                         static_cast<unsigned>(picture.data.size())));
    tag.addFrame(frame);
  }
}

int FoldLaterId3v2Tags(TagLib::MPEG::File& file, TagLib::ID3v2::Tag& first) {
  if (!file.hasID3v2Tag() || file.ID3v2Tag()->header() == nullptr) return 0;
  const long firstEnd = TagEndAt(file, 0);
  if (firstEnd < 0) return 0;
  TagLib::PropertyMap merged = first.properties();
  std::vector<Picture> pictures = Id3v2Pictures(first);
  std::set<int> pictureTypes;
  for (const Picture& picture : pictures) pictureTypes.insert(picture.type);
  int folded = 0;
  // A handful at most: a chain longer than that is damage, not tagging.
  for (long at = firstEnd; folded < 8;) {
    const long end = TagEndAt(file, at);
    if (end < 0 || end > file.length()) break;
    const TagLib::ID3v2::Tag later(&file, at);
    for (const auto& [key, values] : later.properties())
      if (!merged.contains(key)) merged.insert(key, values);
    for (Picture& picture : Id3v2Pictures(later))
      if (pictureTypes.insert(picture.type).second) pictures.push_back(std::move(picture));
    ++folded;
    at = end;
  }
  if (folded > 0) {
    first.setProperties(merged);
    SetId3v2Pictures(first, pictures);
  }
  return folded;
}

}  // namespace media
