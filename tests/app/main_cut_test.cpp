// Start Cut in the main window, through the real widgets with scripted dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <filesystem>
#include <numbers>
#include <fstream>
#include <iterator>

#include "app/Main.h"
#include "app/Texts.h"
#include "audio/ACS_Wave.h"
#include "audio/ACS_WinMedia.h"
#include "controls/Tracker2.h"
#include "controls/WaveformView.h"
#include <QToolButton>
#include <QWheelEvent>
#include <cmath>
#include "tests/support/CaptionLog.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FakeNotifier.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/Alignment.h"
#include "tests/support/WmaEncoder.h"
#include "tests/audio/InputRun.h"
#include "tests/audio/CodecFiles.h"
#include "audio/codecs/CodecIn.h"
#include "platform/Encoder.h"
#include "app/jobs/Global.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WavBuilder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadFile(const std::string& name) {
  std::ifstream file(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), {});
}

class StartCut : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.installEventFilter(&log);
    bar = window.findChild<TTrackBar2*>("tbAudio");
    button = window.findChild<QPushButton*>("bStartCut");
  }

  void Open(const std::string& file) {
    dialogs.openAnswer = QString::fromStdString(file);
    QTest::mouseClick(window.findChild<QPushButton*>("bOpen"), Qt::LeftButton);
  }

  /// Clicks Start Cut, saving to `target`, and waits until the button is back.
  void Cut(const std::string& target) {
    dialogs.saveAnswer = QString::fromStdString(target);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return button->isEnabled(); }, 60000));
  }

  std::string Numbered(const char* name, int frames) { return WriteNumberedWav(dir.File(name), frames); }

  /// Replaces a time box's text by typing it, then leaves the box with Tab
  /// (unless `leave` is false).
  void Type(const char* name, const QString& text, bool leave = true) {
    QLineEdit* box = window.findChild<QLineEdit*>(name);
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
    if (leave) QTest::keyClick(box, Qt::Key_Tab);
  }
  QString Box(const char* name) { return window.findChild<QLineEdit*>(name)->text(); }
  QString Length() { return window.findChild<QLabel*>("lFileTime")->text(); }

  /// The first and last numbers of a numbered WAV cut, and its frame count.
  struct Saved {
    size_t frames;
    int first, last;
  };
  static Saved SavedRange(const std::string& wav) {
    const auto samples = SamplesOf(wav);
    if (samples.empty()) return {0, -1, -1};
    return {samples.size(), samples.front(), samples.back()};
  }

  static std::vector<int16_t> SamplesOf(const std::string& wav) {
    const Bytes bytes = ReadFile(wav);
    std::vector<int16_t> samples((bytes.size() - 44) / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return samples;
  }

  TempDir dir;
  FakeDialogs dialogs;
  TfrmMain window;
  CaptionLog log;
  TTrackBar2* bar = nullptr;
  QPushButton* button = nullptr;
};

TEST_F(StartCut, TheStatusLineSaysWhatWasSavedAndTheDesktopHearsItWhenTheWindowIsBehind) {
  FakeNotifier notifier;
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  Open(Numbered("ten.wav", 80000));
  Type("eStart", "00:00:01.0");
  Type("eEnd", "00:00:03.25");
  Cut(dir.File("part.wav"));
  auto* status = window.findChild<QLabel*>("lStatus");
  ASSERT_NE(status, nullptr);
  // What the line says; cut short to fit, it has the whole of it in its tooltip.
  auto told = [&] { return status->toolTip().isEmpty() ? status->text() : status->toolTip(); };
  // The length is what the saved file holds, read off the window's thread.
  ASSERT_TRUE(WaitUntil([&] { return told() == "Saved part.wav, 00:00:02.250"; }, 10000)) << told().toStdString();
  EXPECT_TRUE(notifier.sent.isEmpty());  // the window is in front: no notification

  // Behind another window, the desktop is told too.
  QWidget other;
  other.show();
  other.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
  Cut(dir.File("again.wav"));
  ASSERT_TRUE(WaitUntil([&] { return !notifier.sent.isEmpty(); }, 10000));
  EXPECT_EQ(notifier.sent, QStringList{"Vorlun Clipwright: Saved again.wav, 00:00:02.250"});
  EXPECT_EQ(told(), "Saved again.wav, 00:00:02.250");
  // At a larger size the line has room for all of it.
  window.resize(900, 500);
  EXPECT_EQ(status->text(), "Saved again.wav, 00:00:02.250");
  // A failed cut says so in a message, not in the line.
  dialogs.messages.clear();
  Cut(dir.File("nowhere/part.wav"));
  EXPECT_FALSE(dialogs.messages.isEmpty());
  EXPECT_EQ(notifier.sent.size(), 1);
}

TEST_F(StartCut, TheThumbsSaveExactlyWhatTheBoxesShow) {
  const std::string source = Numbered("ten.wav", 85600);  // 10.7 s: Max 20 (whole seconds)
  Open(source);
  ASSERT_EQ(bar->Max(), 20);
  bar->SetPositionL(10);
  bar->SetPositionU(18);
  const std::string target = dir.File("part.wav");
  Cut(target);
  auto samples = SamplesOf(target);
  ASSERT_EQ(samples.size(), 32000u);  // [5.0 s, 9.0 s)
  EXPECT_EQ(samples.front(), 40000 % 30000);
  EXPECT_EQ(samples.back(), 71999 % 30000);
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();

  // The end thumb at Max saves to the last sample; the caption showed the progress.
  bar->SetPositionU(20);  // Max: the end of the file, 10.7 s
  dialogs.answerYes = true;
  Cut(target);
  samples = SamplesOf(target);
  ASSERT_EQ(samples.size(), 45600u);
  EXPECT_EQ(samples.back(), 85599 % 30000);
  EXPECT_EQ(dialogs.messages, QStringList{QString::fromStdString(target) + Texts::kAskOverwrite});
  EXPECT_EQ(window.windowTitle(), Texts::kProgramTitle);
  ASSERT_FALSE(log.captions.isEmpty());
  EXPECT_TRUE(log.captions.contains("Vorlun Clipwright - Cutting ... 0%") ||
              log.captions.filter(QRegularExpression("^Vorlun Clipwright - Cutting \\.\\.\\. [0-9]+%$")).size() > 0)
      << log.captions.join("|").toStdString();
}

// The four orders of typing that once saved something else than the boxes showed.
TEST_F(StartCut, WhatTheBoxesShowIsWhatIsSaved) {
  const std::string source = Numbered("minute.wav", 8000 * 60);
  const std::string target = dir.File("part.wav");
  Open(source);
  // 1. End 10.0, then start 10.0: both accepted, an empty selection that is said and saves nothing.
  Type("eEnd", "00:00:10.0");
  Type("eStart", "00:00:10.0");
  EXPECT_EQ(Box("eStart"), "00:00:10.0");
  EXPECT_EQ(Box("eEnd"), "00:00:10.0");
  EXPECT_EQ(Length(), "00:00:00.0");
  EXPECT_EQ(bar->PositionU(), 20);
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  Cut(target);
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kEmptySelection});
  EXPECT_FALSE(std::filesystem::exists(target));

  // 2. End 20.0, then start 30.0: refused, and the start box gets 10.0 back.
  dialogs.messages.clear();
  Type("eEnd", "00:00:20.0");
  Type("eStart", "00:00:30.0");
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kStartAfterEnd});
  EXPECT_EQ(Box("eStart"), "00:00:10.0");
  EXPECT_EQ(bar->PositionL(), 20);
  EXPECT_EQ(Length(), "00:00:10.0");
  dialogs.messages.clear();
  Cut(target);
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  Saved saved = SavedRange(target);
  EXPECT_EQ(saved.frames, 80000u);  // [10 s, 20 s)
  EXPECT_EQ(saved.first, 80000 % 30000);
  std::filesystem::remove(target);

  // 3. An incomplete start, then Start Cut: the format message, the box
  // restored, nothing saved; the next click saves what the boxes show.
  Type("eStart", "00:00:20", false);
  Cut(target);
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kTimeFormat});
  EXPECT_EQ(Box("eStart"), "00:00:10.0");
  EXPECT_FALSE(std::filesystem::exists(target));
  dialogs.messages.clear();
  Cut(target);
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  EXPECT_EQ(SavedRange(target).frames, 80000u);

  // 4. With start at 10.0, an end of 5.0 is refused with a message, and an
  // end of 10.0 accepted as it was typed.
  dialogs.messages.clear();
  Type("eEnd", "00:00:05.0");
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kStartAfterEnd});
  EXPECT_EQ(Box("eEnd"), "00:00:20.0");
  dialogs.messages.clear();
  Type("eEnd", "00:00:10.0");
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  EXPECT_EQ(Box("eEnd"), "00:00:10.0");
  EXPECT_EQ(Length(), "00:00:00.0");
}

TEST_F(StartCut, TypedTenthsAreKeptAndSavedExactly) {
  const std::string source = Numbered("minute.wav", 8000 * 60);
  Open(source);
  Type("eEnd", "00:00:20.7");
  Type("eStart", "00:00:10.3");
  EXPECT_EQ(Box("eStart"), "00:00:10.3");
  EXPECT_EQ(Box("eEnd"), "00:00:20.7");
  EXPECT_EQ(Length(), "00:00:10.4");
  EXPECT_EQ(bar->PositionL(), 20);  // the thumbs sit on the half-seconds that hold the times
  EXPECT_EQ(bar->PositionU(), 41);
  const std::string target = dir.File("part.wav");
  Cut(target);
  const Saved saved = SavedRange(target);
  EXPECT_EQ(saved.frames, 83200u);  // [10.3 s, 20.7 s)
  EXPECT_EQ(saved.first, 82400 % 30000);
  EXPECT_EQ(saved.last, 165599 % 30000);
  // A thumb the user drags sets its own time, on its half-second.
  bar->SetPositionL(30);
  EXPECT_EQ(Box("eStart"), "00:00:15.0");
  EXPECT_EQ(Box("eEnd"), "00:00:20.7");
  EXPECT_EQ(Length(), "00:00:05.7");
}

TEST_F(StartCut, WmaCutsStartOnTheExactSample) {
  const std::string source = dir.File("sweep.wma");
  WriteWma(source, ChirpSamples(44100 * 21, 2, 44100), 2, 44100, 128000);
  Sealed<TWMIn> reader;
  reader.SetFileName(source);
  const std::vector<int16_t> whole = ReadRun(reader);
  Open(source);
  const std::string target = dir.File("cut.wma");
  for (int startS : {2, 5, 10, 13, 15, 18}) {
    Type("eEnd", QString::fromStdString(MsToTimeText(startS * 1000 + 1500)));
    Type("eStart", QString::fromStdString(MsToTimeText(startS * 1000)));
    dialogs.answerYes = true;
    Cut(target);
    Sealed<TWMIn> back;
    back.SetFileName(target);
    const std::vector<int16_t> part = ReadRun(back);
    EXPECT_EQ(part.size(), 2u * 66150) << startS;
    EXPECT_EQ(BestLag(whole, static_cast<size_t>(startS) * 44100, part, 2, 2500, 2000), 0) << startS;
  }
}

TEST_F(StartCut, AFileGoneSinceItWasOpenedIsNamed) {
  const std::string source = Numbered("gone.wav", 8000 * 2);
  Open(source);
  std::filesystem::remove(source);
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kFileGone + QString::fromStdString(source)});
}

TEST_F(StartCut, DialogRefusalsAndTheSourceItself) {
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kOpenFirst});

  const std::string song = dir.File("Song.MP3");
  WriteBytes(song, EncodeMp3(ToneSamples(44100, 2, 44100), 2, 44100, 192, true));
  Open(song);
  dialogs.messages.clear();
  dialogs.saveAnswer.clear();  // cancelled
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(dialogs.lastFilter, (FileFilter{"Sound Files", {"*.MP3"}}));
  EXPECT_EQ(dialogs.lastSuffix, "MP3");
  EXPECT_EQ(dialogs.lastProposed, "cut_Song.MP3");
  EXPECT_EQ(dialogs.lastFolder.toStdString(), dir.Path().string());  // the dialog opens beside the source
  EXPECT_EQ(dialogs.lastTitle, Texts::kSaveCutTitle);
  EXPECT_TRUE(button->isEnabled());

  // No to the overwrite question starts nothing.
  const std::string kept = dir.File("kept.MP3");
  WriteBytes(kept, {'k', 'e', 'e', 'p'});
  dialogs.answerYes = false;
  Cut(kept);
  EXPECT_EQ(ReadFile(kept), (Bytes{'k', 'e', 'e', 'p'}));

  // The source itself, by another name, is refused before anything is written.
  std::filesystem::create_hard_link(song, dir.File("same.mp3"));
  dialogs.messages.clear();
  const auto before = ReadFile(song);
  Cut(dir.File("same.mp3"));
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kSaveOverSource});
  EXPECT_EQ(ReadFile(song), before);
}

TEST_F(StartCut, EachFormatKeepsItsKind) {
  // MP3: the source's bit rate and channels.
  for (const int channels : {2, 1}) {
    const std::string song = dir.File("song" + std::to_string(channels) + ".mp3");
    WriteBytes(song, EncodeMp3(ToneSamples(44100 * 2, channels, 44100), channels, 44100, 192, true));
    Open(song);
    const std::string target = dir.File("cut" + std::to_string(channels) + ".mp3");
    Cut(target);
    Sealed<TWMIn> back;
    back.SetFileName(target);
    EXPECT_EQ(back.Bitrate(), 192000) << channels;
    EXPECT_EQ(back.Channels(), channels);
    EXPECT_EQ(back.TotalSamples(), 44100 * 2);  // the whole file, exactly
  }
  // An IMA ADPCM source is saved as plain PCM.
  const auto tone = ToneSamples(1017 * 8, 1, 8000);
  Bytes data(512 * 8);
  Adpcm::ImaChannel state;
  for (int b = 0; b < 8; ++b) Adpcm::ImaEncodeBlock(tone.data() + 1017 * b, 512, 1, &state, data.data() + 512 * b);
  Bytes extra, fact;
  WavBuilder::Put16(extra, 2);
  WavBuilder::Put16(extra, 1017);
  WavBuilder::Put32(fact, 1017 * 8);
  const std::string adpcm = dir.File("ima.wav");
  WriteBytes(adpcm, WavBuilder().Format(17, 1, 8000, 512, 4, extra).Chunk("fact", fact).Chunk("data", data).Build());
  Open(adpcm);
  Cut(dir.File("pcm.wav"));
  Sealed<TWaveIn> back;
  back.SetFileName(dir.File("pcm.wav"));
  EXPECT_EQ(back.WavType(), wtPCM);
  EXPECT_EQ(back.TotalSamples(), 1017 * 8);
}

TEST_F(StartCut, FlacOggOpusAndM4aFilesOpenAndAreSavedInTheirFormat) {
  for (const AudioFormat kind : {AudioFormat::Flac, AudioFormat::Vorbis, AudioFormat::Opus, AudioFormat::M4a}) {
    const std::string ext = CodecExtension(kind);
    SCOPED_TRACE(ext);
    const std::string song = dir.File("song" + ext);
    ASSERT_EQ(WriteCodecFile(song, kind, ChirpSamples(48000 * 3, 2, 48000), 2, 48000,
                             [](TCodecOut& out) { out.Id3v2Tags().SetTitle(u"Three"); }),
              "");
    Open(song);
    EXPECT_EQ(Length(), "00:00:03.0");
    const std::string target = dir.File("cut" + ext);
    Cut(target);
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
    EXPECT_EQ(dialogs.lastSuffix.toStdString(), ext.substr(1));
    EXPECT_EQ(dialogs.lastProposed.toStdString(), "cut_song" + ext);
    Sealed<TCodecIn> back(CodecOf(kind));
    back.SetFileName(target);
    EXPECT_EQ(back.TotalSamples(), 48000 * 3);  // the whole file, exactly
    EXPECT_EQ(back.Id3v2Tags().Title(), u"Three");
  }
  // AAC without a container cannot mark where its audio starts and ends: its cut is offered as M4A.
  const std::string note = dir.File("note.aac");
  WriteAdtsFile(note, ChirpSamples(44100 * 2, 1, 44100));
  Open(note);
  Cut(dir.File("cut_note.m4a"));
  EXPECT_EQ(dialogs.lastFilter, (FileFilter{"Sound Files", {"*.m4a"}}));
  EXPECT_EQ(dialogs.lastProposed.toStdString(), "cut_note.m4a");
  EXPECT_TRUE(std::filesystem::exists(dir.File("cut_note.m4a")));
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
}

TEST_F(StartCut, AFailedRunSaysSoAndKeepsTheOldTarget) {
  Open(Numbered("long.wav", 8000 * 20));
  const std::string target = dir.File("old.wav");
  WriteBytes(target, {'o', 'l', 'd'});
  {
    const FileSizeLimit limit(20000);
    Cut(target);
  }
  ASSERT_EQ(dialogs.messages.size(), 2);  // the overwrite question, then the failure
  EXPECT_TRUE(dialogs.messages[1].startsWith("Error writing wave file")) << dialogs.messages[1].toStdString();
  EXPECT_EQ(ReadFile(target), (Bytes{'o', 'l', 'd'}));
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_NE(entry.path().filename().string().rfind(".clipwright-", 0), 0u) << entry.path();
  EXPECT_EQ(window.windowTitle(), Texts::kProgramTitle);
}

TEST(StartCutClosing, ClosingTheWindowMidCutRemovesTheTemporaryFile) {
  TempDir dir;
  FakeDialogs dialogs;
  const std::string song = dir.File("long.mp3");
  WriteBytes(song, EncodeMp3(ToneSamples(44100 * 40, 2, 44100), 2, 44100, 128, true));
  auto window = std::make_unique<TfrmMain>();
  window->show();
  dialogs.openAnswer = QString::fromStdString(song);
  QTest::mouseClick(window->findChild<QPushButton*>("bOpen"), Qt::LeftButton);
  dialogs.saveAnswer = QString::fromStdString(dir.File("cut.mp3"));
  QTest::mouseClick(window->findChild<QPushButton*>("bStartCut"), Qt::LeftButton);
  ASSERT_FALSE(window->findChild<QPushButton*>("bStartCut")->isEnabled());  // running
  window.reset();
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_EQ(entry.path().filename().string(), "long.mp3");
}

TEST_F(StartCut, KeepQualityCopiesTheOpusAndM4aPacketsOfTheSelectionToo) {
  auto* keep = window.findChild<QCheckBox*>("cbKeepQuality");
  const std::string wav = Numbered("numbers.wav", 8000 * 6), opus = dir.File("talk.opus");
  ASSERT_EQ(WriteCodecFile(opus, AudioFormat::Opus, ChirpSamples(48000 * 6, 1, 48000), 1, 48000), "");
  Open(opus);
  ASSERT_TRUE(keep->isEnabled());
  EXPECT_EQ(keep->text().remove('&'), "Keep Opus quality (no re-encoding)");
  EXPECT_TRUE(keep->toolTip().startsWith("Copy the Opus packets")) << keep->toolTip().toStdString();
  QTest::mouseClick(keep, Qt::LeftButton);
  bar->SetPositionL(2);  // [1.0 s, 3.0 s)
  bar->SetPositionU(6);
  const std::string target = dir.File("part.opus");
  Cut(target);
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  EXPECT_EQ(DecodeWithFfmpeg(target).size(), 2u * 48000);  // mono, decoded at 48 kHz: exactly 2 s
  // M4A: the AAC packets, trimmed by the edit list.
  const std::string m4a = dir.File("talk.m4a");
  ASSERT_EQ(WriteCodecFile(m4a, AudioFormat::M4a, ChirpSamples(44100 * 6, 1, 44100), 1, 44100), "");
  Open(m4a);
  ASSERT_TRUE(keep->isEnabled());
  EXPECT_TRUE(keep->isChecked());  // the choice comes back
  EXPECT_EQ(keep->text().remove('&'), "Keep M4A quality (no re-encoding)");
  bar->SetPositionL(2);
  bar->SetPositionU(6);
  Cut(dir.File("part.m4a"));
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  EXPECT_EQ(StreamDurationSamples(dir.File("part.m4a")), 2 * 44100);
  // A format without a way names itself, not MP3.
  Open(wav);
  EXPECT_EQ(keep->text().remove('&'), "Keep WAV quality (no re-encoding)");
  EXPECT_FALSE(keep->isEnabled());
  // FLAC loses nothing anyway: the box says so, ticked and greyed.
  const std::string flac = dir.File("talk.flac");
  ASSERT_EQ(WriteCodecFile(flac, AudioFormat::Flac, ChirpSamples(44100 * 2, 1, 44100), 1, 44100), "");
  Open(flac);
  EXPECT_EQ(keep->text().remove('&'), "Keep FLAC quality (no re-encoding)");
  EXPECT_FALSE(keep->isEnabled());
  EXPECT_TRUE(keep->isChecked());
  EXPECT_TRUE(keep->toolTip().startsWith("A FLAC cut keeps every sample")) << keep->toolTip().toStdString();
  // Ogg Vorbis cannot be trimmed at the start without decoding: the box says why.
  const std::string ogg = dir.File("talk.ogg");
  ASSERT_EQ(WriteCodecFile(ogg, AudioFormat::Vorbis, ChirpSamples(44100 * 2, 1, 44100), 1, 44100), "");
  Open(ogg);
  EXPECT_FALSE(keep->isEnabled());
  EXPECT_TRUE(keep->toolTip().startsWith("Ogg Vorbis cannot be cut exactly")) << keep->toolTip().toStdString();
}

TEST_F(StartCut, TheStatusLineTellsAnMp3ResultsLengthAsItsFileHoldsIt) {
  // Encoded by LAME with its gapless tag: 3 s exactly. (Made in this process:
  // a window test under ThreadSanitizer cannot start other programs.)
  const std::string mp3 = dir.File("tone.mp3");
  WriteBytes(mp3, EncodeMp3(ToneSamples(44100 * 3, 2, 44100), 2, 44100, 128, true));
  Open(mp3);
  EXPECT_EQ(Length(), "00:00:03.0");
  Type("eStart", "00:00:00.5");
  Type("eEnd", "00:00:03.0");
  const std::string target = dir.File("part.mp3");
  Cut(target);
  ASSERT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  EXPECT_EQ(DecodeWithFfmpeg(target).size(), 2u * 110250);
  auto* status = window.findChild<QLabel*>("lStatus");
  auto told = [&] { return status->toolTip().isEmpty() ? status->text() : status->toolTip(); };
  ASSERT_TRUE(WaitUntil([&] { return told() == "Saved part.mp3, 00:00:02.500"; }, 10000)) << told().toStdString();
}

TEST_F(StartCut, FadesBesideStartCutShapeTheEndsOfWhatIsSaved) {
  auto* in = window.findChild<QSpinBox*>("sbFadeIn");
  auto* out = window.findChild<QSpinBox*>("sbFadeOut");
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(in->value(), 0);  // no fades unless asked
  EXPECT_LT(in->geometry().right(), button->geometry().left());  // either side of Start Cut
  EXPECT_GT(out->geometry().left(), button->geometry().right());
  const std::string source = Numbered("numbers.wav", 8000 * 4);
  Open(source);
  bar->SetPositionL(2);  // [1.0 s, 3.0 s)
  bar->SetPositionU(6);
  in->setFocus();
  in->selectAll();
  QTest::keyClicks(in, "100");  // typed over the 0, as a person would
  QTest::keyClick(in, Qt::Key_Tab);
  out->setValue(250);
  const std::string target = dir.File("faded.wav");
  Cut(target);
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  const std::vector<int16_t> saved = SamplesOf(target);
  ASSERT_EQ(saved.size(), 16000u);  // the length is the selection's
  // Equal-power: 800 frames rising as sin(pi/2 i/800), 2000 falling to a silent last one.
  for (const int i : {0, 200, 400, 799}) {
    const double want = (8000 + i) % 30000 * std::sin(std::numbers::pi / 2 * i / 800.0);
    EXPECT_NEAR(saved[static_cast<size_t>(i)], want, 1.0) << i;
  }
  EXPECT_EQ(saved[8000], (8000 + 8000) % 30000);  // between the fades, as it was
  EXPECT_EQ(saved.back(), 0);
  // Keep quality copies frames: it cannot fade, and says so before anything is written.
  const std::string song = dir.File("song.mp3");
  WriteBytes(song, EncodeMp3(ChirpSamples(44100 * 4, 2, 44100), 2, 44100, 128, true));
  Open(song);
  auto* keep = window.findChild<QCheckBox*>("cbKeepQuality");
  if (!keep->isChecked()) QTest::mouseClick(keep, Qt::LeftButton);
  dialogs.saveAnswer = QString::fromStdString(dir.File("part.mp3"));
  dialogs.lastTitle.clear();
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_TRUE(dialogs.lastTitle.isEmpty()) << "said after the save dialog, not before it";
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_TRUE(dialogs.messages[0].startsWith("Fades change the samples")) << dialogs.messages[0].toStdString();
  EXPECT_TRUE(button->isEnabled());
  EXPECT_FALSE(std::filesystem::exists(dir.File("part.mp3")));
}

TEST_F(StartCut, MoreTellsTheLoudnessOfTheSelection) {
  QAction* measure = window.findChild<QAction*>("miLoudness");
  ASSERT_NE(measure, nullptr);
  measure->trigger();
  ASSERT_EQ(dialogs.messages.size(), 1);  // no file yet
  EXPECT_EQ(dialogs.messages[0], Texts::kOpenFirst);
  // 997 Hz whose peaks are at -20 dBFS in both channels for 2 s, then 2 s at -6 dBFS: EBU's reference
  // says -20 LUFS for the first half.
  std::vector<uint8_t> data;
  for (int i = 0; i < 48000 * 4; ++i) {
    const double level = i < 48000 * 2 ? 0.1 : 0.5;
    const auto value = static_cast<int16_t>(std::lround(32767 * level * std::sin(2 * std::numbers::pi * 997 * i / 48000.0)));
    for (int c = 0; c < 2; ++c) data.insert(data.end(), {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)});
  }
  const std::string tone = dir.File("tone.wav");
  WriteBytes(tone, WavBuilder().Format(1, 2, 48000, 4, 16).Chunk("data", data).Build());
  Open(tone);
  bar->SetPositionL(0);  // [0 s, 2 s)
  bar->SetPositionU(4);
  dialogs.messages.clear();
  measure->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !dialogs.messages.isEmpty(); }, 30000));
  const QString told = dialogs.messages[0];
  EXPECT_TRUE(told.startsWith("Loudness of 00:00:00.000 - 00:00:02.000 (EBU R128):")) << told.toStdString();
  EXPECT_TRUE(told.contains("Integrated loudness: -20.0 LUFS")) << told.toStdString();
  EXPECT_TRUE(told.contains("Sample peak: -20.0 dBFS")) << told.toStdString();
}

TEST_F(StartCut, KeepMp3QualityCopiesTheFramesOfTheSelection) {
  auto* keep = window.findChild<QCheckBox*>("cbKeepQuality");
  ASSERT_NE(keep, nullptr);
  EXPECT_EQ(keep->text().remove('&'), "Keep MP3 quality (no re-encoding)");
  EXPECT_FALSE(keep->isChecked());
  EXPECT_FALSE(keep->isEnabled());  // no file yet
  EXPECT_FALSE(keep->geometry().intersects(button->geometry()));
  EXPECT_EQ(keep->parentWidget(), button->parentWidget());

  Open(Numbered("numbers.wav", 8000));
  EXPECT_FALSE(keep->isEnabled());  // WAV frames are not MP3 frames
  const std::string song = dir.File("song.mp3");
  WriteBytes(song, EncodeMp3(ChirpSamples(44100 * 4, 2, 44100), 2, 44100, 128, true));
  Open(song);
  ASSERT_TRUE(keep->isEnabled());
  EXPECT_FALSE(keep->isChecked());
  QTest::mouseClick(keep, Qt::LeftButton);
  ASSERT_TRUE(keep->isChecked());

  bar->SetPositionL(2);  // [1.0 s, 3.0 s)
  bar->SetPositionU(6);
  const std::string target = dir.File("part.mp3");
  Cut(target);
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  const std::vector<int16_t> whole = DecodeWithFfmpeg(song);
  const std::vector<int16_t> cut = DecodeWithFfmpeg(target);
  EXPECT_TRUE(cut == std::vector<int16_t>(whole.begin() + 44100 * 2, whole.begin() + 132300 * 2));
  EXPECT_EQ(window.windowTitle(), Texts::kProgramTitle);

  // A stream that cannot be copied exactly: the message says why, nothing is written.
  Bytes damaged = ReadFile(song);
  damaged.insert(damaged.begin() + 20000, 400, 0x55);
  const std::string bad = dir.File("bad.mp3");
  WriteBytes(bad, damaged);
  Open(bad);
  ASSERT_TRUE(keep->isChecked() && keep->isEnabled());
  dialogs.messages.clear();
  Cut(dir.File("bad_part.mp3"));
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_TRUE(dialogs.messages[0].contains("damaged at byte")) << dialogs.messages[0].toStdString();
  EXPECT_FALSE(std::filesystem::exists(dir.File("bad_part.mp3")));
  const auto files = std::filesystem::directory_iterator(dir.Path());
  EXPECT_EQ(std::distance(begin(files), end(files)), 4);  // numbers, song, part, bad: no stray file

  // A WAV file shows the box unticked while it is greyed; the next MP3 file
  // gets the choice back.
  Open(dir.File("numbers.wav"));
  EXPECT_FALSE(keep->isEnabled());
  EXPECT_FALSE(keep->isChecked());
  Open(song);
  EXPECT_TRUE(keep->isEnabled());
  EXPECT_TRUE(keep->isChecked());
}

}  // namespace

namespace {

/// The middle of the waveform's bands at x.
QPoint WavePoint(TWaveformView* view, int x) { return QPoint(x, view->WaveRect().center().y()); }

}  // namespace

TEST_F(StartCut, TheWaveformPlacesTheCutOnTheSampleUnderThePointer) {
  const std::string source = Numbered("minute.wav", 8000 * 60);
  Open(source);
  auto* view = window.findChild<TWaveformView*>("wvAudio");
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(view->ViewTo() - view->ViewFrom(), 480000);
  // Shift+click moves the nearer handle (here the start) to the sample under it.
  QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, WavePoint(view, 100));
  const int64_t start = 480000LL * 100 / view->width();
  EXPECT_EQ(view->SelStart(), start);
  EXPECT_EQ(Box("eStart"), QString::fromStdString(MsToExactTimeText(static_cast<int32_t>(std::llround(start / 8.0)))));
  const std::string target = dir.File("part.wav");
  Cut(target);
  Saved saved = SavedRange(target);
  EXPECT_EQ(saved.frames, static_cast<size_t>(480000 - start));
  EXPECT_EQ(saved.first, start % 30000);

  // A drag selects; Shift+Right moves the handle it left active by one sample.
  QTest::mousePress(view, Qt::LeftButton, {}, WavePoint(view, 200));
  QTest::mouseMove(view, WavePoint(view, 260));
  QTest::mouseMove(view, WavePoint(view, 300));
  QTest::mouseRelease(view, Qt::LeftButton, {}, WavePoint(view, 300));
  const int64_t from = 480000LL * 200 / view->width(), to = 480000LL * 300 / view->width();
  EXPECT_EQ(view->SelStart(), from);
  EXPECT_EQ(view->SelEnd(), to);
  QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(view->SelEnd(), to + 1);
  dialogs.answerYes = true;
  Cut(target);
  saved = SavedRange(target);
  EXPECT_EQ(saved.frames, static_cast<size_t>(to + 1 - from));
  EXPECT_EQ(saved.first, from % 30000);
  EXPECT_EQ(saved.last, to % 30000);
  // The thumbs follow to their half-second steps.
  EXPECT_EQ(bar->PositionL(), static_cast<int>(from / 4000));

  // Times typed to the millisecond land on their sample; the other end
  // keeps the exact sample the waveform gave it.
  Type("eStart", "00:00:01.234");
  EXPECT_EQ(view->SelStart(), 9872);
  EXPECT_EQ(Box("eStart"), "00:00:01.234");
  EXPECT_EQ(view->SelEnd(), to + 1);
  Cut(target);
  saved = SavedRange(target);
  EXPECT_EQ(saved.frames, static_cast<size_t>(to + 1 - 9872));
  EXPECT_EQ(saved.last, to % 30000);
}

TEST_F(StartCut, TheWaveformZoomsAndIsDrawn) {
  const std::string source = Numbered("minute.wav", 8000 * 60);
  Open(source);
  auto* view = window.findChild<TWaveformView*>("wvAudio");
  // The peaks arrive in the background; the view draws them.
  ASSERT_TRUE(WaitUntil([&] { return view->Source()->Columns(0, 480000, 100).known[99] == WaveformColumns::kExact; }, 10000));
  QTest::qWait(100);
  const QImage drawn = view->grab().toImage();
  int green = 0;
  for (int x = 0; x < drawn.width(); ++x)
    for (int y = view->WaveRect().top(); y < view->WaveRect().bottom(); ++y)
      if (const QColor c = drawn.pixelColor(x, y); c.green() > c.red() + 60 && c.green() > c.blue() + 40) ++green;
  EXPECT_GT(green, drawn.width());  // the ramp: a rising line in every column

  // The wheel zooms around the pointer, down to a sample every 16 pixels.
  const QPoint at = WavePoint(view, 124);
  const int64_t under = view->FrameAt(124);
  QWheelEvent wheel(at, view->mapToGlobal(at), {}, {0, 120 * 3}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view, &wheel);
  EXPECT_LT(view->ViewTo() - view->ViewFrom(), 480000);
  EXPECT_NEAR(static_cast<double>(view->FrameAt(124)), static_cast<double>(under), 600.0);
  for (int i = 0; i < 40; ++i) QTest::keyClick(view, Qt::Key_Plus);
  EXPECT_EQ(view->ViewTo() - view->ViewFrom(), view->width() / 16);
  QTest::keyClick(view, Qt::Key_0);
  EXPECT_EQ(view->ViewTo() - view->ViewFrom(), 480000);
  // A double click zooms to the selection; the button shows the whole file again.
  Type("eStart", "00:00:10.0");
  Type("eEnd", "00:00:20.0");
  QTest::mouseDClick(view, Qt::LeftButton, {}, WavePoint(view, 10));
  EXPECT_EQ(view->ViewFrom(), 80000);
  EXPECT_EQ(view->ViewTo(), 160000);
  QTest::mouseClick(view->findChild<QToolButton*>("bWhole"), Qt::LeftButton);
  EXPECT_EQ(view->ViewTo() - view->ViewFrom(), 480000);
}
