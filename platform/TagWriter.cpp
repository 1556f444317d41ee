#include "platform/TagWriter.h"
#include "platform/Error.h"

#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/tstring.h>

#include <stdexcept>

#include "platform/Id3v2Frames.h"

namespace media {

namespace {

TagLib::String Text(const std::string& utf8) { return TagLib::String(utf8, TagLib::String::UTF8); }

void SetTrack(TagLib::ID3v2::Tag& tag, const std::string& track) {
  tag.removeFrames("TRCK");
  if (track.empty()) return;
  auto* frame = new TagLib::ID3v2::TextIdentificationFrame("TRCK", TagLib::String::UTF16);
  frame->setText(Text(track));
  tag.addFrame(frame);  // the tag owns it
}

/// Leaves out the properties `keep` refuses; true when there were any.
bool DropRefused(TagLib::ID3v2::Tag& tag, const KeepProperty& keep) {
  if (!keep) return false;
  TagLib::PropertyMap kept;
  bool dropped = false;
  for (const auto& [key, values] : tag.properties()) {
    if (keep(key.to8Bit(true))) kept.insert(key, values);
    else dropped = true;
  }
  if (dropped) tag.setProperties(kept);
  return dropped;
}

}  // namespace

std::vector<uint8_t> Id3v2TagWith(const std::string& fileName, const Id3v2Fields& fields, const KeepProperty& keep) {
  TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::UTF16);
  TagLib::MPEG::File file(fileName.c_str(), false);
  TagLib::ID3v2::Tag* tag = file.isValid() ? file.ID3v2Tag(true) : nullptr;
  if (tag == nullptr) throw Error(ErrorKind::Failed, "Failed to write tags");
  // Changed in memory only: the file is never saved.
  FoldLaterId3v2Tags(file, *tag);
  DropRefused(*tag, keep);
  if (!fields.title.empty()) tag->setTitle(Text(fields.title));
  if (!fields.artist.empty()) tag->setArtist(Text(fields.artist));
  if (!fields.track.empty()) SetTrack(*tag, fields.track);
  const TagLib::ByteVector bytes = tag->render();
  return {bytes.begin(), bytes.end()};
}

bool Id3v2TagChangesForPiece(const std::string& fileName, const KeepProperty& keep) {
  TagLib::MPEG::File file(fileName.c_str(), false);
  if (!file.isValid() || !file.hasID3v2Tag()) return false;
  TagLib::ID3v2::Tag scratch;
  if (FoldLaterId3v2Tags(file, scratch) > 0) return true;
  return DropRefused(*file.ID3v2Tag(), keep);
}

void WriteId3v2Tag(const std::string& fileName, const Id3v2Fields& fields) {
  // Opened as MPEG explicitly: the name may not end in ".mp3" (a temporary file).
  // UTF-16 for every text frame made from here on.
  TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::UTF16);
  TagLib::MPEG::File file(fileName.c_str(), false);
  TagLib::ID3v2::Tag* tag = file.isValid() ? file.ID3v2Tag(true) : nullptr;
  if (tag == nullptr) throw Error(ErrorKind::Failed, "Failed to write tags");
  tag->setTitle(Text(fields.title));
  tag->setArtist(Text(fields.artist));
  tag->setAlbum(Text(fields.album));
  tag->setGenre(Text(fields.genre));
  if (!fields.comment.empty()) tag->setComment(Text(fields.comment));
  tag->setYear(fields.year);
  SetTrack(*tag, fields.track);
  // The ID3v1 record is the writer's own.
  if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4, TagLib::File::DoNotDuplicate))
    throw Error(ErrorKind::Failed, "Failed to save tags");
}

}  // namespace media
