// Cuts of WMA files hold exactly their range of the source's own decode, at
// lag 0, from any start time: the cut job (what the window and `cut` run),
// the tool's `cut` and its `remove`.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/jobs/CutJob.h"
#include "tests/jobs/RunCut.h"
#include "app/jobs/TargetFile.h"
#include "audio/ACS_WinMedia.h"
#include "tests/audio/InputRun.h"
#include "tests/cli/CliRun.h"
#include "tests/support/Alignment.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WmaEncoder.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::vector<int16_t> DecodeWma(const std::string& file) {
  Sealed<TWMIn> input;
  input.SetFileName(file);
  return ReadRun(input);
}

class WmaCutAccuracy : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteWma(source, ChirpSamples(44100 * 21, 2, 44100), 2, 44100, 128000);
    whole = DecodeWma(source);
  }

  /// The lag at which the decoded `cut` matches the source from `startMs` on.
  int LagOf(const std::string& cut, int64_t startMs, size_t expectedFrames) {
    const std::vector<int16_t> part = DecodeWma(cut);
    EXPECT_EQ(part.size() / 2, expectedFrames) << startMs << " ms";
    return BestLag(whole, static_cast<size_t>((startMs * 441 + 5) / 10), part, 2, 2500, 2000);
  }

  TempDir dir;
  std::string source = dir.File("sweep.wma");
  std::vector<int16_t> whole;
};

TEST_F(WmaCutAccuracy, TheCutJobStartsOnTheExactSampleAtEveryTime) {
  std::vector<int64_t> times;
  for (int64_t ms = 0; ms <= 20000; ms += 500) times.push_back(ms);
  for (int64_t ms : {1, 333, 2001, 7301, 9999, 13013, 17777}) times.push_back(ms);
  const std::string target = dir.File("cut.wma");
  for (int64_t startMs : times) {
    ASSERT_EQ(RunCut(source, target, startMs, startMs + 400), "");
    EXPECT_EQ(LagOf(target, startMs, 17640), 0) << "cut from " << startMs << " ms";
  }
}

TEST_F(WmaCutAccuracy, TheToolsCutAndRemoveLineUpWhereSeeksLandLate) {
  const std::string target = dir.File("cut.wma");
  for (int startS : {2, 5, 10, 13, 15, 18}) {
    const Result r = Cli({"cut", Q(source), Q(target), "--start", QString::number(startS), "--end",
                          QString::number(startS + 2), "--force", "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(LagOf(target, startS * 1000, 88200), 0) << "cut from " << startS << " s";
  }
  // Removed ranges widen by a tenth of a second on both sides: removing
  // [0, 9.9) and [13.1, end) keeps [10, 13), and both of its ends line up
  // (the file reads 20.95 s: its end is 20 s, as the Segment Cut window shows).
  const std::string kept = dir.File("kept.wma");
  const Result r = Cli({"remove", Q(source), Q(kept), "--range", "0-9.9", "--range", "13.1-20", "--widen", "0.1", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<int16_t> part = DecodeWma(kept);
  ASSERT_EQ(part.size(), 2u * 3 * 44100);
  EXPECT_EQ(BestLag(whole, 441000, part, 2, 2500, 2000), 0);
  const std::vector<int16_t> tail(part.end() - 2 * 44100, part.end());
  EXPECT_EQ(BestLag(whole, 441000 + 2 * 44100, tail, 2, 2500, 2000), 0);
}

}  // namespace
