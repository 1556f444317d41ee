// Painting of the waveform view: ruler, bands of peaks, shading and marks.
#include <QPainter>
#include <QPolygon>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

#include "controls/WaveformView.h"
#include "controls/RulerTicks.h"

namespace {

const QColor kBackground(24, 36, 52);
const QColor kExact(95, 211, 141);
const QColor kRough(63, 127, 95);
const QColor kCentre(60, 78, 98);
const QColor kSelection(255, 255, 255, 48);
const QColor kRange(255, 90, 90, 80);
const QColor kKept(90, 160, 255, 80);
const QColor kHandle(255, 213, 79);
const QColor kPlay(255, 82, 82);
const QColor kRuler(221, 227, 234);

}  // namespace

void TWaveformView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kBackground);
  PaintRuler(painter);
  PaintWaves(painter);
  PaintMarks(painter);
  if (hasFocus()) {
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kHandle, 1, Qt::DotLine));
    painter.drawRect(WaveRect().adjusted(0, 0, -1, -1));
  }
}

void TWaveformView::PaintRuler(QPainter& painter) const {
  const QRect ruler(0, 0, width(), kRulerHeight);
  painter.fillRect(ruler, kRuler);
  if (!source_ || source_->SampleRate() <= 0 || viewTo_ <= viewFrom_) return;
  QFont small = painter.font();
  small.setPointSizeF(7);
  painter.setFont(small);
  painter.setPen(Qt::black);
  for (const RulerTick& tick : RulerTicks(viewFrom_, viewTo_, source_->SampleRate(), width())) {
    const int x = static_cast<int>(std::lround(XOf(tick.frame)));
    painter.drawLine(x, kRulerHeight - 5, x, kRulerHeight - 1);
    painter.drawText(QRect(x + 2, 0, 90, kRulerHeight - 2), Qt::AlignLeft | Qt::AlignVCenter, tick.label);
  }
}

void TWaveformView::PaintWaves(QPainter& painter) {
  if (!source_ || viewTo_ <= viewFrom_) return;
  const QRect area = WaveRect();
  const int channels = std::max(source_->Channels(), 1);
  if (viewTo_ - viewFrom_ <= area.width()) return PaintSamples(painter, area, channels);
  // One column a device pixel: on a screen scaled by 2 the waveform is as fine as the text.
  const qreal scale = std::max<qreal>(devicePixelRatioF(), 1.0);
  const int deviceWidth = static_cast<int>(std::lround(area.width() * scale));
  const WaveformColumns columns = source_->Columns(viewFrom_, viewTo_, deviceWidth);
  const int bandHeight = area.height() / channels;
  for (int ch = 0; ch < channels; ++ch) {
    const int top = area.top() + ch * bandHeight;
    const double centre = top + bandHeight / 2.0, half = bandHeight / 2.0 - 1;
    painter.setPen(kCentre);
    painter.drawLine(0, static_cast<int>(centre), width(), static_cast<int>(centre));
    for (int x = 0; x < columns.width && ch < columns.channels; ++x) {
      const WaveformColumns::Known known = columns.known[static_cast<size_t>(x)];
      if (known == WaveformColumns::kUnknown) continue;
      const size_t at = static_cast<size_t>(x * columns.channels + ch);
      // Rounded to device pixels, a column of one sample still shows.
      const double y0 = std::round((centre - columns.high[at] / 32768.0 * half) * scale) / scale;
      const double y1 = std::round((centre - columns.low[at] / 32768.0 * half) * scale) / scale;
      painter.setPen(QPen(known == WaveformColumns::kExact ? kExact : kRough, 0));  // one device pixel
      const double column = (x + 0.5) / scale;
      painter.drawLine(QPointF(column, y0), QPointF(column, std::max(y0, y1)));
    }
  }
}

void TWaveformView::PaintSamples(QPainter& painter, const QRect& area, int channels) {
  // One column a sample, from the one before the view to the one after it,
  // so that the line runs on past both edges.
  const int64_t from = std::max<int64_t>(viewFrom_ - 1, 0), to = std::min(viewTo_ + 1, Frames());
  const WaveformColumns samples = source_->Columns(from, to, static_cast<int>(to - from));
  const int bandHeight = area.height() / channels;
  const bool dots = XOf(viewFrom_ + 1) - XOf(viewFrom_) >= 4;
  painter.setRenderHint(QPainter::Antialiasing, true);
  for (int ch = 0; ch < channels && ch < samples.channels; ++ch) {
    const int top = area.top() + ch * bandHeight;
    const double centre = top + bandHeight / 2.0, half = bandHeight / 2.0 - 1;
    painter.setPen(kCentre);
    painter.drawLine(QPointF(0, centre), QPointF(width(), centre));
    QPolygonF line;
    auto flush = [&] {
      painter.setPen(QPen(kExact, 1.2));
      if (line.size() > 1) painter.drawPolyline(line);
      if (dots) {
        painter.setBrush(kExact);
        for (const QPointF& point : line) painter.drawEllipse(point, 2.0, 2.0);
        painter.setBrush(Qt::NoBrush);
      }
      line.clear();
    };
    for (int i = 0; i < samples.width; ++i) {
      if (samples.known[static_cast<size_t>(i)] == WaveformColumns::kUnknown) {
        flush();  // not read yet: a gap, not a made-up line
        continue;
      }
      const size_t at = static_cast<size_t>(i * samples.channels + ch);
      const double value = (int{samples.low[at]} + int{samples.high[at]}) / 2.0;
      line << QPointF(XOf(from + i), centre - value / 32768.0 * half);
    }
    flush();
  }
  painter.setRenderHint(QPainter::Antialiasing, false);
}

void TWaveformView::PaintMarks(QPainter& painter) const {
  if (!source_ || Frames() == 0) return;
  const QRect area = WaveRect();
  auto span = [&](int64_t from, int64_t to) {
    const int x0 = static_cast<int>(std::floor(XOf(from))), x1 = static_cast<int>(std::ceil(XOf(to)));
    return QRect(x0, area.top(), std::max(x1 - x0, 1), area.height());
  };
  for (const auto& [from, to] : ranges_) painter.fillRect(span(from, to), shade_ == Shade::Kept ? kKept : kRange);
  if (selEnd_ > selStart_) painter.fillRect(span(selStart_, selEnd_), kSelection);
  if (ranges_.empty()) {
    for (const int64_t frame : {selStart_, selEnd_}) {
      const int x = static_cast<int>(std::lround(XOf(frame)));
      painter.setPen(QPen(kHandle, 1));
      painter.drawLine(x, area.top(), x, area.bottom());
      painter.setBrush(kHandle);
      painter.drawPolygon(QPolygon({QPoint(x - 4, area.top()), QPoint(x + 4, area.top()), QPoint(x, area.top() + 6)}));
    }
    painter.setBrush(Qt::NoBrush);
  }
  if (cursor_ >= viewFrom_ && cursor_ <= viewTo_) {
    const int x = static_cast<int>(std::lround(XOf(cursor_)));
    painter.setPen(QPen(kPlay, 1));
    painter.drawLine(x, 0, x, area.bottom());
  }
}
