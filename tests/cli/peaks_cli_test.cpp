// `clipwright-cli peaks`: min and max per column and channel, of the whole
// file or of a range given in time or in frames.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/CliRun.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

TEST(PeaksCommand, ColumnsOfTheWholeFileOrOfARange) {
  TempDir dir;
  // Mono at 8000 Hz where frame n holds n % 30000.
  const std::string wav = WriteNumberedWav(dir.File("numbers.wav"), 8000);
  Result r = Cli({"peaks", Q(wav), "--width", "4", "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"sample_rate\": 8000, \"channels\": 1, \"start\": 0, \"end\": 8000, \"columns\": "
            "[[[0, 1999]], [[2000, 3999]], [[4000, 5999]], [[6000, 7999]]]}\n");
  // Frames 100 to 200 (a frame count) in two columns; the same as a time.
  r = Cli({"peaks", Q(wav), "--width", "2", "--start", "100s", "--end", "0.025"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "100 100 149\n150 150 199\n");

  r = Cli({"peaks", Q(wav), "--start", "1"});
  EXPECT_EQ(r.code, 1);
  r = Cli({"peaks", Q(wav), "--start", "2", "--end", "1"});
  EXPECT_EQ(r.code, 1);
  r = Cli({"peaks", Q(wav), "--width", "0"});
  EXPECT_EQ(r.code, 1);
  r = Cli({"peaks", Q(dir.File("missing.wav"))});
  EXPECT_EQ(r.code, 2);
}

}  // namespace
