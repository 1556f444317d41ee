// Files other programs make at odd rates and in odd shapes, through every
// command that reads them: counts exact, nothing refused that the reference
// decoders read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/cli/CliRun.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/FileBytes.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

class WorldAudio : public ::testing::Test {
 protected:
  std::string Sox(const std::string& name, int rate, int channels, double seconds) {
    const std::string wav = dir.File(name);
    EXPECT_EQ(RunTool("sox", {"-n", "-r", QString::number(rate), "-c", QString::number(channels), "-b", "16", Q(wav),
                              "synth", QString::number(seconds), "sine", "300"}),
              0);
    return wav;
  }
  TempDir dir;
};

TEST_F(WorldAudio, FilesFfmpegMadeAtElevenKilohertzCutToTheSample) {
  const std::string wav = Sox("a.wav", 11025, 1, 10);
  for (const auto& [name, codec] : {std::pair{"alac.m4a", "alac"}, std::pair{"vorbis.ogg", "libvorbis"},
                                    std::pair{"flac.flac", "flac"}}) {
    SCOPED_TRACE(name);
    const std::string source = dir.File(name), cut = dir.File(std::string("cut_") + name);
    ASSERT_EQ(RunFfmpeg({"-i", Q(wav), "-c:a", codec, Q(source)}), 0);
    const Result r = Cli({"cut", Q(source), Q(cut), "--start", "1", "--end", "9", "--quiet"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(InfoValue(Cli({"info", Q(cut)}).out, "total_samples"), "88200");
  }
  // Encoded from the WAV: every sample arrives.
  const std::string flac = dir.File("encoded.flac");
  const Result r = Cli({"encode", Q(wav), Q(flac), "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(DecodeWithFfmpeg(flac), WavSamples(wav));
}

TEST_F(WorldAudio, VorbisAboveFiftyKilohertzIsWrittenInItsQualityModeAndCutAgain) {
  // libvorbis manages no bit rate above 50 kHz: quality mode, whose stream declares no rate (-2).
  const std::string ogg = dir.File("high.ogg"), cut = dir.File("cut.ogg");
  Result r = Cli({"encode", Q(Sox("high.wav", 96000, 2, 3)), Q(ogg), "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string bitrate = InfoValue(Cli({"info", Q(ogg)}).out, "bitrate");
  ASSERT_FALSE(bitrate.empty());
  EXPECT_LT(std::stoll(bitrate), 1000000) << "a declared -2 read as a rate";
  r = Cli({"cut", Q(ogg), Q(cut), "--start", "1", "--end", "2", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(InfoValue(Cli({"info", Q(cut)}).out, "total_samples"), "96000");
}

TEST_F(WorldAudio, AShortVorbisFileOnOnePageIsReadByEveryCommand) {
  const std::string ogg = dir.File("short.ogg"), reference = dir.File("reference.wav");
  ASSERT_EQ(RunTool("oggenc", {"-Q", "-q", "-1", "-o", Q(ogg), Q(Sox("tone.wav", 44100, 2, 1.5))}), 0);
  ASSERT_EQ(RunTool("oggdec", {"-Q", "-o", Q(reference), Q(ogg)}), 0);
  const size_t frames = WavSamples(reference).size() / 2;
  ASSERT_EQ(frames, 66150u);
  EXPECT_EQ(InfoValue(Cli({"info", Q(ogg)}).out, "total_samples"), "66150");
  const std::string decoded = dir.File("decoded.wav");
  Result r = Cli({"decode", Q(ogg), Q(decoded), "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(WavSamples(decoded).size(), 2 * frames);
  r = Cli({"loudness", Q(ogg)});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("integrated: "), std::string::npos) << r.out;
  r = Cli({"peaks", Q(ogg), "--width", "10", "--exact"});
  EXPECT_EQ(r.code, 0) << r.err;
  r = Cli({"cut", Q(ogg), Q(dir.File("end.ogg")), "--start", "1.2", "--end", "1.5", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(InfoValue(Cli({"info", Q(dir.File("end.ogg"))}).out, "total_samples"), "13230");
}

TEST_F(WorldAudio, LayerTwoInAnMp3FileIsReadByItsOwnCountAndNotCutIntoLayerThree) {
  const std::string mp2 = dir.File("talk.mp3"), wav = Sox("talk.wav", 44100, 2, 8);
  ASSERT_EQ(RunFfmpeg({"-i", Q(wav), "-c:a", "mp2", "-f", "mp2", Q(mp2)}), 0);
  const std::vector<int16_t> reference = DecodeWithFfmpeg(mp2);
  EXPECT_EQ(InfoValue(Cli({"info", Q(mp2)}).out, "total_samples"), std::to_string(reference.size() / 2));
  const std::string decoded = dir.File("decoded.wav");
  ASSERT_EQ(Cli({"decode", Q(mp2), Q(decoded), "--quiet"}).code, 0);
  EXPECT_EQ(WavSamples(decoded), reference);
  // The overview is the samples', not an estimate from side information layer II has not got.
  const Result estimated = Cli({"peaks", Q(mp2), "--width", "3"}), exact = Cli({"peaks", Q(mp2), "--width", "3", "--exact"});
  ASSERT_EQ(estimated.code, 0) << estimated.err;
  EXPECT_EQ(estimated.out, exact.out);
  // A cut would be layer III: refused with the reason, nothing written.
  const Result r = Cli({"cut", Q(mp2), Q(dir.File("part.mp3")), "--start", "1", "--end", "2"});
  EXPECT_EQ(r.code, 4);
  EXPECT_NE(r.err.find("MPEG layer II"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("part.mp3")));
}

TEST_F(WorldAudio, AnMp3StreamThatChangesItsRateIsRefusedNotEndedThere) {
  // Two lame files joined byte by byte: 3 s at 44.1 kHz, then 3 s at 32 kHz.
  std::vector<uint8_t> joined;
  for (const int rate : {44100, 32000}) {
    const std::string mp3 = dir.File("part" + std::to_string(rate) + ".mp3");
    ASSERT_EQ(RunTool("lame", {"--quiet", "-t", "-b", "128", Q(Sox("p" + std::to_string(rate) + ".wav", rate, 2, 3)), Q(mp3)}),
              0);
    const std::vector<uint8_t> bytes = ReadFile(mp3);
    joined.insert(joined.end(), bytes.begin(), bytes.end());
  }
  const std::string both = dir.File("both.mp3");
  WriteBytes(both, joined);
  for (const QStringList& arguments : {QStringList{"info", Q(both)}, QStringList{"decode", Q(both), Q(dir.File("both.wav"))},
                                       QStringList{"loudness", Q(both)}, QStringList{"peaks", Q(both), "--width", "4"}}) {
    SCOPED_TRACE(arguments.join(' ').toStdString());
    const Result r = Cli(arguments);
    EXPECT_NE(r.code, 0);
    EXPECT_NE(r.err.find("changes its sample rate from 44100 Hz to 32000 Hz"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir.File("both.wav")));
  // Each part alone is read whole, as FFmpeg reads it (no LAME tag: the encoder's delay stays in).
  const std::string part = dir.File("part32000.mp3");
  EXPECT_EQ(InfoValue(Cli({"info", Q(part)}).out, "total_samples"), std::to_string(DecodeWithFfmpeg(part).size() / 2));
}

TEST_F(WorldAudio, ALosslessCutOfFlacInOggIsItsPlainCut) {
  const std::string wav = Sox("tone.wav", 44100, 2, 4), ogg = dir.File("flac.ogg"), cut = dir.File("cut.ogg");
  ASSERT_EQ(RunFfmpeg({"-i", Q(wav), "-c:a", "flac", "-f", "ogg", Q(ogg)}), 0);
  const Result r = Cli({"cut", Q(ogg), Q(cut), "--start", "1", "--end", "2", "--lossless", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::vector<int16_t> whole = WavSamples(wav), part = DecodeWithFfmpeg(cut);
  EXPECT_EQ(part, std::vector<int16_t>(whole.begin() + 2 * 44100, whole.begin() + 4 * 44100));
  EXPECT_EQ(InfoValue(Cli({"info", Q(cut)}).out, "codec"), "flac");
}

TEST_F(WorldAudio, ALosslessCutOfAnAudiobookKeepsItsChaptersShifted) {
  const std::string aac = dir.File("book.m4a"), book = dir.File("book.m4b"), chapters = dir.File("chapters.txt");
  ASSERT_EQ(RunFfmpeg({"-i", Q(Sox("read.wav", 44100, 2, 10)), "-c:a", "aac", "-b:a", "96k", Q(aac)}), 0);
  const std::string text = ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=4000\ntitle=One\n"
                           "[CHAPTER]\nTIMEBASE=1/1000\nSTART=4000\nEND=8000\ntitle=Two\n"
                           "[CHAPTER]\nTIMEBASE=1/1000\nSTART=8000\nEND=10000\ntitle=Three\n";
  WriteBytes(chapters, std::vector<uint8_t>(text.begin(), text.end()));
  ASSERT_EQ(RunFfmpeg({"-i", Q(aac), "-i", Q(chapters), "-map_metadata", "1", "-map_chapters", "1", "-c", "copy", Q(book)}), 0);
  const std::string cut = dir.File("part.m4b");
  const Result r = Cli({"cut", Q(book), Q(cut), "--start", "2", "--end", "7", "--lossless", "--quiet"});
  ASSERT_EQ(r.code, 0) << r.err;
  QProcess probe;
  probe.start("ffprobe", {"-v", "error", "-show_chapters", "-of", "csv=p=0", Q(cut)});
  ASSERT_TRUE(probe.waitForFinished(30000));
  // One from the range's start to 2 s, the second to its end: the third lies outside.
  EXPECT_EQ(probe.readAllStandardOutput().toStdString(),
            "0,1/44100,0,0.000000,88200,2.000000,One\n1,1/44100,88200,2.000000,220500,5.000000,Two\n");
  EXPECT_EQ(InfoValue(Cli({"info", Q(cut)}).out, "total_samples"), "220500");
}

/// The mean difference of `cut` against `whole` from frame `at` (stereo), over a stretch in the cut's middle.
double MeanDifference(const std::vector<int16_t>& whole, const std::vector<int16_t>& cut, int64_t at) {
  double sum = 0;
  int count = 0;
  for (size_t i = 20000; i < 60000 && 2 * (static_cast<size_t>(at) + i) < whole.size() && 2 * i < cut.size(); i += 7) {
    sum += std::abs(whole[2 * (static_cast<size_t>(at) + i)] - cut[2 * i]);
    ++count;
  }
  return count > 0 ? sum / count : 1e9;
}

TEST_F(WorldAudio, WithoutAnEditListAPlainAndALosslessCutStartOnTheSameSample) {
  const std::string wav = dir.File("sweep.wav"), m4a = dir.File("old.m4a");
  ASSERT_EQ(RunTool("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", Q(wav), "synth", "10", "sine", "100-8000", "gain",
                            "-6"}),
            0);
  ASSERT_EQ(RunFfmpeg({"-i", Q(wav), "-c:a", "aac", "-b:a", "192k", "-use_editlist", "0", Q(m4a)}), 0);
  const std::string whole = dir.File("whole.wav");
  ASSERT_EQ(Cli({"decode", Q(m4a), Q(whole), "--quiet"}).code, 0);
  const std::vector<int16_t> wholeSamples = WavSamples(whole);
  for (const bool lossless : {false, true}) {
    SCOPED_TRACE(lossless ? "lossless" : "plain");
    const std::string cut = dir.File(lossless ? "lossless.m4a" : "plain.m4a"), back = cut + ".wav";
    QStringList arguments{"cut", Q(m4a), Q(cut), "--start", "2", "--end", "4", "--quiet"};
    if (lossless) arguments << "--lossless";
    ASSERT_EQ(Cli(arguments).code, 0);
    ASSERT_EQ(Cli({"decode", Q(cut), Q(back), "--quiet"}).code, 0);
    const std::vector<int16_t> part = WavSamples(back);
    ASSERT_EQ(part.size(), 2u * 88200);
    // At its place the cut is the source (give or take the codec); a frame of priming either way is far off.
    const double here = MeanDifference(wholeSamples, part, 88200);
    EXPECT_LT(here, lossless ? 1.0 : 400.0);
    EXPECT_GT(MeanDifference(wholeSamples, part, 88200 - 1024), 10 * here + 100);
    EXPECT_GT(MeanDifference(wholeSamples, part, 88200 + 1024), 10 * here + 100);
  }
}

/// What FFmpeg's ebur128 filter says of `file`: the figure on the line after `heading`.
double FfmpegPeak(const std::string& file, const std::string& heading) {
  QProcess ffmpeg;
  ffmpeg.start("ffmpeg", {"-nostats", "-i", Q(file), "-af", "ebur128=peak=true+sample", "-f", "null", "-"});
  ffmpeg.waitForFinished(120000);
  const std::string said = ffmpeg.readAllStandardError().toStdString();
  const size_t at = said.find("Peak:", said.rfind(heading));
  return at == std::string::npos ? -1000 : std::stod(said.substr(at + 5));
}

TEST_F(WorldAudio, PeaksAboveFullScaleAreMeasuredAsTheDecoderMakesThem) {
  // White noise at full scale, encoded by lame: its decode goes well over 0 dBFS.
  const std::string wav = dir.File("noise.wav"), mp3 = dir.File("noise.mp3");
  ASSERT_EQ(RunTool("sox", {"-R", "-n", "-r", "44100", "-c", "2", "-b", "16", Q(wav), "synth", "10", "whitenoise", "gain",
                            "-n", "0"}),
            0);
  ASSERT_EQ(RunTool("lame", {"--quiet", Q(wav), Q(mp3)}), 0);
  const Result r = Cli({"loudness", Q(mp3), "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  const auto figure = [&](const std::string& key) {
    const size_t at = r.out.find("\"" + key + "\": ");
    return at == std::string::npos ? -1000.0 : std::stod(r.out.substr(at + key.size() + 4));
  };
  const double samplePeak = figure("sample_peak_dbfs"), truePeak = figure("true_peak_dbtp");
  EXPECT_GT(samplePeak, 2.0) << r.out;  // clipped at 0 dBFS before
  EXPECT_NEAR(samplePeak, FfmpegPeak(mp3, "Sample peak:"), 0.15) << r.out;
  // Two oversampling filters: on full-band noise up to 0.3 dB apart.
  EXPECT_NEAR(truePeak, FfmpegPeak(mp3, "True peak:"), 0.35) << r.out;
  // The 16-bit source itself cannot pass full scale; its true peak can.
  const Result source = Cli({"loudness", Q(wav)});
  EXPECT_NE(source.out.find("sample_peak: 0.00 dBFS"), std::string::npos) << source.out;
}

}  // namespace
