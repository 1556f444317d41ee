// A cut is written in the source's codec and container, never a lesser one:
// ALAC stays ALAC and FLAC stays FLAC bit for bit, in MP4 and in Ogg; Opus in
// an .ogg file stays Opus; AC-3 in MP4 stays AC-3. Every tag field comes
// along, but those of the whole source's audio.
#include <gtest/gtest.h>

#include <QProcess>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/tpropertymap.h>
#include <algorithm>
#include <filesystem>

#include "tests/cli/CliRun.h"
#include "tests/support/RunTool.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/TempDir.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

struct Case {
  const char* name;
  QStringList options;  // FFmpeg's, for the source
  const char* codec;
  bool lossless;
};

class SameCodec : public ::testing::TestWithParam<Case> {};

TEST_P(SameCodec, ACutKeepsTheSourcesCodecAndContainer) {
  const Case& c = GetParam();
  TempDir dir;
  const std::string wav = dir.File("music.wav"), source = dir.File(c.name);
  ASSERT_EQ(RunTool("sox", {"-R", "-n", "-r", "48000", "-c", "2", "-b", "16", Q(wav), "synth", "4", "pinknoise", "synth", "4",
                         "sine", "mix", "440", "tremolo", "3", "80", "vol", "0.5"}),
            0);
  ASSERT_EQ(RunTool("ffmpeg", QStringList{"-nostdin", "-v", "error", "-y", "-i", Q(wav)} + c.options + QStringList{Q(source)}), 0);
  const std::string target = dir.File(std::string("cut") + std::filesystem::path(c.name).extension().string());
  const Result r = Cli({"cut", Q(source), Q(target), "--start", "1", "--end", "3", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const Result info = Cli({"info", Q(target)});
  ASSERT_EQ(info.code, 0) << info.err;
  EXPECT_EQ(InfoValue(info.out, "codec"), c.codec);
  EXPECT_EQ(InfoValue(info.out, "container"), InfoValue(Cli({"info", Q(source)}).out, "container"));
  EXPECT_EQ(InfoValue(info.out, "total_samples"), "96000");
  if (c.lossless) {
    const std::vector<int16_t> whole = DecodeWithFfmpeg(source), piece = DecodeWithFfmpeg(target);
    ASSERT_GE(piece.size(), size_t{96000} * 2);
    EXPECT_TRUE(std::equal(piece.begin(), piece.begin() + 96000 * 2, whole.begin() + 48000 * 2));
  }
}

INSTANTIATE_TEST_SUITE_P(Codecs, SameCodec,
                         ::testing::Values(Case{"alac.m4a", {"-c:a", "alac"}, "alac", true},
                                           Case{"flac.m4a", {"-c:a", "flac", "-strict", "-2", "-f", "mp4"}, "flac", true},
                                           Case{"flac.oga", {"-c:a", "flac"}, "flac", true},
                                           Case{"opus.ogg", {"-c:a", "libopus"}, "opus", false},
                                           Case{"ac3.m4a", {"-c:a", "ac3", "-f", "mp4"}, "ac3", false}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           std::string name = info.param.name;
                           std::replace(name.begin(), name.end(), '.', '_');
                           return name;
                         });

}  // namespace

namespace {

TEST(SameCodec, FilesOfOneFormatButTwoCodecsAreNotJoined) {
  TempDir dir;
  const std::string wav = dir.File("music.wav"), alac = dir.File("alac.m4a"), aac = dir.File("aac.m4a");
  ASSERT_EQ(RunTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(wav), "synth", "1", "sine", "440"}), 0);
  ASSERT_EQ(RunTool("ffmpeg", {"-nostdin", "-v", "error", "-i", Q(wav), "-c:a", "alac", Q(alac)}), 0);
  ASSERT_EQ(RunTool("ffmpeg", {"-nostdin", "-v", "error", "-i", Q(wav), "-c:a", "aac", Q(aac)}), 0);
  for (const char* command : {"join", "mix"}) {
    const Result r = Cli({command, Q(alac), Q(aac), Q(dir.File("both.m4a"))});
    EXPECT_EQ(r.code, 1) << command;
    EXPECT_NE(r.err.find("different codecs (alac and aac)"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("both.m4a")));
  }
  EXPECT_EQ(Cli({"join", Q(alac), Q(alac), Q(dir.File("twice.m4a")), "--quiet"}).code, 0);
}

}  // namespace

namespace {

TagLib::PropertyMap PropertiesOf(const std::string& file) {
  const TagLib::FileRef ref(file.c_str());
  return ref.isNull() ? TagLib::PropertyMap() : ref.file()->properties();
}

TEST(SameCodec, EveryFieldIsKeptRepeatedValuesToo) {
  TempDir dir;
  const std::string wav = dir.File("music.wav"), picture = dir.File("cover.png");
  ASSERT_EQ(RunTool("sox", {"-R", "-n", "-r", "44100", "-c", "2", "-b", "16", Q(wav), "synth", "3", "pinknoise", "vol", "0.3"}), 0);
  ASSERT_EQ(RunTool("convert", {"-size", "12x7", "xc:red", Q(picture)}), 0);
  const QStringList fields = {"ARTIST=First",          "ARTIST=Second",         "ALBUMARTIST=Various",
                              "DISCNUMBER=2",          "COMPOSER=Someone",      "LYRICS=la la",
                              "MUSICBRAINZ_TRACKID=0b4e2c1a-1d2f-4c3b-9a8e-7f6d5c4b3a21",
                              "TITLE=Song",            "REPLAYGAIN_TRACK_GAIN=-3.00 dB"};
  const std::string flac = dir.File("tagged.flac"), ogg = dir.File("tagged.ogg");
  ASSERT_EQ(RunTool("flac", {"-s", "-f", Q(wav), "-o", Q(flac)}), 0);
  QStringList metaflac;
  for (const QString& field : fields) metaflac << "--set-tag=" + field;
  ASSERT_EQ(RunTool("metaflac", metaflac + QStringList{"--import-picture-from=" + Q(picture), Q(flac)}), 0);
  QStringList oggenc{"-Q", Q(wav), "-o", Q(ogg)};
  for (const QString& field : fields) oggenc << "-c" << field;
  ASSERT_EQ(RunTool("oggenc", oggenc), 0);

  for (const std::string& source : {flac, ogg}) {
    SCOPED_TRACE(source);
    const std::string cut = dir.File("cut" + std::filesystem::path(source).extension().string());
    const Result r = Cli({"cut", Q(source), Q(cut), "--start", "1", "--end", "2", "--force", "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    TagLib::PropertyMap wanted = PropertiesOf(source);
    ASSERT_TRUE(wanted.contains("REPLAYGAIN_TRACK_GAIN"));
    wanted.erase("REPLAYGAIN_TRACK_GAIN");  // the whole source's loudness, wrong for a piece
    TagLib::PropertyMap got = PropertiesOf(cut);
    got.erase("ENCODER");  // what wrote the file
    EXPECT_EQ(got.toString().to8Bit(true), wanted.toString().to8Bit(true));
    EXPECT_EQ(got["ARTIST"].size(), 2u);
  }
  TagLib::FLAC::File cut(dir.File("cut.flac").c_str());
  ASSERT_EQ(cut.pictureList().size(), 1u);
  EXPECT_EQ(cut.pictureList().front()->width(), 12);
  EXPECT_EQ(cut.pictureList().front()->height(), 7);
}

}  // namespace
