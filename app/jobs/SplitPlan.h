#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/jobs/TimeRange.h"

namespace media {
struct CueSheet;
}

/// One piece a file is split into, with what a cue sheet tells of it.
struct SplitPiece {
  FrameRange range;  // endSample inclusive, as every range of the jobs
  std::string title, artist;  // UTF-8; empty when unknown
  int track = 0;              // 1.. of `tracks`; 0 when unknown
  int tracks = 0;
};

/// The pieces between boundaries (frames of a file of `total` frames): the
/// boundaries are sorted, repeated ones count once, and one at 0 or at (or
/// after) the end makes no empty piece. Raises JobRefused (a usage error)
/// when no boundary lies inside the file.
std::vector<SplitPiece> PiecesAt(std::vector<int64_t> boundaries, int64_t total);
/// Boundaries every `frames` frames.
std::vector<int64_t> BoundariesEvery(int64_t frames, int64_t total);

/// The pieces a cue sheet describes for the file `source` of `total` frames
/// at `sampleRate`: each track from its INDEX 01 to the next one's (the
/// first from the start of the file), converted to frames exactly (1/75 s
/// each, halves to even), with its title, performer (else the album's) and
/// number. Raises JobRefused when the sheet names another file or a track
/// starts at or past the end.
std::vector<SplitPiece> PiecesOfCueSheet(const media::CueSheet& sheet, const std::string& cueName,
                                         const std::string& source, int sampleRate, int64_t total);

/// The file name of piece `number` (1..`count`) from `pattern`: {n} is the
/// number with leading zeros to the width of `count`, {title} and {artist}
/// what the piece knows (a "/" becomes "_"), {source} the source's name
/// without its folder and extension. The source's extension follows.
std::string PieceName(const std::string& pattern, const SplitPiece& piece, int number, int count,
                      const std::string& source);
