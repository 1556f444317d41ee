// The waveform view on its own, over a source of known peaks: what a click,
// a drag, the keys and the wheel do, and what it draws.
#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <cmath>

#include "controls/RulerTicks.h"
#include "controls/WaveformView.h"

namespace {

/// A ramp of `frames` frames, one channel, known exactly.
class RampSource : public WaveformSource {
 public:
  explicit RampSource(int64_t frames) : frames_(frames) {}
  int64_t Frames() const override { return frames_; }
  int Channels() const override { return 1; }
  int SampleRate() const override { return 8000; }
  uint64_t Version() const override { return version; }
  WaveformColumns Columns(int64_t from, int64_t to, int width) override {
    ++asked;
    WaveformColumns columns;
    columns.width = width;
    columns.channels = 1;
    for (int c = 0; c < width; ++c) {
      const int64_t a = from + (to - from) * c / width;
      columns.low.push_back(static_cast<int16_t>(a % 30000));
      columns.high.push_back(static_cast<int16_t>(std::min<int64_t>(a % 30000 + 2000, 32767)));
      columns.known.push_back(known);
    }
    return columns;
  }
  uint64_t version = 1;
  int asked = 0;
  WaveformColumns::Known known = WaveformColumns::kExact;

 private:
  int64_t frames_;
};

class WaveformViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view.setGeometry(0, 0, 400, 106);
    view.SetSource(&source);
    view.OnSelectionChange = [this](int64_t start, int64_t end) { changes.emplace_back(start, end); };
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  }
  QPoint At(int x) const { return QPoint(x, view.WaveRect().center().y()); }

  RampSource source{400000};
  TWaveformView view;
  std::vector<std::pair<int64_t, int64_t>> changes;
};

TEST_F(WaveformViewTest, PixelsAndFramesMapBothWays) {
  EXPECT_EQ(view.ViewFrom(), 0);
  EXPECT_EQ(view.ViewTo(), 400000);
  EXPECT_EQ(view.FrameAt(0), 0);
  EXPECT_EQ(view.FrameAt(1), 1000);
  EXPECT_EQ(view.FrameAt(400), 400000);
  EXPECT_DOUBLE_EQ(view.XOf(250000), 250.0);
  // Zoomed to 100 frames a pixel from frame 50000.
  view.SetView(50000, 90000);
  EXPECT_EQ(view.FrameAt(3), 50300);
  EXPECT_DOUBLE_EQ(view.XOf(50300), 3.0);
  // Never finer than a sample every 16 pixels, never beyond the file.
  view.SetView(399990, 400010);
  EXPECT_EQ(view.ViewTo() - view.ViewFrom(), 25);
  EXPECT_EQ(view.ViewTo(), 400000);
  view.SetView(1000, 1001);
  EXPECT_EQ(view.ViewTo() - view.ViewFrom(), 25);
  EXPECT_DOUBLE_EQ(view.XOf(1001) - view.XOf(1000), 16.0);
}

TEST_F(WaveformViewTest, ClicksDragsAndHandles) {
  view.SetSelection(100000, 300000);
  std::vector<int64_t> placed;
  view.OnCursorPlaced = [&](int64_t frame) { placed.push_back(frame); };
  // A click places the cursor and leaves the selection alone.
  QTest::mouseClick(&view, Qt::LeftButton, {}, At(50));
  EXPECT_EQ(view.CursorFrame(), 50000);
  EXPECT_EQ(placed, std::vector<int64_t>{50000});
  EXPECT_EQ(view.SelStart(), 100000);
  EXPECT_TRUE(changes.empty());
  // Shift+click nearer the start moves the start, nearer the end the end.
  QTest::mouseClick(&view, Qt::LeftButton, Qt::ShiftModifier, At(50));
  EXPECT_EQ(view.SelStart(), 50000);
  QTest::mouseClick(&view, Qt::LeftButton, Qt::ShiftModifier, At(350));
  EXPECT_EQ(view.SelEnd(), 350000);
  EXPECT_EQ(view.CursorFrame(), 50000);
  // A press on a handle drags only that end, and never past the other.
  QTest::mousePress(&view, Qt::LeftButton, {}, At(52));
  QTest::mouseMove(&view, At(120));
  QTest::mouseMove(&view, At(380));
  QTest::mouseRelease(&view, Qt::LeftButton, {}, At(380));
  EXPECT_EQ(view.SelStart(), 350000);
  EXPECT_EQ(view.SelEnd(), 350000);
  // A drag elsewhere selects what it covers, whichever way it goes.
  QTest::mousePress(&view, Qt::LeftButton, {}, At(200));
  QTest::mouseMove(&view, At(150));
  QTest::mouseMove(&view, At(100));
  QTest::mouseRelease(&view, Qt::LeftButton, {}, At(100));
  EXPECT_EQ(view.SelStart(), 100000);
  EXPECT_EQ(view.SelEnd(), 200000);
  ASSERT_FALSE(changes.empty());
  EXPECT_EQ(changes.back(), std::make_pair(int64_t{100000}, int64_t{200000}));
  // Setting the selection from outside says nothing back.
  const size_t told = changes.size();
  view.SetSelection(5, 6);
  EXPECT_EQ(changes.size(), told);
}

TEST_F(WaveformViewTest, KeysMoveTheHandleAndZoom) {
  view.SetSelection(100000, 300000);
  QTest::mouseClick(&view, Qt::LeftButton, Qt::ShiftModifier, At(290));  // the end is now the active handle
  ASSERT_EQ(view.SelEnd(), 290000);
  QTest::keyClick(&view, Qt::Key_Left);
  EXPECT_EQ(view.SelEnd(), 289000);  // a pixel's worth
  QTest::keyClick(&view, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(view.SelEnd(), 289001);  // one sample
  QTest::keyClick(&view, Qt::Key_Plus);
  EXPECT_EQ(view.ViewTo() - view.ViewFrom(), 200000);
  QTest::keyClick(&view, Qt::Key_Minus);
  QTest::keyClick(&view, Qt::Key_Minus);
  EXPECT_EQ(view.ViewTo() - view.ViewFrom(), 400000);
  // The wheel keeps the frame under the pointer where it is.
  const int64_t under = view.FrameAt(100);
  QWheelEvent wheel(At(100), view.mapToGlobal(At(100)), {}, {0, 240}, Qt::NoButton, {}, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&view, &wheel);
  EXPECT_LT(view.ViewTo() - view.ViewFrom(), 400000);
  EXPECT_NEAR(static_cast<double>(view.FrameAt(100)), static_cast<double>(under), 1000.0);
  // The scroll bar pans; "Whole" and 0 show everything again.
  auto* bar = view.findChild<QScrollBar*>("sbWave");
  ASSERT_NE(bar, nullptr);
  const int64_t from = view.ViewFrom();
  bar->setValue(bar->value() + 10);
  EXPECT_GT(view.ViewFrom(), from);
  QTest::mouseClick(view.findChild<QToolButton*>("bWhole"), Qt::LeftButton);
  EXPECT_EQ(view.ViewTo() - view.ViewFrom(), 400000);
  view.SetView(0, 1000);
  QTest::keyClick(&view, Qt::Key_0);
  EXPECT_EQ(view.ViewTo(), 400000);
  // Dragging the ruler pans too.
  view.SetView(100000, 200000);
  QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(200, 5));
  QTest::mouseMove(&view, QPoint(100, 5));
  QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(100, 5));
  EXPECT_EQ(view.ViewFrom(), 125000);
}

TEST_F(WaveformViewTest, AResizeKeepsTheZoomAndThePosition) {
  view.SetView(120000, 160000);
  view.resize(1600, 600);
  EXPECT_EQ(view.ViewFrom(), 120000);
  EXPECT_EQ(view.ViewTo(), 160000);
  EXPECT_DOUBLE_EQ(view.XOf(160000), 1600.0);  // the same frames over more pixels
  view.resize(400, 106);
  EXPECT_EQ(view.ViewFrom(), 120000);
  EXPECT_EQ(view.ViewTo(), 160000);
}

TEST_F(WaveformViewTest, ZoomedInTheViewFollowsTheCursor) {
  view.SetView(100000, 200000);
  view.SetCursorFrame(150000, true);
  EXPECT_EQ(view.ViewFrom(), 100000);  // in sight: the view stays
  view.SetCursorFrame(200000, true);
  EXPECT_EQ(view.ViewFrom(), 190000);  // a page on, a tenth of the last still shown
  EXPECT_EQ(view.ViewTo(), 290000);
  view.SetCursorFrame(5000, false);
  EXPECT_EQ(view.ViewFrom(), 190000);  // placed, not followed
  view.ShowWhole();
  view.SetCursorFrame(399999, true);
  EXPECT_EQ(view.ViewFrom(), 0);
}

TEST_F(WaveformViewTest, DrawsWhatIsKnownAndRepaintsWhenTheSourceMoves) {
  auto greenIn = [&](const QImage& image, int x) {
    int count = 0;
    for (int y = view.WaveRect().top(); y < view.WaveRect().bottom(); ++y)
      if (const QColor c = image.pixelColor(x, y); c.green() > c.red() + 60 && c.green() > c.blue() + 40) ++count;
    return count;
  };
  // Focused (as here), the view still shows the waveform inside its focus frame.
  ASSERT_TRUE(view.hasFocus());
  EXPECT_GT(greenIn(view.grab().toImage(), 200), 0);
  source.known = WaveformColumns::kUnknown;
  EXPECT_EQ(greenIn(view.grab().toImage(), 200), 0);
  // The view asks again once the source says it has more.
  source.known = WaveformColumns::kExact;
  const int asked = source.asked;
  ++source.version;
  QTest::qWait(200);
  EXPECT_GT(source.asked, asked);
  // Ranges are shaded and take the handles away.
  view.SetRanges({{0, 100000}});
  const QImage shaded = view.grab().toImage();
  const QColor inside = shaded.pixelColor(50, view.WaveRect().bottom() - 2);
  const QColor outside = shaded.pixelColor(300, view.WaveRect().bottom() - 2);
  EXPECT_GT(inside.red(), outside.red() + 20);
}

/// Samples that swing from +16000 to -16000 and back, every frame.
class ZigzagSource : public RampSource {
 public:
  using RampSource::RampSource;
  WaveformColumns Columns(int64_t from, int64_t to, int width) override {
    WaveformColumns columns = RampSource::Columns(from, to, width);
    for (int c = 0; c < width; ++c) {
      const int64_t a = from + (to - from) * c / width;
      columns.low[static_cast<size_t>(c)] = columns.high[static_cast<size_t>(c)] = a % 2 ? 16000 : -16000;
    }
    return columns;
  }
};

TEST_F(WaveformViewTest, ZoomedInTheSamplesAreAConnectedLineWithDots) {
  ZigzagSource zigzag{400000};
  view.SetSource(&zigzag);
  view.SetView(20000, 20008);
  ASSERT_EQ(view.ViewTo() - view.ViewFrom(), 25);  // the least the view shows: 16 pixels a sample
  const QImage image = view.grab().toImage();
  const QRect area = view.WaveRect();
  const double centre = area.top() + area.height() / 2.0, half = area.height() / 2.0 - 1;
  auto green = [&](const QImage& in, int x, double y) {
    for (int dy = -1; dy <= 1; ++dy) {
      const QColor c = in.pixelColor(x, static_cast<int>(std::lround(y)) + dy);
      if (c.green() > c.red() + 60 && c.green() > c.blue() + 40) return true;
    }
    return false;
  };
  for (int i = 0; i < 24; ++i) {
    const double x0 = view.XOf(20000 + i), x1 = view.XOf(20000 + i + 1);
    const double y0 = centre - (i % 2 ? 16000 : -16000) / 32768.0 * half;
    // Each sample is where its value says, with a dot around it...
    EXPECT_TRUE(green(image, static_cast<int>(std::lround(x0)), y0)) << i;
    EXPECT_TRUE(green(image, static_cast<int>(std::lround(x0)) + 1, y0 + 1)) << i;
    // ...and a line joins it to the next: halfway it crosses the centre.
    EXPECT_TRUE(green(image, static_cast<int>(std::lround((x0 + x1) / 2)), centre)) << i;
  }
  // Nothing is drawn where the source knows nothing.
  zigzag.known = WaveformColumns::kUnknown;
  const QImage unknown = view.grab().toImage();
  int drawn = 0;
  for (int x = 0; x < unknown.width(); ++x)
    for (int y = area.top(); y < area.bottom(); ++y) drawn += green(unknown, x, y);
  EXPECT_EQ(drawn, 0);
  view.SetSource(&source);
}

}  // namespace

namespace {

TEST(RulerTicks, EveryLabelIsItsTicksOwnTimeAtEveryZoom) {
  // Views of an hour at 44.1 kHz from the whole down to a few samples, at
  // starts that are no round number: each label must read the time of its tick.
  const double rate = 44100;
  for (int64_t span = 44100LL * 3600; span >= 64; span = span * 2 / 5) {
    for (const int64_t from : {int64_t{0}, int64_t{12345}, int64_t{44100} * 299 + 44090, int64_t{44100} * 3599}) {
      const std::vector<RulerTick> ticks = RulerTicks(from, from + span, rate, 495);
      ASSERT_FALSE(ticks.empty()) << span;
      for (const RulerTick& tick : ticks) {
        SCOPED_TRACE(tick.label.toStdString() + " at frame " + std::to_string(tick.frame) + ", span " + std::to_string(span));
        EXPECT_FALSE(tick.label.contains('-'));
        EXPECT_GE(tick.frame, from);
        EXPECT_LE(tick.frame, from + span);
        // Read back: h:mm:ss.f, m:ss.f or s.f.
        double seconds = 0;
        for (const QString& part : tick.label.split(':')) {
          const double value = part.toDouble();
          EXPECT_LT(value, 60.0);  // never "4:60.00"
          seconds = seconds * 60 + value;
        }
        EXPECT_NEAR(seconds * rate, static_cast<double>(tick.frame), 0.5001);  // rounded to the nearest frame
      }
    }
  }
  // The labels of a few steps, as before.
  const std::vector<RulerTick> minutes = RulerTicks(0, 44100LL * 3600, rate, 495);
  EXPECT_EQ(minutes[1].label, "10:00");
  const std::vector<RulerTick> halves = RulerTicks(44100LL * 299, 44100LL * 301, rate, 495);
  ASSERT_EQ(halves.size(), 5u);
  EXPECT_EQ(halves[0].label, "4:59.0");
  EXPECT_EQ(halves[1].label, "4:59.5");
  EXPECT_EQ(halves[2].label, "5:00.0");
}

}  // namespace
