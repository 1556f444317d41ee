// Cutting a file into pieces: the boundaries, cue sheets, silences, names,
// and the pieces the tool writes.
#include <gtest/gtest.h>

#include <QProcess>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/jobs/Job.h"
#include "app/jobs/SplitPlan.h"
#include "audio/peaks/Silences.h"
#include "platform/CueSheet.h"
#include "tests/cli/CliRun.h"
#include "audio/ACS_WinMedia.h"
#include "tests/audio/InputRun.h"
#include "tests/support/Alignment.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/Mpg123Decode.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WavBuilder.h"
#include "tests/support/WmaEncoder.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::vector<int64_t> Starts(const std::vector<SplitPiece>& pieces) {
  std::vector<int64_t> starts;
  for (const SplitPiece& piece : pieces) starts.push_back(piece.range.startSample);
  return starts;
}

TEST(SplitPlan, BoundariesAreSortedOnceAndInsideTheFile) {
  const auto pieces = PiecesAt({3000, 0, 1000, 3000, 10000, 12000}, 10000);
  EXPECT_EQ(Starts(pieces), (std::vector<int64_t>{0, 1000, 3000}));
  EXPECT_EQ(pieces.back().range.endSample, 9999);
  EXPECT_EQ(pieces[0].range.endSample, 999);
  EXPECT_THROW(PiecesAt({0, 10000}, 10000), JobRefused);  // no boundary inside: one piece
  EXPECT_EQ(BoundariesEvery(3000, 10000), (std::vector<int64_t>{3000, 6000, 9000}));
  EXPECT_EQ(BoundariesEvery(5000, 10000), (std::vector<int64_t>{5000}));
}

TEST(SplitPlan, PieceNames) {
  SplitPiece piece;
  piece.title = "AC/DC live";
  piece.artist = "Band";
  EXPECT_EQ(PieceName("{source}_{n}", piece, 3, 12, "/music/long.mp3"), "long_03.mp3");
  EXPECT_EQ(PieceName("{n} {artist} - {title}", piece, 7, 9, "/a/b.WAV"), "7 Band - AC_DC live.WAV");
  EXPECT_EQ(PieceName("{n}", piece, 100, 100, "x.wav"), "100.wav");
}

/// Writes a cue sheet; returns its name.
std::string WriteCue(const std::string& name, const std::string& text) {
  std::ofstream(name) << text;
  return name;
}

TEST(SplitPlan, CueSheetsInFramesOfASeventyFifthOfASecond) {
  TempDir dir;
  const std::string cue = WriteCue(dir.File("album.cue"),
                                   "PERFORMER \"The Band\"\nTITLE \"Album\"\nFILE \"album.wav\" WAVE\n"
                                   "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
                                   "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    PERFORMER \"Guest\"\n    INDEX 00 00:01:00\n"
                                   "    INDEX 01 00:01:37\n"
                                   "  TRACK 03 AUDIO\n    TITLE \"Three\"\n    INDEX 01 00:03:01\n");
  const media::CueSheet sheet = media::ReadCueSheet(cue);
  ASSERT_EQ(sheet.tracks.size(), 3u);
  const auto pieces = PiecesOfCueSheet(sheet, cue, dir.File("album.wav"), 44100, 44100 * 5);
  // 1 s + 37/75 s = 65856 frames exactly; 3 s + 1/75 s = 132888.
  EXPECT_EQ(Starts(pieces), (std::vector<int64_t>{0, 65856, 132888}));
  EXPECT_EQ(pieces[1].range.endSample, 132887);
  EXPECT_EQ(pieces[2].range.endSample, 44100 * 5 - 1);
  EXPECT_EQ(pieces[0].title, "One");
  EXPECT_EQ(pieces[0].artist, "The Band");  // the album's performer
  EXPECT_EQ(pieces[1].artist, "Guest");
  EXPECT_EQ(pieces[2].track, 3);
  EXPECT_EQ(pieces[2].tracks, 3);
  // 48 kHz: 37/75 s = 23680 frames.
  EXPECT_EQ(PiecesOfCueSheet(sheet, cue, dir.File("album.wav"), 48000, 48000 * 5)[1].range.startSample, 48000 + 23680);

  try {
    PiecesOfCueSheet(sheet, cue, dir.File("other.wav"), 44100, 44100 * 5);
    FAIL() << "a sheet for another file was taken";
  } catch (const JobRefused& e) {
    EXPECT_NE(std::string(e.what()).find("the cue sheet is for album.wav, not for other.wav"), std::string::npos) << e.what();
  }
  try {
    PiecesOfCueSheet(sheet, cue, dir.File("album.wav"), 44100, 44100 * 3);
    FAIL() << "a track past the end was taken";
  } catch (const JobRefused& e) {
    EXPECT_NE(std::string(e.what()).find("track 3"), std::string::npos) << e.what();
  }
  EXPECT_THROW(media::ReadCueSheet(WriteCue(dir.File("empty.cue"), "nothing here\n")), Error);
  EXPECT_THROW(media::ReadCueSheet(dir.File("missing.cue")), Error);
}

/// 16-bit stereo at 8 kHz: a tone at -20 dBFS, with silences (a level and a
/// length each) put in at known frames.
struct Quiet {
  int64_t start;
  int64_t frames;
  double db;
};
std::string WriteWithSilences(const std::string& name, int64_t total, const std::vector<Quiet>& quiet) {
  std::vector<int16_t> samples(static_cast<size_t>(total * 2));
  for (int64_t f = 0; f < total; ++f) {
    double amplitude = 3277;  // -20 dBFS
    for (const Quiet& q : quiet)
      if (f >= q.start && f < q.start + q.frames) amplitude = 32768 * std::pow(10.0, q.db / 20);
    const auto value = static_cast<int16_t>(std::lround(amplitude * std::sin(f * 0.7)));
    samples[static_cast<size_t>(2 * f)] = samples[static_cast<size_t>(2 * f + 1)] = value;
  }
  std::vector<uint8_t> data(samples.size() * 2);
  std::memcpy(data.data(), samples.data(), data.size());
  WriteBytes(name, WavBuilder().Format(1, 2, 8000, 4, 16).Chunk("data", data).Build());
  return name;
}

TEST(Silences, RunsUnderTheThresholdForLongEnoughAreFound) {
  TempDir dir;
  const int64_t total = 8000 * 20;
  const std::string wav = WriteWithSilences(
      dir.File("speech.wav"), total,
      {{8000, 2400, -70},      // 0.3 s: too short
       {32000, 4800, -70},     // 0.6 s
       {64000, 9600, -200},    // 1.2 s of digital silence
       {96000, 8000, -45},     // 1 s, but louder than -50 dBFS
       {120000, 4000, -60}});  // exactly 0.5 s
  for (const int threads : {1, 3}) {
    const auto found = FindSilences(wav, 2, 8000, total, -50, 0.5, threads);
    ASSERT_EQ(found.size(), 3u) << threads;
    // Within a 10 ms window of each edge.
    EXPECT_NEAR(found[0].start, 32000, 80);
    EXPECT_NEAR(found[0].end, 36800, 80);
    EXPECT_NEAR(found[1].start, 64000, 80);
    EXPECT_NEAR(found[1].end, 73600, 80);
    EXPECT_NEAR(found[2].start, 120000, 80);
    const auto middles = MiddlesOfSilences(found, total);
    EXPECT_NEAR(middles[1], 68800, 80);
  }
  // A stricter threshold finds only the digital silence.
  EXPECT_EQ(FindSilences(wav, 2, 8000, total, -100, 0.5, 2).size(), 1u);
  // Silence that starts or ends the file gives no boundary.
  EXPECT_TRUE(MiddlesOfSilences({{0, 800}, {total - 800, total}}, total).empty());
}

TEST(Silences, ShrunkTheyKeepWhatIsAskedAndTheSoundBetweenIsTheRest) {
  const int64_t total = 10000;
  const std::vector<SilentRun> silences = {{0, 1000}, {3000, 4000}, {6000, 6100}, {9000, 10000}};
  // Half of 200 at each side; at the file's ends only on the sound's side; 100 frames leave nothing.
  const auto shrunk = ShrinkSilences(silences, total, 200);
  ASSERT_EQ(shrunk.size(), 3u);
  EXPECT_EQ(shrunk[0].start, 0);
  EXPECT_EQ(shrunk[0].end, 900);
  EXPECT_EQ(shrunk[1].start, 3100);
  EXPECT_EQ(shrunk[1].end, 3900);
  EXPECT_EQ(shrunk[2].start, 9100);
  EXPECT_EQ(shrunk[2].end, 10000);
  const auto sound = SoundBetween(shrunk, total);
  ASSERT_EQ(sound.size(), 2u);
  EXPECT_EQ(sound[0].start, 900);
  EXPECT_EQ(sound[0].end, 3100);
  EXPECT_EQ(sound[1].start, 3900);
  EXPECT_EQ(sound[1].end, 9100);
  EXPECT_EQ(ShrinkSilences(silences, total, 0).size(), 4u);
}

/// The frames [from, to) of interleaved stereo samples.
std::vector<int16_t> Frames(const std::vector<int16_t>& samples, int64_t from, int64_t to) {
  return {samples.begin() + from * 2, samples.begin() + to * 2};
}

TEST(Silences, RemovingAndSplittingAtThemNeverTakesASampleOfSound) {
  TempDir dir;
  const int64_t total = 8000 * 10;
  // Digital silence at 3-4 s and 7-8 s (on 10 ms windows, so found to the frame).
  const std::string wav = WriteWithSilences(dir.File("speech.wav"), total, {{24000, 8000, -200}, {56000, 8000, -200}});
  const std::vector<int16_t> source = WavSamples(wav);
  auto joined = [&](std::initializer_list<std::pair<int64_t, int64_t>> spans) {
    std::vector<int16_t> all;
    for (const auto& [from, to] : spans) {
      const auto part = Frames(source, from, to);
      all.insert(all.end(), part.begin(), part.end());
    }
    return all;
  };
  const std::string removed = dir.File("removed.wav");
  Result r = Cli({"remove", Q(wav), Q(removed), "--silences", "--keep", "0.2", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  // 0.1 s of each silence stays on each side; not a sample of the tone goes.
  EXPECT_EQ(WavSamples(removed), joined({{0, 24800}, {31200, 56800}, {63200, total}}));
  // Unasked, 0.3 s of each silence stays.
  r = Cli({"remove", Q(wav), Q(removed), "--silences", "--force", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(WavSamples(removed), joined({{0, 25200}, {30800, 57200}, {62800, total}}));

  // split --silence --keep: each piece keeps 0.1 s of the silences around it.
  const std::string folder = (std::filesystem::create_directory(dir.File("out")), dir.File("out"));
  r = Cli({"split", Q(wav), Q(folder), "--silence", "--keep", "0.2", "--name", "{n}", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(WavSamples(folder + "/1.wav"), joined({{0, 24800}}));
  EXPECT_EQ(WavSamples(folder + "/2.wav"), joined({{31200, 56800}}));
  EXPECT_EQ(WavSamples(folder + "/3.wav"), joined({{63200, total}}));

  // Misuse: both ways at once, --keep without silences, a file without silence.
  EXPECT_EQ(Cli({"remove", Q(wav), Q(removed), "--silences", "--range", "1-2", "--force"}).code, 1);
  EXPECT_EQ(Cli({"remove", Q(wav), Q(removed), "--range", "1-2", "--keep", "1", "--force"}).code, 1);
  EXPECT_EQ(Cli({"split", Q(wav), Q(folder), "--every", "2", "--keep", "1", "--force"}).code, 1);
  const std::string tone = WriteWithSilences(dir.File("tone.wav"), 8000, {});
  r = Cli({"remove", Q(tone), Q(removed), "--silences", "--force"});
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("found no silence to remove: " + tone), std::string::npos) << r.err;
}

class SplitCommand : public ::testing::Test {
 protected:
  TempDir dir;
  std::string source = WriteNumberedWav(dir.File("numbers.wav"), 8000 * 10);
  std::string folder = (std::filesystem::create_directory(dir.File("out")), dir.File("out"));
};

TEST_F(SplitCommand, WavPiecesPutTogetherAreTheSource) {
  const Result r = Cli({"split", Q(source), Q(folder), "--at", "00:00:02.5,1,7s", "--name", "piece {n}", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  std::vector<int16_t> joined;
  const std::vector<size_t> lengths = {7, 8000 - 7, 12000, 80000 - 20000};
  for (int n = 1; n <= 4; ++n) {
    const auto piece = WavSamples(folder + "/piece " + std::to_string(n) + ".wav");
    EXPECT_EQ(piece.size(), lengths[static_cast<size_t>(n - 1)]) << n;
    joined.insert(joined.end(), piece.begin(), piece.end());
  }
  EXPECT_EQ(joined, WavSamples(source));

  // Existing pieces are refused without --force, and nothing is written.
  const Result again = Cli({"split", Q(source), Q(folder), "--every", "3", "--name", "piece {n}"});
  EXPECT_EQ(again.code, 3);
  EXPECT_EQ(WavSamples(folder + "/piece 4.wav").size(), 60000u);
  const Result forced = Cli({"split", Q(source), Q(folder), "--every", "3", "--name", "piece {n}", "--force"});
  ASSERT_EQ(forced.code, 0) << forced.err;
  EXPECT_NE(forced.out.find(folder + "/piece 4.wav"), std::string::npos) << forced.out;  // the pieces are listed
  EXPECT_EQ(WavSamples(folder + "/piece 4.wav").size(), 8000u);

  // Durations in minutes and seconds too.
  const Result minutes = Cli({"split", Q(source), Q(folder), "--every", "0:04", "--name", "m{n}", "--quiet"});
  ASSERT_EQ(minutes.code, 0) << minutes.err;
  EXPECT_EQ(WavSamples(folder + "/m3.wav").size(), 16000u);  // the last 2 s
  EXPECT_EQ(Cli({"split", Q(source), Q(folder), "--at", "0,10"}).code, 1);                 // one piece only
  EXPECT_EQ(Cli({"split", Q(source), Q(folder), "--at", "1", "--every", "2"}).code, 1);   // two ways
  EXPECT_EQ(Cli({"split", Q(source), Q(dir.File("none")), "--at", "1"}).code, 1);          // no such folder
  EXPECT_EQ(Cli({"split", Q(source), Q(folder), "--at", "1", "--threshold", "-40"}).code, 1);
  // A file that is no cue sheet: one line, naming it (libcue's own complaints are kept off stderr).
  const std::string nonsense = WriteCue(dir.File("nonsense.cue"), "nothing here\n");
  const Result bad = Cli({"split", Q(source), Q(folder), "--cue", Q(nonsense)});
  EXPECT_EQ(bad.code, 2);
  EXPECT_EQ(bad.err.substr(0, bad.err.find('\n') + 1), "clipwright-cli: not a cue sheet with tracks: " + nonsense + "\n");
  EXPECT_EQ(bad.err.find("bad character"), std::string::npos) << bad.err;
}

TEST_F(SplitCommand, AFailureNamesThePieceAndLeavesNoPartOfIt) {
  std::string message;
  int code = 0;
  {
    const FileSizeLimit limit(40000);  // piece 1 (4 s, 64000 bytes) cannot be written whole
    const Result r = Cli({"split", Q(source), Q(folder), "--at", "1,5", "--quiet"});
    code = r.code;
    message = r.err;
  }
  EXPECT_EQ(code, 4);
  EXPECT_NE(message.find("piece 2 of 3"), std::string::npos) << message;
  EXPECT_NE(message.find("numbers_1.wav"), std::string::npos) << message;  // what was saved before it
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, (std::vector<std::string>{"numbers_1.wav"}));
}

TEST_F(SplitCommand, CueSheetPiecesCarryTheirTags) {
  const std::string mp3 = dir.File("album.mp3");
  WriteBytes(mp3, EncodeMp3(ToneSamples(44100 * 4, 2, 44100), 2, 44100, 128, true));
  const std::string cue = WriteCue(dir.File("album.cue"),
                                   "PERFORMER \"The Band\"\nFILE \"album.mp3\" MP3\n"
                                   "  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
                                   "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:02:00\n");
  const Result r = Cli({"split", Q(mp3), Q(folder), "--cue", Q(cue), "--name", "{n} {title}", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const Result info = Cli({"info", Q(folder + "/2 Two.mp3")});
  EXPECT_NE(info.out.find("title: Two\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("artist: The Band\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("track: 2/2\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("total_samples: 88200\n"), std::string::npos) << info.out;

  // Copied frames get the cue sheet's word too.
  const Result lossless =
      Cli({"split", Q(mp3), Q(folder), "--cue", Q(cue), "--name", "copy {n}", "--lossless", "--quiet"});
  ASSERT_EQ(lossless.code, 0) << lossless.err;
  const Result copied = Cli({"info", Q(folder + "/copy 1.mp3")});
  EXPECT_NE(copied.out.find("title: One\n"), std::string::npos) << copied.out;
  EXPECT_NE(copied.out.find("track: 1/2\n"), std::string::npos) << copied.out;
  EXPECT_NE(copied.out.find("total_samples: 88200\n"), std::string::npos) << copied.out;
}

TEST_F(SplitCommand, LosslessMp3PiecesDecodeToTheirRangesOfTheSource) {
  const std::string mp3 = dir.File("long.mp3");
  WriteBytes(mp3, EncodeMp3(ChirpSamples(44100 * 6, 2, 44100), 2, 44100, 128, true));
  const auto whole = DecodeWithMpg123(mp3);
  ASSERT_EQ(whole.size(), 2u * 44100 * 6);
  const Result r = Cli({"split", Q(mp3), Q(folder), "--at", "1.3,1.31,4.567", "--lossless", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<int64_t> bounds = {0, 57330, 57771, 201405, 44100 * 6};
  std::vector<int16_t> joined;
  for (int n = 1; n <= 4; ++n) {
    const auto piece = DecodeWithMpg123(folder + "/long_" + std::to_string(n) + ".mp3");
    const auto from = static_cast<size_t>(2 * bounds[static_cast<size_t>(n - 1)]);
    const auto to = static_cast<size_t>(2 * bounds[static_cast<size_t>(n)]);
    EXPECT_EQ(piece, std::vector<int16_t>(whole.begin() + static_cast<std::ptrdiff_t>(from),
                                          whole.begin() + static_cast<std::ptrdiff_t>(to)))
        << "piece " << n;
    joined.insert(joined.end(), piece.begin(), piece.end());
  }
  EXPECT_EQ(joined, whole);  // none lost or doubled at any boundary
}

}  // namespace

namespace {

std::vector<int16_t> DecodeWithOurInput(const std::string& file) {
  Sealed<TWMIn> input;
  input.SetFileName(file);
  return ReadRun(input);
}

TEST_F(SplitCommand, ReencodedWmaPiecesHaveExactLengthsAtLagZero) {
  const std::string wma = dir.File("talk.wma");
  WriteWma(wma, ChirpSamples(44100 * 8, 2, 44100), 2, 44100, 128000);
  const std::vector<int16_t> whole = DecodeWithOurInput(wma);
  const Result r = Cli({"split", Q(wma), Q(folder), "--at", "3.25", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto first = DecodeWithOurInput(folder + "/talk_1.wma"), second = DecodeWithOurInput(folder + "/talk_2.wma");
  EXPECT_EQ(first.size(), 2u * 143325);
  EXPECT_EQ(first.size() + second.size(), whole.size());
  EXPECT_EQ(BestLag(whole, 0, first, 2, 2500, 2000), 0);
  EXPECT_EQ(BestLag(whole, 143325, second, 2, 2500, 2000), 0);
}

}  // namespace
