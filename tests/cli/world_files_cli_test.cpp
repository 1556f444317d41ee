// Files as other programs write them (sox, flac, FFmpeg's encoders and
// muxers), and the damage they are left with: read whole and placed right,
// or refused saying why. Checked against FFmpeg's own decode.
#include <gtest/gtest.h>

#include <QProcess>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/cli/CliRun.h"
#include "tests/support/RunTool.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/TempDir.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

std::vector<uint8_t> Read(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

void PutLe(std::vector<uint8_t>& bytes, size_t at, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

class WorldFiles : public ::testing::Test {
 protected:
  /// Music-like stereo audio at 44.1 kHz: pink noise under a tone whose level comes and goes.
  std::string Music(double seconds) {
    const std::string file = dir.File("music.wav");
    EXPECT_EQ(RunTool("sox", {"-R", "-n", "-r", "44100", "-c", "2", "-b", "16", Q(file), "synth", QString::number(seconds),
                           "pinknoise", "synth", QString::number(seconds), "sine", "mix", "440", "tremolo", "3", "80",
                           "vol", "0.5"}),
              0);
    return file;
  }

  /// What `info` says of the file; fails the test when it refuses.
  std::string Info(const std::string& file) {
    const Result r = Cli({"info", Q(file)});
    EXPECT_EQ(r.code, 0) << r.err;
    return r.out;
  }

  /// The file read whole by our reader and FFmpeg: the same count, the same
  /// samples (within `tolerance` 16-bit steps: float samples are rounded
  /// to 16 bits by each in its own way).
  void ExpectReadAsFfmpegReadsIt(const std::string& file, int tolerance = 0) {
    SCOPED_TRACE(file);
    const std::vector<int16_t> reference = DecodeWithFfmpeg(file);
    const std::string info = Info(file);
    const int64_t channels = std::stoll(InfoValue(info, "channels"));
    EXPECT_EQ(std::stoll(InfoValue(info, "total_samples")), static_cast<int64_t>(reference.size()) / channels);
    const std::string wav = dir.File("decoded.wav");
    const Result r = Cli({"decode", Q(file), Q(wav), "--force", "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<int16_t> ours = DecodeWithFfmpeg(wav);
    ASSERT_EQ(ours.size(), reference.size());
    int worst = 0;
    for (size_t i = 0; i < ours.size(); ++i) worst = std::max(worst, std::abs(ours[i] - reference[i]));
    EXPECT_LE(worst, tolerance);
  }

  TempDir dir;
};

TEST_F(WorldFiles, FlacWithJunkBeforeItsFirstFrameIsCutFromTheRightPlace) {
  const std::string wav = Music(12), flac = dir.File("clean.flac");
  ASSERT_EQ(RunTool("flac", {"-s", "-f", Q(wav), "-o", Q(flac)}), 0);
  std::vector<uint8_t> bytes = Read(flac);
  size_t at = 4;
  for (bool last = false; !last;) {
    last = (bytes[at] & 0x80) != 0;
    at += 4 + (size_t{bytes[at + 1]} << 16 | size_t{bytes[at + 2]} << 8 | bytes[at + 3]);
  }
  std::vector<uint8_t> junk(94);
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i);
  bytes.insert(bytes.begin() + static_cast<long>(at), junk.begin(), junk.end());
  const std::string damaged = dir.File("junk.flac");
  Write(damaged, bytes);

  const std::vector<int16_t> source = DecodeWithFfmpeg(wav);
  const std::string cut = dir.File("cut.flac");
  const Result r = Cli({"cut", Q(damaged), Q(cut), "--start", "5", "--end", "10", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<int16_t> piece = DecodeWithFfmpeg(cut);
  ASSERT_EQ(piece.size(), size_t{220500} * 2);
  EXPECT_TRUE(std::equal(piece.begin(), piece.end(), source.begin() + 220500 * 2));

  const std::string decoded = dir.File("decoded.wav");
  ASSERT_EQ(Cli({"decode", Q(damaged), Q(decoded), "--quiet"}).code, 0);
  EXPECT_TRUE(DecodeWithFfmpeg(decoded) == source);
}

TEST_F(WorldFiles, AdtsIsCountedByItsFramesNotByItsBitRate) {
  // A tone: its bit rate is far from the one FFmpeg's length estimate assumes.
  const std::string tone = dir.File("tone.wav"), aac = dir.File("tone.aac");
  ASSERT_EQ(RunTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(tone), "synth", "10", "sine", "440", "vol", "0.5"}), 0);
  ASSERT_EQ(RunFfmpeg({"-i", Q(tone), "-c:a", "aac", "-f", "adts", Q(aac)}), 0);
  ExpectReadAsFfmpegReadsIt(aac);
  EXPECT_EQ(InfoValue(Info(aac), "container"), "adts");
}

TEST_F(WorldFiles, AsfPlayDurationsOffByAFewFramesAreNotBelieved) {
  const std::string wav = Music(4), wma = dir.File("clean.wma");
  ASSERT_EQ(RunFfmpeg({"-i", Q(wav), "-c:a", "wmav2", "-b:a", "128k", Q(wma)}), 0);
  constexpr uint8_t kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                           0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  for (const int64_t shift : {-500000, -50000, 300000}) {  // 100 ns units
    SCOPED_TRACE(shift);
    std::vector<uint8_t> bytes = Read(wma);
    const auto object = std::search(bytes.begin(), bytes.end(), std::begin(kFileProperties), std::end(kFileProperties));
    ASSERT_NE(object, bytes.end());
    const auto at = static_cast<size_t>(object - bytes.begin());
    for (const size_t field : {at + 64, at + 72}) {  // play and send duration
      uint64_t value = 0;
      std::memcpy(&value, &bytes[field], 8);
      PutLe(bytes, field, value + static_cast<uint64_t>(shift), 8);
    }
    const std::string patched = dir.File("patched.wma");
    Write(patched, bytes);
    ExpectReadAsFfmpegReadsIt(patched);
  }
}

TEST_F(WorldFiles, WmaTrackNumbersCountFromOneAsPlayersShowThem) {
  const std::string wav = Music(2);
  const struct {
    const char* name;
    const char* metadata;
  } files[] = {{"zero_based.wma", "WM/Track=5"}, {"one_based.wma", "track=6"}};
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    const std::string wma = dir.File(file.name), cut = dir.File("cut.wma");
    ASSERT_EQ(RunFfmpeg({"-i", Q(wav), "-c:a", "wmav2", "-metadata", file.metadata, Q(wma)}), 0);
    EXPECT_EQ(InfoValue(Info(wma), "track"), "6");
    ASSERT_EQ(Cli({"cut", Q(wma), Q(cut), "--start", "0.5", "--end", "1.5", "--force", "--quiet"}).code, 0);
    EXPECT_EQ(InfoValue(Info(cut), "track"), "6");
  }
}

TEST_F(WorldFiles, WavFilesOfEveryKindPeopleBringAreReadWhole) {
  const std::string wav = Music(3);
  const std::vector<std::pair<std::string, QStringList>> bySox = {
      {"alaw.wav", {"-e", "a-law"}}, {"ulaw.wav", {"-e", "u-law"}}, {"u8.wav", {"-b", "8"}},
      {"f64.wav", {"-b", "64", "-e", "floating-point"}}, {"s24.wav", {"-b", "24"}}};
  for (const auto& [name, options] : bySox) {
    ASSERT_EQ(RunTool("sox", QStringList{Q(wav)} + options + QStringList{Q(dir.File(name))}), 0);
    ExpectReadAsFfmpegReadsIt(dir.File(name), name == "f64.wav" ? 1 : 0);
  }
  EXPECT_EQ(InfoValue(Info(dir.File("alaw.wav")), "type"), "wtALaw");
  EXPECT_EQ(InfoValue(Info(dir.File("ulaw.wav")), "type"), "wtMuLaw");

  const std::string rf64 = dir.File("rf64.wav");
  ASSERT_EQ(RunFfmpeg({"-i", Q(wav), "-c:a", "pcm_s24le", "-rf64", "always", Q(rf64)}), 0);
  ExpectReadAsFfmpegReadsIt(rf64);
  std::vector<uint8_t> bytes = Read(rf64);
  std::memcpy(bytes.data(), "BW64", 4);
  Write(dir.File("bw64.wav"), bytes);
  ExpectReadAsFfmpegReadsIt(dir.File("bw64.wav"));
}

TEST_F(WorldFiles, AWavWhoseSizesWereNeverFilledInIsReadToItsEnd) {
  const std::string wav = Music(3);
  const std::vector<int16_t> whole = DecodeWithFfmpeg(wav);
  for (const uint32_t size : {0u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> bytes = Read(wav);
    const auto data = std::search(bytes.begin(), bytes.end(), "data", "data" + 4);
    PutLe(bytes, static_cast<size_t>(data - bytes.begin()) + 4, size, 4);
    PutLe(bytes, 4, size, 4);
    const std::string killed = dir.File("killed.wav");
    Write(killed, bytes);
    const std::string info = Info(killed);
    EXPECT_EQ(InfoValue(info, "total_samples"), std::to_string(whole.size() / 2));
    EXPECT_NE(InfoValue(info, "note").find("never filled in"), std::string::npos) << info;
    const std::string cut = dir.File("cut.wav");
    ASSERT_EQ(Cli({"cut", Q(killed), Q(cut), "--start", "2", "--end", "3", "--force", "--quiet"}).code, 0);
    const std::vector<int16_t> piece = DecodeWithFfmpeg(cut);
    ASSERT_EQ(piece.size(), size_t{44100} * 2);
    EXPECT_TRUE(std::equal(piece.begin(), piece.end(), whole.begin() + 88200 * 2));
  }
}

TEST_F(WorldFiles, AiffAndAifcAreReadAndCutSampleForSample) {
  const std::string wav = Music(3);
  const std::vector<int16_t> whole = DecodeWithFfmpeg(wav);
  for (const std::string name : {"sox.aiff", "sox24.aif", "sox.aifc"}) {
    SCOPED_TRACE(name);
    QStringList arguments{Q(wav)};
    if (name == "sox24.aif") arguments << "-b" << "24";
    ASSERT_EQ(RunTool("sox", arguments << Q(dir.File(name))), 0);
    ExpectReadAsFfmpegReadsIt(dir.File(name));
    const std::string cut = dir.File("cut.aiff");
    const Result r = Cli({"cut", Q(dir.File(name)), Q(cut), "--start", "1", "--end", "2", "--force", "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<int16_t> piece = DecodeWithFfmpeg(cut);
    ASSERT_EQ(piece.size(), size_t{44100} * 2);
    EXPECT_TRUE(std::equal(piece.begin(), piece.end(), whole.begin() + 44100 * 2));
    EXPECT_EQ(InfoValue(Info(name == "sox24.aif" ? dir.File(name) : cut), "bits_per_sample"),
              name == "sox24.aif" ? "32" : "16");
  }
}

TEST_F(WorldFiles, InfoNamesTheCodecAndTheContainerNotTheExtensionsGuess) {
  const std::string wav = Music(2);
  const struct {
    const char* name;
    QStringList options;
    const char* codec;
    const char* container;
  } files[] = {{"opus.ogg", {"-c:a", "libopus"}, "opus", "ogg"},
               {"flac.oga", {"-c:a", "flac"}, "flac", "ogg"},
               {"alac.m4a", {"-c:a", "alac"}, "alac", "mp4"},
               {"ac3.m4a", {"-c:a", "ac3", "-f", "mp4"}, "ac3", "mp4"},
               {"book.m4b", {"-c:a", "aac", "-f", "ipod"}, "aac", "mp4"}};
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    ASSERT_EQ(RunFfmpeg(QStringList{"-i", Q(wav)} + file.options + QStringList{Q(dir.File(file.name))}), 0);
    const std::string info = Info(dir.File(file.name));
    EXPECT_EQ(InfoValue(info, "codec"), file.codec);
    EXPECT_EQ(InfoValue(info, "container"), file.container);
    EXPECT_EQ(InfoValue(info, "sample_rate"), file.codec == std::string("opus") ? "48000" : "44100");
  }
}

TEST_F(WorldFiles, ACueSheetWithoutAFinalLineBreakIsRead) {
  const std::string wav = Music(3), cue = dir.File("album.cue");
  const std::string sheet = "FILE \"music.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"One\"\n    INDEX 01 00:00:00\n"
                            "  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:01:00";
  Write(cue, {sheet.begin(), sheet.end()});
  const std::string folder = dir.File("pieces");
  std::filesystem::create_directory(folder);
  const Result r = Cli({"split", Q(wav), Q(folder), "--cue", Q(cue), "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(DecodeWithFfmpeg(folder + "/music_1.wav").size(), size_t{44100} * 2);
  EXPECT_EQ(DecodeWithFfmpeg(folder + "/music_2.wav").size(), size_t{44100} * 2 * 2);
}

TEST_F(WorldFiles, ASplitIntoThousandsOfPiecesIsRefusedSayingHowManyAndHowLong) {
  const std::string wav = Music(3.5), folder = dir.File("pieces");
  std::filesystem::create_directory(folder);
  Result r = Cli({"split", Q(wav), Q(folder), "--every", "1s"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("154350 pieces of about 1 sample"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--max-pieces"), std::string::npos) << r.err;
  EXPECT_TRUE(std::filesystem::is_empty(folder));

  r = Cli({"split", Q(wav), Q(folder), "--every", "0.5", "--max-pieces", "6"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("7 pieces of about 0.500 s"), std::string::npos) << r.err;
  r = Cli({"split", Q(wav), Q(folder), "--every", "0.5", "--max-pieces", "7", "--quiet"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 7);
}

TEST_F(WorldFiles, RefusalsNameTheFileAndTheCause) {
  const std::string empty = dir.File("empty.wav");
  const std::vector<uint8_t> header = {'R', 'I', 'F', 'F', 36, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                                       1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 'd', 'a', 't', 'a',
                                       0, 0, 0, 0};
  Write(empty, header);
  std::vector<uint8_t> noData(header.begin(), header.end() - 8);
  PutLe(noData, 4, 28, 4);
  Write(dir.File("nodata.wav"), noData);
  std::vector<uint8_t> noFrames = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10};
  noFrames.resize(4096);
  Write(dir.File("noframes.mp3"), noFrames);
  const std::string wav = Music(2), m4a = dir.File("whole.m4a");
  ASSERT_EQ(RunFfmpeg({"-i", Q(wav), "-c:a", "aac", Q(m4a)}), 0);
  std::vector<uint8_t> bytes = Read(m4a);
  bytes.resize(bytes.size() * 2 / 3);  // the index at the end is gone
  Write(dir.File("short.m4a"), bytes);

  const struct {
    std::string file, cause;
  } cases[] = {{empty, "the file holds no samples"},
               {dir.File("nodata.wav"), "no \"data\" chunk"},
               {dir.File("noframes.mp3"), "no MPEG audio frame was found"},
               {dir.File("short.m4a"), "not a M4A file this program can read ("}};
  for (const auto& [file, cause] : cases) {
    SCOPED_TRACE(file);
    const Result r = Cli({"info", Q(file)});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find(cause), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(file), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

}  // namespace
