// clipwright-cli batch: a manifest's jobs give what each command gives run
// alone; bad lines are named by number; an interrupted batch runs again and
// does only what is left.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <sched.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "tests/cli/CliRun.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/SignalProcess.h"

namespace fs = std::filesystem;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

void WriteText(const std::string& name, const std::string& text) { std::ofstream(name, std::ios::binary) << text; }

/// Sources as users have them: a WAV and a FLAC made by sox, a WAV of ours.
struct Sources {
  explicit Sources(const TempDir& dir)
      : wav(dir.File("tone.wav")), flac(dir.File("sweep.flac")), ours(dir.File("ours.wav")) {
    EXPECT_EQ(RunTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(wav), "synth", "6", "sine", "440"}), 0);
    EXPECT_EQ(RunTool("sox", {"-n", "-r", "48000", "-c", "1", "-b", "16", Q(flac), "synth", "4", "sine", "200-2000"}), 0);
    WriteWav16(ours, ToneSamples(3 * 22050, 1, 22050), 1, 22050);
  }
  std::string wav, flac, ours;
};

/// The same jobs as a TSV manifest and as JSON Lines, into `out`.
std::string TsvJobs(const Sources& s, const std::string& out) {
  return "command\tsource\tsource2\ttarget\toptions\n"
         "cut\t" + s.wav + "\t\t" + out + "/cut.wav\t--start 1.5 --end 0:02.25 --fade-in 10\n"
         "# a comment and a blank line are no jobs\n\n"
         "split\t" + s.flac + "\t\t" + out + "\t--every 1.5 --name \"piece {n}\"\n"
         "remove\t" + s.wav + "\t\t" + out + "/removed.wav\t--range 1-2 --range 3-4\n"
         "encode\t" + s.wav + "\t\t" + out + "/tone.flac\t\n"
         "decode\t" + s.flac + "\t\t" + out + "/sweep.wav\t\n"
         "join\t" + s.ours + "\t" + s.ours + "\t" + out + "/joined.wav\t--crossfade 20\n"
         "mix\t" + s.ours + "\t" + s.ours + "\t" + out + "/mixed.wav\t\n";
}

std::string JsonJobs(const Sources& s, const std::string& out) {
  return "{\"command\": \"cut\", \"source\": \"" + s.wav + "\", \"target\": \"" + out +
         "/cut.wav\", \"options\": {\"start\": \"1.5\", \"end\": \"0:02.25\", \"fade-in\": 10}}\n"
         "{\"command\": \"split\", \"source\": \"" + s.flac + "\", \"target\": \"" + out +
         "\", \"options\": [\"--every\", \"1.5\", \"--name\", \"piece {n}\"]}\n"
         "# JSON Lines take comments too\n"
         "{\"command\": \"remove\", \"source\": \"" + s.wav + "\", \"target\": \"" + out +
         "/removed.wav\", \"options\": {\"range\": [\"1-2\", \"3-4\"]}}\n"
         "{\"command\": \"encode\", \"source\": \"" + s.wav + "\", \"target\": \"" + out + "/tone.flac\"}\n"
         "{\"command\": \"decode\", \"source\": \"" + s.flac + "\", \"target\": \"" + out + "/sweep.wav\"}\n"
         "{\"command\": \"join\", \"source\": [\"" + s.ours + "\", \"" + s.ours + "\"], \"target\": \"" + out +
         "/joined.wav\", \"options\": {\"crossfade\": 20}}\n"
         "{\"command\": \"mix\", \"source\": \"" + s.ours + "\", \"source2\": \"" + s.ours + "\", \"target\": \"" + out +
         "/mixed.wav\"}\n";
}

const char* const kResults[] = {"cut.wav", "piece 1.flac", "piece 2.flac", "piece 3.flac", "removed.wav",
                                "tone.flac", "sweep.wav", "joined.wav", "mixed.wav"};

/// The results of the same commands run one by one.
void RunAlone(const Sources& s, const std::string& out) {
  const QString o = Q(out);
  const QList<QStringList> commands = {
      {"cut", Q(s.wav), o + "/cut.wav", "--start", "1.5", "--end", "0:02.25", "--fade-in", "10"},
      {"split", Q(s.flac), o, "--every", "1.5", "--name", "piece {n}"},
      {"remove", Q(s.wav), o + "/removed.wav", "--range", "1-2", "--range", "3-4"},
      {"encode", Q(s.wav), o + "/tone.flac"},
      {"decode", Q(s.flac), o + "/sweep.wav"},
      {"join", Q(s.ours), Q(s.ours), o + "/joined.wav", "--crossfade", "20"},
      {"mix", Q(s.ours), Q(s.ours), o + "/mixed.wav"}};
  for (QStringList command : commands) {
    command << "--quiet";
    const Result r = Cli(command);
    ASSERT_EQ(r.code, 0) << command.join(' ').toStdString() << ": " << r.err;
  }
}

/// Temporary files a run left beside its targets.
std::vector<std::string> Leftovers(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().find(".clipwright") != std::string::npos ||
        entry.path().filename().string().rfind(".", 0) == 0)
      found.push_back(entry.path().string());
  return found;
}

}  // namespace

TEST(Batch, EveryCommandOfATsvOrJsonManifestGivesWhatItGivesRunAlone) {
  TempDir dir;
  const Sources sources(dir);
  for (const char* folder : {"alone", "tsv", "json"}) fs::create_directory(dir.File(folder));
  RunAlone(sources, dir.File("alone"));
  WriteText(dir.File("jobs.tsv"), TsvJobs(sources, dir.File("tsv")));
  WriteText(dir.File("jobs.jsonl"), JsonJobs(sources, dir.File("json")));
  for (const char* manifest : {"jobs.tsv", "jobs.jsonl"}) {
    const Result r = Cli({"batch", Q(dir.File(manifest)), "--jobs", "3"});
    ASSERT_EQ(r.code, 0) << manifest << ": " << r.err;
    EXPECT_NE(r.out.find("7 jobs: 7 done, 0 skipped, 0 failed"), std::string::npos) << r.out;
  }
  for (const char* result : kResults) {
    const std::vector<uint8_t> alone = ReadFile(dir.File(std::string("alone/") + result));
    ASSERT_GT(alone.size(), 100u) << result;
    EXPECT_EQ(ReadFile(dir.File(std::string("tsv/") + result)), alone) << result;
    EXPECT_EQ(ReadFile(dir.File(std::string("json/") + result)), alone) << result;
  }
  EXPECT_TRUE(Leftovers(dir.File("tsv")).empty());
}

TEST(Batch, UpToDateTargetsAreSkippedAndWhatChangedIsMadeAgain) {
  TempDir dir;
  const Sources sources(dir);
  const std::string out = dir.File("out");
  fs::create_directory(out);
  WriteText(dir.File("jobs.tsv"), TsvJobs(sources, out));
  ASSERT_EQ(Cli({"batch", Q(dir.File("jobs.tsv"))}).code, 0);
  Result again = Cli({"batch", Q(dir.File("jobs.tsv"))});
  ASSERT_EQ(again.code, 0) << again.err;
  EXPECT_NE(again.out.find("7 jobs: 0 done, 7 skipped, 0 failed"), std::string::npos) << again.out;

  // One target lost, one piece lost, one source changed: only those are made again.
  const auto pieceTime = fs::last_write_time(out + "/piece 1.flac");
  fs::remove(out + "/cut.wav");
  fs::remove(out + "/piece 2.flac");
  const auto now = fs::file_time_type::clock::now();
  for (const char* made : {"/joined.wav", "/mixed.wav"}) fs::last_write_time(out + made, now - std::chrono::hours(1));
  fs::last_write_time(sources.ours, now - std::chrono::minutes(30));
  const Result dry = Cli({"batch", Q(dir.File("jobs.tsv")), "--dry-run"});
  EXPECT_EQ(dry.code, 0) << dry.err;
  EXPECT_NE(dry.out.find("jobs.tsv:2: run: clipwright-cli cut --start 1.5"), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("jobs.tsv:7: up to date: " + out + "/tone.flac"), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("7 jobs: 4 to run, 3 up to date, 0 bad"), std::string::npos) << dry.out;
  EXPECT_FALSE(fs::exists(out + "/cut.wav"));  // a dry run writes nothing

  again = Cli({"batch", Q(dir.File("jobs.tsv"))});
  ASSERT_EQ(again.code, 0) << again.err;
  // cut, join and mix made again; the split wrote its lost piece only.
  EXPECT_NE(again.out.find("7 jobs: 4 done, 3 skipped, 0 failed"), std::string::npos) << again.out;
  EXPECT_TRUE(fs::exists(out + "/cut.wav"));
  EXPECT_TRUE(fs::exists(out + "/piece 2.flac"));
  EXPECT_EQ(fs::last_write_time(out + "/piece 1.flac"), pieceTime);
  EXPECT_GT(fs::last_write_time(out + "/mixed.wav"), fs::last_write_time(sources.ours));

  // --force makes everything again.
  again = Cli({"batch", Q(dir.File("jobs.tsv")), "--force"});
  EXPECT_NE(again.out.find("7 jobs: 7 done, 0 skipped, 0 failed"), std::string::npos) << again.out;
  EXPECT_GT(fs::last_write_time(out + "/piece 1.flac"), pieceTime);
}

TEST(Batch, BadLinesAreNamedByNumberAndKeepGoingDoesTheOthers) {
  TempDir dir;
  const Sources sources(dir);
  const std::string out = dir.File("out");
  fs::create_directory(out);
  const std::string good1 = "cut\t" + sources.wav + "\t" + out + "/a.wav\t--start 1 --end 2\n";
  const std::string good2 = "encode\t" + sources.wav + "\t" + out + "/b.flac\t\n";
  WriteText(dir.File("jobs.tsv"), "command\tsource\ttarget\toptions\n" + good1 +
                                      "crop\t" + sources.wav + "\t" + out + "/c.wav\t\n" +            // line 3
                                      "cut\t" + sources.wav + "\t" + out + "/d.wav\t--start 1 --end 2 --every 1\n" +  // 4
                                      "cut\t" + sources.wav + "\t" + out + "/a.wav\t--start 2 --end 3\n" +  // 5: a.wav again
                                      "cut\t" + dir.File("none.wav") + "\t" + out + "/e.wav\t--start 0 --end 1\n" +  // 6
                                      "cut\t" + sources.wav + "\t" + out + "/f.wav\t--start 99 --end 100\n" +  // 7: past the end
                                      "split\t" + sources.wav + "\t" + out + "\t--at \"1\n" +  // 8: open quote
                                      good2);
  // Without --keep-going a manifest with bad lines runs nothing.
  Result r = Cli({"batch", Q(dir.File("jobs.tsv"))});
  EXPECT_EQ(r.code, 1);
  for (const char* line : {"jobs.tsv:3: a batch runs cut, split", "jobs.tsv:4: cut does not take --every",
                           "jobs.tsv:5: writes the target of line 2", "jobs.tsv:8: a quote in the options is not closed"})
    EXPECT_NE(r.err.find(line), std::string::npos) << line << "\n" << r.err;
  EXPECT_NE(r.err.find("nothing was run"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::is_empty(out));

  r = Cli({"batch", Q(dir.File("jobs.tsv")), "--keep-going", "--jobs", "2"});
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.out.find("8 jobs: 2 done, 0 skipped, 6 failed"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("failed: " + dir.File("jobs.tsv") + ":6: no such file: " + dir.File("none.wav")),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(":7: "), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("6 of 8 jobs of " + dir.File("jobs.tsv") + " failed"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(out + "/a.wav"));
  EXPECT_TRUE(fs::exists(out + "/b.flac"));
  EXPECT_FALSE(fs::exists(out + "/f.wav"));
  EXPECT_TRUE(Leftovers(out).empty());

  // Without --keep-going a failing job stops the batch: what follows is not run.
  WriteText(dir.File("stop.jsonl"), "{\"command\": \"cut\", \"source\": \"" + dir.File("none.wav") + "\", \"target\": \"" +
                                        out + "/g.wav\", \"options\": [\"--start\", \"0\", \"--end\", \"1\"]}\n"
                                        "{\"command\": \"encode\", \"source\": \"" + sources.wav + "\", \"target\": \"" +
                                        out + "/h.flac\"}\n");
  r = Cli({"batch", Q(dir.File("stop.jsonl")), "--jobs", "1"});
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.out.find("2 jobs: 0 done, 0 skipped, 1 failed, 1 not run"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(out + "/h.flac"));
}

TEST(Batch, AJobWaitsForTheJobThatMakesItsSource) {
  TempDir dir;
  const Sources sources(dir);
  const std::string cut = dir.File("cut.wav"), flac = dir.File("cut.flac"), again = dir.File("again.flac"),
                    alone = dir.File("alone.flac");
  WriteText(dir.File("jobs.jsonl"),
            "{\"command\": \"encode\", \"source\": \"" + cut + "\", \"target\": \"" + flac + "\"}\n"
            "{\"command\": \"cut\", \"source\": \"" + sources.wav + "\", \"target\": \"" + cut +
                "\", \"options\": {\"start\": \"1\", \"end\": \"3\"}}\n"
            "{\"command\": \"encode\", \"source\": \"" + cut + "\", \"target\": \"" + again + "\"}\n");
  // The first line reads the cut before any line makes it: it fails; the third waits for the second.
  const Result r = Cli({"batch", Q(dir.File("jobs.jsonl")), "--jobs", "3", "--keep-going"});
  EXPECT_EQ(r.code, 4) << r.out;
  EXPECT_NE(r.out.find("3 jobs: 2 done, 0 skipped, 1 failed"), std::string::npos) << r.out;
  ASSERT_EQ(Cli({"encode", Q(cut), Q(alone), "--quiet"}).code, 0);
  EXPECT_EQ(ReadFile(again), ReadFile(alone));

  // A job whose source's maker failed fails too, naming that line.
  WriteText(dir.File("broken.jsonl"),
            "{\"command\": \"cut\", \"source\": \"" + sources.wav + "\", \"target\": \"" + dir.File("x.wav") +
                "\", \"options\": {\"start\": \"99\", \"end\": \"100\"}}\n"
            "{\"command\": \"encode\", \"source\": \"" + dir.File("x.wav") + "\", \"target\": \"" + dir.File("x.flac") + "\"}\n");
  const Result broken = Cli({"batch", Q(dir.File("broken.jsonl")), "--keep-going"});
  EXPECT_EQ(broken.code, 4);
  EXPECT_NE(broken.out.find(":2: its source is the target of line 1, which was not made"), std::string::npos) << broken.out;
}

TEST(Batch, PartsOfAManifestTogetherDoEveryJobOnce) {
  TempDir dir;
  const Sources sources(dir);
  std::string manifest = "command\tsource\ttarget\toptions\n";
  for (int i = 0; i < 7; ++i)
    manifest += "cut\t" + sources.wav + "\t" + dir.File("c" + std::to_string(i) + ".wav") + "\t--start " +
                std::to_string(i * 0.5) + " --end " + std::to_string(i * 0.5 + 0.25) + "\n";
  WriteText(dir.File("jobs.tsv"), manifest);
  const Result first = Cli({"batch", Q(dir.File("jobs.tsv")), "--part", "0/3"});
  ASSERT_EQ(first.code, 0) << first.err;
  EXPECT_NE(first.out.find("3 jobs: 3 done"), std::string::npos) << first.out;  // jobs 0, 3 and 6
  for (int i = 0; i < 7; ++i) EXPECT_EQ(fs::exists(dir.File("c" + std::to_string(i) + ".wav")), i % 3 == 0) << i;
  for (const char* part : {"1/3", "2/3"}) ASSERT_EQ(Cli({"batch", Q(dir.File("jobs.tsv")), "--part", part}).code, 0);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(WavSamples(dir.File("c" + std::to_string(i) + ".wav")).size(), 2u * 11025) << i;
  EXPECT_EQ(Cli({"batch", Q(dir.File("jobs.tsv")), "--part", "3/3"}).code, 1);
  EXPECT_EQ(Cli({"batch", Q(dir.File("jobs.tsv")), "--part", "1"}).code, 1);
}

TEST(Batch, AnInterruptedBatchLeavesNoTemporaryFileAndRunsAgainForWhatIsLeft) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer holds signal handlers back until its own safe points";
#endif
  TempDir dir;
  const std::string longWav = dir.File("long.wav"), out = dir.File("out");
  fs::create_directory(out);
  ASSERT_EQ(RunTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(longWav), "synth", "240", "pinknoise"}), 0);
  // Two short jobs that end first, then three long ones, on two workers.
  std::string manifest;
  for (int i = 0; i < 2; ++i)
    manifest += "{\"command\": \"cut\", \"source\": \"" + longWav + "\", \"target\": \"" + out + "/" +
                std::to_string(i) + ".wav\", \"options\": {\"start\": 0, \"end\": 1}}\n";
  for (int i = 0; i < 3; ++i)
    manifest += "{\"command\": \"encode\", \"source\": \"" + longWav + "\", \"target\": \"" + out + "/" +
                std::to_string(i) + ".mp3\", \"options\": {\"bitrate\": 320}}\n";
  WriteText(dir.File("jobs.jsonl"), manifest);
  for (const int signal : {SIGTERM, SIGINT}) {
    QProcess batch;
    batch.start(CLIPWRIGHT_CLI, {"batch", Q(dir.File("jobs.jsonl")), "--jobs", "2", "--progress", "json"});
    ASSERT_TRUE(batch.waitForStarted());
    // Stopped once the cuts are done and the encodes under way: a running
    // job's progress shows beyond the share of the jobs ended.
    std::string said;
    for (bool underWay = false; !underWay && batch.state() == QProcess::Running;) {
      batch.waitForReadyRead(2000);
      said += batch.readAllStandardError().toStdString();
      for (const QString& line : QString::fromStdString(said).split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        underWay = underWay || (object["done"].toInt() >= 2 &&
                                object["progress"].toDouble() > object["done"].toDouble() / 5 + 0.02);
      }
    }
    ASSERT_EQ(batch.state(), QProcess::Running) << said;
    ASSERT_TRUE(SignalProcess(batch, signal));
    ASSERT_TRUE(batch.waitForFinished(60000));
    EXPECT_EQ(batch.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(batch.exitCode(), 128 + signal) << said << batch.readAllStandardError().toStdString();
    // The jobs the stop ended were stopped, not failed.
    const std::string summary = batch.readAllStandardOutput().toStdString();
    EXPECT_NE(summary.find(" 0 failed, 2 stopped, 1 not run"), std::string::npos) << summary;
    EXPECT_TRUE(Leftovers(out).empty());
  }
  const size_t before = static_cast<size_t>(std::distance(fs::directory_iterator(out), fs::directory_iterator()));
  const Result rest = Cli({"batch", Q(dir.File("jobs.jsonl"))});
  ASSERT_EQ(rest.code, 0) << rest.err;
  EXPECT_NE(rest.out.find(std::to_string(5 - before) + " done, " + std::to_string(before) + " skipped"),
            std::string::npos)
      << rest.out;
  EXPECT_GE(before, 2u);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(fs::exists(out + "/" + std::to_string(i) + ".mp3"));
}

TEST(Batch, ADryRunOfManyLinesWritesNothingAndShowsTheWords) {
  TempDir dir;
  const Sources sources(dir);
  WriteText(dir.File("jobs.tsv"), "options\ttarget\tcommand\tsource\n"  // columns in any order
                                  "--at 1,2 --name \"my \\\"best\\\" {n}\"\t" + dir.File("pieces") + "\tsplit\t" + sources.wav + "\n");
  const Result r = Cli({"batch", Q(dir.File("jobs.tsv")), "--dry-run"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("--name 'my \"best\" {n}'"), std::string::npos) << r.out;
  // JSON numbers as they were written; a quote inside a word quoted as a shell takes it.
  WriteText(dir.File("numbers.jsonl"), "{\"command\": \"cut\", \"source\": \"it's.wav\", \"target\": \"b.wav\", "
                                       "\"options\": {\"start\": 0.1, \"end\": 2}}\n");
  const Result numbers = Cli({"batch", Q(dir.File("numbers.jsonl")), "--dry-run"});
  EXPECT_NE(numbers.out.find("run: clipwright-cli cut --end 2 --start 0.1 -- 'it'\\''s.wav' b.wav"), std::string::npos)
      << numbers.out;
  // More workers than cores: each job's MP3 encoder gets one thread.
  const Result many = Cli({"batch", Q(dir.File("jobs.tsv")), "--dry-run", "--jobs", "512"});
  EXPECT_NE(many.out.find("512 at once, MP3 encoding on 1 thread each"), std::string::npos) << many.out;
  cpu_set_t cores;
  ASSERT_EQ(sched_getaffinity(0, sizeof cores, &cores), 0);
  const Result one = Cli({"batch", Q(dir.File("jobs.tsv")), "--dry-run", "--jobs", "1"});
  EXPECT_NE(one.out.find("1 at once, MP3 encoding on " + std::to_string(CPU_COUNT(&cores))),
            std::string::npos)
      << one.out;
  EXPECT_FALSE(fs::exists(dir.File("pieces")));

  // A spreadsheet's TSV: a byte order mark and CRLF line ends.
  WriteText(dir.File("sheet.tsv"), "\xEF\xBB\xBF" "command\tsource\ttarget\toptions\r\ncut\t" + sources.wav + "\t" +
                                       dir.File("c.wav") + "\t--start 1 --end 2\r\n");
  const Result sheet = Cli({"batch", Q(dir.File("sheet.tsv")), "--dry-run"});
  EXPECT_EQ(sheet.code, 0) << sheet.err;
  EXPECT_NE(sheet.out.find("sheet.tsv:2: run: clipwright-cli cut --start 1 --end 2 -- " + sources.wav + " " + dir.File("c.wav") + "\n"),
            std::string::npos)
      << sheet.out;

  WriteText(dir.File("header.tsv"), "command\tsource\tfile\n");
  const Result header = Cli({"batch", Q(dir.File("header.tsv")), "--dry-run"});
  EXPECT_EQ(header.code, 2);
  EXPECT_NE(header.err.find("header.tsv: line 1: the header names a column \"file\""), std::string::npos) << header.err;
  EXPECT_EQ(Cli({"batch", Q(dir.File("missing.tsv"))}).code, 2);
  // A manifest on stdin, as GNU parallel hands one over.
  QProcess piped;
  piped.start(CLIPWRIGHT_CLI, {"batch", "-", "--dry-run"});
  piped.write(("{\"command\": \"encode\", \"source\": \"" + sources.wav + "\", \"target\": \"x.flac\"}\n").c_str());
  piped.closeWriteChannel();
  ASSERT_TRUE(piped.waitForFinished(30000));
  EXPECT_EQ(piped.exitCode(), 0);
  EXPECT_NE(piped.readAllStandardOutput().toStdString().find("stdin:1: run: clipwright-cli encode -- " + sources.wav + " x.flac"),
            std::string::npos);
}
