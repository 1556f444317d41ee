// `clipwright-cli peaks`: min and max per column and channel, of the whole
// file or of a range given in time or in frames.
#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>
#include <string>
#include <vector>

#include "tests/cli/CliRun.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/Mp3Encoder.h"
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

TEST(PeaksCommand, Mp3TheEstimateOrTheDecodedSamples) {
  TempDir dir;
  const std::string mp3 = dir.File("tone.mp3");
  WriteBytes(mp3, EncodeMp3(ToneSamples(44100 * 20, 2, 44100), 2, 44100, 128, true));
  const std::vector<int16_t> decoded = DecodeWithFfmpeg(mp3);
  const int64_t frames = static_cast<int64_t>(decoded.size()) / 2;
  // Exact: each column the decoded samples' lowest and highest.
  Result r = Cli({"peaks", Q(mp3), "--width", "10", "--exact"});
  ASSERT_EQ(r.code, 0) << r.err;
  const QStringList lines = QString::fromStdString(r.out).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 10);
  for (int c = 0; c < 10; ++c) {
    int16_t low = INT16_MAX, high = INT16_MIN;
    for (int64_t f = frames * c / 10; f < frames * (c + 1) / 10; ++f) {
      low = std::min(low, decoded[static_cast<size_t>(f * 2)]);
      high = std::max(high, decoded[static_cast<size_t>(f * 2)]);
    }
    const QStringList fields = lines[c].split(' ');
    ASSERT_EQ(fields.size(), 5);
    EXPECT_EQ(fields[1].toInt(), low) << "column " << c;
    EXPECT_EQ(fields[2].toInt(), high) << "column " << c;
  }
  // The estimate: symmetric, and within 6 dB of the decoded peak here.
  r = Cli({"peaks", Q(mp3), "--width", "10"});
  ASSERT_EQ(r.code, 0) << r.err;
  const QStringList estimated = QString::fromStdString(r.out).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(estimated.size(), 10);
  for (int c = 0; c < 10; ++c) {
    const QStringList fields = estimated[c].split(' ');
    EXPECT_EQ(fields[1].toInt(), -fields[2].toInt());
    const double ratio = fields[2].toDouble() / lines[c].split(' ')[2].toDouble();
    EXPECT_GT(ratio, 0.5) << "column " << c;
    EXPECT_LT(ratio, 2.0) << "column " << c;
  }
  // A short range is decoded: the same as --exact.
  const Result shortRange = Cli({"peaks", Q(mp3), "--width", "50", "--start", "1", "--end", "1.1"});
  const Result exact = Cli({"peaks", Q(mp3), "--width", "50", "--start", "1", "--end", "1.1", "--exact"});
  ASSERT_EQ(shortRange.code, 0) << shortRange.err;
  EXPECT_EQ(shortRange.out, exact.out);
}

}  // namespace
