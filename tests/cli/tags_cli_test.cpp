// Tags as other programs write them (metaflac, lame, FFmpeg's muxers, a
// tagger that leaves two ID3v2 tags) carried into cuts, splits and joins
// field by field, as TagLib reads them: repeated values kept, fields of the
// whole source's audio left out.
#include <gtest/gtest.h>

#include <QProcess>
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>
#include <taglib/wavfile.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "tests/cli/CliRun.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDir.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

using Fields = std::multimap<std::string, std::string>;

/// Every value of the file's property map, as TagLib reads it.
Fields PropertiesOf(const std::string& file) {
  TagLib::FileRef ref(file.c_str(), false);
  Fields fields;
  if (ref.isNull()) return fields;
  for (const auto& [key, values] : ref.file()->properties())
    for (const TagLib::String& value : values) fields.emplace(key.to8Bit(true), value.to8Bit(true));
  return fields;
}

Fields Without(Fields fields, const std::set<std::string>& keys) {
  for (const std::string& key : keys) fields.erase(key);
  return fields;
}

class Tags : public ::testing::Test {
 protected:
  void SetUp() override {
    wav = dir.File("plain.wav");
    ASSERT_EQ(RunTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(wav), "synth", "4", "sine", "440"}), 0);
    cover = dir.File("cover.jpg");
    ASSERT_EQ(RunFfmpeg({"-f", "lavfi", "-i", "color=red:s=16x16", "-frames:v", "1", Q(cover)}), 0);
  }

  /// The metadata options FFmpeg's muxers turn into each format's own fields.
  static QStringList Metadata() {
    return {"-metadata", "title=Song",        "-metadata", "artist=Ann",         "-metadata", "album=Live",
            "-metadata", "album_artist=Band", "-metadata", "composer=Carl",      "-metadata", "disc=2/3",
            "-metadata", "track=4/12",        "-metadata", "genre=Jazz",         "-metadata", "date=1999"};
  }

  std::string Cut(const std::string& source, const std::string& name, QStringList more = {}) {
    const std::string result = dir.File(name);
    QStringList arguments = {"cut", Q(source), Q(result), "--start", "1", "--end", "2", "--quiet"};
    for (const QString& argument : more)
      if (!argument.isEmpty()) arguments << argument;
    const Result r = Cli(arguments);
    EXPECT_EQ(r.code, 0) << r.err;
    return result;
  }

  TempDir dir;
  std::string wav, cover;
};

TEST_F(Tags, EveryFieldOfEachFormatIsCarriedIntoACutButThoseOfTheWholeSource) {
  // FLAC: repeated values, MusicBrainz, lyrics, ReplayGain and a picture (metaflac).
  const std::string flac = dir.File("source.flac");
  QStringList make = {"-i", Q(wav)};
  make << Metadata() << Q(flac);
  ASSERT_EQ(RunFfmpeg(make), 0);
  ASSERT_EQ(RunTool("metaflac", {"--set-tag=ARTIST=Bob", "--set-tag=MUSICBRAINZ_TRACKID=9f0e-11", "--set-tag=LYRICS=la la",
                                 "--set-tag=REPLAYGAIN_TRACK_GAIN=-3.1 dB", "--set-tag=REPLAYGAIN_TRACK_PEAK=0.9",
                                 "--import-picture-from=" + Q(cover), Q(flac)}),
            0);
  const Fields flacFields = PropertiesOf(flac);
  ASSERT_EQ(flacFields.count("ARTIST"), 2u);
  ASSERT_EQ(flacFields.count("MUSICBRAINZ_TRACKID"), 1u);
  EXPECT_EQ(PropertiesOf(Cut(flac, "cut.flac")), Without(flacFields, {"REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK"}));

  // MP3 from LAME: album artist, disc and composer as ID3v2 frames of their own, TLEN of the whole file.
  const std::string mp3 = dir.File("source.mp3");
  ASSERT_EQ(RunTool("lame", {"--quiet", "-b", "128", "--tt", "Song", "--ta", "Ann", "--tl", "Live", "--ty", "1999", "--tn",
                             "4/12", "--tg", "Jazz", "--tc", "Nice", "--ti", Q(cover), "--tv", "TPE2=Band", "--tv",
                             "TPOS=2/3", "--tv", "TCOM=Carl", "--tv", "TLEN=4000", "--tv", "TXXX=MOOD=calm", Q(wav),
                             Q(mp3)}),
            0);
  const Fields mp3Fields = PropertiesOf(mp3);
  ASSERT_EQ(mp3Fields.count("LENGTH"), 1u);
  for (const QString lossless : {"", "--lossless"}) {
    const Fields cut = PropertiesOf(Cut(mp3, lossless.isEmpty() ? "cut.mp3" : "copied.mp3", {lossless}));
    EXPECT_EQ(cut, Without(mp3Fields, {"LENGTH"})) << lossless.toStdString();
  }

  // Ogg Vorbis, Opus, M4A, WMA and WAV from FFmpeg's muxers.
  for (const char* extension : {".ogg", ".opus", ".m4a", ".wma", ".wav"}) {
    const std::string source = dir.File(std::string("source") + extension);
    QStringList arguments = {"-i", Q(wav)};
    arguments << Metadata() << Q(source);
    ASSERT_EQ(RunFfmpeg(arguments), 0) << extension;
    const Fields fields = PropertiesOf(source);
    ASSERT_GE(fields.size(), 3u) << extension;
    // FFmpeg keeps a WMA file's date under a name of its own ("date"), which
    // TagLib does not read and our reader does: the result has it as WM/Year.
    const std::set<std::string> ignored = {"ENCODEDBY", "ENCODER", std::string(extension) == ".wma" ? "DATE" : ""};
    EXPECT_EQ(Without(PropertiesOf(Cut(source, std::string("cut") + extension)), ignored), Without(fields, ignored))
        << extension;
  }
}

TEST_F(Tags, TwoId3v2TagsOneAfterTheOtherAreFoldedTheFirstWinning) {
  const std::string old = dir.File("old.mp3");
  ASSERT_EQ(RunTool("lame", {"--quiet", "-b", "128", "--tt", "Old title", "--ta", "Ann", "--tn", "4/12", "--ty", "1999",
                             "--tg", "Jazz", "--tc", "Nice", "--ti", Q(cover), Q(wav), Q(old)}),
            0);
  // A tagger put a new tag, a title and an album, in front of the old one.
  auto frame = [](const std::string& id, const std::string& text) {
    std::vector<uint8_t> bytes(id.begin(), id.end());
    const size_t size = text.size() + 1;
    bytes.insert(bytes.end(), {0, 0, 0, static_cast<uint8_t>(size), 0, 0, 3});
    bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
  };
  std::vector<uint8_t> body = frame("TIT2", "New title");
  const std::vector<uint8_t> album = frame("TALB", "Live");
  body.insert(body.end(), album.begin(), album.end());
  std::vector<uint8_t> file = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, static_cast<uint8_t>(body.size())};
  file.insert(file.end(), body.begin(), body.end());
  const std::vector<uint8_t> rest = ReadFile(old);
  file.insert(file.end(), rest.begin(), rest.end());
  const std::string two = dir.File("two.mp3");
  std::ofstream(two, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), static_cast<long>(file.size()));

  for (const QString lossless : {"", "--lossless"}) {
    const std::string result = Cut(two, lossless.isEmpty() ? "cut.mp3" : "copied.mp3", {lossless});
    const Fields fields = PropertiesOf(result);
    EXPECT_EQ(fields.find("TITLE")->second, "New title") << lossless.toStdString();
    EXPECT_EQ(fields.find("ALBUM")->second, "Live");
    EXPECT_EQ(fields.find("TRACKNUMBER")->second, "4/12");
    EXPECT_EQ(fields.find("DATE")->second, "1999");
    EXPECT_EQ(fields.find("GENRE")->second, "Jazz");
    EXPECT_EQ(fields.find("COMMENT")->second, "Nice");
    EXPECT_EQ(fields.count("TITLE"), 1u);
    // One tag, holding the old one's picture, and the second of audio whole.
    const std::vector<uint8_t> bytes = ReadFile(result);
    ASSERT_GT(bytes.size(), 20u);
    ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 3), "ID3");
    const size_t end = 10 + (size_t{bytes[6]} << 21 | size_t{bytes[7]} << 14 | size_t{bytes[8]} << 7 | bytes[9]);
    ASSERT_LT(end + 3, bytes.size());
    EXPECT_NE(std::string(bytes.begin() + static_cast<long>(end), bytes.begin() + static_cast<long>(end) + 3), "ID3");
    EXPECT_EQ(DecodeWithFfmpeg(result).size(), size_t{44100} * 2);
  }
  const Result r = Cli({"info", Q(two)});
  EXPECT_NE(r.out.find("title: New title"), std::string::npos) << r.out;
}

TEST_F(Tags, WavInfoAndId3ChunksAreReadAndWrittenAndCuePiecesGetTheSheetsWords) {
  // FFmpeg writes an INFO list; kid3-cli adds an "id3 " chunk for the fields INFO has no names for.
  const std::string tagged = dir.File("tagged.wav");
  QStringList arguments = {"-i", Q(wav)};
  arguments << Metadata() << Q(tagged);
  ASSERT_EQ(RunFfmpeg(arguments), 0);
  const Fields info = PropertiesOf(tagged);
  ASSERT_EQ(info.count("TITLE"), 1u);
  ASSERT_EQ(RunTool("kid3-cli", {"-c", "set albumartist Band", "-c", "set discnumber 2/3", "-c", "set 'Catalog Number' X12",
                                 Q(tagged)}),
            0);
  Fields source = PropertiesOf(tagged);  // the "id3 " chunk's, as TagLib prefers it
  ASSERT_EQ(source.count("CATALOGNUMBER"), 1u);
  for (const auto& field : info)
    if (source.count(field.first) == 0) source.insert(field);
  const std::string cut = Cut(tagged, "cut.wav");
  EXPECT_EQ(Without(PropertiesOf(cut), {"ENCODEDBY", "ENCODER"}), Without(source, {"ENCODEDBY", "ENCODER"}));
  TagLib::RIFF::WAV::File result(cut.c_str());
  ASSERT_TRUE(result.hasInfoTag());
  EXPECT_EQ(result.InfoTag()->title().to8Bit(true), "Song");  // for readers that know INFO only
  EXPECT_EQ(DecodeWithFfmpeg(cut).size(), size_t{44100} * 2);

  // Ranges removed: the pieces are appended to one another, the tags written after the last.
  const std::string removed = dir.File("removed.wav");
  const Result removal = Cli({"remove", Q(tagged), Q(removed), "--range", "1-2", "--quiet"});
  ASSERT_EQ(removal.code, 0) << removal.err;
  EXPECT_EQ(Without(PropertiesOf(removed), {"ENCODEDBY", "ENCODER"}), Without(source, {"ENCODEDBY", "ENCODER"}));
  EXPECT_EQ(DecodeWithFfmpeg(removed).size(), WavSamples(removed).size());

  // The pieces of a cue sheet: its titles, performer and track numbers over the source's.
  const std::string cue = dir.File("album.cue");
  std::ofstream(cue) << "PERFORMER \"Ann\"\nFILE \"tagged.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"One\"\n"
                        "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"Two\"\n    PERFORMER \"Cy\"\n"
                        "    INDEX 01 00:02:00\n";
  const std::string folder = dir.File("pieces");
  std::filesystem::create_directory(folder);
  const Result r = Cli({"split", Q(tagged), Q(folder), "--cue", Q(cue), "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const Fields second = PropertiesOf(folder + "/tagged_2.wav");
  EXPECT_EQ(second.find("TITLE")->second, "Two");
  EXPECT_EQ(second.find("ARTIST")->second, "Cy");
  EXPECT_EQ(second.find("TRACKNUMBER")->second, "2/2");
  EXPECT_EQ(second.find("ALBUM")->second, "Live");
  EXPECT_EQ(PropertiesOf(folder + "/tagged_1.wav").find("TITLE")->second, "One");
  EXPECT_EQ(DecodeWithFfmpeg(folder + "/tagged_2.wav").size(), size_t{44100} * 2 * 2);
}

TEST_F(Tags, AnAudiobooksChaptersInsideTheRangeAreKeptShiftedToItsStart) {
  const std::string metadata = dir.File("chapters.txt"), book = dir.File("book.m4b");
  std::ofstream(metadata) << ";FFMETADATA1\ntitle=Book\n"
                             "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1500\ntitle=Opening\n"
                             "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1500\nEND=1800\ntitle=Short\n"
                             "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1800\nEND=4000\ntitle=Ending\n";
  ASSERT_EQ(RunFfmpeg({"-i", Q(wav), "-i", Q(metadata), "-map_metadata", "1", "-map_chapters", "1", "-c:a", "aac", Q(book)}), 0);
  const std::string cut = dir.File("cut.m4b");
  const Result r = Cli({"cut", Q(book), Q(cut), "--start", "1.6", "--end", "3", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  QProcess probe;
  probe.start("ffprobe", {"-v", "error", "-show_chapters", "-of", "compact=p=0:nk=1", Q(cut)});
  ASSERT_TRUE(probe.waitForFinished(60000));
  const QStringList lines = QString(probe.readAllStandardOutput()).trimmed().split('\n');
  // id, time base, start, start time, end, end time, title: the first chapter lies before the range.
  ASSERT_EQ(lines.size(), 2) << lines.join(" ").toStdString();
  EXPECT_TRUE(lines[0].endsWith("|0|0.000000|8820|0.200000|Short")) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].endsWith("|8820|0.200000|61740|1.400000|Ending")) << lines[1].toStdString();
  EXPECT_EQ(InfoValue(Cli({"info", Q(cut)}).out, "total_samples"), "61740");
  EXPECT_EQ(PropertiesOf(cut).find("TITLE")->second, "Book");
}

TEST_F(Tags, AJoinCarriesTheFirstSourcesFields) {
  const std::string first = dir.File("first.flac"), second = dir.File("second.flac"), joined = dir.File("joined.flac");
  QStringList arguments = {"-i", Q(wav)};
  arguments << Metadata() << Q(first);
  ASSERT_EQ(RunFfmpeg(arguments), 0);
  ASSERT_EQ(RunFfmpeg({"-i", Q(wav), "-metadata", "title=Other", Q(second)}), 0);
  const Result r = Cli({"join", Q(first), Q(second), Q(joined), "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Without(PropertiesOf(joined), {"ENCODER"}), Without(PropertiesOf(first), {"ENCODER"}));
}

}  // namespace
