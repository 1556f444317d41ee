#include "app/jobs/SegmentPlan.h"

#include <algorithm>
#include <cmath>

#include "platform/Numbers.h"

namespace {

int64_t WholeSeconds(int64_t ms) { return ms / 1000; }

bool EndsPastTheFile(const RemovedRange& row, int64_t totalMs, int64_t totalFrames) {
  if (row.Exact() && totalFrames >= 0) return row.endFrame > totalFrames;
  return row.endMs > totalMs;
}

}  // namespace

std::string CheckNewRow(const RemovedRange& row, int64_t totalMs, int64_t totalFrames) {
  if (row.Exact() ? row.startFrame == row.endFrame : row.startMs == row.endMs) return kSameStartEnd;
  if (row.endMs < row.startMs) return kStartAfterEnd;
  if (EndsPastTheFile(row, totalMs, totalFrames)) return kEndAfterTotal;
  return {};
}

std::string CheckRows(const std::vector<RemovedRange>& rows, int64_t totalMs, int64_t totalFrames) {
  for (size_t i = 0; i < rows.size(); ++i)
    for (size_t j = i + 1; j < rows.size(); ++j)
      if (rows[j].startMs < rows[i].endMs) return kListOutOfOrder;
  for (const RemovedRange& row : rows)
    if (EndsPastTheFile(row, totalMs, totalFrames)) return kEndAfterTotal;
  return {};
}

/// How far a typed range is widened on each side.
constexpr int64_t kWidenMs = 100;

int64_t ShiftBoundary(int64_t ms, bool isRangeEnd) {
  return isRangeEnd ? ms + kWidenMs : std::max<int64_t>(0, ms - kWidenMs);
}

std::vector<int64_t> BuildBoundaries(const std::vector<RemovedRange>& rows, int64_t totalMs) {
  std::vector<int64_t> boundaries;
  if (rows.empty()) return boundaries;
  if (rows[0].startMs != 0) {
    boundaries.push_back(0);
    boundaries.push_back(ShiftBoundary(rows[0].startMs, false));
  }
  boundaries.push_back(ShiftBoundary(rows[0].endMs, true));
  for (size_t i = 1; i < rows.size(); ++i) {
    boundaries.push_back(ShiftBoundary(rows[i].startMs, false));
    boundaries.push_back(ShiftBoundary(rows[i].endMs, true));
  }
  if (WholeSeconds(rows.back().endMs) != WholeSeconds(totalMs)) {
    boundaries.push_back(totalMs);
  } else if (boundaries.size() > 1 && boundaries.size() % 2 == 1) {
    boundaries.pop_back();
  }
  return boundaries;
}

int CountPieces(const std::vector<RemovedRange>& rows, int64_t totalMs) {
  if (rows.empty()) return 0;
  int pieces = static_cast<int>(rows.size()) + 1;
  if (rows.front().startMs == 0) --pieces;
  if (WholeSeconds(rows.back().endMs) == WholeSeconds(totalMs)) --pieces;
  return pieces;
}

std::vector<FrameRange> PiecesOfBoundaries(const std::vector<int64_t>& boundaries, int64_t totalMs, int sampleRate,
                                           int64_t totalSamples) {
  std::vector<FrameRange> pieces;
  for (size_t i = 0; i + 1 < boundaries.size(); i += 2) {
    const int64_t start = std::min(FrameOfMs(boundaries[i], sampleRate), totalSamples);
    const bool toTheEnd = boundaries[i + 1] >= totalMs;
    const int64_t end = toTheEnd ? totalSamples : std::min(FrameOfMs(boundaries[i + 1], sampleRate), totalSamples);
    if (end <= start) continue;  // a gap of 200 ms or less between two ranges, say
    pieces.push_back({start, end >= totalSamples ? -1 : end - 1});
  }
  return pieces;
}

std::vector<FrameRange> PiecesOfRows(const std::vector<RemovedRange>& rows, int64_t totalMs, int sampleRate,
                                     int64_t totalSamples) {
  const bool anyExact = std::any_of(rows.begin(), rows.end(), [](const RemovedRange& row) { return row.Exact(); });
  if (!anyExact) return PiecesOfBoundaries(BuildBoundaries(rows, totalMs), totalMs, sampleRate, totalSamples);
  std::vector<FrameRange> pieces;
  int64_t from = 0;  // the first frame not yet removed nor kept
  for (size_t i = 0; i < rows.size(); ++i) {
    const RemovedRange& row = rows[i];
    int64_t start = row.startFrame, end = row.endFrame;
    const bool tail = i + 1 == rows.size() && WholeSeconds(row.endMs) == WholeSeconds(totalMs);
    if (!row.Exact()) {
      start = FrameOfMs(ShiftBoundary(row.startMs, false), sampleRate);
      const int64_t widenedEnd = ShiftBoundary(row.endMs, true);
      end = tail || widenedEnd >= totalMs ? totalSamples : FrameOfMs(widenedEnd, sampleRate);
    } else if (row.widenFrames > 0) {
      start = std::max<int64_t>(start - row.widenFrames, 0);
      end = tail ? totalSamples : end + row.widenFrames;
    }
    start = std::min(start, totalSamples);
    end = std::min(end, totalSamples);
    if (start > from) pieces.push_back({from, start - 1});
    from = std::max(from, end);
  }
  if (from < totalSamples) pieces.push_back({from, -1});
  return pieces;
}
