// The Segment Cut window, through its real widgets with scripted dialogs.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QMouseEvent>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <cmath>
#include <filesystem>
#include <fstream>

#include <taglib/mpegfile.h>
#include <taglib/tag.h>

#include "app/Segmo.h"
#include "app/Texts.h"
#include "app/jobs/Global.h"
#include "controls/WaveformView.h"
#include "tests/audio/CodecFiles.h"
#include "tests/support/FfmpegDecode.h"
#include "tests/support/FileBytes.h"
#include "tests/support/CaptionLog.h"
#include "tests/support/EventLoop.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/Mp3Encoder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestAudio.h"
#include "tests/support/WavBuilder.h"

namespace {

namespace fs = std::filesystem;

/// Keeps XDG_DATA_HOME pointing into a test folder while it lives.
class DataHome {
 public:
  explicit DataHome(const std::string& folder) : saved_(qgetenv("XDG_DATA_HOME")), had_(qEnvironmentVariableIsSet("XDG_DATA_HOME")) {
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(folder));
  }
  ~DataHome() {
    if (had_) qputenv("XDG_DATA_HOME", saved_);
    else qunsetenv("XDG_DATA_HOME");
  }

 private:
  QByteArray saved_;
  bool had_;
};

class SegmentCut : public ::testing::Test {
 protected:
  void SetUp() override {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.installEventFilter(&log);
    list = window.findChild<QTableWidget*>("lvMain");
    start = window.findChild<QLineEdit*>("eStart");
    end = window.findChild<QLineEdit*>("eEnd");
    GoIdle();
  }

  std::string Numbered(const char* name, int frames) { return WriteNumberedWav(dir.File(name), frames); }

  void Open(const std::string& file) {
    dialogs.openAnswer = QString::fromStdString(file);
    QTest::mouseClick(window.findChild<QPushButton*>("bOpen"), Qt::LeftButton);
  }

  void Add(const QString& from, const QString& to) {
    start->setText(from);
    end->setText(to);
    QTest::mouseClick(window.findChild<QPushButton*>("bAdd"), Qt::LeftButton);
    GoIdle();
  }

  QAction* Action(const char* name) { return window.findChild<QAction*>(name); }
  QString Cell(int row, int column) { return list->item(row, column)->text(); }

  /// Start Now, saving to `target`; waits until the job has ended.
  void StartNow(const std::string& target) {
    dialogs.saveAnswer = QString::fromStdString(target);
    GoIdle();
    ASSERT_TRUE(Action("aStartCut")->isEnabled());
    Action("aStartCut")->trigger();
    EXPECT_TRUE(WaitUntil([&] { return window.windowTitle() == "Segment Cut" && Action("aStartCut")->isEnabled(); }, 60000));
  }

  /// "Save each listed range" into a new folder, the pieces named by `pattern`;
  /// waits until the job has ended. The folder's name.
  std::string SaveEachRange(const std::string& name = "pieces", const QString& pattern = "part {n}") {
    QTest::mouseClick(window.findChild<QRadioButton*>("rbSave"), Qt::LeftButton);
    const std::string folder = dir.File(name);
    fs::create_directory(folder);
    dialogs.folderAnswer = QString::fromStdString(folder);
    dialogs.textAnswer = pattern;
    GoIdle();
    Action("aStartCut")->trigger();
    EXPECT_TRUE(WaitUntil([&] { return window.windowTitle() == "Segment Cut" && Action("aStartCut")->isEnabled(); }, 60000));
    return folder;
  }

  QPushButton* FindButton() { return window.findChild<QPushButton*>("bFindSilences"); }

  /// Find Silences, waiting until it has ended.
  void FindSilences() {
    FindButton()->click();
    EXPECT_EQ(FindButton()->text(), "&Stop");  // while it runs, the button stops it
    EXPECT_TRUE(WaitUntil([&] { return FindButton()->text() == "Find S&ilences"; }, 60000));
    EXPECT_EQ(window.windowTitle(), "Segment Cut");
  }

  bool WorkFolderIsEmpty() {
    const std::string folder = dir.File("data/Vorlun/Clipwright");
    return !fs::exists(folder) || fs::is_empty(folder);
  }

  TempDir dir;
  DataHome home{dir.File("data")};
  FakeDialogs dialogs;
  TfrmSegmo window{nullptr};
  CaptionLog log;
  QTableWidget* list = nullptr;
  QLineEdit* start = nullptr;
  QLineEdit* end = nullptr;
};

TEST_F(SegmentCut, LayoutAndTheTotalTime) {
  EXPECT_EQ(window.size(), QSize(427, 580));
  EXPECT_EQ(list->horizontalHeaderItem(0)->text(), "Cut Start");
  EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "Cut End");
  // Both times and the titles in view at the designed size.
  EXPECT_EQ(list->columnWidth(0), 90);
  EXPECT_GE(list->columnWidth(2), 80);
  EXPECT_LE(list->columnWidth(0) + list->columnWidth(1) + list->columnWidth(2), list->viewport()->width());
  // The status line has the window's width.
  auto* status = window.findChild<QLabel*>("lStatus");
  EXPECT_EQ(status->geometry(), QRect(8, 556, 411, 20));
  EXPECT_EQ(start->maxLength(), 12);  // hh:mm:ss.ttt
  EXPECT_FALSE(Action("aStartCut")->isEnabled());
  Open(Numbered("ten.wav", 85600));  // 10.7 s: the shell says 10 s
  EXPECT_EQ(window.findChild<QLabel*>("lFileTime")->text(), "00:00:10.0");
  Open(dir.File("missing.wav"));
  // The reason and the file, then what to do.
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_TRUE(dialogs.messages[0].startsWith("No such file")) << dialogs.messages[0].toStdString();
  EXPECT_TRUE(dialogs.messages[0].contains(QString::fromStdString(dir.File("missing.wav"))));
  EXPECT_TRUE(dialogs.messages[0].endsWith(Texts::kOpenFileError));
  EXPECT_TRUE(window.findChild<QLineEdit*>("eOpenFile")->text().isEmpty());
  EXPECT_EQ(window.findChild<QLabel*>("lFileTime")->text(), "00:00:10.0");
}

TEST_F(SegmentCut, GrowingTheWindowGrowsTheWaveformAndTheList) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_EQ(window.minimumSize(), QSize(427, 580));
  window.resize(427 + 300, 580 + 200);
  EXPECT_EQ(window.findChild<QWidget*>("wvAudio")->geometry(), QRect(8, 44, 411 + 300, 106 + 200));
  EXPECT_EQ(list->geometry(), QRect(8, 260 + 200, 300 + 300, 206));
  EXPECT_EQ(window.findChild<QWidget*>("bClose")->geometry(), QRect(319 + 300, 439 + 200, 100, 27));
  EXPECT_EQ(window.findChild<QWidget*>("bFindSilences")->geometry().top(), 522 + 200);
  EXPECT_EQ(window.findChild<QWidget*>("lStatus")->geometry(), QRect(8, 556 + 200, 411 + 300, 20));
  window.close();
}

TEST_F(SegmentCut, TheWaveformShadesTheListAndADragFillsTheTimes) {
  Open(Numbered("minute.wav", 8000 * 60));
  auto* view = window.findChild<TWaveformView*>("wvAudio");
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(view->ViewTo(), 480000);
  const int y = view->WaveRect().center().y();
  QTest::mousePress(view, Qt::LeftButton, {}, QPoint(41, y));
  QTest::mouseMove(view, QPoint(80, y));
  QTest::mouseMove(view, QPoint(123, y));
  QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(123, y));
  auto ms = [&](int x) {
    return QString::fromStdString(MsToExactTimeText(static_cast<int32_t>(std::llround(480000.0 * x / view->width() / 8))));
  };
  EXPECT_EQ(start->text(), ms(41));
  EXPECT_EQ(end->text(), ms(123));
  // Added to the list, the range is shaded at its frames.
  QTest::mouseClick(window.findChild<QPushButton*>("bAdd"), Qt::LeftButton);
  ASSERT_EQ(list->rowCount(), 1);
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  const QImage drawn = view->grab().toImage();
  const int inside = (41 + 123) / 2, outside = 300;
  auto reddish = [&](int x) {
    int count = 0;
    for (int row = view->WaveRect().top(); row < view->WaveRect().bottom(); ++row)
      if (const QColor c = drawn.pixelColor(x, row); c.red() > c.blue() + 20) ++count;
    return count;
  };
  EXPECT_GT(reddish(inside), view->WaveRect().height() / 2);
  EXPECT_EQ(reddish(outside), 0);
}

TEST_F(SegmentCut, AddingRowsAndItsChecks) {
  Add("00:00:01.0", "00:00:02.0");  // no file yet: the total time is 0
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kEndAfterTotal});
  Open(Numbered("long.wav", 8000 * 201 + 4000));  // 00:03:21: the total time
  dialogs.messages.clear();
  Add("00:00:05.0", "00:00:05.0");
  Add("00:00:06.0", "00:00:05.0");
  Add("00:00:05.0", "00:03:21.1");
  EXPECT_EQ(dialogs.messages, (QStringList{Texts::kSameStartEnd, Texts::kStartAfterEnd, Texts::kEndAfterTotal}));
  dialogs.messages.clear();
  Add("00:00:05.0", "00:03:21.0");  // an end at the total time passes
  ASSERT_EQ(list->rowCount(), 1);
  // The same start text again adds nothing and says nothing, whatever its end.
  Add("00:00:05.0", "00:00:09.0");
  EXPECT_EQ(list->rowCount(), 1);
  // A one-digit hour is another text (added), though the same time.
  Add("0:00:05.0", "00:00:09.0");
  EXPECT_EQ(list->rowCount(), 2);
  EXPECT_TRUE(dialogs.messages.isEmpty());
  EXPECT_EQ(list->currentRow(), 1);  // the new row is selected
  EXPECT_EQ(Cell(1, 0), "0:00:05.0");

  // A time of the wrong shape is refused on leaving the box, which gets its
  // last accepted time back.
  start->setFocus();
  start->setText("5 seconds");
  window.findChild<QPushButton*>("bOpen")->setFocus();
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kTimeFormat});
  EXPECT_TRUE(start->hasFocus());
  EXPECT_EQ(start->text(), "0:00:05.0");

  // An incomplete time and Add: refused, restored, and nothing added; the
  // next Add adds what the boxes show.
  dialogs.messages.clear();
  end->setFocus();
  end->selectAll();
  QTest::keyClick(end, Qt::Key_Backspace);
  QTest::keyClicks(end, "00:00:20");
  QTest::mouseClick(window.findChild<QPushButton*>("bAdd"), Qt::LeftButton);
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kTimeFormat});
  EXPECT_EQ(end->text(), "00:00:09.0");
  EXPECT_EQ(list->rowCount(), 2);
  start->setText("00:00:30.0");
  end->setText("00:00:40.0");
  dialogs.messages.clear();
  QTest::mouseClick(window.findChild<QPushButton*>("bAdd"), Qt::LeftButton);
  EXPECT_TRUE(dialogs.messages.isEmpty());
  ASSERT_EQ(list->rowCount(), 3);
  EXPECT_EQ(Cell(2, 0), "00:00:30.0");
  EXPECT_EQ(Cell(2, 1), "00:00:40.0");
}

TEST_F(SegmentCut, MovingAndRemovingRows) {
  Open(Numbered("long.wav", 8000 * 60));
  Add("00:00:01.0", "00:00:02.0");
  Add("00:00:03.0", "00:00:04.0");
  Add("00:00:05.0", "00:00:06.0");
  list->selectRow(0);
  GoIdle();
  EXPECT_FALSE(Action("aMoveUp")->isEnabled());  // the first row cannot go up
  EXPECT_TRUE(Action("aMoveDown")->isEnabled());
  Action("aMoveDown")->trigger();
  EXPECT_EQ(Cell(1, 0), "00:00:01.0");
  EXPECT_EQ(Cell(0, 1), "00:00:04.0");
  EXPECT_EQ(list->currentRow(), 1);
  list->selectRow(2);
  GoIdle();
  EXPECT_FALSE(Action("aMoveDown")->isEnabled());  // nor the last one down
  Action("aMoveUp")->trigger();
  EXPECT_EQ(Cell(1, 0), "00:00:05.0");
  // Removing the last row selects the first.
  list->selectRow(2);
  Action("aRemove")->trigger();
  EXPECT_EQ(list->rowCount(), 2);
  EXPECT_EQ(list->currentRow(), 0);
  QTest::mouseClick(window.findChild<QPushButton*>("bRemoveAll"), Qt::LeftButton);
  GoIdle();
  EXPECT_EQ(list->rowCount(), 0);
  EXPECT_FALSE(Action("aRemove")->isEnabled());
  EXPECT_FALSE(Action("aStartCut")->isEnabled());
}

TEST_F(SegmentCut, StartNowRemovesTheRangesWithCaptionsInOrder) {
  const std::string source = Numbered("numbers.wav", 8000 * 20);
  Open(source);
  QTest::mouseClick(window.findChild<QCheckBox*>("cbCrossfade"), Qt::LeftButton);  // joins butt, sample for sample
  Add("00:00:02.0", "00:00:03.0");
  Add("00:00:06.0", "00:00:08.0");
  Add("00:00:10.0", "00:00:12.0");
  const std::string target = dir.File("kept.wav");
  StartNow(target);
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
  EXPECT_EQ(dialogs.lastFilter, (FileFilter{"Sound Files", {"*.wav"}}));
  EXPECT_EQ(dialogs.lastFolder.toStdString(), dir.Path().string());  // the dialog opens beside the source
  std::vector<int16_t> expected;
  for (const auto& [from, to] : {std::pair{0, 15200}, {24800, 47200}, {64800, 79200}, {96800, 160000}})
    for (int n = from; n < to; ++n) expected.push_back(static_cast<int16_t>(n % 30000));
  EXPECT_EQ(WavSamples(target), expected);
  EXPECT_EQ(log.captions, (QStringList{"Segment Cut - Cutting ... 1/4", "Segment Cut - Cutting ... 2/4",
                                       "Segment Cut - Cutting ... 3/4", "Segment Cut - Cutting ... 4/4",
                                       "Segment Cut - Joining ... 1/4", "Segment Cut - Joining ... 2/4",
                                       "Segment Cut - Joining ... 3/4", "Segment Cut"}));
  EXPECT_TRUE(WorkFolderIsEmpty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SegmentCut, RefusalsAtStartAndAFailingStep) {
  const std::string source = Numbered("numbers.wav", 8000 * 20);
  Open(source);
  Add("00:00:06.0", "00:00:08.0");
  Add("00:00:02.0", "00:00:03.0");
  Action("aStartCut")->trigger();
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kListOutOfOrder});
  QTest::mouseClick(window.findChild<QPushButton*>("bRemoveAll"), Qt::LeftButton);

  // Rows made for a longer file are checked against the new one at the start.
  Open(Numbered("long.wav", 8000 * 40));
  Add("00:00:02.0", "00:00:30.0");
  Open(source);
  dialogs.messages.clear();
  dialogs.saveAnswer = QString::fromStdString(dir.File("never.wav"));
  GoIdle();
  Action("aStartCut")->trigger();
  EXPECT_EQ(dialogs.messages, QStringList{Texts::kEndAfterTotal});
  QTest::mouseClick(window.findChild<QPushButton*>("bRemoveAll"), Qt::LeftButton);

  // The whole file: nothing remains, nothing starts.
  Add("00:00:00.0", "00:00:20.0");
  dialogs.messages.clear();
  GoIdle();
  Action("aStartCut")->trigger();
  EXPECT_EQ(dialogs.messages, QStringList{kNothingRemains});
  EXPECT_FALSE(fs::exists(dir.File("never.wav")));
  QTest::mouseClick(window.findChild<QPushButton*>("bRemoveAll"), Qt::LeftButton);

  // A step that fails ends the job with its message; the old target stays.
  Add("00:00:02.0", "00:00:03.0");
  Add("00:00:06.0", "00:00:08.0");
  const std::string target = dir.File("old.wav");
  WriteBytes(target, {'o', 'l', 'd'});
  dialogs.messages.clear();
  {
    const FileSizeLimit limit(100000);
    StartNow(target);
  }
  ASSERT_EQ(dialogs.messages.size(), 2);  // the overwrite question, then the failure
  EXPECT_TRUE(dialogs.messages[1].startsWith("Error writing wave file")) << dialogs.messages[1].toStdString();
  EXPECT_EQ(ReadFile(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_TRUE(WorkFolderIsEmpty());
}

TEST(SegmentCutClosing, ClosingTheWindowMidJobLeavesNothingBehind) {
  TempDir dir;
  DataHome home(dir.File("data"));
  FakeDialogs dialogs;
  const std::string source = dir.File("long.wav"), target = dir.File("kept.wav");
  WritePcmWav(source, 44100, 2, 44100 * 200);
  {
    TfrmSegmo window(nullptr);
    window.show();
    dialogs.openAnswer = QString::fromStdString(source);
    QTest::mouseClick(window.findChild<QPushButton*>("bOpen"), Qt::LeftButton);
    for (const auto& [from, to] : {std::pair{"00:00:10.0", "00:00:20.0"}, {"00:01:00.0", "00:01:10.0"}}) {
      window.findChild<QLineEdit*>("eStart")->setText(from);
      window.findChild<QLineEdit*>("eEnd")->setText(to);
      QTest::mouseClick(window.findChild<QPushButton*>("bAdd"), Qt::LeftButton);
    }
    GoIdle();
    dialogs.saveAnswer = QString::fromStdString(target);
    window.findChild<QAction*>("aStartCut")->trigger();
    EXPECT_NE(window.windowTitle(), "Segment Cut");  // running
    QTest::mouseClick(window.findChild<QPushButton*>("bClose"), Qt::LeftButton);
  }
  EXPECT_FALSE(fs::exists(target));
  const std::string work = dir.File("data/Vorlun/Clipwright");
  EXPECT_TRUE(!fs::exists(work) || fs::is_empty(work));
  for (const auto& entry : fs::directory_iterator(dir.Path()))
    EXPECT_NE(entry.path().filename().string().rfind(".clipwright-", 0), 0u) << entry.path();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace

namespace {

/// 16-bit mono at 8 kHz: a tone at -20 dBFS with digital silence in [from, to) of each gap.
std::string WriteWithGaps(const std::string& name, int64_t total, const std::vector<std::pair<int64_t, int64_t>>& gaps) {
  std::vector<uint8_t> data(static_cast<size_t>(total * 2));
  for (int64_t f = 0; f < total; ++f) {
    bool quiet = false;
    for (const auto& [from, to] : gaps) quiet = quiet || (f >= from && f < to);
    const auto value = static_cast<int16_t>(quiet ? 0 : std::lround(3277 * std::sin(f * 0.7)));
    std::memcpy(&data[static_cast<size_t>(2 * f)], &value, 2);
  }
  WriteBytes(name, WavBuilder().Format(1, 1, 8000, 2, 16).Chunk("data", data).Build());
  return name;
}

TEST_F(SegmentCut, FindSilencesFillsTheListForEitherUseAndNothingAudibleIsRemoved) {
  // Silences off the 10 ms grid: the search finds the whole quiet windows inside them.
  const std::string talk = WriteWithGaps(dir.File("talk.wav"), 8000 * 10, {{16003, 24007}, {56000, 64000}});
  Open(talk);
  GoIdle();
  auto* keep = window.findChild<QDoubleSpinBox*>("sbKeep");
  ASSERT_NE(keep, nullptr);
  EXPECT_DOUBLE_EQ(keep->value(), 0.3);  // the default, shown
  keep->setValue(0.2);
  log.captions.clear();
  FindSilences();
  // The search ran off the window thread, saying how far it had come.
  EXPECT_TRUE(log.captions.contains("Segment Cut - Finding silences ... 100%")) << log.captions.join('|').toStdString();
  ASSERT_EQ(list->rowCount(), 2);  // the silences less 0.1 s at each side, to remove, to the millisecond
  EXPECT_EQ(list->horizontalHeaderItem(0)->text(), "Cut Start");
  EXPECT_EQ(Cell(0, 0), "00:00:02.110");  // frame 16880
  EXPECT_EQ(Cell(0, 1), "00:00:02.900");  // frame 23200
  EXPECT_EQ(Cell(1, 0), "00:00:07.100");
  auto* view = window.findChild<TWaveformView*>("wvAudio");
  EXPECT_EQ(view->RangeShade(), TWaveformView::Shade::Removed);

  // Removed exactly: the result is the source without those frames, not a sample of the tone less.
  const std::string target = dir.File("tight.wav");
  StartNow(target);
  const std::vector<int16_t> source = WavSamples(talk), result = WavSamples(target);
  std::vector<int16_t> expected(source.begin(), source.begin() + 16880);
  expected.insert(expected.end(), source.begin() + 23200, source.begin() + 56800);
  expected.insert(expected.end(), source.begin() + 63200, source.end());
  EXPECT_EQ(result, expected);
  auto* status = window.findChild<QLabel*>("lStatus");
  EXPECT_TRUE(WaitUntil([&] { return status->toolTip() == "Saved tight.wav, 00:00:08.410" ||
                                     status->text() == "Saved tight.wav, 00:00:08.410"; }, 10000))
      << status->text().toStdString();

  QTest::mouseClick(window.findChild<QRadioButton*>("rbSave"), Qt::LeftButton);
  EXPECT_EQ(list->horizontalHeaderItem(0)->text(), "Piece Start");
  EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "Piece End");
  EXPECT_EQ(view->RangeShade(), TWaveformView::Shade::Kept);
  FindSilences();
  ASSERT_EQ(list->rowCount(), 3);  // the parts between them, to save, with 0.1 s of silence at each side
  EXPECT_EQ(Cell(0, 0), "00:00:00.000");
  EXPECT_EQ(Cell(0, 1), "00:00:02.110");
  EXPECT_EQ(Cell(1, 0), "00:00:02.900");
  EXPECT_EQ(Cell(2, 1), "00:00:10.000");
  // Moved, a row keeps its exact frames and its place in the waveform.
  list->selectRow(0);
  Action("aMoveDown")->trigger();
  GoIdle();
  EXPECT_EQ(Cell(1, 1), "00:00:02.110");
  EXPECT_EQ(view->RangeShade(), TWaveformView::Shade::Kept);
}

TEST_F(SegmentCut, FoundRowsFollowKeptAndGoWithTheirFile) {
  const std::string talk = WriteWithGaps(dir.File("talk.wav"), 8000 * 10, {{16000, 24000}, {56000, 64000}});
  Open(talk);
  GoIdle();
  auto* keep = window.findChild<QDoubleSpinBox*>("sbKeep");
  keep->setValue(0.2);
  FindSilences();
  ASSERT_EQ(list->rowCount(), 2);
  EXPECT_EQ(Cell(0, 0), "00:00:02.100");
  auto* status = window.findChild<QLabel*>("lStatus");
  EXPECT_EQ(status->text(), "2 ranges, 00:00:01.600 to remove");
  // Kept changed: the rows follow at once, and so does the sum.
  keep->setValue(0.4);
  ASSERT_EQ(list->rowCount(), 2);
  EXPECT_EQ(Cell(0, 0), "00:00:02.200");
  EXPECT_EQ(Cell(0, 1), "00:00:02.800");
  EXPECT_EQ(status->text(), "2 ranges, 00:00:01.200 to remove");
  // A typed row makes the list the user's: Kept leaves it alone.
  Add("00:00:09.000", "00:00:09.500");
  ASSERT_EQ(list->rowCount(), 3);
  keep->setValue(0.1);
  EXPECT_EQ(Cell(0, 0), "00:00:02.200");
  // Another file: the rows found on this one go, the typed one stays, and the line says so.
  Open(Numbered("other.wav", 8000 * 12));
  GoIdle();
  ASSERT_EQ(list->rowCount(), 1);
  EXPECT_EQ(Cell(0, 0), "00:00:09.000");
  EXPECT_EQ(status->text(), "2 ranges found in the last file taken off the list");
}

TEST_F(SegmentCut, RowsFoundUpToTheLastFractionOfASecondAreAccepted) {
  // 12.5 s, the last 2.5 s silent: the total shown is 12 s, the silence found ends at 12.5 s.
  const std::string bursts = WriteWithGaps(dir.File("bursts.wav"), 100000, {{16000, 32000}, {80000, 100000}});
  Open(bursts);
  GoIdle();
  window.findChild<QDoubleSpinBox*>("sbKeep")->setValue(0);
  window.findChild<QCheckBox*>("cbCrossfade")->setChecked(false);  // joins sample against sample
  FindSilences();
  ASSERT_EQ(list->rowCount(), 2);
  EXPECT_EQ(Cell(1, 1), "00:00:12.500");
  const std::string target = dir.File("sound.wav");
  StartNow(target);
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('|').toStdString();
  const std::vector<int16_t> source = WavSamples(bursts);
  std::vector<int16_t> expected(source.begin(), source.begin() + 16000);
  expected.insert(expected.end(), source.begin() + 32000, source.begin() + 80000);
  EXPECT_EQ(WavSamples(target), expected);
}

TEST_F(SegmentCut, ARangeDraggedInTheWaveformIsRemovedToTheSample) {
  const std::string source = Numbered("numbers.wav", 8000 * 10);
  Open(source);
  auto* view = window.findChild<TWaveformView*>("wvAudio");
  const int y = view->WaveRect().center().y();
  QTest::mousePress(view, Qt::LeftButton, {}, QPoint(41, y));
  QMouseEvent drag(QEvent::MouseMove, QPointF(83, y), view->mapToGlobal(QPointF(83, y)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(view, &drag);
  QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(83, y));
  const int64_t from = view->SelStart(), to = view->SelEnd();
  ASSERT_LT(from, to);
  QTest::mouseClick(window.findChild<QPushButton*>("bAdd"), Qt::LeftButton);
  ASSERT_EQ(list->rowCount(), 1);
  const std::string target = dir.File("without.wav");
  auto* crossfade = window.findChild<QCheckBox*>("cbCrossfade");
  QTest::mouseClick(crossfade, Qt::LeftButton);
  ASSERT_FALSE(crossfade->isChecked());
  StartNow(target);
  const auto all = WavSamples(source), result = WavSamples(target);
  std::vector<int16_t> expected(all.begin(), all.begin() + from);
  expected.insert(expected.end(), all.begin() + to, all.end());
  EXPECT_EQ(result, expected);

  // Crossfaded (as the window starts): the same length, the same samples but
  // the 10 ms around the join, 40 frames on each side at 8 kHz.
  QTest::mouseClick(crossfade, Qt::LeftButton);
  ASSERT_TRUE(crossfade->isChecked());
  const std::string soft = dir.File("soft.wav");
  StartNow(soft);
  const auto faded = WavSamples(soft);
  ASSERT_EQ(faded.size(), expected.size());
  const auto join = static_cast<std::ptrdiff_t>(from);
  EXPECT_TRUE(std::equal(faded.begin(), faded.begin() + join - 40, expected.begin()));
  EXPECT_TRUE(std::equal(faded.begin() + join + 40, faded.end(), expected.begin() + join + 40));
  EXPECT_FALSE(std::equal(faded.begin() + join - 40, faded.begin() + join + 40, expected.begin() + join - 40));
  // Saving pieces has no joins: the box is off then.
  QTest::mouseClick(window.findChild<QRadioButton*>("rbSave"), Qt::LeftButton);
  EXPECT_FALSE(crossfade->isEnabled());
}

TEST_F(SegmentCut, FindSilencesStopsAndEndsWithTheWindow) {
  Open(WriteWithGaps(dir.File("long.wav"), 8000 * 600, {{16000, 24000}}));
  Add("00:00:01.0", "00:00:02.0");
  // Stopped before it could tell what it found: the list stays as it was.
  FindButton()->click();
  FindButton()->click();
  EXPECT_TRUE(WaitUntil([&] { return FindButton()->text() == "Find S&ilences"; }, 60000));
  ASSERT_EQ(list->rowCount(), 1);
  EXPECT_EQ(Cell(0, 0), "00:00:01.0");
  EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('|').toStdString();
  // Another file opened mid-search: the search ends, the old file's silences never reach the list.
  FindButton()->click();
  Open(Numbered("other.wav", 8000 * 5));
  EXPECT_EQ(FindButton()->text(), "Find S&ilences");
  EXPECT_EQ(window.windowTitle(), "Segment Cut");
  const int rows = list->rowCount();
  const QString first = rows > 0 ? Cell(0, 0) : QString();
  QTest::qWait(300);
  ASSERT_EQ(list->rowCount(), rows);
  if (rows > 0) {
    EXPECT_EQ(Cell(0, 0), first);
  }
  // A file that cannot be read: said, and the window is idle again.
  const std::string gone = dir.File("gone.wav");
  Open(WriteWithGaps(gone, 8000, {}));
  fs::remove(gone);
  dialogs.messages.clear();
  FindSilences();
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_TRUE(dialogs.messages[0].contains(QString::fromStdString(gone))) << dialogs.messages[0].toStdString();
  // A window closed mid-search stops it and hears nothing more.
  {
    TfrmSegmo other(nullptr);
    dialogs.openAnswer = QString::fromStdString(dir.File("long.wav"));
    QTest::mouseClick(other.findChild<QPushButton*>("bOpen"), Qt::LeftButton);
    other.findChild<QPushButton*>("bFindSilences")->click();
  }
  GoIdle();
}

TEST_F(SegmentCut, SaveEachRangeWritesAFileAPieceAndAsksOnceAboutExistingOnes) {
  const std::string source = Numbered("numbers.wav", 8000 * 10);
  Open(source);
  Add("00:00:01.0", "00:00:02.5");
  Add("00:00:06.0", "00:00:10.0");
  const std::string folder = SaveEachRange();
  ASSERT_FALSE(HasFailure());
  EXPECT_TRUE(log.captions.contains("Segment Cut - Splitting ... 2/2")) << log.captions.join('|').toStdString();
  auto* status = window.findChild<QLabel*>("lStatus");
  const QString told = "Saved 2 pieces in " + QString::fromStdString(folder);
  EXPECT_TRUE(status->text() == told || status->toolTip() == told) << status->text().toStdString();
  const auto all = WavSamples(source);
  EXPECT_EQ(WavSamples(folder + "/part 1.wav"), std::vector<int16_t>(all.begin() + 8000, all.begin() + 20000));
  EXPECT_EQ(WavSamples(folder + "/part 2.wav"), std::vector<int16_t>(all.begin() + 48000, all.end()));
  ASSERT_EQ(dialogs.messages.size(), 1);  // the name pattern asked for, nothing else said
  EXPECT_TRUE(dialogs.messages[0].startsWith("Name the pieces")) << dialogs.messages[0].toStdString();

  // Again: the two files exist, and the window asks once; No keeps them.
  dialogs.answerYes = false;
  WriteBytes(folder + "/part 1.wav", {'o', 'l', 'd'});
  Action("aStartCut")->trigger();
  GoIdle();
  ASSERT_EQ(dialogs.messages.size(), 3);  // the name pattern asked for again, then the one question
  EXPECT_TRUE(dialogs.messages.last().startsWith("2 of the pieces' files exist in ")) << dialogs.messages.last().toStdString();
  EXPECT_EQ(ReadFile(folder + "/part 1.wav"), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

TEST_F(SegmentCut, KeepQualityCopiesThePacketsOfEachPieceAndSaysWhyJoinsCannot) {
  auto* keep = window.findChild<QCheckBox*>("cbKeepQuality");
  ASSERT_NE(keep, nullptr);
  Open(Numbered("numbers.wav", 8000));
  EXPECT_FALSE(keep->isEnabled());  // PCM is cut as it is
  const std::string m4a = dir.File("talk.m4a");
  ASSERT_EQ(WriteCodecFile(m4a, AudioFormat::M4a, ChirpSamples(44100 * 8, 2, 44100), 2, 44100), "");
  Open(m4a);
  ASSERT_TRUE(keep->isEnabled());
  EXPECT_TRUE(keep->toolTip().startsWith("Copy the M4A packets")) << keep->toolTip().toStdString();
  QTest::mouseClick(keep, Qt::LeftButton);
  ASSERT_TRUE(keep->isChecked());
  Add("00:00:01.0", "00:00:02.5");
  Add("00:00:06.0", "00:00:08.0");
  const std::string folder = SaveEachRange();
  ASSERT_FALSE(HasFailure());
  EXPECT_EQ(dialogs.messages.size(), 1) << dialogs.messages.join("|").toStdString();  // the name pattern only
  // Exact pieces, and the edit list says so: packets were copied, not encoded again.
  EXPECT_EQ(StreamDurationSamples(folder + "/part 1.m4a"), 44100 * 3 / 2);
  EXPECT_EQ(StreamDurationSamples(folder + "/part 2.m4a"), 44100 * 2);
  const std::vector<uint8_t> source = ReadFile(m4a), piece = ReadFile(folder + "/part 2.m4a");
  const auto middle = source.begin() + static_cast<std::ptrdiff_t>(source.size() * 7 / 8);  // about 7.0 s
  EXPECT_NE(std::search(piece.begin(), piece.end(), middle, middle + 64), piece.end());

  // Removing a range in the middle would join two pieces: refused with the reason, nothing written.
  QTest::mouseClick(window.findChild<QRadioButton*>("rbRemove"), Qt::LeftButton);
  dialogs.messages.clear();
  StartNow(dir.File("rest.m4a"));
  ASSERT_EQ(dialogs.messages.size(), 1);
  EXPECT_TRUE(dialogs.messages[0].contains("keeps one piece only")) << dialogs.messages[0].toStdString();
  EXPECT_FALSE(fs::exists(dir.File("rest.m4a")));

  // Ogg Vorbis says why it cannot.
  const std::string ogg = dir.File("talk.ogg");
  ASSERT_EQ(WriteCodecFile(ogg, AudioFormat::Vorbis, ChirpSamples(44100 * 2, 2, 44100), 2, 44100), "");
  Open(ogg);
  EXPECT_FALSE(keep->isEnabled());
  EXPECT_FALSE(keep->isChecked());
  EXPECT_TRUE(keep->toolTip().startsWith("Ogg Vorbis cannot be cut exactly")) << keep->toolTip().toStdString();
}

TEST_F(SegmentCut, ImportCueSheetFillsTheTracksAndTheirPiecesCarryTheirTitles) {
  const std::string mp3 = dir.File("album.mp3");
  WriteBytes(mp3, EncodeMp3(ToneSamples(44100 * 4, 2, 44100), 2, 44100, 128, true));
  const std::string cue = dir.File("album.cue");
  std::ofstream(cue) << "FILE \"album.mp3\" MP3\n  TRACK 01 AUDIO\n    TITLE \"First\"\n    INDEX 01 00:00:00\n"
                        "  TRACK 02 AUDIO\n    TITLE \"Second\"\n    PERFORMER \"Them\"\n    INDEX 01 00:01:50\n";
  Open(mp3);
  dialogs.openAnswer = QString::fromStdString(cue);
  QTest::mouseClick(window.findChild<QPushButton*>("bImportCue"), Qt::LeftButton);
  EXPECT_EQ(dialogs.lastFilter, (FileFilter{"Cue Sheets", {"*.cue"}}));
  ASSERT_EQ(list->rowCount(), 2);
  EXPECT_EQ(Cell(1, 0), "00:00:01.667");  // 1 s and 50/75 s
  EXPECT_EQ(Cell(0, 2), "First");        // the titles in a column of their own
  EXPECT_EQ(Cell(1, 2), "Second");
  EXPECT_EQ(list->horizontalHeaderItem(2)->text(), "Title");
  EXPECT_TRUE(window.findChild<QRadioButton*>("rbSave")->isChecked());
  const std::string folder = SaveEachRange("tracks", "{n} {title}");
  ASSERT_TRUE(fs::exists(folder + "/2 Second.mp3"));
  TagLib::MPEG::File second((folder + "/2 Second.mp3").c_str());
  ASSERT_TRUE(second.isValid());
  EXPECT_EQ(second.tag()->title().to8Bit(true), "Second");
  EXPECT_EQ(second.tag()->artist().to8Bit(true), "Them");
  EXPECT_EQ(second.tag()->track(), 2u);
  // A sheet for another file is refused with its reason.
  std::ofstream(cue) << "FILE \"other.mp3\" MP3\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
  QTest::mouseClick(window.findChild<QPushButton*>("bImportCue"), Qt::LeftButton);
  ASSERT_FALSE(dialogs.messages.isEmpty());
  EXPECT_TRUE(dialogs.messages.last().contains("not for album.mp3")) << dialogs.messages.last().toStdString();
}

}  // namespace
