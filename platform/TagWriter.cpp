#include "platform/TagWriter.h"

#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/mpegfile.h>
#include <taglib/tstring.h>

#include <stdexcept>

namespace media {

void WriteId3v2Tag(const std::string& fileName, const Id3v2Fields& fields) {
  // Opened as MPEG explicitly: the name may not end in ".mp3" (a temporary file).
  // UTF-16 for every text frame made from here on.
  TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::UTF16);
  TagLib::MPEG::File file(fileName.c_str(), false);
  TagLib::ID3v2::Tag* tag = file.isValid() ? file.ID3v2Tag(true) : nullptr;
  if (tag == nullptr) throw std::runtime_error("Failed to write tags");
  const auto text = [](const std::string& utf8) { return TagLib::String(utf8, TagLib::String::UTF8); };
  tag->setTitle(text(fields.title));
  tag->setArtist(text(fields.artist));
  tag->setAlbum(text(fields.album));
  tag->setGenre(text(fields.genre));
  if (!fields.comment.empty()) tag->setComment(text(fields.comment));
  tag->setYear(fields.year);
  tag->removeFrames("TRCK");
  if (!fields.track.empty()) {
    auto* track = new TagLib::ID3v2::TextIdentificationFrame("TRCK", TagLib::String::UTF16);
    track->setText(text(fields.track));
    tag->addFrame(track);  // the tag owns it
  }
  // The ID3v1 record is the writer's own.
  if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripNone, TagLib::ID3v2::v4, TagLib::File::DoNotDuplicate))
    throw std::runtime_error("Failed to save tags");
}

}  // namespace media
