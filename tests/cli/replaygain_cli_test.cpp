// ReplayGain 2.0 tags of cut and split results, read back with TagLib and
// checked against FFmpeg's measure of the results.
#include <gtest/gtest.h>

#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/mp4file.h>
#include <taglib/tpropertymap.h>

#include <QProcess>
#include <QRegularExpression>
#include <cmath>
#include <filesystem>
#include <string>

#include "tests/cli/CliRun.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDir.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

double FfmpegLoudness(const std::string& file) {
  QProcess ffmpeg;
  ffmpeg.start("ffmpeg", {"-nostdin", "-nostats", "-i", Q(file), "-af", "ebur128", "-f", "null", "-"});
  ffmpeg.waitForFinished(120000);
  const QString text = QString::fromUtf8(ffmpeg.readAllStandardError());
  const auto match = QRegularExpression(R"(I:\s*(-?[0-9.]+))").match(text.mid(text.lastIndexOf("Summary:")));
  return match.hasMatch() ? match.captured(1).toDouble() : NAN;
}

/// A property's first text, "" without it; of an M4A file, its iTunes freeform atom of that name.
std::string Property(const std::string& file, const char* name) {
  if (std::filesystem::path(file).extension() == ".m4a") {
    TagLib::MP4::File mp4(file.c_str());
    const TagLib::String atom = TagLib::String("----:com.apple.iTunes:") + name;
    if (!mp4.isValid() || !mp4.tag()->contains(atom)) return "";
    return mp4.tag()->item(atom).toStringList().front().to8Bit(true);
  }
  if (std::filesystem::path(file).extension() == ".wma") {
    TagLib::ASF::File asf(file.c_str());
    if (!asf.isValid() || !asf.tag()->contains(name)) return "";
    return asf.tag()->attribute(name).front().toString().to8Bit(true);
  }
  TagLib::FileRef ref(file.c_str());
  if (ref.isNull()) return "";
  const TagLib::PropertyMap properties = ref.file()->properties();
  return properties.contains(name) ? properties[name].front().to8Bit(true) : "";
}

/// "-1.28 dB" as -1.28; NaN for anything else.
double Gain(const std::string& text) {
  double value = NAN;
  char unit[4] = {};
  return std::sscanf(text.c_str(), "%lf %3s", &value, unit) == 2 && std::string(unit) == "dB" ? value : NAN;
}

class ReplayGain : public ::testing::Test {
 protected:
  /// 8 s: a quiet chord, then the same 12 dB louder.
  void SetUp() override {
    const std::string quiet = dir.File("quiet.wav"), loud = dir.File("loud.wav");
    for (const auto& [file, volume] : {std::pair{quiet, "0.05"}, std::pair{loud, "0.2"}})
      ASSERT_EQ(RunTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(file), "synth", "4", "sine", "220", "sine",
                                "330", "pinknoise", "vol", volume, "lowpass", "15000"}),
                0);
    ASSERT_EQ(RunTool("sox", {Q(quiet), Q(loud), Q(wav)}), 0);
  }

  TempDir dir;
  const std::string wav = dir.File("album.wav");
};

TEST_F(ReplayGain, CutsOfEachFormatTellTheirOwnGain) {
  const std::string flac = dir.File("album.flac"), mp3 = dir.File("album.mp3"), opus = dir.File("album.opus"),
                    m4a = dir.File("album.m4a"), wma = dir.File("album.wma");
  // Stale values in the source: a cut never carries them over.
  ASSERT_EQ(RunTool("flac", {"-s", "-f", "--tag=REPLAYGAIN_TRACK_GAIN=+9.99 dB", Q(wav), "-o", Q(flac)}), 0);
  ASSERT_EQ(RunTool("lame", {"--quiet", "-b", "192", Q(wav), Q(mp3)}), 0);
  ASSERT_EQ(RunTool("opusenc", {"--quiet", Q(wav), Q(opus)}), 0);
  ASSERT_EQ(RunFfmpeg({"-i", Q(wav), "-c:a", "aac", "-b:a", "192k", Q(m4a)}), 0);
  ASSERT_EQ(RunFfmpeg({"-i", Q(wav), "-c:a", "wmav2", "-b:a", "192k", Q(wma)}), 0);
  ASSERT_EQ(Cli({"cut", Q(flac), Q(dir.File("plain.flac")), "--start", "5", "--end", "7", "--quiet"}).code, 0);
  EXPECT_EQ(Property(dir.File("plain.flac"), "REPLAYGAIN_TRACK_GAIN"), "");
  for (const auto& [source, tolerance] :
       {std::pair{flac, 0.1}, std::pair{mp3, 0.4}, std::pair{opus, 0.4}, std::pair{m4a, 0.4}, std::pair{wma, 0.4}}) {
    SCOPED_TRACE(source);
    const std::string target = dir.File("cut" + std::filesystem::path(source).extension().string());
    const Result r = Cli({"cut", Q(source), Q(target), "--start", "5", "--end", "7", "--replaygain", "track", "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    const double gain = Gain(Property(target, "REPLAYGAIN_TRACK_GAIN"));
    EXPECT_NEAR(gain, -18.0 - FfmpegLoudness(target), tolerance + 0.05);
    const double peak = std::atof(Property(target, "REPLAYGAIN_TRACK_PEAK").c_str());
    EXPECT_GT(peak, 0.1);
    EXPECT_LT(peak, 1.0);
  }
  // A gain applied is in the value.
  const Result r = Cli({"cut", Q(flac), Q(dir.File("down.flac")), "--start", "5", "--end", "7", "--gain", "-6",
                        "--replaygain", "track", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NEAR(Gain(Property(dir.File("down.flac"), "REPLAYGAIN_TRACK_GAIN")),
              Gain(Property(dir.File("cut.flac"), "REPLAYGAIN_TRACK_GAIN")) + 6.0, 0.02);
}

TEST_F(ReplayGain, SplitPiecesShareTheAlbumsValues) {
  const std::string folder = dir.File("pieces");
  std::filesystem::create_directory(folder);
  Result r = Cli({"split", Q(wav), Q(folder), "--at", "4", "--name", "{n}", "--replaygain", "album", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string first = folder + "/1.wav", second = folder + "/2.wav";
  const double quiet = Gain(Property(first, "REPLAYGAIN_TRACK_GAIN")), loud = Gain(Property(second, "REPLAYGAIN_TRACK_GAIN"));
  EXPECT_NEAR(quiet, -18.0 - FfmpegLoudness(first), 0.15);
  EXPECT_NEAR(loud, -18.0 - FfmpegLoudness(second), 0.15);
  EXPECT_NEAR(quiet - loud, 12.0, 0.3);
  // One album value, that of the two together (the whole file here).
  const std::string album = Property(first, "REPLAYGAIN_ALBUM_GAIN");
  EXPECT_EQ(album, Property(second, "REPLAYGAIN_ALBUM_GAIN"));
  EXPECT_NEAR(Gain(album), -18.0 - FfmpegLoudness(wav), 0.15);
  EXPECT_EQ(Property(first, "REPLAYGAIN_ALBUM_PEAK"), Property(second, "REPLAYGAIN_ALBUM_PEAK"));
  // What is refused, before anything is written.
  for (const QStringList& wrong : {QStringList{"cut", Q(wav), Q(dir.File("x.wav")), "--start", "1", "--end", "2", "--replaygain", "album"},
                                   QStringList{"cut", Q(wav), Q(dir.File("x.wav")), "--start", "1", "--end", "2", "--replaygain", "loud"},
                                   QStringList{"split", Q(wav), Q(folder), "--at", "4", "--replaygain", "album", "--normalize",
                                               "loudness=-16", "--force"}}) {
    r = Cli(wrong);
    EXPECT_EQ(r.code, 1) << wrong.join(' ').toStdString();
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.wav")));
}

}  // namespace
