// Opening a file, previewing it and choosing the range in the main window,
// through the real widgets, with a silent player and scripted dialogs.
#include <gtest/gtest.h>

#include "tests/support/Drop.h"

#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/Main.h"
#include "app/Texts.h"
#include "controls/Tracker2.h"
#include "controls/WaveformView.h"
#include <QRegularExpression>
#include "audio/device/MediaPlayer.h"
#include "platform/Numbers.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"

namespace {

constexpr int kRate = 8000;

class Preview : public ::testing::Test {
 protected:
  void SetUp() override { MakeWindow(); }

  void MakeWindow() {
    window = std::make_unique<TfrmMain>();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    bar = Child<TTrackBar2>("tbAudio");
    eStart = Child<QLineEdit>("eStart");
    eEnd = Child<QLineEdit>("eEnd");
    eOpenFile = Child<QLineEdit>("eOpenFile");
    lFileTime = Child<QLabel>("lFileTime");
    timer = Child<QTimer>("Timer1");
    // The test ticks the preview timer itself: a loaded machine cannot then
    // hold back or bunch up the half-second steps the checks count.
    timer->setInterval(24 * 3600 * 1000);
    player = dynamic_cast<TMediaPlayer*>(window->findChild<QObject*>("MediaPlayer1"));
    ASSERT_NE(player, nullptr);
  }

  template <typename T>
  T* Child(const char* name) {
    T* child = window->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }

  bool Enabled(const char* action) {
    GoIdle();
    return Child<QAction>(action)->isEnabled();
  }

  /// A tone file of the given length in this test's folder.
  std::string Tone(const char* name, double seconds) {
    const std::string file = dir.File(name);
    WritePcmWav(file, kRate, 1, static_cast<int64_t>(seconds * kRate));
    return file;
  }

  void Open(const std::string& file) {
    dialogs.openAnswer = QString::fromStdString(file);
    QTest::mouseClick(Child<QPushButton>("bOpen"), Qt::LeftButton);
  }

  void Click(const char* button) {
    GoIdle();  // the buttons follow their actions once the window is idle
    QPushButton* b = Child<QPushButton>(button);
    ASSERT_TRUE(b->isEnabled()) << button;
    QTest::mouseClick(b, Qt::LeftButton);
  }

  /// Replaces a time box's text by typing, one character at a time.
  void Type(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
  }

  /// One half-second step of the preview timer.
  void Tick() { ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout")); }

  /// Ticks until the preview has stopped its timer; false when it never does.
  bool PreviewEnds() {
    for (int ticks = 0; ticks < 1000 && timer->isActive(); ++ticks) Tick();
    return !timer->isActive();
  }

  /// Ticks until the line has reached `position` (at most 1000 ticks).
  void TickTo(int position) {
    for (int ticks = 0; ticks < 1000 && bar->LinePosition() < position && timer->isActive(); ++ticks) Tick();
  }

  TempDir dir;
  FakeDialogs dialogs;
  std::unique_ptr<TfrmMain> window;
  TTrackBar2* bar = nullptr;
  QLineEdit* eStart = nullptr;
  QLineEdit* eEnd = nullptr;
  QLineEdit* eOpenFile = nullptr;
  QLabel* lFileTime = nullptr;
  QTimer* timer = nullptr;
  TMediaPlayer* player = nullptr;
};

TEST_F(Preview, NothingOpenLeavesSelectingAndPlayingOff) {
  EXPECT_FALSE(Enabled("aPlay"));
  EXPECT_FALSE(Enabled("aPlaySelection"));
  EXPECT_FALSE(Enabled("aPause"));
  EXPECT_FALSE(Enabled("aStop"));
  EXPECT_FALSE(eStart->isEnabled());
  EXPECT_FALSE(eEnd->isEnabled());
  EXPECT_FALSE(bar->isEnabled());
  EXPECT_EQ(bar->Max(), 50);

  Open("");  // cancelled
  EXPECT_TRUE(eOpenFile->text().isEmpty());
  EXPECT_EQ(bar->Max(), 50);
  EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(Preview, OpenTakesTheShellLengthInWholeSeconds) {
  const std::string file = Tone("ten.wav", 10.7);
  Open(file);
  EXPECT_EQ(dialogs.lastFilter, (FileFilter{"Sound Files", {"*.wav", "*.mp3", "*.wma", "*.flac", "*.ogg", "*.oga", "*.opus", "*.m4a", "*.m4b", "*.aac", "*.aiff", "*.aif", "*.aifc"}}));
  EXPECT_EQ(eOpenFile->text().toStdString(), file);
  EXPECT_EQ(bar->Max(), 20);  // 00:00:10 without tenths
  EXPECT_EQ(bar->PositionL(), 0);
  EXPECT_EQ(bar->PositionU(), 20);
  EXPECT_EQ(eStart->text(), "00:00:00.0");
  EXPECT_EQ(eEnd->text(), "00:00:10.0");
  EXPECT_EQ(lFileTime->text(), "00:00:10.0");
  EXPECT_TRUE(dialogs.messages.isEmpty());

  EXPECT_TRUE(Enabled("aPlay"));
  EXPECT_TRUE(Enabled("aPlaySelection"));
  EXPECT_FALSE(Enabled("aPause"));
  EXPECT_FALSE(Enabled("aStop"));
  EXPECT_TRUE(Enabled("aMarkStart"));  // at the cursor, stopped or not
  EXPECT_TRUE(eStart->isEnabled());
  EXPECT_TRUE(bar->isEnabled());
}

TEST_F(Preview, WithoutAShellLengthTheDeviceTellsItInMilliseconds) {
  // Under a second the shell's hh:mm:ss reads 00:00:00, so the device is asked.
  Open(Tone("short.wav", 0.9));
  EXPECT_EQ(bar->Max(), 1);  // 900 ms
  EXPECT_EQ(eEnd->text(), "00:00:00.5");
  EXPECT_EQ(player->Mode(), mpNotReady);  // closed again
  EXPECT_TRUE(dialogs.messages.isEmpty());
  EXPECT_TRUE(Enabled("aPlay"));
}

TEST_F(Preview, AFileThatCannotBeReadIsNotKept) {
  Open(dir.File("gone.wav"));
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_TRUE(dialogs.messages[0].endsWith(QString("   ") + Texts::kOpenFileError)) << dialogs.messages[0].toStdString();
  EXPECT_GT(dialogs.messages[0].size(), QString(Texts::kOpenFileError).size() + 3);  // the reason comes first
  EXPECT_TRUE(eOpenFile->text().isEmpty());
  EXPECT_FALSE(Enabled("aPlay"));
  EXPECT_FALSE(bar->isEnabled());
}

TEST_F(Preview, AFileGoneSinceOpeningIsToldOfOnPlay) {
  const std::string file = Tone("two.wav", 2.2);
  Open(file);
  std::remove(file.c_str());
  Click("bPlay");
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_NE(dialogs.messages[0], Texts::kPlaybackUnavailable);  // the reason itself, naming the file
  EXPECT_TRUE(dialogs.messages[0].contains(QString::fromStdString(file))) << dialogs.messages[0].toStdString();
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(player->Mode(), mpNotReady);
  EXPECT_FALSE(Enabled("aPlay"));
}

TEST_F(Preview, ANamedPipeIsRefusedWithoutWaitingForAWriter) {
  const std::string pipe = dir.File("pipe.wav");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  Open(pipe);  // would block the window forever if it were read
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_TRUE(dialogs.messages[0].contains("is a named pipe")) << dialogs.messages[0].toStdString();
  EXPECT_TRUE(dialogs.messages[0].endsWith(Texts::kOpenFileError));
  EXPECT_TRUE(eOpenFile->text().isEmpty());
}

TEST_F(Preview, AFileOurInputsCannotReadGetsNoLength) {
  // Random bytes named .wav, and a WAV file without a single frame.
  const std::string junk = dir.File("junk.wav");
  std::vector<uint8_t> bytes(300 * 1024);
  uint32_t x = 12345;
  for (uint8_t& b : bytes) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 24);
  WriteBytes(junk, bytes);
  const std::string empty = dir.File("empty.wav");
  WritePcmWav(empty, kRate, 1, 0);
  for (const std::string& file : {junk, empty}) {
    dialogs.messages.clear();
    Open(file);
    ASSERT_EQ(dialogs.messages.size(), 1) << file;
    EXPECT_TRUE(dialogs.messages[0].contains(QString::fromStdString(file))) << dialogs.messages[0].toStdString();
    EXPECT_TRUE(dialogs.messages[0].endsWith(Texts::kOpenFileError));
    EXPECT_TRUE(eOpenFile->text().isEmpty());
    EXPECT_EQ(eEnd->text(), "00:00:00.0");
    EXPECT_EQ(lFileTime->text(), "00:00:00.0");
    EXPECT_FALSE(Enabled("aPlay"));  // goes idle, where the range follows
    EXPECT_FALSE(eStart->isEnabled());
    EXPECT_FALSE(bar->isEnabled());
  }
  Open(Tone("good.wav", 2.0));  // the next file opens as usual
  EXPECT_TRUE(Enabled("aPlay"));
  EXPECT_EQ(bar->Max(), 4);
}

TEST_F(Preview, EveryOpenedFileStartsFromAWholeSelection) {
  Open(Tone("ten.wav", 10.0));
  Type(eStart, "00:00:02.0");
  ASSERT_EQ(bar->PositionL(), 4);
  Open(Tone("five.wav", 5.0));
  EXPECT_EQ(bar->PositionL(), 0);
  EXPECT_EQ(bar->PositionU(), 10);
  EXPECT_EQ(lFileTime->text(), "00:00:05.0");
}

TEST_F(Preview, LosingTheAudioOutputEndsThePreviewAndSaysSo) {
  Open(Tone("four.wav", 4.0));
  Click("bPlay");
  ASSERT_TRUE(timer->isActive());
  ASSERT_TRUE(player->OnDeviceLost);
  player->Stop();
  player->OnDeviceLost();  // what the device tells when the sound server ends
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kNoAudioOutput});
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(bar->LinePosition(), 0);
  EXPECT_FALSE(Enabled("aPlay"));
}

TEST_F(Preview, ThePlayButtonHandsItsFocusToStop) {
  // A key pressed after clicking Play must not land in a time box.
  Open(Tone("four.wav", 4.0));
  GoIdle();
  auto* play = Child<QPushButton>("bPlay");
  play->setFocus();
  QTest::keyClick(play, Qt::Key_Space);
  GoIdle();
  ASSERT_TRUE(timer->isActive());
  EXPECT_EQ(QApplication::focusWidget(), Child<QPushButton>("bStop"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);  // Stop works at once
  GoIdle();
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(eStart->text(), "00:00:00.0");
  EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(Preview, TypingAFullStartTimeMovesTheThumbAtTheLastCharacter) {
  Open(Tone("ten.wav", 10.7));
  eStart->setFocus();
  eStart->selectAll();
  QTest::keyClick(eStart, Qt::Key_Backspace);
  const QString text = "00:00:05.0";
  for (qsizetype i = 0; i < text.size(); ++i) {
    EXPECT_EQ(bar->PositionL(), 0) << "after " << i << " characters";
    QTest::keyClick(eStart, text[i].toLatin1());
  }
  EXPECT_EQ(bar->PositionL(), 10);
  EXPECT_EQ(lFileTime->text(), "00:00:05.0");

  // The short form waits until the box is left and rewritten in full.
  Type(eStart, "0:0:3.0");
  EXPECT_EQ(bar->PositionL(), 10);
  eEnd->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(eStart->text(), "00:00:03.0");
  EXPECT_EQ(bar->PositionL(), 6);
  EXPECT_TRUE(dialogs.messages.isEmpty());

  // Milliseconds typed in full stay as they were typed when the box is left.
  Type(eStart, "00:00:03.000");
  eEnd->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(eStart->text(), "00:00:03.000");
  EXPECT_EQ(bar->PositionL(), 6);

  // The end box moves the upper thumb, within the total.
  Type(eEnd, "00:00:08.5");
  EXPECT_EQ(bar->PositionU(), 17);
  EXPECT_EQ(lFileTime->text(), "00:00:05.5");
}

TEST_F(Preview, LeavingATimeBoxChecksItsTime) {
  Open(Tone("ten.wav", 10.7));
  // Equal start and end pass.
  Type(eStart, "00:00:10.0");
  eEnd->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(dialogs.messages.isEmpty());
  EXPECT_TRUE(eEnd->hasFocus());

  // A refused time gives way to the last accepted one.
  Type(eStart, "00:00:10.5");
  eEnd->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kStartAfterEnd});
  EXPECT_TRUE(eStart->hasFocus());
  EXPECT_EQ(eStart->text(), "00:00:10.0");

  dialogs.messages.clear();
  Type(eStart, "5 seconds");
  eEnd->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kTimeFormat});
  EXPECT_TRUE(eStart->hasFocus());
  EXPECT_EQ(eStart->text(), "00:00:10.0");

  // Beyond the total: the thumb never moved, leaving is refused all the same.
  dialogs.messages.clear();
  Type(eStart, "00:00:00.0");
  Type(eEnd, "00:00:10.5");
  EXPECT_EQ(bar->PositionU(), 20);
  eStart->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kEndAfterTotal});
  EXPECT_TRUE(eEnd->hasFocus());
  EXPECT_EQ(eEnd->text(), "00:00:10.0");
}

TEST_F(Preview, AWholeFilePreviewRunsTheLineToTheEndAndStops) {
  Open(Tone("two.wav", 2.2));
  ASSERT_EQ(bar->Max(), 4);
  Click("bPlay");
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(player->Mode(), mpPlaying);
  EXPECT_FALSE(Enabled("aPlay"));
  EXPECT_TRUE(Enabled("aPause"));
  EXPECT_TRUE(Enabled("aStop"));
  EXPECT_TRUE(Enabled("aMarkStart"));
  TickTo(2);
  ASSERT_TRUE(PreviewEnds());
  EXPECT_EQ(bar->LinePosition(), 0);
  EXPECT_EQ(player->Mode(), mpNotReady);
  EXPECT_TRUE(Enabled("aPlay"));
  EXPECT_FALSE(Enabled("aStop"));
}

TEST_F(Preview, PausedSelectionGoesOnAsWholePreviewOrAsSelection) {
  Open(Tone("four.wav", 4.2));
  ASSERT_EQ(bar->Max(), 8);
  bar->SetPositionU(3);
  Click("bPlaySelection");
  Tick();
  Click("bPause");
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(player->Mode(), mpPaused);
  EXPECT_TRUE(Enabled("aStop"));  // the line is not at 0
  EXPECT_TRUE(Enabled("aPlay"));

  // Play resumes as a whole-file preview: the line passes the end thumb.
  Click("bPlay");
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(player->Mode(), mpPlaying);
  TickTo(5);
  EXPECT_EQ(bar->LinePosition(), 5);
  Click("bStop");
  EXPECT_EQ(bar->LinePosition(), 0);
  EXPECT_EQ(player->Mode(), mpNotReady);

  // Play Selection resumes with the stop at the end thumb.
  Click("bPlaySelection");
  Tick();
  Click("bPause");
  Click("bPlaySelection");
  EXPECT_EQ(player->Mode(), mpPlaying);
  int highest = 0;
  for (int ticks = 0; ticks < 100 && timer->isActive(); ++ticks) {
    Tick();
    highest = std::max(highest, bar->LinePosition());
  }
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(highest, 3);
  EXPECT_EQ(bar->LinePosition(), 0);
}

TEST_F(Preview, DraggingTheStartThumbPlaysOnFromThere) {
  Open(Tone("three.wav", 3.2));
  ASSERT_EQ(bar->Max(), 6);
  bar->SetPositionU(4);
  Click("bPlay");

  const QPoint grab = bar->ThumbRectL().center();
  const int step = bar->TrackLength() / bar->Max();
  const QPoint drop(grab.x() + 2 * step + step / 4, grab.y());
  QTest::mousePress(bar, Qt::LeftButton, {}, grab);
  QMouseEvent move(QEvent::MouseMove, QPointF(drop), bar->mapToGlobal(QPointF(drop)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(bar, &move);
  ASSERT_EQ(bar->PositionL(), 2);
  QTest::mouseRelease(bar, Qt::LeftButton, {}, drop);
  EXPECT_EQ(bar->LinePosition(), 2);
  EXPECT_EQ(eStart->text(), "00:00:01.0");

  // The device plays from the start thumb to the end thumb only, while the
  // line keeps running to the end of the file.
  ASSERT_TRUE(WaitUntil([&] { return player->Mode() == mpStopped; }));
  EXPECT_EQ(player->FramesPlayed(), kRate);  // 1.0 s to 2.0 s
  EXPECT_TRUE(timer->isActive());
  int highest = 0;
  for (int ticks = 0; ticks < 100 && timer->isActive(); ++ticks) {
    Tick();
    highest = std::max(highest, bar->LinePosition());
  }
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(highest, 5);  // the tick that reaches 6 stops the preview and returns the line to 0
  EXPECT_EQ(bar->LinePosition(), 0);
}

TEST_F(Preview, AClickPlacesTheCursorAndTheMarksTakeItPlayingOrNot) {
  Open(Tone("four.wav", 4.2));  // 33,600 frames over 496 pixels
  auto* view = Child<TWaveformView>("wvAudio");
  const int y = view->WaveRect().center().y();
  // A click on a fresh file places the cursor and leaves the selection whole.
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(248, y));
  EXPECT_EQ(view->CursorFrame(), 16800);
  EXPECT_EQ(view->SelStart(), 0);
  EXPECT_EQ(view->SelEnd(), 33600);
  EXPECT_EQ(Child<QLabel>("lPlayPosition")->text(), "00:00:02.100");
  ASSERT_TRUE(Enabled("aMarkStart"));  // stopped
  Click("bMarkStart");
  EXPECT_EQ(view->SelStart(), 16800);
  EXPECT_EQ(eStart->text(), "00:00:02.1");
  // The second click places the cursor again; O marks the end there.
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(372, y));
  EXPECT_EQ(view->SelStart(), 16800);
  QTest::keyClick(view, Qt::Key_O);
  EXPECT_EQ(view->SelEnd(), 25200);
  EXPECT_EQ(lFileTime->text(), "00:00:01.050");
  // A mark beyond the other handle stops at it.
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(10, y));
  QTest::keyClick(view, Qt::Key_O);
  EXPECT_EQ(view->SelEnd(), 16800);

  // Shift+click moves the nearer handle; a drag selects; a drag on a handle moves it.
  QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, QPoint(100, y));
  EXPECT_EQ(view->SelStart(), 6774);
  EXPECT_EQ(view->SelEnd(), 16800);
  QTest::mousePress(view, Qt::LeftButton, {}, QPoint(50, y));
  QMouseEvent drag(QEvent::MouseMove, QPointF(150, y), view->mapToGlobal(QPointF(150, y)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(view, &drag);
  QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(150, y));
  EXPECT_EQ(view->SelStart(), 3387);
  EXPECT_EQ(view->SelEnd(), 10161);
  EXPECT_EQ(eEnd->text(), "00:00:01.270");

  // Playing, I marks where the preview is.
  QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(248, y));
  QTest::keyClick(view, Qt::Key_Space);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(bar->LinePosition(), 4);  // from the cursor at 2.1 s
  ASSERT_TRUE(WaitUntil([&] {
    QMetaObject::invokeMethod(Child<QTimer>("tmPlayReadout"), "timeout");
    return view->CursorFrame() > 16800 + kRate / 10;
  }, 10000));
  QTest::keyClick(view, Qt::Key_Space);  // pauses
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(player->Mode(), mpPaused);
  const int64_t paused = view->CursorFrame();
  QTest::keyClick(view, Qt::Key_I);
  EXPECT_EQ(view->SelStart(), std::min<int64_t>(paused, view->SelEnd()));
  Click("bStop");
  EXPECT_EQ(view->CursorFrame(), 16800);  // back where the preview started
}

TEST_F(Preview, HearStartAndHearEndPlayTwoSecondsAroundTheHandles) {
  Open(Tone("ten.wav", 10.0));
  Type(eStart, "00:00:03.0");
  Type(eEnd, "00:00:07.5");
  eEnd->clearFocus();
  auto* wave = Child<TWaveformView>("wvAudio");
  wave->SetCursorFrame(2 * kRate);  // the cursor stands at 2 s
  Click("bHearEnd");
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(bar->LinePosition(), 13);  // 6.5 s
  int highest = 0;
  for (int ticks = 0; ticks < 100 && timer->isActive(); ++ticks) {
    Tick();
    highest = std::max(highest, bar->LinePosition());
  }
  EXPECT_EQ(highest, 17);  // stops at 8.5 s
  EXPECT_EQ(wave->CursorFrame(), 2 * kRate);  // and the cursor is back where it stood
  // At the start of the file the two seconds begin at 0.
  Type(eStart, "00:00:00.4");
  eStart->clearFocus();
  QTest::keyClick(Child<QWidget>("wvAudio"), Qt::Key_BracketLeft);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(bar->LinePosition(), 0);
  ASSERT_TRUE(WaitUntil([&] { return player->Mode() == mpStopped; }, 10000));
  EXPECT_EQ(player->FramesPlayed(), FrameOfMs(1400, kRate));
  Click("bStop");
  // The list of keys is one click away.
  window->findChild<QAction*>("miKeys")->trigger();
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_TRUE(dialogs.messages[0].contains("Space: play or pause"));
}

TEST_F(Preview, OpeningAnotherFileEndsThePreview) {
  Open(Tone("four.wav", 4.2));
  Click("bPlay");
  Tick();
  const std::string other = Tone("ten.wav", 10.7);
  Open(other);
  EXPECT_FALSE(timer->isActive());
  EXPECT_EQ(bar->LinePosition(), 0);
  EXPECT_EQ(player->Mode(), mpNotReady);
  EXPECT_EQ(eOpenFile->text().toStdString(), other);
  EXPECT_EQ(bar->Max(), 20);
}

/// Without a sound server the device cannot play anything.
class PreviewWithoutSound : public Preview {
 protected:
  void SetUp() override {
    saved = qgetenv("CLIPWRIGHT_AUDIO_OUTPUT");
    qputenv("CLIPWRIGHT_AUDIO_OUTPUT", "speakers");
    MakeWindow();
  }
  void TearDown() override { qputenv("CLIPWRIGHT_AUDIO_OUTPUT", saved); }
  QByteArray saved;
};

TEST_F(PreviewWithoutSound, OpenFallsBackToTheDecodersLength) {
  Open(Tone("short.wav", 0.9));
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kNoAudioOutput});
  EXPECT_EQ(bar->Max(), 2);  // whole seconds from the decoder: 1 s
  EXPECT_EQ(eEnd->text(), "00:00:01.0");
  EXPECT_FALSE(Enabled("aPlay"));
  EXPECT_FALSE(eOpenFile->text().isEmpty());
}

TEST_F(PreviewWithoutSound, PlayTellsOnceAndTurnsPreviewOff) {
  Open(Tone("ten.wav", 10.7));  // the shell knows its length: the device is not asked
  EXPECT_TRUE(dialogs.messages.isEmpty());
  Click("bPlay");
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kNoAudioOutput});
  EXPECT_FALSE(timer->isActive());
  EXPECT_FALSE(Enabled("aPlay"));
  EXPECT_FALSE(Enabled("aPause"));
  EXPECT_FALSE(Enabled("aStop"));
  EXPECT_TRUE(eStart->isEnabled());
}

}  // namespace

namespace {

TEST_F(Preview, ThePlaybackPositionIsShownToTheMillisecond) {
  Open(Tone("ten.wav", 10.0));
  auto* readout = Child<QLabel>("lPlayPosition");
  auto* view = Child<TWaveformView>("wvAudio");
  auto* refresh = Child<QTimer>("tmPlayReadout");
  EXPECT_EQ(readout->text(), "00:00:00.000");  // the cursor's place
  Type(eStart, "00:00:02.0");
  Click("bPlaySelection");
  // Wait until the silent player has played something.
  ASSERT_TRUE(WaitUntil([&] {
    QMetaObject::invokeMethod(refresh, "timeout");
    return view->CursorFrame() > 2 * kRate;
  }, 10000));
  const QString shown = readout->text();
  EXPECT_TRUE(QRegularExpression("^00:00:0[2-9]\\.[0-9]{3}$").match(shown).hasMatch()) << shown.toStdString();
  // Paused, the position stays shown; stopped, the cursor is back where the preview started.
  Click("bPause");
  QMetaObject::invokeMethod(refresh, "timeout");
  EXPECT_TRUE(QRegularExpression("^00:00:0[2-9]\\.[0-9]{3}$").match(readout->text()).hasMatch());
  EXPECT_GE(view->CursorFrame(), 2 * kRate);
  Click("bStop");
  QMetaObject::invokeMethod(refresh, "timeout");
  EXPECT_EQ(readout->text(), "00:00:02.000");
  EXPECT_EQ(view->CursorFrame(), 2 * kRate);
}

TEST_F(Preview, AFileDroppedOnTheWindowOpens) {
  const std::string wav = Tone("dropped.wav", 3.2);
  ASSERT_TRUE(DropFile(*window, wav, QPoint(200, 200)));
  EXPECT_EQ(eOpenFile->text().toStdString(), wav);
  EXPECT_EQ(bar->Max(), 6);
  // Not a sound file: refused at the door, nothing changes.
  const std::string notes = dir.File("notes.txt");
  WriteBytes(notes, {'h', 'i'});
  EXPECT_FALSE(DropFile(*window, notes, QPoint(200, 200)));
  EXPECT_EQ(eOpenFile->text().toStdString(), wav);
}

}  // namespace
