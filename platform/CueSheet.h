#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace media {

/// One track of a cue sheet.
struct CueTrack {
  int number = 0;
  /// Where INDEX 01 lies, in CD frames of 1/75 s from the start of the file.
  int64_t start75 = 0;
  std::string title, performer;  // UTF-8; empty when the sheet gives none
  std::string file;              // the FILE it belongs to
};

struct CueSheet {
  std::string title, performer;  // the album's
  std::vector<CueTrack> tracks;  // in the sheet's order
};

/// Reads a cue sheet through libcue. Throws Error naming the file when it
/// cannot be read or is no cue sheet.
CueSheet ReadCueSheet(const std::string& fileName);

}  // namespace media
