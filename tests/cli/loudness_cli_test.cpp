// clipwright-cli loudness against FFmpeg's ebur128 filter, on speech-like,
// music-like and tone files made by sox, FFmpeg and lame.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <cmath>
#include <string>

#include "tests/cli/CliRun.h"
#include "tests/support/RunTool.h"
#include "tests/support/TempDir.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

struct Figures {
  double integrated = NAN, range = NAN, samplePeak = NAN, truePeak = NAN;
};

/// The figure after `label` in `text` ("integrated: -23.01 LUFS"); NaN when missing.
double After(const QString& text, const QString& label, int nth = 0) {
  const QRegularExpression pattern(QRegularExpression::escape(label) + R"(\s*(-?[0-9.]+|-inf))");
  auto matches = pattern.globalMatch(text);
  for (int i = 0; matches.hasNext(); ++i) {
    const auto match = matches.next();
    if (i == nth) return match.captured(1) == "-inf" ? -INFINITY : match.captured(1).toDouble();
  }
  return NAN;
}

/// FFmpeg's summary of its ebur128 filter with the true peak.
Figures Ffmpeg(const std::string& file) {
  QProcess ffmpeg;
  ffmpeg.start("ffmpeg", {"-nostdin", "-nostats", "-i", Q(file), "-af", "ebur128=peak=sample+true", "-f", "null", "-"});
  ffmpeg.waitForFinished(120000);
  const QString text = QString::fromUtf8(ffmpeg.readAllStandardError());
  const QString summary = text.mid(text.lastIndexOf("Summary:"));
  return {After(summary, "I:"), After(summary, "LRA:"), After(summary, "Peak:", 0), After(summary, "Peak:", 1)};
}

Figures Ours(const std::string& file) {
  const Result r = Cli({"loudness", Q(file)});
  EXPECT_EQ(r.code, 0) << r.err;
  const QString text = Q(r.out);
  return {After(text, "integrated:"), After(text, "range:"), After(text, "sample_peak:"), After(text, "true_peak:")};
}

class Loudness : public ::testing::Test {
 protected:
  /// Ours within 0.1 of FFmpeg's (which prints one decimal: 0.05 more for its rounding). The true
  /// peak of noise is `peakTolerance` apart: the two oversampling filters differ between the samples.
  void ExpectAgreement(const std::string& file, double peakTolerance = 0.15) {
    SCOPED_TRACE(file);
    const Figures ours = Ours(file), theirs = Ffmpeg(file);
    EXPECT_NEAR(ours.integrated, theirs.integrated, 0.15);
    // libebur128 takes a short-term loudness each second for the range, FFmpeg ten a second.
    EXPECT_NEAR(ours.range, theirs.range, 1.0);
    EXPECT_NEAR(ours.samplePeak, theirs.samplePeak, 0.15);
    EXPECT_NEAR(ours.truePeak, theirs.truePeak, peakTolerance);
  }

  TempDir dir;
};

TEST_F(Loudness, AgreesWithFfmpegsFilterOnSpeechMusicAndTones) {
  // Speech-like: noise in syllables, pauses between words; music-like: a chord over noise, getting louder.
  const std::string speech = dir.File("speech.wav"), music = dir.File("music.flac"), tone = dir.File("tone.wav");
  ASSERT_EQ(RunFfmpeg({"-f", "lavfi", "-i", "anoisesrc=c=pink:a=0.3:d=20:seed=7,volume='0.2+0.8*gt(sin(2*PI*t*3),0)*gt(sin(2*PI*t*0.3),-0.5)':eval=frame",
                       "-ar", "16000", "-ac", "1", Q(speech)}),
            0);
  ASSERT_EQ(RunTool("sox", {"-R", "-n", "-r", "44100", "-c", "2", "-b", "24", Q(music), "synth", "30", "sine", "220", "sine",
                            "330", "pinknoise", "fade", "q", "10", "30", "2", "vol", "0.5"}),
            0);
  ASSERT_EQ(RunTool("sox", {"-D", "-n", "-r", "48000", "-c", "2", "-b", "16", Q(tone), "synth", "10", "sine", "997", "vol",
                            "0.1"}),
            0);
  const std::string mp3 = dir.File("music.mp3");
  ASSERT_EQ(RunTool("lame", {"--quiet", "-b", "160", Q(music), Q(mp3)}), 0);
  for (const std::string& file : {speech, tone}) ExpectAgreement(file);
  for (const std::string& file : {music, mp3}) ExpectAgreement(file, 0.35);
  // EBU's reference: a 997 Hz sine whose peaks are at -20 dBFS in both channels measures -20 LUFS.
  const Figures ours = Ours(tone);
  EXPECT_NEAR(ours.samplePeak, -20.0, 0.05);
  EXPECT_NEAR(ours.integrated, -20.0, 0.1);
}

TEST_F(Loudness, SilenceSeveralFilesJsonAndFailures) {
  const std::string quiet = dir.File("quiet.wav"), tone = dir.File("tone.wav");
  ASSERT_EQ(RunTool("sox", {"-D", "-n", "-r", "44100", "-c", "1", "-b", "16", Q(quiet), "trim", "0", "3"}), 0);
  ASSERT_EQ(RunTool("sox", {"-n", "-r", "44100", "-c", "1", "-b", "16", Q(tone), "synth", "3", "sine", "997", "vol", "0.5"}), 0);
  Result r = Cli({"loudness", Q(quiet), Q(tone)});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("file: " + quiet + "\nintegrated: -inf LUFS\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("sample_peak: -inf dBFS"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("file: " + tone + "\nintegrated: -9."), std::string::npos) << r.out;  // -6.02 - 3.01 - 0.69 + ...
  r = Cli({"loudness", Q(quiet), Q(tone), "--json"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("[{\"file\": \"" + quiet + "\", \"integrated_lufs\": null, ", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("\"sample_peak_dbfs\": -6.02"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.substr(r.out.size() - 3), "}]\n");
  // A file that is not there: exit 2, its name and the cause, nothing on stdout.
  r = Cli({"loudness", Q(tone), Q(dir.File("missing.wav"))});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find(dir.File("missing.wav")), std::string::npos) << r.err;
  EXPECT_TRUE(r.out.empty()) << r.out;
  r = Cli({"loudness"});
  EXPECT_EQ(r.code, 1);
}

}  // namespace
