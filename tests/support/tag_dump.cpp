// Prints a file's tags as TagLib reads them, for tests and the corpus runner
// to compare with: "KEY=value" per value of its property map, then
// "picture=TYPE MIME BYTES" per picture. Exit 1 when TagLib cannot read it.
#include <taglib/aifffile.h>
#include <taglib/asffile.h>
#include <taglib/asfpicture.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/oggfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <cstdio>

namespace {

void Print(int type, const TagLib::String& mime, unsigned size) {
  std::printf("picture=%d %s %u\n", type, mime.to8Bit(true).c_str(), size);
}

void PrintId3v2Pictures(const TagLib::ID3v2::Tag* tag) {
  if (tag == nullptr) return;
  for (const TagLib::ID3v2::Frame* frame : tag->frameList("APIC"))
    if (const auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame))
      Print(picture->type(), picture->mimeType(), picture->picture().size());
}

void PrintPictures(TagLib::File* file) {
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(file)) return PrintId3v2Pictures(mpeg->ID3v2Tag());
  if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file)) return PrintId3v2Pictures(wav->ID3v2Tag());
  if (auto* aiff = dynamic_cast<TagLib::RIFF::AIFF::File*>(file)) return PrintId3v2Pictures(aiff->tag());
  if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
    for (const TagLib::FLAC::Picture* picture : flac->pictureList())
      Print(picture->type(), picture->mimeType(), picture->data().size());
    return;
  }
  if (auto* mp4 = dynamic_cast<TagLib::MP4::File*>(file)) {
    if (mp4->tag() && mp4->tag()->contains("covr"))
      for (const TagLib::MP4::CoverArt& art : mp4->tag()->item("covr").toCoverArtList())
        Print(3, art.format() == TagLib::MP4::CoverArt::PNG ? "image/png" : "image/jpeg", art.data().size());
    return;
  }
  if (auto* asf = dynamic_cast<TagLib::ASF::File*>(file)) {
    for (const TagLib::ASF::Attribute& attribute : asf->tag()->attribute("WM/Picture")) {
      const TagLib::ASF::Picture picture = attribute.toPicture();
      Print(picture.type(), picture.mimeType(), picture.picture().size());
    }
    return;
  }
  if (auto* xiph = dynamic_cast<TagLib::Ogg::XiphComment*>(file->tag()))
    for (const TagLib::FLAC::Picture* picture : xiph->pictureList())
      Print(picture->type(), picture->mimeType(), picture->data().size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tag_dump FILE\n");
    return 2;
  }
  TagLib::FileRef ref(argv[1], false);
  if (ref.isNull()) return 1;
  for (const auto& [key, values] : ref.file()->properties())
    for (const TagLib::String& value : values) std::printf("%s=%s\n", key.toCString(true), value.toCString(true));
  PrintPictures(ref.file());
  return 0;
}
