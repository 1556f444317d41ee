#include "app/jobs/SegmentPlan.h"

#include <algorithm>
#include <cmath>

#include "platform/Numbers.h"

namespace {

int64_t WholeSeconds(int64_t ms) { return ms / 1000; }

}  // namespace

std::string CheckNewRow(const RemovedRange& row, int64_t totalMs) {
  if (row.startMs == row.endMs) return kSameStartEnd;
  if (row.endMs < row.startMs) return kStartAfterEnd;
  if (totalMs < row.endMs) return kEndAfterTotal;
  return {};
}

std::string CheckRows(const std::vector<RemovedRange>& rows, int64_t totalMs) {
  for (size_t i = 0; i < rows.size(); ++i)
    for (size_t j = i + 1; j < rows.size(); ++j)
      if (rows[j].startMs < rows[i].endMs) return kListOutOfOrder;
  for (const RemovedRange& row : rows)
    if (row.endMs > totalMs) return kEndAfterTotal;
  return {};
}

int64_t ShiftBoundary(int64_t ms, bool isRangeEnd) { return isRangeEnd ? ms + 100 : std::max<int64_t>(0, ms - 100); }

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
