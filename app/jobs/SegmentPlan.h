#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/jobs/TimeRange.h"

/// What the Segment Cut checks say.
inline constexpr char kSameStartEnd[] = "Please make sure the start time not same as the end time";
inline constexpr char kStartAfterEnd[] = "Please make sure the start time should be smaller than the end time";
inline constexpr char kEndAfterTotal[] = "Please make sure the end time should be smaller than the total time";
inline constexpr char kListOutOfOrder[] = "Please make sure that the list of data in sequence!";
inline constexpr char kNothingRemains[] = "The ranges cover the whole file: nothing would remain to be saved.";

/// A range to remove, in milliseconds, as a list row gives it.
struct RemovedRange {
  int64_t startMs = 0;
  int64_t endMs = 0;
  /// The same exact to the frame, [startFrame, endFrame) at the source's
  /// rate, when it was placed on samples (a silence found, a cue track, a
  /// range chosen in the waveform or given to the tool); -1 when only the
  /// times are known.
  int64_t startFrame = -1;
  int64_t endFrame = -1;
  /// An exact range is removed as it is, unless it is given a margin (the
  /// tool's --widen): then that many frames more on each side, and a last
  /// range ending in the total time's last second takes the tail, as the
  /// window does with a typed row.
  int64_t widenFrames = 0;
  bool Exact() const { return startFrame >= 0 && endFrame >= startFrame; }
};

/// The check of a row being added: the message that refuses it, else empty.
/// `totalMs` is the file's total time as shown. A row placed on samples is
/// held to the frames the file holds (`totalFrames`, when known), not to
/// the whole seconds shown: it may end in the last fraction of a second.
std::string CheckNewRow(const RemovedRange& row, int64_t totalMs, int64_t totalFrames = -1);

/// The checks of a list when a job starts: rows in order (no row starts
/// before an earlier one ends) and none ending past the total time (it may
/// have come from another file). The message that refuses it, else empty.
std::string CheckRows(const std::vector<RemovedRange>& rows, int64_t totalMs, int64_t totalFrames = -1);

/// A range boundary moved 100 ms away from the range: earlier for its start,
/// later for its end (never before 0).
int64_t ShiftBoundary(int64_t ms, bool isRangeEnd);

/// The kept pieces' times, in pairs (start, end): from the file's start up to
/// the first range, between ranges, and after the last one up to `totalMs`,
/// unless the last range ends in the total time's last second, which drops
/// the tail. Removed ranges are widened by 100 ms on both sides.
std::vector<int64_t> BuildBoundaries(const std::vector<RemovedRange>& rows, int64_t totalMs);

/// The kept pieces of a file of `totalSamples` frames at `sampleRate` when
/// `rows` are removed: typed rows widened by 100 ms on both sides as
/// BuildBoundaries widens them (and a last one in the total time's last
/// second taking the tail), found rows exactly as they are. Pieces that hold
/// no frame are left out.
std::vector<FrameRange> PiecesOfRows(const std::vector<RemovedRange>& rows, int64_t totalMs, int sampleRate,
                                     int64_t totalSamples);

/// The number of kept pieces: half the boundaries.
int CountPieces(const std::vector<RemovedRange>& rows, int64_t totalMs);

/// The kept pieces as frames of a file of `totalSamples` frames at
/// `sampleRate`: each time at frame round(t x rate / 1000); the end of the
/// total time (or anything past the file) is the file's end. Pieces that
/// hold no frame are left out.
std::vector<FrameRange> PiecesOfBoundaries(const std::vector<int64_t>& boundaries, int64_t totalMs, int sampleRate,
                                           int64_t totalSamples);
