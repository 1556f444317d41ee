#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/jobs/Job.h"
#include "app/jobs/LevelPlan.h"
#include "app/jobs/ReplayGain.h"
#include "app/jobs/SplitPlan.h"

/// A file cut into pieces, each saved as a file of its own in `folder`.
struct SplitRequest {
  std::string source, folder;
  std::vector<SplitPiece> pieces;
  /// The pieces' names (see PieceName); "{source}_{n}" unless given.
  std::string pattern = "{source}_{n}";
  /// MP3: copy the frames instead of re-encoding them.
  bool lossless = false;
  /// Gain, normalising and fades of each piece.
  LevelRequest levels;
  /// ReplayGain tags of each piece: its own, and with Album also those of all the pieces together.
  ReplayGainMode replayGain = ReplayGainMode::None;
  /// The pieces to write, by their index in `pieces` (in order); all when empty.
  /// The others keep their names and numbers but are left as they are.
  std::vector<size_t> only;
  /// Existing files may be replaced (the window asked; the tool's --force).
  bool replaceTargets = false;
};

/// The files of all the request's pieces, in order.
std::vector<std::string> PieceFiles(const SplitRequest& request);
/// The indices of the pieces the request writes.
std::vector<size_t> PiecesToWrite(const SplitRequest& request);

/// Checks the request (the source, the folder, every piece's file) and cuts
/// the pieces one after the other, each as the cut job does (its format,
/// settings and tags, and the cue sheet's title, artist and track number
/// where the piece has them), each written under a temporary name and put in
/// place when complete. A failure stops the run; its message names the
/// piece, and the pieces already finished stay. `events.step` hears
/// " - Splitting ... 3/12" as each piece starts. Raises JobRefused.
std::unique_ptr<Job> StartSplit(const SplitRequest& request, JobEvents events);
