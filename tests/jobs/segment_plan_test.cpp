// Segment Cut's plan: the boundary list, the piece count and the frames.
#include <gtest/gtest.h>

#include "app/jobs/SegmentPlan.h"

namespace {

TEST(SegmentPlan, TheWorkedExampleHasFourPieces) {
  // Three rows, the first not at the start, the last ending well before the end.
  const std::vector<RemovedRange> rows = {{10000, 20000}, {30000, 40000}, {50000, 60000}};
  const int64_t total = 200000;
  EXPECT_EQ(BuildBoundaries(rows, total),
            (std::vector<int64_t>{0, 9900, 20100, 29900, 40100, 49900, 60100, 200000}));
  EXPECT_EQ(CountPieces(rows, total), 4);
}

TEST(SegmentPlan, ARowAtTheStartOrReachingTheLastSecond) {
  // From 00:00:00.0: no piece before it.
  EXPECT_EQ(BuildBoundaries({{0, 5000}}, 200000), (std::vector<int64_t>{5100, 200000}));
  EXPECT_EQ(CountPieces({{0, 5000}}, 200000), 1);
  // Ending in the total time's second drops the tail, even with a fraction left.
  EXPECT_EQ(BuildBoundaries({{10000, 200300}}, 200500), (std::vector<int64_t>{0, 9900}));
  EXPECT_EQ(CountPieces({{10000, 200300}}, 200500), 1);
  // The whole file: nothing remains.
  EXPECT_EQ(BuildBoundaries({{0, 200500}}, 200500), (std::vector<int64_t>{200600}));
  EXPECT_EQ(CountPieces({{0, 200500}}, 200500), 0);
  EXPECT_TRUE(PiecesOfBoundaries({200600}, 200500, 44100, 8842050).empty());
}

TEST(SegmentPlan, PiecesMapToExactFramesAndEmptyOnesAreLeftOut) {
  // A 10.7 s file at 8 kHz whose total time shows as 10 s.
  const int64_t frames = 85600;
  const auto boundaries = BuildBoundaries({{100, 2000}, {2200, 5000}}, 10000);
  // 00:00:00.1 gives a first piece [0, 0); 200 ms between ranges leaves [2100, 2100).
  EXPECT_EQ(boundaries, (std::vector<int64_t>{0, 0, 2100, 2100, 5100, 10000}));
  const auto pieces = PiecesOfBoundaries(boundaries, 10000, 8000, frames);
  ASSERT_EQ(pieces.size(), 1u);
  EXPECT_EQ(pieces[0].startSample, 40800);  // 5.1 s exactly
  EXPECT_EQ(pieces[0].endSample, -1);       // the total time's end is the file's end: all 10.7 s
  const auto inner = PiecesOfBoundaries({1234, 5678}, 10000, 44100, 10 * 44100);
  ASSERT_EQ(inner.size(), 1u);
  EXPECT_EQ(inner[0].startSample, 54419);     // round(1234 x 44.1) = round(54419.4)
  EXPECT_EQ(inner[0].endSample, 250400 - 1);  // round(5678 x 44.1) = 250399.8
}

TEST(SegmentPlan, RowChecks) {
  EXPECT_EQ(CheckNewRow({5000, 5000}, 10000), kSameStartEnd);
  EXPECT_EQ(CheckNewRow({6000, 5000}, 10000), kStartAfterEnd);
  EXPECT_EQ(CheckNewRow({1000, 10100}, 10000), kEndAfterTotal);
  EXPECT_EQ(CheckNewRow({1000, 10000}, 10000), "");  // an end at the total time passes
  EXPECT_EQ(CheckRows({{1000, 2000}, {2000, 3000}}, 10000), "");  // touching rows are in order
  EXPECT_EQ(CheckRows({{3000, 4000}, {1000, 2000}}, 10000), kListOutOfOrder);
  EXPECT_EQ(CheckRows({{1000, 2000}, {3000, 12000}}, 10000), kEndAfterTotal);  // made for a longer file
}

}  // namespace

namespace {

TEST(SegmentPlan, FoundRangesAreRemovedExactlyAndTypedOnesWidened) {
  // 8 kHz, 10 s. A found silence [16003, 24001) goes exactly; a typed row
  // 5-6 s widens by 0.1 s on both sides; an exact row given a margin (the
  // tool's --widen) widens by it.
  RemovedRange found{2000, 3000, 16003, 24001};
  const RemovedRange typed{5000, 6000};
  auto pieces = PiecesOfRows({found, typed}, 10000, 8000, 80000);
  ASSERT_EQ(pieces.size(), 3u);
  EXPECT_EQ(pieces[0].startSample, 0);
  EXPECT_EQ(pieces[0].endSample, 16002);
  EXPECT_EQ(pieces[1].startSample, 24001);
  EXPECT_EQ(pieces[1].endSample, 39199);
  EXPECT_EQ(pieces[2].startSample, 48800);
  EXPECT_EQ(pieces[2].endSample, -1);
  RemovedRange tool = found;
  tool.widenFrames = 800;
  pieces = PiecesOfRows({tool}, 10000, 8000, 80000);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].endSample, 16003 - 800 - 1);
  EXPECT_EQ(pieces[1].startSample, 24001 + 800);
  // A found range at the end takes no tail with it; one at the start leaves no piece before it.
  pieces = PiecesOfRows({{0, 500, 0, 4000}, {9000, 9990, 72000, 79920}}, 10000, 8000, 80000);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(pieces[0].startSample, 4000);
  EXPECT_EQ(pieces[0].endSample, 71999);
  EXPECT_EQ(pieces[1].startSample, 79920);
  // Typed rows alone give what the boundaries always gave.
  const std::vector<RemovedRange> rows = {{1000, 2000}, {9500, 9900}};
  const auto old = PiecesOfBoundaries(BuildBoundaries(rows, 10000), 10000, 8000, 80000);
  pieces = PiecesOfRows(rows, 10000, 8000, 80000);
  ASSERT_EQ(pieces.size(), old.size());
  for (size_t i = 0; i < old.size(); ++i) {
    EXPECT_EQ(pieces[i].startSample, old[i].startSample);
    EXPECT_EQ(pieces[i].endSample, old[i].endSample);
  }
}

}  // namespace
