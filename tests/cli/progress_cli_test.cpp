// --progress json: every line on stderr is one JSON object a scheduler can
// read; the progress only grows and ends at 1 with every result done.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/cli/CliRun.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDir.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

/// Each line of `err` as a JSON object; a line that is none fails the test.
std::vector<QJsonObject> JsonLines(const std::string& err) {
  std::vector<QJsonObject> objects;
  for (const QString& line : QString::fromStdString(err).split('\n', Qt::SkipEmptyParts)) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
    EXPECT_TRUE(error.error == QJsonParseError::NoError && document.isObject()) << line.toStdString();
    objects.push_back(document.object());
  }
  return objects;
}

/// Checks the lines' shape and order; the last one's total.
int CheckProgress(const std::string& err) {
  const std::vector<QJsonObject> lines = JsonLines(err);
  EXPECT_FALSE(lines.empty());
  if (lines.empty()) return -1;
  double last = 0;
  for (const QJsonObject& line : lines) {
    const double progress = line["progress"].toDouble(-1);
    EXPECT_GE(progress, last);
    EXPECT_LE(progress, 1.0);
    EXPECT_LE(line["done"].toInt(-1), line["total"].toInt(-2));
    last = progress;
  }
  EXPECT_EQ(last, 1.0);
  EXPECT_EQ(lines.back()["done"].toInt(), lines.back()["total"].toInt());
  return lines.back()["total"].toInt();
}

}  // namespace

TEST(JsonProgress, CommandsSayTheirProgressAsJsonLinesCountingTheirResults) {
  TempDir dir;
  const std::string wav = dir.File("noise.wav");
  ASSERT_EQ(RunTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(wav), "synth", "30", "pinknoise"}), 0);
  Result r = Cli({"encode", Q(wav), Q(dir.File("noise.mp3")), "--progress", "json"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(CheckProgress(r.err), 1);
  EXPECT_GT(JsonLines(r.err).size(), 3u);  // it moves while it runs, not only at the end
  r = Cli({"cut", Q(wav), Q(dir.File("cut.wav")), "--start", "1", "--end", "20", "--progress", "json"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(CheckProgress(r.err), 1);
  r = Cli({"split", Q(wav), Q(dir.Path().string()), "--every", "10", "--progress", "json"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(CheckProgress(r.err), 3);
  r = Cli({"loudness", Q(wav), Q(dir.File("cut.wav")), "--progress", "json"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(CheckProgress(r.err), 2);
  r = Cli({"cut", Q(wav), Q(dir.File("x.wav")), "--start", "1", "--end", "2", "--progress", "bar"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("--progress takes json: bar"), std::string::npos) << r.err;
}

TEST(JsonProgress, SplitUpdateWritesOnlyThePiecesMissingOrOlderThanTheSource) {
  TempDir dir;
  const std::string wav = dir.File("tone.wav"), folder = dir.File("pieces");
  ASSERT_EQ(RunTool("sox", {"-n", "-r", "8000", "-c", "1", "-b", "16", Q(wav), "synth", "4", "sine", "300"}), 0);
  std::filesystem::create_directory(folder);
  ASSERT_EQ(Cli({"split", Q(wav), Q(folder), "--every", "1", "--quiet"}).code, 0);
  const std::string second = folder + "/tone_2.wav", third = folder + "/tone_3.wav";
  const auto kept = std::filesystem::last_write_time(second);
  std::filesystem::remove(third);
  Result r = Cli({"split", Q(wav), Q(folder), "--every", "1", "--update", "--progress", "json"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(CheckProgress(r.err), 1);  // one piece written
  EXPECT_TRUE(std::filesystem::exists(third));
  EXPECT_EQ(std::filesystem::last_write_time(second), kept);
  r = Cli({"split", Q(wav), Q(folder), "--every", "1", "--update", "--progress", "json"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(JsonLines(r.err).back()["up_to_date"].toBool()) << r.err;
  EXPECT_NE(r.out.find("every piece in " + folder + " is up to date"), std::string::npos) << r.out;
  EXPECT_EQ(Cli({"split", Q(wav), Q(folder), "--every", "1", "--update", "--force"}).code, 1);
}

TEST(JsonProgress, ABatchSaysItsJobsDoneOfTheirTotal) {
  TempDir dir;
  const std::string wav = dir.File("tone.wav");
  ASSERT_EQ(RunTool("sox", {"-n", "-r", "8000", "-c", "1", "-b", "16", Q(wav), "synth", "20", "sine", "300"}), 0);
  std::string manifest = "command\tsource\ttarget\toptions\n";
  for (int i = 0; i < 5; ++i)
    manifest += "encode\t" + wav + "\t" + dir.File(std::to_string(i) + ".mp3") + "\t--bitrate 64\n";
  std::ofstream(dir.File("jobs.tsv")) << manifest;
  const Result r = Cli({"batch", Q(dir.File("jobs.tsv")), "--progress", "json", "--jobs", "2"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(CheckProgress(r.err), 5);
}
