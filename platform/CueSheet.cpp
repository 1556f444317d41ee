#include "platform/CueSheet.h"

#include <libcue.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/Error.h"

namespace media {

namespace {

std::string Text(const char* text) { return text ? text : ""; }

}  // namespace

CueSheet ReadCueSheet(const std::string& fileName) {
  FILE* file = std::fopen(fileName.c_str(), "r");
  if (file == nullptr) throw Error(ErrorKind::UnreadableFile, ErrnoText(errno), fileName);
  std::unique_ptr<Cd, decltype(&cd_delete)> cd(cue_parse_file(file), cd_delete);
  std::fclose(file);
  if (!cd || cd_get_ntrack(cd.get()) < 1) throw Error(ErrorKind::UnreadableFile, "not a cue sheet with tracks", fileName);
  CueSheet sheet;
  if (const Cdtext* text = cd_get_cdtext(cd.get())) {
    sheet.title = Text(cdtext_get(PTI_TITLE, text));
    sheet.performer = Text(cdtext_get(PTI_PERFORMER, text));
  }
  for (int i = 1; i <= cd_get_ntrack(cd.get()); ++i) {
    const Track* track = cd_get_track(cd.get(), i);
    if (track == nullptr) continue;
    CueTrack entry;
    entry.number = i;
    const long index1 = track_get_index(track, 1);
    entry.start75 = index1 >= 0 ? index1 : track_get_start(track);
    entry.file = Text(track_get_filename(track));
    if (const Cdtext* text = track_get_cdtext(track)) {
      entry.title = Text(cdtext_get(PTI_TITLE, text));
      entry.performer = Text(cdtext_get(PTI_PERFORMER, text));
    }
    sheet.tracks.push_back(entry);
  }
  return sheet;
}

}  // namespace media
