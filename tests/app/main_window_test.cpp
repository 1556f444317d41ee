#include <gtest/gtest.h>
#include <filesystem>
#include "tests/support/TestAudio.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "app/About.h"
#include "app/Links.h"
#include "app/Main.h"
#include "audio/classes/MainThread.h"
#include "tests/support/EventLoop.h"
#include <stdexcept>
#include <thread>
#include "controls/Tracker2.h"
#include "controls/WaveformView.h"
#include "tests/support/FakeDialogs.h"

namespace {

/// Catches the pages the program asks the desktop to open.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  UrlCatcher() {
    QDesktopServices::setUrlHandler("https", this, "Open");
    QDesktopServices::setUrlHandler("http", this, "Open");
  }
  ~UrlCatcher() override {
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("http");
  }
  QStringList opened;
 public slots:
  void Open(const QUrl& url) { opened << url.toString(); }
};

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  }

  template <typename T>
  T* Child(const char* name) {
    T* child = window.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }

  QMenu* Menu() { return Child<QMenu>("pmAbout"); }
  QAction* MenuItem(const char* name) { return Menu()->findChild<QAction*>(name); }

  FakeDialogs dialogs;
  TfrmMain window;
};

TEST_F(MainWindow, AHandlerThatFailsOnTheWindowThreadIsShown) {
  // What a worker hands to the window thread and fails there reaches the user.
  std::thread worker([] { MainThread::Call([] { throw std::runtime_error("the handler failed: /tmp/x.wav"); }); });
  ASSERT_TRUE(SpinUntil([&] { return !dialogs.messages.isEmpty(); }));
  worker.join();
  EXPECT_EQ(dialogs.messages, QStringList{"the handler failed: /tmp/x.wav"});
}

TEST_F(MainWindow, OpensAtItsLayoutAndGivesMoreRoomToTheWaveform) {
  EXPECT_EQ(window.windowTitle(), "Vorlun Clipwright");
  EXPECT_EQ(window.size(), QSize(513, 447));
  EXPECT_EQ(window.minimumSize(), QSize(513, 447));
  EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_TRUE(window.windowFlags() & Qt::WindowMaximizeButtonHint);

  auto* wave = Child<QWidget>("wvAudio");
  window.resize(1920, 1040);
  EXPECT_EQ(wave->geometry(), QRect(8, 98, 496 + 1407, 106 + 593));
  EXPECT_GT(dynamic_cast<TWaveformView*>(wave)->WaveRect().height(), 600 - 1);
  const QRect track = Child<QWidget>("tbAudio")->geometry();
  EXPECT_EQ(track, QRect(8, 208 + 593, 496 + 1407, 50));
  // Everything below the waveform moves down with it and stays inside the window.
  for (const char* name : {"gbPreview", "gbCut", "bSegmo", "bJoiner", "bAbout"}) {
    const QRect r = Child<QWidget>(name)->geometry();
    EXPECT_GE(r.top(), track.bottom()) << name;
    EXPECT_TRUE(window.rect().contains(r)) << name;
  }
  EXPECT_EQ(Child<QWidget>("bAbout")->geometry().right(), 1920 - 9);
  EXPECT_EQ(Child<QLabel>("lUpdate")->geometry().right(), 1920 - 11);

  // Back at the least size the layout is the designed one again.
  window.resize(400, 300);
  EXPECT_EQ(window.size(), QSize(513, 447));
  EXPECT_EQ(wave->geometry(), QRect(8, 98, 496, 106));
}

TEST_F(MainWindow, ControlsCarryTheirCaptionsAndHints) {
  const struct {
    const char* name;
    const char* caption;
    bool enabled;
  } buttons[] = {{"bOpen", "&Open File", true},         {"bPlay", "&Play", true},
                 {"bPause", "P&ause", false},           {"bStop", "&Stop", false},
                 {"bMarkStart", "&Mark Start", false},  {"bMarkEnd", "Mark &End", false},
                 {"bPlaySelection", "P&lay Selection", false}, {"bStartCut", "Start &Cut", true},
                 {"bSegmo", "&Segment Cut", true},      {"bJoiner", "&Joiner && Mixer", true},
                 {"bAbout", "Mo&re", true}};
  for (const auto& b : buttons) {
    auto* button = Child<QPushButton>(b.name);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), b.caption) << b.name;
    EXPECT_EQ(button->isEnabled(), b.enabled) << b.name;
  }
  EXPECT_EQ(Child<QPushButton>("bSegmo")->toolTip(), "Cut off many useless data segment just one time");
  EXPECT_EQ(Child<QPushButton>("bJoiner")->toolTip(), "Merge or mix two audio files");

  for (const char* name : {"eStart", "eEnd"}) {
    auto* edit = Child<QLineEdit>(name);
    EXPECT_EQ(edit->text(), "00:00:00.0");
    EXPECT_EQ(edit->maxLength(), 12);  // hh:mm:ss.ttt
  }
  EXPECT_EQ(Child<QLineEdit>("eStart")->toolTip(), "Start Time");
  EXPECT_EQ(Child<QLineEdit>("eEnd")->toolTip(), "End Time");
  EXPECT_TRUE(Child<QLineEdit>("eOpenFile")->isReadOnly());
  EXPECT_EQ(Child<QLabel>("Label1")->text(), "Splitted File Size: ");
  EXPECT_EQ(Child<QLabel>("lFileTime")->text(), "00:00:00.0");
  EXPECT_EQ(Child<QLabel>("lSubtitle")->text(), "Cut MP3, WAV, WMA files into pieces");
  EXPECT_EQ(Child<QLabel>("lUpdate")->text(), "Check for updates...");
  auto* bar = Child<TTrackBar2>("tbAudio");
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->geometry(), QRect(8, 208, 496, 50));
  EXPECT_EQ(Child<QWidget>("wvAudio")->geometry(), QRect(8, 98, 496, 106));
  EXPECT_EQ(bar->Orientation(), toHorizontal);
  EXPECT_EQ(bar->Max(), 50);
  EXPECT_EQ(bar->PositionL(), 0);
  EXPECT_EQ(bar->PositionU(), 50);
  EXPECT_EQ(bar->ThumbSize(), 12);
  EXPECT_TRUE(bar->SecondThumb());
  EXPECT_EQ(bar->TickSize(), 2);
  EXPECT_EQ(bar->TickColor(), QColor(Qt::black));
  EXPECT_EQ(bar->TrackCenterColor(), QColor(0, 128, 0));
  EXPECT_EQ(bar->cursor().shape(), Qt::PointingHandCursor);

  // Controls do not overlap the trackbar's place.
  const QRect track = Child<QWidget>("tbAudio")->geometry();
  for (QWidget* child : window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (child->objectName() != "tbAudio" && child->isVisible()) {
      EXPECT_FALSE(child->geometry().intersects(track)) << child->objectName().toStdString();
    }
  }
}

TEST_F(MainWindow, ShowingLaysOutTheBannerAndFocusesOpen) {
  auto* update = Child<QLabel>("lUpdate");
  EXPECT_EQ(update->x() + update->width(), 513 - 10);
  EXPECT_EQ(Child<QLabel>("iUpdate")->x(), update->x() - 20);
  EXPECT_EQ(Child<QLabel>("imgTitle")->geometry(), QRect(0, 0, 513, 50));
  EXPECT_FALSE(Child<QLabel>("imgTitle")->pixmap().isNull());
  EXPECT_EQ(window.focusWidget(), Child<QPushButton>("bOpen"));
}

TEST_F(MainWindow, UpdateLinkTurnsRedUnderTheMouse) {
  auto* update = Child<QLabel>("lUpdate");
  EXPECT_EQ(update->palette().color(QPalette::WindowText), QColor(Qt::white));
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QApplication::sendEvent(update, &enter);
  EXPECT_EQ(update->palette().color(QPalette::WindowText), QColor(Qt::red));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(update, &leave);
  EXPECT_EQ(update->palette().color(QPalette::WindowText), QColor(Qt::white));
}

TEST_F(MainWindow, LinksOpenTheirPages) {
  UrlCatcher catcher;
  QTest::mouseClick(Child<QLabel>("Image1"), Qt::LeftButton);
  QTest::mouseClick(Child<QLabel>("lTitle"), Qt::LeftButton);
  QTest::mouseClick(Child<QLabel>("lUpdate"), Qt::LeftButton);
  QTest::mouseClick(Child<QLabel>("lTitle"), Qt::RightButton);  // only the left button acts
  MenuItem("miHomepage")->trigger();
  MenuItem("miDonate")->trigger();
  EXPECT_EQ(catcher.opened, (QStringList{Links::kHomePage, Links::kMakerSite, Links::kUpdateCheck,
                                         Links::kHomePage, Links::kDonation}));
}

TEST_F(MainWindow, MoreMenuListsItsItemsInOrder) {
  QStringList texts;
  for (QAction* action : Menu()->actions()) texts << (action->isSeparator() ? "-" : action->text());
  EXPECT_EQ(texts, (QStringList{"&Homepage", "-", "&Donate", "-", "&About...", "&Keys...", "&Loudness of the Selection", "-",
                                "&Exit"}));

  QTest::mouseClick(Child<QPushButton>("bAbout"), Qt::LeftButton);
  EXPECT_TRUE(Menu()->isVisible());
  Menu()->hide();

  MenuItem("miExit")->trigger();
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindow, SecondaryWindowsAreFreshEachTime) {
  QList<QSize> sizes;
  int marked = 0;
  dialogs.onModal = [&](QDialog& dialog) {
    sizes << dialog.size();
    EXPECT_EQ(dialog.parentWidget(), &window);
    EXPECT_FALSE(dialog.property("seen").toBool());
    dialog.setProperty("seen", true);
    ++marked;
  };
  QTest::mouseClick(Child<QPushButton>("bSegmo"), Qt::LeftButton);
  QTest::mouseClick(Child<QPushButton>("bSegmo"), Qt::LeftButton);
  QTest::mouseClick(Child<QPushButton>("bJoiner"), Qt::LeftButton);
  EXPECT_EQ(marked, 3);
  EXPECT_EQ(dialogs.shownModal, (QStringList{"Segment Cut", "Segment Cut", "Joiner & Mixer"}));
  EXPECT_EQ(sizes, (QList<QSize>{QSize(427, 580), QSize(427, 580), QSize(520, 176)}));
  // Nothing of them is left behind.
  EXPECT_EQ(window.findChildren<QDialog*>().size(), 0);
}

TEST_F(MainWindow, AboutBoxShowsTitleVersionAndLinks) {
  UrlCatcher catcher;
  bool checked = false;
  dialogs.onModal = [&](QDialog& dialog) {
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "About Vorlun Clipwright");
    EXPECT_EQ(dialog.size(), QSize(360, 255));
    EXPECT_EQ(dialog.geometry().topLeft(), window.geometry().topLeft() + QPoint((513 - 360) / 2, (447 - 255) / 2));
    EXPECT_EQ(dialog.findChild<QLabel*>("Label1")->text(), "Vorlun Clipwright");
    EXPECT_EQ(dialog.findChild<QLabel*>("lVersion")->text(), "Version: 3.1   Build 20260605");
    EXPECT_EQ(dialog.findChild<QLabel*>("lDonate1")->text(),
              "If you like it, please feel free to donate, any donations");
    EXPECT_EQ(dialog.findChild<QLabel*>("lDonate2")->text(), "large or small are greatly appreciated.");
    EXPECT_FALSE(dialog.findChild<QLabel*>("Image3")->pixmap().isNull());
    QTest::mouseClick(dialog.findChild<QLabel*>("lbEAddress"), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QLabel*>("Image3"), Qt::LeftButton);
    auto* ok = dialog.findChild<QPushButton*>("bOK");
    EXPECT_EQ(ok->text(), "&OK");
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    checked = true;
  };
  MenuItem("miAbout")->trigger();
  EXPECT_TRUE(checked);
  EXPECT_EQ(catcher.opened, (QStringList{Links::kHomePage, Links::kDonation}));
}

TEST_F(MainWindow, WakeUpRestoresAMinimisedWindow) {
  window.showMinimized();
  EXPECT_TRUE(window.isMinimized());
  window.WMWakeUp();
  EXPECT_FALSE(window.isMinimized());
  EXPECT_TRUE(window.isVisible());

  window.hide();
  window.WMWakeUp();
  EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindow, SegmentCutStartsWithTheFileOpenHere) {
  TempDir dir;
  const std::string wav = dir.File("talk.wav");
  WritePcmWav(wav, 8000, 1, 8000 * 12);
  window.OpenFile(QString::fromStdString(wav));
  QString opened, length;
  dialogs.onModal = [&](QDialog& segmo) {
    opened = segmo.findChild<QLineEdit*>("eOpenFile")->text();
    length = segmo.findChild<QLabel*>("lFileTime")->text();
  };
  QTest::mouseClick(Child<QPushButton>("bSegmo"), Qt::LeftButton);
  EXPECT_EQ(opened.toStdString(), wav);
  EXPECT_EQ(length, "00:00:12.0");
  // A file gone since it was opened is not taken along.
  std::filesystem::remove(wav);
  QTest::mouseClick(Child<QPushButton>("bSegmo"), Qt::LeftButton);
  EXPECT_TRUE(opened.isEmpty());
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('|').toStdString();
}

}  // namespace

#include "main_window_test.moc"
