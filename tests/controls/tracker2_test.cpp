#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include "controls/PointerThumbs.h"
#include "controls/Tracker2.h"

namespace {

const QColor kGreen(0, 128, 0);
const QColor kSilver(192, 192, 192);

/// The main window's range trackbar: 496 x 50, Max 50, two thumbs, thumbs of 12.
class RangeBar : public ::testing::Test {
 protected:
  void SetUp() override {
    bar.setGeometry(0, 0, 496, 50);
    bar.SetOrientation(toHorizontal);
    bar.SetThumbSize(12);
    bar.SetSecondThumb(true);
    bar.SetMax(50);
    bar.SetPositionU(50);
    bar.OnChange = [this](TTrackBar2*) { ++changes; };
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
  }

  /// Paints the control and returns what it shows.
  QImage Render() { return bar.grab().toImage(); }

  void Select(int lower, int upper) {
    bar.SetPositionU(upper);
    bar.SetPositionL(lower);
    Render();  // thumb rectangles follow painting
    changes = 0;
  }

  TTrackBar2 bar;
  int changes = 0;
};

TEST_F(RangeBar, GeometryOfTheMainWindowBar) {
  EXPECT_EQ(bar.Orientation(), toHorizontal);
  EXPECT_EQ(bar.TrackLength(), 484);
  EXPECT_EQ(bar.ThumbOffset(), 3);
  EXPECT_EQ(bar.CenterShift(), 3);
  EXPECT_EQ(bar.TrackRect().left(), 6);
  EXPECT_EQ(bar.TrackRect().x() + bar.TrackRect().width(), 490);
  EXPECT_EQ(bar.TrackRect().y(), 20);
  EXPECT_EQ(bar.TrackRect().height(), 10);

  Select(10, 40);
  // 484 * 10 / 50 = 96 (truncated), + 3; thumbs are 6 x 12.
  EXPECT_EQ(bar.ThumbRectL(), QRect(99, 19, 6, 12));
  EXPECT_EQ(bar.ThumbRectU(), QRect(390, 19, 6, 12));
}

TEST_F(RangeBar, NewControlStartsWithItsDefaults) {
  TTrackBar2 fresh;
  EXPECT_EQ(fresh.size(), QSize(500, 50));
  EXPECT_EQ(fresh.Max(), 20);
  EXPECT_EQ(fresh.PositionU(), 10);
  EXPECT_EQ(fresh.ThumbSize(), 20);
  EXPECT_EQ(fresh.ThumbStyle(), tsRaisedRectangle);
  EXPECT_EQ(fresh.TrackStyle(), trLowered);
  EXPECT_EQ(fresh.TickStyle(), tiRaisedSquare);
  EXPECT_EQ(fresh.TrackCenterColor(), kGreen);
  EXPECT_FALSE(fresh.SecondThumb());
  EXPECT_TRUE(fresh.focusPolicy() & Qt::TabFocus);
}

TEST_F(RangeBar, SettersClampAndReportChanges) {
  // Lower thumb pushed into the upper one stops one below it.
  Select(10, 20);
  bar.SetPositionL(25);
  EXPECT_EQ(bar.PositionL(), 19);
  EXPECT_EQ(changes, 1);
  bar.SetPositionL(19);  // the current value: nothing
  EXPECT_EQ(changes, 1);
  bar.SetPositionL(-4);
  EXPECT_EQ(bar.PositionL(), 0);
  EXPECT_EQ(changes, 2);

  // Upper thumb: above Max gives Max, at or below the lower thumb one above it.
  bar.SetPositionU(80);
  EXPECT_EQ(bar.PositionU(), 50);
  bar.SetPositionL(30);
  bar.SetPositionU(12);
  EXPECT_EQ(bar.PositionU(), 31);
  EXPECT_EQ(changes, 5);

  // Lowering Max below the upper thumb moves it silently.
  bar.SetMax(25);
  EXPECT_EQ(bar.PositionU(), 25);
  EXPECT_EQ(changes, 5);
  bar.SetMin(3);
  EXPECT_EQ(bar.PositionL(), 30);  // above Min already: stays

  // One thumb: clamped to Max, and a change is reported even when clamping
  // brings back the old value.
  TTrackBar2 single;
  int singleChanges = 0;
  single.OnChange = [&](TTrackBar2*) { ++singleChanges; };
  single.SetPositionL(20);
  single.SetPositionL(100);
  EXPECT_EQ(single.PositionL(), 20);
  EXPECT_EQ(singleChanges, 2);
  single.SetPositionU(0);  // at or below PositionL: one above it, even beyond Max
  EXPECT_EQ(single.PositionU(), 21);
}

TEST_F(RangeBar, ClicksChooseTheNearerThumbAndJump) {
  Select(10, 40);
  // Midway between the lower thumb's right edge (105) and the upper's left (390) is 247.
  QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(247, 25));
  EXPECT_EQ(bar.PositionL(), 25);  // (247 - 3) * 50 / 484
  EXPECT_EQ(bar.PositionU(), 40);

  Select(10, 40);
  QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(248, 25));
  EXPECT_EQ(bar.PositionL(), 10);
  EXPECT_EQ(bar.PositionU(), 25);

  // Shift steps toward the click instead of jumping.
  Select(10, 40);
  QTest::mouseClick(&bar, Qt::LeftButton, Qt::ShiftModifier, QPoint(200, 25));
  EXPECT_EQ(bar.PositionL(), 11);
  QTest::mouseClick(&bar, Qt::LeftButton, Qt::ShiftModifier, QPoint(20, 25));
  EXPECT_EQ(bar.PositionL(), 10);
  QTest::mouseClick(&bar, Qt::LeftButton, Qt::ShiftModifier, QPoint(450, 25));
  EXPECT_EQ(bar.PositionU(), 41);

  // Other buttons take the focus and nothing else.
  Select(10, 40);
  QTest::mouseClick(&bar, Qt::RightButton, {}, QPoint(300, 25));
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(bar.hasFocus());
}

TEST_F(RangeBar, MouseDownHandlerSeesThePositionsBeforeTheClick) {
  Select(10, 40);
  int seen = -1;
  bar.OnMouseDown = [&](TTrackBar2* sender, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    seen = sender->PositionL();
  };
  QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(150, 25));
  EXPECT_EQ(seen, 10);
  EXPECT_EQ(bar.PositionL(), 15);
}

TEST_F(RangeBar, DraggingAThumbFollowsThePointer) {
  Select(10, 40);
  QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(101, 25));
  EXPECT_TRUE(bar.TrackingL());
  EXPECT_EQ(changes, 0);  // grabbing does not move it
  QMouseEvent move(QEvent::MouseMove, QPointF(150, 25), bar.mapToGlobal(QPointF(150, 25)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&bar, &move);
  EXPECT_EQ(bar.PositionL(), 15);
  QMouseEvent beyond(QEvent::MouseMove, QPointF(480, 25), bar.mapToGlobal(QPointF(480, 25)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&bar, &beyond);
  EXPECT_EQ(bar.PositionL(), 39);  // stops below the upper thumb
  QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(480, 25));
  EXPECT_FALSE(bar.TrackingL());

  Render();
  const QPoint upperThumb = bar.ThumbRectU().center();
  QTest::mousePress(&bar, Qt::LeftButton, {}, upperThumb);
  EXPECT_TRUE(bar.TrackingU());
  QTest::mouseRelease(&bar, Qt::LeftButton, {}, upperThumb);
  EXPECT_FALSE(bar.TrackingU());
}

TEST_F(RangeBar, KeysMoveTheLowerThumbAndShiftTheUpper) {
  Select(10, 40);
  bar.setFocus();
  QTest::keyClick(&bar, Qt::Key_Right);
  EXPECT_EQ(bar.PositionL(), 11);
  QTest::keyClick(&bar, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(bar.PositionU(), 41);
  QTest::keyClick(&bar, Qt::Key_PageUp);
  EXPECT_EQ(bar.PositionL(), 13);
  QTest::keyClick(&bar, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(bar.PositionU(), 40);
  QTest::keyClick(&bar, Qt::Key_PageDown);
  QTest::keyClick(&bar, Qt::Key_Left);
  EXPECT_EQ(bar.PositionL(), 10);
  QTest::keyClick(&bar, Qt::Key_A);
  EXPECT_EQ(changes, 6);
}

TEST(TrackBarKeys, ArrowKeysStayWithTheControl) {
  QDialog dialog;
  auto* before = new QPushButton("before", &dialog);
  auto* bar = new TTrackBar2(&dialog);
  auto* after = new QPushButton("after", &dialog);
  before->move(0, 0);
  bar->move(0, 30);
  after->move(0, 90);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  dialog.activateWindow();
  bar->setFocus();
  for (auto key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_Up, Qt::Key_Down}) {
    QTest::keyClick(bar, key);
    EXPECT_TRUE(bar->hasFocus());
  }
}

TEST_F(RangeBar, OrientationFollowsTheShape) {
  bar.resize(100, 100);  // square: keeps the orientation it had
  QApplication::processEvents();
  EXPECT_EQ(bar.Orientation(), toHorizontal);
  bar.resize(50, 300);
  QApplication::processEvents();
  EXPECT_EQ(bar.Orientation(), toVertical);
  EXPECT_EQ(bar.TrackLength(), 300 - 12);
  bar.resize(60, 60);
  QApplication::processEvents();
  EXPECT_EQ(bar.Orientation(), toVertical);

  // Choosing an orientation turns a control of the other shape.
  bar.resize(50, 300);
  QApplication::processEvents();
  bar.SetOrientation(toHorizontal);
  QApplication::processEvents();
  EXPECT_EQ(bar.size(), QSize(300, 50));
  EXPECT_EQ(bar.Orientation(), toHorizontal);
}

TEST_F(RangeBar, VerticalBarMapsTopToMax) {
  bar.resize(50, 496);
  QApplication::processEvents();
  ASSERT_EQ(bar.Orientation(), toVertical);
  Select(10, 40);
  // A click near the bottom, away from both thumbs, jumps the lower thumb.
  QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(25, 480));
  EXPECT_EQ(bar.PositionL(), 50 - (480 + 3) * 50 / 484);
  EXPECT_GT(bar.ThumbRectL().y(), bar.ThumbRectU().y());
}

TEST_F(RangeBar, EmptyRangeDrawsThumbsAtTheStartAndMapsClicksToZero) {
  bar.SetPositionL(0);
  bar.SetMax(0);
  EXPECT_EQ(bar.PositionU(), 0);
  const QImage image = Render();
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(bar.ThumbRectL().x(), 3);
  EXPECT_EQ(bar.ThumbRectU().x(), 3);
  EXPECT_EQ(bar.TrackRect().left(), 6);

  for (int x : {0, 100, 247, 495}) {
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(x, 25));
    EXPECT_EQ(bar.PositionL(), 0) << x;
    EXPECT_EQ(bar.PositionU(), 0) << x;
  }
  QTest::keyClick(&bar, Qt::Key_Right);  // the setters still clamp keys
  EXPECT_EQ(bar.PositionL(), -1);       // one below the upper thumb, as with any range
  bar.SetLinePosition(1);
  EXPECT_FALSE(Render().isNull());
}

TEST_F(RangeBar, PaintsTheBandTheLineAndTheDisabledDither) {
  Select(10, 40);
  QImage image = Render();
  EXPECT_EQ(image.pixelColor(247, 25), kGreen);                 // between the thumbs
  EXPECT_EQ(image.pixelColor(50, 25), QColor(Qt::white));       // track left of the range
  EXPECT_EQ(image.pixelColor(450, 25), QColor(Qt::white));      // and right of it

  bar.SetLinePosition(20);
  EXPECT_EQ(changes, 0);
  image = Render();
  const int lineX = 484 * 20 / 50 + 6;
  EXPECT_EQ(image.pixelColor(lineX, 12), QColor(0, 200, 200));
  EXPECT_EQ(image.pixelColor(lineX, 50 - 1), QColor(0, 200, 200));
  bar.SetLinePosition(0);
  EXPECT_NE(Render().pixelColor(lineX, 12), QColor(0, 200, 200));

  bar.setEnabled(false);
  image = Render();
  const QColor a = image.pixelColor(50, 24), b = image.pixelColor(51, 24);
  EXPECT_TRUE((a == kSilver && b == QColor(Qt::white)) || (b == kSilver && a == QColor(Qt::white)));
  // The face of a thumb is dithered too (inside its two-pixel bevel).
  const QRect face = bar.ThumbRectL().adjusted(2, 2, -2, -2);
  EXPECT_NE(image.pixelColor(face.x(), face.y() + 3), image.pixelColor(face.x() + 1, face.y() + 3));
  bar.SetDitherThumb(false);
  image = Render();
  EXPECT_EQ(image.pixelColor(face.x(), face.y() + 3), image.pixelColor(face.x() + 1, face.y() + 3));
}

/// Records the areas it is asked to repaint.
class WatchedBar : public TTrackBar2 {
 public:
  QRegion painted;

 protected:
  void paintEvent(QPaintEvent* event) override {
    painted += event->region();
    TTrackBar2::paintEvent(event);
  }
};

TEST(TrackBarLine, MovingTheLineRepaintsOnlyItsColumns) {
  WatchedBar bar;
  bar.setGeometry(0, 0, 496, 50);
  bar.SetThumbSize(12);
  bar.SetMax(50);
  bar.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
  QApplication::processEvents();

  bar.painted = QRegion();
  bar.SetLinePosition(20);
  QApplication::processEvents();
  EXPECT_EQ(bar.painted, QRegion(484 * 20 / 50 + 6, 0, 1, 50));

  bar.painted = QRegion();
  bar.SetLinePosition(30);
  QApplication::processEvents();
  EXPECT_EQ(bar.painted, QRegion(484 * 20 / 50 + 6, 0, 1, 50) + QRegion(484 * 30 / 50 + 6, 0, 1, 50));
}

TEST_F(RangeBar, TicksFillThirtyTwoSlots) {
  std::vector<QPoint> ticks;
  bar.SetTickStyle(tiUserDrawn);
  bar.OnDrawTick = [&](TTrackBar2*, QPainter&, int x, int y, int) { ticks.emplace_back(x, y); };
  Render();
  ASSERT_EQ(ticks.size(), 64u);  // both sides
  EXPECT_EQ(ticks.front(), QPoint(6, 2));
  EXPECT_EQ(ticks[62], QPoint(31 * 484 / 31 + 6, 2));
  EXPECT_EQ(ticks[63], QPoint(490, 50 - 6 - 2));

  ticks.clear();
  bar.SetTickInterval(5);
  bar.SetTickOrientation(toTopLeft);
  Render();
  EXPECT_EQ(ticks.size(), 7u);  // slots 0, 5, ..., 30

  bar.SetTickStyle(tiLine);
  EXPECT_EQ(bar.TickColor(), QColor(Qt::black));
}

TEST_F(RangeBar, UserDrawnThumbsCanBeGrabbed) {
  std::vector<QPoint> corners;
  bar.SetThumbStyle(tsUserDrawn);
  bar.OnDrawThumb = [&](TTrackBar2*, QPainter&, int x, int y) { corners.emplace_back(x, y); };
  Select(10, 40);
  ASSERT_EQ(corners.size(), 2u);
  EXPECT_EQ(bar.ThumbRectL().topLeft(), corners[0]);
  EXPECT_EQ(bar.ThumbRectU().topLeft(), corners[1]);
  EXPECT_EQ(bar.ThumbRectL().size(), QSize(6, 12));
  QTest::mousePress(&bar, Qt::LeftButton, {}, bar.ThumbRectL().center());
  EXPECT_TRUE(bar.TrackingL());
  QTest::mouseRelease(&bar, Qt::LeftButton, {}, bar.ThumbRectL().center());
}

TEST_F(RangeBar, ThreeDLookRestoresTheStandardStyles) {
  bar.SetCtl3D(false);
  bar.SetThumbStyle(tsLoweredRectangle);
  bar.SetTrackStyle(trFlat);
  bar.SetCtl3D(true);
  EXPECT_EQ(bar.TrackStyle(), trLowered);
  EXPECT_EQ(bar.ThumbStyle(), tsRaisedRectangle);
  bar.SetCtl3D(false);
  bar.SetThumbStyle(tsSmallPointer);
  bar.SetCtl3D(true);
  EXPECT_EQ(bar.ThumbStyle(), tsSmallPointer);
}

TEST_F(RangeBar, PointerThumbsTakeThePictureSize) {
  bar.SetThumbStyle(tsMediumPointer);
  EXPECT_EQ(bar.ThumbSize(), 12);
  EXPECT_EQ(bar.ThumbOffset(), 6);
  bar.SetThumbStyle(tsLargePointer);
  EXPECT_EQ(bar.ThumbSize(), 16);
  Select(10, 40);
  EXPECT_EQ(bar.ThumbRectL().size(), QSize(16, 24));
}

TEST(PointerThumbPictures, TwelvePicturesWithMasks) {
  const struct {
    const char* prefix;
    QSize upright;
  } sizes[] = {{"SM", {8, 12}}, {"MED", {12, 18}}, {"LG", {16, 24}}};
  for (const auto& size : sizes) {
    for (const char* direction : {"UP", "DOWN", "LEFT", "RIGHT"}) {
      const QString name = QString(size.prefix) + direction + "THUMB";
      const bool sideways = QString(direction) == "LEFT" || QString(direction) == "RIGHT";
      const QSize expected = sideways ? size.upright.transposed() : size.upright;
      const QImage picture = PointerThumbs::Picture(name);
      const QBitmap mask = PointerThumbs::Mask(name + "MASK");
      EXPECT_EQ(picture.size(), expected) << name.toStdString();
      EXPECT_EQ(mask.size(), expected) << name.toStdString();
      const QImage bits = mask.toImage();
      int set = 0;
      for (int y = 0; y < bits.height(); ++y)
        for (int x = 0; x < bits.width(); ++x) set += bits.pixelIndex(x, y) == 1 ? 1 : 0;
      EXPECT_GT(set, expected.width() * expected.height() / 2) << name.toStdString();
      EXPECT_LT(set, expected.width() * expected.height()) << name.toStdString();  // the point leaves corners out
    }
  }
  EXPECT_TRUE(PointerThumbs::Picture("HUGEUPTHUMB").isNull());
}

}  // namespace
