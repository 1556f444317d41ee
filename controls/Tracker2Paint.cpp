#include "controls/Tracker2.h"

// Painting: the track, the ticks, the thumbs and the playback line.
#include <QPainter>
#include <cstdint>
#include <vector>

#include "controls/PointerThumbs.h"
#include "controls/TrackGeometry.h"

using namespace track;

namespace {

const QColor kSilver(192, 192, 192);
const QColor kGray(128, 128, 128);
const QColor kLineColour(0, 200, 200);

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
