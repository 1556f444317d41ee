#include "controls/WaveformView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

/// How near (in pixels) a press must be to take a handle.
constexpr int kHandleReach = 4;
/// How often the view looks for new peaks.
constexpr int kPollMs = 40;
/// Zoomed in fully, a sample is this many pixels wide.
constexpr int kMostPixelsPerSample = 16;

}  // namespace

TWaveformView::TWaveformView(QWidget* parent)
    : QWidget(parent), bar_(new QScrollBar(Qt::Horizontal, this)), whole_(new QToolButton(this)), poll_(new QTimer(this)) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  bar_->setObjectName("sbWave");
  whole_->setObjectName("bWhole");
  whole_->setText("Whole");
  whole_->setToolTip("Show the whole file (0)");
  whole_->setFocusPolicy(Qt::NoFocus);
  connect(whole_, &QToolButton::clicked, this, [this] { ShowWhole(); });
  connect(bar_, &QScrollBar::valueChanged, this, [this](int value) {
    if (syncing_) return;
    const int64_t visible = viewTo_ - viewFrom_;
    const int64_t from = std::clamp<int64_t>(int64_t{value} * FramesPerPixel(), 0, std::max<int64_t>(Frames() - visible, 0));
    viewFrom_ = from;
    viewTo_ = from + visible;
    update();
  });
  connect(poll_, &QTimer::timeout, this, [this] { Poll(); });
  poll_->start(kPollMs);
  SyncScrollBar();
}

TWaveformView::~TWaveformView() = default;

void TWaveformView::SetSource(WaveformSource* source) {
  source_ = source;
  seenVersion_ = source ? source->Version() : 0;
  selStart_ = selEnd_ = 0;
  cursor_ = 0;
  ranges_.clear();
  drag_ = Drag::None;
  ShowWhole();
}

void TWaveformView::Poll() {
  if (!source_ || !isVisible()) return;
  const uint64_t version = source_->Version();
  if (version != seenVersion_) {
    seenVersion_ = version;
    update();
  }
}

QRect TWaveformView::WaveRect() const {
  return QRect(0, kRulerHeight, width(), std::max(height() - kRulerHeight - kBarHeight, 1));
}

int64_t TWaveformView::FramesPerPixel() const {
  return std::max<int64_t>(1, (viewTo_ - viewFrom_) / std::max(width(), 1));
}

int64_t TWaveformView::LeastVisible() const {
  return std::min<int64_t>(std::max(width() / kMostPixelsPerSample, 2), Frames());
}

int64_t TWaveformView::FrameAt(int x) const {
  const int64_t visible = viewTo_ - viewFrom_;
  if (visible <= 0) return 0;
  // Column x covers [from + n*x/w, from + n*(x+1)/w): its first frame.
  const int w = std::max(width(), 1);
  return std::clamp<int64_t>(viewFrom_ + visible * std::clamp(x, 0, w) / w, 0, Frames());
}

double TWaveformView::XOf(int64_t frame) const {
  const int64_t visible = viewTo_ - viewFrom_;
  if (visible <= 0) return 0;
  return static_cast<double>(frame - viewFrom_) * width() / static_cast<double>(visible);
}

void TWaveformView::SetSelection(int64_t start, int64_t end) {
  selStart_ = std::clamp<int64_t>(start, 0, Frames());
  selEnd_ = std::clamp<int64_t>(end, selStart_, Frames());
  update();
}

void TWaveformView::ChangeSelection(int64_t start, int64_t end) {
  SetSelection(start, end);
  if (OnSelectionChange) OnSelectionChange(selStart_, selEnd_);
}

void TWaveformView::SetRanges(std::vector<std::pair<int64_t, int64_t>> ranges, Shade shade) {
  ranges_ = std::move(ranges);
  shade_ = shade;
  update();
}

void TWaveformView::SetCursorFrame(int64_t frame, bool follow) {
  frame = std::clamp<int64_t>(frame, 0, Frames());
  const int64_t visible = viewTo_ - viewFrom_;
  if (follow && visible < Frames() && (frame < viewFrom_ || frame >= viewTo_)) {
    // A page on, with a little of what was before it still in sight.
    const int64_t from = frame - visible / 10;
    SetView(from, from + visible);
  }
  if (frame == cursor_) return;
  cursor_ = frame;
  update();
}

void TWaveformView::SetView(int64_t from, int64_t to) {
  const int64_t frames = Frames();
  // At least a few samples, at most the whole file.
  const int64_t visible = std::clamp<int64_t>(to - from, LeastVisible(), frames);
  from = std::clamp<int64_t>(from, 0, std::max<int64_t>(frames - visible, 0));
  viewFrom_ = from;
  viewTo_ = from + visible;
  SyncScrollBar();
  update();
}

void TWaveformView::ShowWhole() { SetView(0, Frames()); }

void TWaveformView::ZoomToSelection() {
  if (selEnd_ > selStart_) SetView(selStart_, selEnd_);
}

void TWaveformView::ZoomAround(int x, double factor) {
  const int64_t visible = viewTo_ - viewFrom_;
  if (visible <= 0) return;
  const int64_t pinned = FrameAt(x);
  const auto wanted = static_cast<int64_t>(std::llround(static_cast<double>(visible) * factor));
  const int64_t clamped = std::clamp<int64_t>(wanted, LeastVisible(), Frames());
  const auto from = pinned - static_cast<int64_t>(std::llround(static_cast<double>(clamped) * x / std::max(width(), 1)));
  SetView(from, from + clamped);
}

void TWaveformView::SyncScrollBar() {
  syncing_ = true;
  const int64_t step = FramesPerPixel();
  const int64_t visible = viewTo_ - viewFrom_;
  bar_->setRange(0, static_cast<int>(std::min<int64_t>((Frames() - visible) / step, INT32_MAX)));
  bar_->setPageStep(static_cast<int>(std::min<int64_t>(visible / step, INT32_MAX)));
  bar_->setSingleStep(std::max(1, width() / 20));
  bar_->setValue(static_cast<int>(std::min<int64_t>(viewFrom_ / step, INT32_MAX)));
  syncing_ = false;
}

void TWaveformView::resizeEvent(QResizeEvent*) {
  constexpr int kWholeWidth = 44;
  bar_->setGeometry(0, height() - kBarHeight, width() - kWholeWidth, kBarHeight);
  whole_->setGeometry(width() - kWholeWidth, height() - kBarHeight, kWholeWidth, kBarHeight);
  SetView(viewFrom_, viewTo_ > viewFrom_ ? viewTo_ : Frames());
}

void TWaveformView::mousePressEvent(QMouseEvent* event) {
  if (!source_ || Frames() == 0) return;
  const int x = static_cast<int>(event->position().x());
  pressX_ = x;
  moved_ = false;
  if (event->button() == Qt::MiddleButton || (event->button() == Qt::LeftButton && event->position().y() < kRulerHeight)) {
    drag_ = Drag::Pan;
    panFrom_ = viewFrom_;
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  if (event->modifiers() & Qt::ShiftModifier) {
    drag_ = Drag::Nearer;
    return;
  }
  const double startX = XOf(selStart_), endX = XOf(selEnd_);
  const double toStart = std::abs(x - startX), toEnd = std::abs(x - endX);
  if (ranges_.empty() && std::min(toStart, toEnd) <= kHandleReach) {
    activeIsEnd_ = toEnd < toStart || (toEnd == toStart && x > endX);
    drag_ = activeIsEnd_ ? Drag::End : Drag::Start;
    return;
  }
  drag_ = Drag::Select;
  anchor_ = FrameAt(x);
}

void TWaveformView::mouseMoveEvent(QMouseEvent* event) {
  const int x = static_cast<int>(event->position().x());
  if (std::abs(x - pressX_) > 2) moved_ = true;
  const int64_t frame = FrameAt(x);
  switch (drag_) {
    case Drag::Nearer:
      break;
    case Drag::Pan: {
      const int64_t shift = (viewTo_ - viewFrom_) * (pressX_ - x) / std::max(width(), 1);
      SetView(panFrom_ + shift, panFrom_ + shift + (viewTo_ - viewFrom_));
      break;
    }
    case Drag::Start:
      ChangeSelection(std::min(frame, selEnd_), selEnd_);
      break;
    case Drag::End:
      ChangeSelection(selStart_, std::max(frame, selStart_));
      break;
    case Drag::Select:
      if (moved_) {
        activeIsEnd_ = frame >= anchor_;
        ChangeSelection(std::min(anchor_, frame), std::max(anchor_, frame));
      }
      break;
    case Drag::None: {
      if (event->buttons() != Qt::NoButton) break;
      const bool near = ranges_.empty() && source_ &&
                        std::min(std::abs(x - XOf(selStart_)), std::abs(x - XOf(selEnd_))) <= kHandleReach;
      setCursor(near ? Qt::SizeHorCursor : Qt::IBeamCursor);
      break;
    }
  }
}

void TWaveformView::mouseReleaseEvent(QMouseEvent* event) {
  const int64_t frame = FrameAt(static_cast<int>(event->position().x()));
  if (event->button() == Qt::LeftButton && drag_ == Drag::Nearer) {
    // Shift+click moves the nearer handle (the start when the selection is
    // empty and the click lies before it) to the sample under the pointer.
    activeIsEnd_ = std::abs(frame - selEnd_) < std::abs(frame - selStart_) || frame > selEnd_;
    if (activeIsEnd_) ChangeSelection(selStart_, frame);
    else ChangeSelection(frame, selEnd_);
  } else if (event->button() == Qt::LeftButton && drag_ == Drag::Select && !moved_) {
    SetCursorFrame(anchor_);
    if (OnCursorPlaced) OnCursorPlaced(cursor_);
  }
  drag_ = Drag::None;
}

void TWaveformView::mouseDoubleClickEvent(QMouseEvent*) { ZoomToSelection(); }

void TWaveformView::wheelEvent(QWheelEvent* event) {
  const int notches = event->angleDelta().y() / 120;
  if (notches == 0 || !source_) return;
  ZoomAround(static_cast<int>(event->position().x()), std::pow(0.8, notches));
  event->accept();
}

void TWaveformView::keyPressEvent(QKeyEvent* event) {
  if (!source_ || Frames() == 0) return QWidget::keyPressEvent(event);
  switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const int64_t step = (event->modifiers() & Qt::ShiftModifier) ? 1 : FramesPerPixel();
      const int64_t move = event->key() == Qt::Key_Left ? -step : step;
      if (activeIsEnd_) ChangeSelection(selStart_, std::clamp(selEnd_ + move, selStart_, Frames()));
      else ChangeSelection(std::clamp<int64_t>(selStart_ + move, 0, selEnd_), selEnd_);
      // Keep the moved handle in sight.
      const int64_t at = activeIsEnd_ ? selEnd_ : selStart_;
      if (at < viewFrom_ || at > viewTo_) SetView(at - (viewTo_ - viewFrom_) / 2, at + (viewTo_ - viewFrom_) / 2);
      return;
    }
    case Qt::Key_Plus:
    case Qt::Key_Equal:
      return ZoomAround(width() / 2, 0.5);
    case Qt::Key_Minus:
      return ZoomAround(width() / 2, 2.0);
    case Qt::Key_0:
      return ShowWhole();
    default:
      return QWidget::keyPressEvent(event);
  }
}
