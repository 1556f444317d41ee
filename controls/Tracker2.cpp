#include "controls/Tracker2.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>
#include <cstdint>
#include <vector>

#include "controls/PointerThumbs.h"

namespace {

const QColor kSilver(192, 192, 192);
const QColor kGray(128, 128, 128);
const QColor kLineColour(0, 200, 200);

/// Stores value; false when it equals what is there, so nothing changes.
template <typename T>
bool Assign(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}

/// A rectangle given by its edges, right and bottom exclusive.
QRect Edges(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }
int RightOf(const QRect& r) { return r.x() + r.width(); }
int BottomOf(const QRect& r) { return r.y() + r.height(); }

/// One ring of lines: topLeft colour on the left and top edges, bottomRight
/// on the right and bottom edges; right and bottom exclusive.
void Frame(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
  const int l = r.x(), t = r.y(), rr = RightOf(r) - 1, b = BottomOf(r) - 1;
  p.setPen(topLeft);
  p.drawLine(l, b, l, t);
  p.drawLine(l, t, rr, t);
  p.setPen(bottomRight);
  p.drawLine(rr, t, rr, b);
  p.drawLine(rr, b, l, b);
}

/// Two rings: the outer pair, then the inner pair one pixel in.
void Bevel(QPainter& p, const QRect& r, const QColor& outerTL, const QColor& outerBR, const QColor& innerTL,
           const QColor& innerBR) {
  Frame(p, r, outerTL, outerBR);
  if (r.width() > 2 && r.height() > 2) Frame(p, r.adjusted(1, 1, -1, -1), innerTL, innerBR);
}

/// Replaces the area of one colour around (x, y) with the brush's pattern.
void FloodFill(QImage& image, int x, int y, const QImage& pattern) {
  if (!image.rect().contains(x, y) || pattern.isNull()) return;
  const QRgb target = image.pixel(x, y);
  std::vector<uint8_t> seen(static_cast<size_t>(image.width()) * image.height());
  std::vector<QPoint> stack{{x, y}};
  while (!stack.empty()) {
    const QPoint at = stack.back();
    stack.pop_back();
    if (!image.rect().contains(at)) continue;
    uint8_t& mark = seen[static_cast<size_t>(at.y()) * image.width() + at.x()];
    if (mark || image.pixel(at) != target) continue;
    mark = 1;
    image.setPixel(at, pattern.pixel(at.x() % pattern.width(), at.y() % pattern.height()));
    stack.insert(stack.end(), {{at.x() + 1, at.y()}, {at.x() - 1, at.y()}, {at.x(), at.y() + 1}, {at.x(), at.y() - 1}});
  }
}

}  // namespace

TTrackBar2::TTrackBar2(QWidget* parent) : QWidget(parent) {
  TickColor_ = palette().color(QPalette::Button);
  ThumbColor_ = palette().color(QPalette::Button);
  setFocusPolicy(Qt::StrongFocus);
  resize(500, 50);
  UpdateThumbBitmap();
  UpdateTrackRect();
  UpdateTickBitmap();
  UpdateDitherBitmap();
}

// ---- properties ----

void TTrackBar2::SetPositionL(int value) {
  if (value == PositionL_) return;
  PositionL_ = value;
  if (SecondThumb_ && value >= PositionU_) PositionL_ = PositionU_ - 1;
  else if (value > Max_) PositionL_ = Max_;
  else if (value < Min_) PositionL_ = Min_;
  Change();
  update();
}

void TTrackBar2::SetPositionU(int value) {
  if (value == PositionU_) return;
  PositionU_ = value;
  if (value > Max_) PositionU_ = Max_;
  else if (value <= PositionL_) PositionU_ = PositionL_ + 1;
  Change();
  update();
}

void TTrackBar2::SetMax(int value) {
  if (value == Max_) return;
  Max_ = value;
  if (value < PositionU_) PositionU_ = value;
  UpdateTrackRect();
  update();
}

void TTrackBar2::SetMin(int value) {
  if (value == Min_) return;
  Min_ = value;
  if (PositionL_ < value) PositionL_ = value;
  UpdateTrackRect();
  update();
}

void TTrackBar2::SetLinePosition(int value) {
  if (value == LinePosition_) return;
  // Only the old and the new line columns change.
  if (LinePosition_ > 0) update(LineX(LinePosition_), 0, 1, 51);
  if (value > 0 && value <= Max_) update(LineX(value), 0, 1, 51);
  LinePosition_ = value;
}

void TTrackBar2::SetOrientation(TOrientation value) {
  if (value == Orientation_) return;
  Orientation_ = value;
  if ((value == toVertical && width() > height()) || (value == toHorizontal && height() > width())) {
    resize(height(), width());
    Orientation_ = value;
  }
  Rebuild(kThumb | kTrack);
}

void TTrackBar2::SetThumbSize(int value) {
  if (Assign(ThumbSize_, value)) Rebuild(kThumb | kTrack);
}

void TTrackBar2::SetThumbStyle(TThumbStyle value) {
  if (Assign(ThumbStyle_, value)) Rebuild(kThumb | kTrack);
}

void TTrackBar2::SetThumbColor(const QColor& value) {
  if (Assign(ThumbColor_, value)) Rebuild(kThumb);
}

void TTrackBar2::SetSecondThumb(bool value) {
  if (Assign(SecondThumb_, value)) Rebuild(kThumb);
}

void TTrackBar2::SetDitherThumb(bool value) {
  if (Assign(DitherThumb_, value) && !isEnabled()) update();
}

void TTrackBar2::SetTrackSize(int value) {
  if (Assign(TrackSize_, value)) Rebuild(kTrack);
}

void TTrackBar2::SetTrackStyle(TTrackStyle value) {
  if (Assign(TrackStyle_, value)) update();
}

void TTrackBar2::SetTrackColor(const QColor& value) {
  // The disabled track's checkerboard is made from the track colour.
  if (Assign(TrackColor_, value)) Rebuild(kDither);
}

void TTrackBar2::SetTrackCenterColor(const QColor& value) {
  if (Assign(TrackCenterColor_, value)) update();
}

void TTrackBar2::SetTickInterval(int value) {
  if (Assign(TickInterval_, value)) update();
}

void TTrackBar2::SetTickSize(int value) {
  if (Assign(TickSize_, value)) Rebuild(kTick);
}

void TTrackBar2::SetTickColor(const QColor& value) {
  if (Assign(TickColor_, value)) Rebuild(kTick);
}

void TTrackBar2::SetTickStyle(TTickStyle value) {
  if (!Assign(TickStyle_, value)) return;
  if (value == tiLine) TickColor_ = Qt::black;
  Rebuild(kTick);
}

void TTrackBar2::SetTickOrientation(TTickOrientation value) {
  if (Assign(TickOrientation_, value)) Rebuild(kThumb | kTrack);
}

void TTrackBar2::SetCtl3D(bool value) {
  if (value == Ctl3D_) return;
  Ctl3D_ = value;
  if (value) {
    TrackStyle_ = trLowered;
    if (ThumbStyle_ == tsRectangle || ThumbStyle_ == tsLoweredRectangle) ThumbStyle_ = tsRaisedRectangle;
  }
  Rebuild(kThumb | kTrack);
}

void TTrackBar2::Rebuild(int parts) {
  if (parts & kThumb) UpdateThumbBitmap();
  if (parts & kTrack) UpdateTrackRect();
  if (parts & kTick) UpdateTickBitmap();
  if (parts & kDither) UpdateDitherBitmap();
  update();
}

void TTrackBar2::Change() {
  if (OnChange) OnChange(this);
}

// ---- geometry ----

int TTrackBar2::ToPixels(int position) const {
  const int64_t range = static_cast<int64_t>(Max_) - Min_;
  if (range == 0) return 0;
  return static_cast<int>(static_cast<int64_t>(TrackLength_) * position / range);
}

int TTrackBar2::PositionAt(int x, int y) const {
  const int64_t range = static_cast<int64_t>(Max_) - Min_;
  if (range == 0 || TrackLength_ == 0) return 0;
  if (Orientation_ == toHorizontal) return static_cast<int>((static_cast<int64_t>(x) - ThumbOffset_) * range / TrackLength_);
  return static_cast<int>(Max_ - (static_cast<int64_t>(y) + ThumbOffset_) * range / TrackLength_);
}

int TTrackBar2::LineX(int position) const { return ToPixels(position) + 2 * ThumbOffset_; }

void TTrackBar2::UpdateTrackRect() {
  const bool horizontal = Orientation_ == toHorizontal;
  const int along = horizontal ? width() : height();
  const int across = horizontal ? height() : width();
  TrackLength_ = along - ThumbSize_;
  const int start = ToPixels(Min_) + ThumbOffset_;
  // An empty range keeps the whole track, with every position at its start.
  const bool empty = Max_ == Min_;
  const int end = (empty ? TrackLength_ : ToPixels(Max_)) + ThumbOffset_;
  CenterShift_ = (along - (end - start)) / 2 - ThumbOffset_;
  const int from = across / 2 - TrackSize_ / 2;
  const int to = across / 2 + TrackSize_ / 2;
  TrackRect_ = horizontal ? Edges(start + CenterShift_, from, end + CenterShift_, to)
                          : Edges(from, start + CenterShift_, to, end + CenterShift_);
}

QSize TTrackBar2::ThumbImageSize() const {
  if (ThumbStyle_ == tsUserDrawn) return QSize(ThumbSize_, ThumbSize_);
  return thumbImage_.size();
}

void TTrackBar2::UpdateThumbBitmap() {
  const bool horizontal = Orientation_ == toHorizontal;
  switch (ThumbStyle_) {
    case tsRectangle:
    case tsRaisedRectangle:
    case tsLoweredRectangle: {
      ThumbOffset_ = ThumbSize_ / 4;
      const QSize size = horizontal ? QSize(ThumbSize_ / 2, ThumbSize_) : QSize(ThumbSize_, ThumbSize_ / 2);
      thumbImage_ = QImage(size.expandedTo(QSize(0, 0)), QImage::Format_ARGB32);
      if (thumbImage_.isNull()) break;
      thumbImage_.fill(ThumbColor_);
      QPainter p(&thumbImage_);
      const QRect all = thumbImage_.rect();
      if (ThumbStyle_ == tsRectangle) Frame(p, all, Qt::black, Qt::black);
      else if (ThumbStyle_ == tsRaisedRectangle) Bevel(p, all, Qt::white, Qt::black, kSilver, kGray);
      else Bevel(p, all, Qt::black, Qt::white, kGray, kSilver);
      break;
    }
    case tsSmallPointer:
    case tsMediumPointer:
    case tsLargePointer: {
      const char* prefix = ThumbStyle_ == tsSmallPointer ? "SM" : ThumbStyle_ == tsMediumPointer ? "MED" : "LG";
      const bool towardsEnd = TickOrientation_ == toBottomRight;
      const char* direction = horizontal ? (towardsEnd ? "DOWN" : "UP") : (towardsEnd ? "RIGHT" : "LEFT");
      thumbImage_ = PointerThumbs::Picture(QString(prefix) + direction + "THUMB");
      ThumbSize_ = horizontal ? thumbImage_.width() : thumbImage_.height();
      ThumbOffset_ = ThumbSize_ / 2;
      break;
    }
    case tsUserDrawn:
      thumbImage_ = QImage();
      ThumbOffset_ = ThumbSize_ / 2;
      break;
  }
}

void TTrackBar2::UpdateTickBitmap() {
  tickImage_ = QImage();
  if (TickSize_ <= 0) return;
  tickImage_ = QImage(TickSize_, TickSize_, QImage::Format_ARGB32);
  tickImage_.fill(TickColor_);
  QPainter p(&tickImage_);
  if (TickStyle_ == tiSquare) Frame(p, tickImage_.rect(), Qt::black, Qt::black);
  else if (TickStyle_ == tiRaisedSquare) Frame(p, tickImage_.rect(), Qt::white, Qt::black);
  else if (TickStyle_ == tiLoweredSquare) Frame(p, tickImage_.rect(), Qt::black, Qt::white);
}

void TTrackBar2::UpdateDitherBitmap() {
  QImage cells(8, 8, QImage::Format_RGB32);
  const QColor odd = TrackColor_ == kSilver ? kGray : kSilver;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) cells.setPixelColor(x, y, (x + y) % 2 ? odd : TrackColor_);
  ditherBrush_ = QBrush(cells);
}

// ---- painting ----

void TTrackBar2::paintEvent(QPaintEvent*) {
  QPainter canvas(this);
  if (OnPaint) OnPaint(this);
  DrawTrack(canvas);
  DrawTicks(canvas);
  DrawThumbs(canvas);
  if (LinePosition_ > 0) DrawLinePosition(canvas, LinePosition_);
  if (hasFocus()) {
    canvas.setPen(QPen(Qt::black, 1, Qt::DotLine));
    canvas.setBrush(Qt::NoBrush);
    canvas.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

void TTrackBar2::DrawTrack(QPainter& canvas) {
  if (TrackStyle_ == trUserDrawn) {
    DoDrawTrack(canvas);
    return;
  }
  canvas.fillRect(TrackRect_, isEnabled() ? QBrush(TrackColor_) : ditherBrush_);
  if (TrackStyle_ == trRaised) Bevel(canvas, TrackRect_, Qt::white, Qt::black, kSilver, kGray);
  else if (TrackStyle_ == trLowered) Bevel(canvas, TrackRect_, Qt::black, Qt::white, kGray, kSilver);
}

void TTrackBar2::DoDrawTrack(QPainter& canvas) {
  if (OnDrawTrack) OnDrawTrack(this, canvas);
}

void TTrackBar2::DrawTicks(QPainter& canvas) {
  if (Orientation_ != toHorizontal || TickInterval_ <= 0) return;
  const bool top = TickOrientation_ == toTopLeft || TickOrientation_ == toBoth;
  const bool bottom = TickOrientation_ == toBottomRight || TickOrientation_ == toBoth;
  std::vector<int> rows;
  if (top) rows.push_back(2);
  if (bottom) rows.push_back(height() - TickSize_ - 2);
  // Always 32 slots across the track, whatever the range.
  for (int slot = 0; slot <= 31; slot += TickInterval_) {
    const int x = slot * (width() - ThumbSize_) / 31 + ThumbOffset_ + CenterShift_;
    for (int y : rows) {
      if (TickStyle_ == tiUserDrawn) {
        DoDrawTick(canvas, x, y, slot);
      } else if (TickStyle_ == tiLine) {
        if (TickSize_ > 0) {
          canvas.setPen(TickColor_);
          canvas.drawLine(x, y, x, y + TickSize_ - 1);
        }
      } else if (!tickImage_.isNull()) {
        canvas.drawImage(x - TickSize_ / 2, y, tickImage_);
      }
    }
  }
}

void TTrackBar2::DoDrawTick(QPainter& canvas, int x, int y, int position) {
  if (OnDrawTick) OnDrawTick(this, canvas, x, y, position);
}

QImage TTrackBar2::ComposeThumb() const {
  QImage thumb = thumbImage_;
  if (!isEnabled() && DitherThumb_ && !thumb.isNull())
    FloodFill(thumb, thumb.width() / 2, thumb.height() / 2, ditherBrush_.textureImage());
  return thumb;
}

void TTrackBar2::DrawThumbs(QPainter& canvas) {
  const QSize size = ThumbImageSize();
  const int w = size.width(), h = size.height();
  QPoint lower, upper;
  if (Orientation_ == toHorizontal) {
    const int y = height() / 2 - h / 2;
    lower = QPoint(ToPixels(PositionL_) + CenterShift_, y);
    upper = QPoint(ToPixels(PositionU_) + CenterShift_, y);
  } else {
    const int x = width() / 2 - w / 2;
    lower = QPoint(x, ToPixels(Max_ - PositionL_) + CenterShift_);
    upper = QPoint(x, ToPixels(Max_ - PositionU_) + CenterShift_);
  }

  if (ThumbStyle_ == tsUserDrawn) {
    DoDrawThumb(canvas, lower.x(), lower.y());
    if (SecondThumb_) DoDrawThumb(canvas, upper.x(), upper.y());
    // User-drawn thumbs are grabbed where a rectangle thumb of ThumbSize would be.
    const QSize hit = Orientation_ == toHorizontal ? QSize(ThumbSize_ / 2, ThumbSize_) : QSize(ThumbSize_, ThumbSize_ / 2);
    ThumbRectL_ = QRect(lower, hit);
    ThumbRectU_ = QRect(upper, hit);
    return;
  }

  const QImage thumb = ComposeThumb();
  canvas.drawImage(lower, thumb);
  if (SecondThumb_) {
    canvas.drawImage(upper, thumb);
    // The selected range between the thumbs.
    const QRect band = Orientation_ == toHorizontal
                           ? Edges(lower.x() + w, TrackRect_.y(), upper.x(), BottomOf(TrackRect_))
                           : Edges(TrackRect_.x(), upper.y() + h, RightOf(TrackRect_), lower.y());
    const int length = Orientation_ == toHorizontal ? band.width() : band.height();
    if (length >= 1 && band.height() > 0 && band.width() > 0) {
      canvas.setPen(TrackCenterColor_);
      canvas.setBrush(Qt::NoBrush);
      canvas.drawRect(band.adjusted(0, 0, -1, -1));
      if (length >= 2) canvas.fillRect(band, TrackCenterColor_);
    }
  }
  ThumbRectL_ = QRect(lower, QSize(w, h));
  ThumbRectU_ = QRect(upper, QSize(w, h));
}

void TTrackBar2::DoDrawThumb(QPainter& canvas, int x, int y) {
  if (OnDrawThumb) OnDrawThumb(this, canvas, x, y);
}

void TTrackBar2::DrawLinePosition(QPainter& canvas, int position) {
  const int x = LineX(position);
  canvas.setPen(kLineColour);
  canvas.drawLine(x, 0, x, 50);
}

// ---- notifications ----

void TTrackBar2::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (width() != height()) Orientation_ = height() > width() ? toVertical : toHorizontal;
  UpdateThumbBitmap();
  UpdateTrackRect();
}

void TTrackBar2::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void TTrackBar2::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

void TTrackBar2::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) update();
}

// ---- mouse and keys ----

void TTrackBar2::SetThumbPosition(bool upper, int value) {
  if (upper) SetPositionU(value);
  else SetPositionL(value);
}

void TTrackBar2::mousePressEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (OnMouseDown) OnMouseDown(this, event->button(), event->modifiers(), at.x(), at.y());
  setFocus(Qt::MouseFocusReason);
  if (event->button() != Qt::LeftButton) return;
  const int x = at.x(), y = at.y();
  const bool horizontal = Orientation_ == toHorizontal;

  bool upper = false;
  if (SecondThumb_) {
    upper = horizontal ? x > (RightOf(ThumbRectL_) + ThumbRectU_.x()) / 2
                       : y < (ThumbRectL_.y() + BottomOf(ThumbRectU_)) / 2;
  }
  const QRect& thumb = upper ? ThumbRectU_ : ThumbRectL_;
  const int position = upper ? PositionU_ : PositionL_;

  if (thumb.contains(at)) {
    (upper ? TrackingU_ : TrackingL_) = true;
  } else if (event->modifiers() & Qt::ShiftModifier) {
    if (horizontal) {
      if (x >= RightOf(thumb)) SetThumbPosition(upper, position + SmallChange_);
      else if (x < thumb.x()) SetThumbPosition(upper, position - SmallChange_);
    } else {
      if (y < thumb.y()) SetThumbPosition(upper, position + SmallChange_);
      else if (y >= BottomOf(thumb)) SetThumbPosition(upper, position - SmallChange_);
    }
  } else {
    SetThumbPosition(upper, PositionAt(x, y));
  }
}

void TTrackBar2::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (OnMouseMove) OnMouseMove(this, event->button(), event->modifiers(), at.x(), at.y());
  if (TrackingU_) SetPositionU(PositionAt(at.x(), at.y()));
  else if (TrackingL_) SetPositionL(PositionAt(at.x(), at.y()));
}

void TTrackBar2::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (OnMouseUp) OnMouseUp(this, event->button(), event->modifiers(), at.x(), at.y());
  if (event->button() == Qt::LeftButton) {
    TrackingU_ = false;
    TrackingL_ = false;
  }
}

void TTrackBar2::keyPressEvent(QKeyEvent* event) {
  const bool upper = (event->modifiers() & Qt::ShiftModifier) && SecondThumb_;
  const int position = upper ? PositionU_ : PositionL_;
  int target = position;
  bool handled = true;
  switch (event->key()) {
    case Qt::Key_PageUp: target = position + LargeChange_; break;
    case Qt::Key_PageDown: target = position - LargeChange_; break;
    case Qt::Key_Right:
    case Qt::Key_Up: target = position + SmallChange_; break;
    case Qt::Key_Left:
    case Qt::Key_Down: target = position - SmallChange_; break;
    default: handled = false;
  }
  SetThumbPosition(upper, target);
  if (OnKeyDown) OnKeyDown(this, event->key(), event->modifiers());
  // The arrow and page keys belong to the control, not to focus navigation.
  if (handled) event->accept();
  else QWidget::keyPressEvent(event);
}
