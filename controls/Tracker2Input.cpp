#include "controls/Tracker2.h"

// Input: the mouse, the keyboard, focus and size changes.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>

#include "controls/TrackGeometry.h"

using namespace track;

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
