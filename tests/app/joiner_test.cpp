// The Joiner & Mixer window, through its real widgets with scripted dialogs.
#include <gtest/gtest.h>

#include "tests/support/Drop.h"

#include <QLabel>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/Joiner.h"
#include "app/Texts.h"
#include "tests/support/CaptionLog.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeDialogs.h"
#include "tests/audio/CodecFiles.h"
#include "audio/codecs/CodecIn.h"
#include "tests/support/FileSizeLimit.h"
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

bool HasTemporaryFiles(const std::string& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().filename().string().rfind(".clipwright-", 0) == 0) return true;
  return false;
}

class Joiner : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.installEventFilter(&log);
    start = window.findChild<QPushButton*>("bStart");
  }

  void Choose(const char* button, const std::string& file) {
    dialogs.openAnswer = QString::fromStdString(file);
    QTest::mouseClick(window.findChild<QPushButton*>(button), Qt::LeftButton);
  }

  /// Clicks Start, saving to `target`, and waits until Start is back.
  void Start(const std::string& target) {
    dialogs.saveAnswer = QString::fromStdString(target);
    QTest::mouseClick(start, Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return start->isEnabled(); }, 60000));
  }

  std::string Counting(const char* name, int frames, int first) {
    return WriteNumberedWav(dir.File(name), frames, first);
  }

  TempDir dir;
  FakeDialogs dialogs;
  TfrmJoiner window{nullptr};
  CaptionLog log;
  QPushButton* start = nullptr;
};

TEST_F(Joiner, LaysOutTheFormsControls) {
  EXPECT_EQ(window.size(), QSize(520, 176));
  EXPECT_EQ(window.windowTitle(), "Joiner & Mixer");
  for (const char* name : {"eFile1", "eFile2"}) EXPECT_TRUE(window.findChild<QLineEdit*>(name)->isReadOnly()) << name;
  // The same caption, each with its own accelerator.
  EXPECT_EQ(window.findChild<QPushButton*>("bOpen1")->text(), "&Open File");
  EXPECT_EQ(window.findChild<QPushButton*>("bOpen2")->text(), "O&pen File");
  EXPECT_EQ(start->text(), "&Start");
  EXPECT_EQ(window.findChild<QPushButton*>("suiButton2")->text(), "&Close");
  EXPECT_TRUE(window.findChild<QRadioButton*>("rbJoiner")->isChecked());
  EXPECT_EQ(window.findChild<QRadioButton*>("rbMixer")->text(), "Mixer");
}

TEST_F(Joiner, EachOpenButtonHasItsOwnKey) {
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const std::string first = Counting("a.wav", 100, 0), second = Counting("b.wav", 100, 0);
  auto* file1 = window.findChild<QLineEdit*>("eFile1");
  auto* file2 = window.findChild<QLineEdit*>("eFile2");
  // Through the shortcut map; a mnemonic clicks its button a moment later.
  dialogs.openAnswer = QString::fromStdString(first);
  QTest::keyClick(window.windowHandle(), Qt::Key_O, Qt::AltModifier);
  ASSERT_TRUE(WaitUntil([&] { return !file1->text().isEmpty(); }, 5000));
  dialogs.openAnswer = QString::fromStdString(second);
  QTest::keyClick(window.windowHandle(), Qt::Key_P, Qt::AltModifier);
  ASSERT_TRUE(WaitUntil([&] { return !file2->text().isEmpty(); }, 5000));
  EXPECT_EQ(file1->text().toStdString(), first);
  EXPECT_EQ(file2->text().toStdString(), second);
}

TEST_F(Joiner, ChecksTheFilesBeforeAskingForATarget) {
  QTest::mouseClick(start, Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, QStringList{"Please select the input file!"});
  Choose("bOpen1", Counting("a.wav", 100, 0));
  EXPECT_EQ(dialogs.lastFilter, (FileFilter{"Sound Files", {"*.wav", "*.mp3", "*.wma", "*.flac", "*.ogg", "*.oga", "*.opus", "*.m4a", "*.m4b", "*.aac", "*.aiff", "*.aif", "*.aifc"}}));
  const std::string mp3 = dir.File("b.MP3");
  WriteBytes(mp3, EncodeMp3(ToneSamples(8000, 1, 8000), 1, 8000, 32, true));
  Choose("bOpen2", mp3);
  dialogs.messages.clear();
  QTest::mouseClick(start, Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, QStringList{"Please select the same format file!"});
  EXPECT_TRUE(dialogs.lastTitle.isNull() && dialogs.lastSuffix.isEmpty());  // no save dialog

  // ".mp3" and ".MP3" are one format: the save dialog is the MP3 one.
  const std::string lower = dir.File("c.mp3");
  WriteBytes(lower, EncodeMp3(ToneSamples(8000, 1, 8000), 1, 8000, 32, true));
  Choose("bOpen1", lower);
  dialogs.messages.clear();
  dialogs.saveAnswer.clear();  // cancelled
  QTest::mouseClick(start, Qt::LeftButton);
  EXPECT_TRUE(dialogs.messages.isEmpty());
  EXPECT_EQ(dialogs.lastFilter, (FileFilter{"Sound Files", {"*.mp3"}}));
  EXPECT_EQ(dialogs.lastSuffix, "mp3");
}

TEST_F(Joiner, JoinsAndMixesWithProgressInTheCaption) {
  Choose("bOpen1", Counting("a.wav", 80000, 0));
  Choose("bOpen2", Counting("b.wav", 40000, 100));
  const std::string target = dir.File("ab.wav");
  Start(target);
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  EXPECT_EQ(dialogs.lastFolder.toStdString(), dir.Path().string());  // the dialog opens beside the first file
  const Bytes bytes = ReadFile(target);
  ASSERT_EQ(bytes.size(), 44u + 2 * 120000);
  std::vector<int16_t> samples(120000);
  std::memcpy(samples.data(), bytes.data() + 44, bytes.size() - 44);
  EXPECT_EQ(samples[79999], 79999 % 30000);
  EXPECT_EQ(samples[80000], 100);  // the second file follows at once, unchanged
  EXPECT_EQ(samples.back(), (100 + 39999) % 30000);
  EXPECT_EQ(window.windowTitle(), "Joiner & Mixer");
  EXPECT_GT(log.captions.filter(QRegularExpression("^Joiner & Mixer - Processing \\.\\.\\. [0-9]+%$")).size(), 0)
      << log.captions.join("|").toStdString();
  auto* status = window.findChild<QLabel*>("lStatus");
  EXPECT_TRUE(WaitUntil([&] { return status->text() == "Saved ab.wav, 00:00:15.000"; }, 10000))
      << status->text().toStdString();  // 120,000 frames at 8 kHz

  // Mixer: the longer file's length; the existing target is asked about.
  QTest::mouseClick(window.findChild<QRadioButton*>("rbMixer"), Qt::LeftButton, {}, QPoint(8, 12));
  dialogs.answerYes = true;
  Start(target);
  EXPECT_EQ(dialogs.messages, QStringList{QString::fromStdString(target) + Texts::kAskOverwrite});
  EXPECT_EQ(ReadFile(target).size(), 44u + 2 * 80000);
}

TEST_F(Joiner, TheStatusLineTellsAnMp3JoinsLengthAsItsFileHoldsIt) {
  // Two files encoded by LAME with its gapless tag, 2 s and 1.5 s: the join holds 3.5 s, not a third of
  // a second more. (Made in this process: a window test under ThreadSanitizer cannot start other programs.)
  std::vector<std::string> parts;
  for (const auto& [name, frames] : {std::pair{"one", 88200}, std::pair{"two", 66150}}) {
    const std::string mp3 = dir.File(std::string(name) + ".mp3");
    WriteBytes(mp3, EncodeMp3(ToneSamples(frames, 2, 44100), 2, 44100, 128, true));
    parts.push_back(mp3);
  }
  Choose("bOpen1", parts[0]);
  Choose("bOpen2", parts[1]);
  Start(dir.File("both.mp3"));
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  auto* status = window.findChild<QLabel*>("lStatus");
  EXPECT_TRUE(WaitUntil([&] { return status->text() == "Saved both.mp3, 00:00:03.500"; }, 10000))
      << status->text().toStdString();
}

TEST_F(Joiner, AnOggAndAnOgaFileAreOneFormat) {
  const std::string first = dir.File("a.ogg"), second = dir.File("b.OGA");
  ASSERT_EQ(WriteCodecFile(first, AudioFormat::Vorbis, ToneSamples(22050, 1, 22050), 1, 22050), "");
  ASSERT_EQ(WriteCodecFile(second, AudioFormat::Vorbis, ToneSamples(11025, 1, 22050), 1, 22050), "");
  Choose("bOpen1", first);
  Choose("bOpen2", second);
  const std::string target = dir.File("ab.ogg");
  Start(target);
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  EXPECT_EQ(dialogs.lastSuffix.toStdString(), "ogg");
  Sealed<TCodecIn> joined(CodecOf(AudioFormat::Vorbis));
  joined.SetFileName(target);
  EXPECT_EQ(joined.TotalSamples(), 22050 + 11025);
}

TEST_F(Joiner, NoToTheOverwriteQuestionAndInputsAsTargetStartNothing) {
  const std::string first = Counting("a.wav", 1000, 0);
  Choose("bOpen1", first);
  Choose("bOpen2", Counting("b.wav", 1000, 5));
  const std::string target = dir.File("old.wav");
  WriteBytes(target, {'o', 'l', 'd'});
  dialogs.answerYes = false;
  Start(target);
  EXPECT_EQ(ReadFile(target), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(dialogs.messages.size(), 1);

  dialogs.messages.clear();
  std::filesystem::create_symlink(first, dir.File("link.wav"));
  const Bytes before = ReadFile(first);
  Start(dir.File("link.wav"));
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kSaveOverInput});
  EXPECT_EQ(ReadFile(first), before);
}

TEST_F(Joiner, AFailedRunSaysSoAndKeepsTheOldTarget) {
  Choose("bOpen1", Counting("a.wav", 80000, 0));
  Choose("bOpen2", Counting("b.wav", 80000, 0));
  const std::string target = dir.File("old.wav");
  WriteBytes(target, {'o', 'l', 'd'});
  {
    const FileSizeLimit limit(20000);
    Start(target);
  }
  ASSERT_EQ(dialogs.messages.size(), 2);  // the overwrite question, then the failure
  EXPECT_TRUE(dialogs.messages[1].startsWith("Error writing wave file")) << dialogs.messages[1].toStdString();
  EXPECT_EQ(ReadFile(target), (Bytes{'o', 'l', 'd'}));
  EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
  EXPECT_EQ(window.windowTitle(), "Joiner & Mixer");
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // A file that cannot be read: a message, and the window idle again.
  const std::string junk = dir.File("junk.wav");
  WriteBytes(junk, Bytes(100, 'x'));
  Choose("bOpen2", junk);
  dialogs.messages.clear();
  Start(dir.File("new.wav"));
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_NE(dialogs.messages[0].toStdString().find("junk.wav"), std::string::npos) << dialogs.messages[0].toStdString();
  EXPECT_FALSE(std::filesystem::exists(dir.File("new.wav")));
  EXPECT_TRUE(start->isEnabled());
}

TEST_F(Joiner, ChoosingAFileDuringARunLeavesTheRunAlone) {
  const std::string a = dir.File("a.wav"), b = dir.File("b.wav");
  WritePcmWav(a, 44100, 2, 44100 * 60);
  WritePcmWav(b, 44100, 2, 44100 * 30);
  Choose("bOpen1", a);
  Choose("bOpen2", b);
  const std::string target = dir.File("ab.wav");
  dialogs.saveAnswer = QString::fromStdString(target);
  QTest::mouseClick(start, Qt::LeftButton);
  Choose("bOpen1", Counting("other.wav", 100, 0));  // while the run reads a.wav
  EXPECT_TRUE(WaitUntil([&] { return start->isEnabled(); }, 60000));
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  EXPECT_EQ(ReadFile(target).size(), 44u + 4u * 44100 * 90);
}

TEST(JoinerClosing, ClosingTheWindowMidRunStopsItAndRemovesTheTemporaryFile) {
  TempDir dir;
  FakeDialogs dialogs;
  const std::string a = dir.File("a.wav"), b = dir.File("b.wav"), target = dir.File("long.wav");
  WritePcmWav(a, 44100, 2, 44100 * 120);
  WritePcmWav(b, 44100, 2, 44100 * 120);
  {
    TfrmJoiner window(nullptr);
    window.show();
    dialogs.openAnswer = QString::fromStdString(a);
    QTest::mouseClick(window.findChild<QPushButton*>("bOpen1"), Qt::LeftButton);
    dialogs.openAnswer = QString::fromStdString(b);
    QTest::mouseClick(window.findChild<QPushButton*>("bOpen2"), Qt::LeftButton);
    QTest::mouseClick(window.findChild<QRadioButton*>("rbMixer"), Qt::LeftButton, {}, QPoint(8, 12));
    dialogs.saveAnswer = QString::fromStdString(target);
    QTest::mouseClick(window.findChild<QPushButton*>("bStart"), Qt::LeftButton);
    EXPECT_FALSE(window.findChild<QPushButton*>("bStart")->isEnabled());
    QTest::mouseClick(window.findChild<QPushButton*>("suiButton2"), Qt::LeftButton);
  }
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_FALSE(HasTemporaryFiles(dir.Path()));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Joiner, AFileDroppedOnABoxGoesInThatBox) {
  auto* file1 = window.findChild<QLineEdit*>("eFile1");
  auto* file2 = window.findChild<QLineEdit*>("eFile2");
  const std::string a = dir.File("a.wav"), b = dir.File("b.wav");
  WritePcmWav(a, 8000, 1, 8000);
  WritePcmWav(b, 8000, 1, 8000);
  ASSERT_TRUE(DropFile(window, b, file2->mapTo(&window, file2->rect().center())));
  EXPECT_EQ(file2->text().toStdString(), b);
  EXPECT_TRUE(file1->text().isEmpty());
  // Off the boxes: the first empty one.
  ASSERT_TRUE(DropFile(window, a, QPoint(2, 2)));
  EXPECT_EQ(file1->text().toStdString(), a);
  EXPECT_EQ(file2->text().toStdString(), b);
}

}  // namespace
