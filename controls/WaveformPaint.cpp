// Painting of the waveform view: ruler, bands of peaks, shading and marks.
#include <QPainter>
#include <QPolygon>
#include <cmath>

#include "controls/WaveformView.h"

namespace {

const QColor kBackground(24, 36, 52);
const QColor kExact(95, 211, 141);
const QColor kRough(63, 127, 95);
const QColor kCentre(60, 78, 98);
const QColor kSelection(255, 255, 255, 48);
const QColor kRange(255, 90, 90, 80);
const QColor kHandle(255, 213, 79);
const QColor kPlay(255, 82, 82);
const QColor kRuler(221, 227, 234);

/// "1:02:03", "2:03.5", "3.250": as many decimals as the tick step needs.
QString TickLabel(double seconds, int decimals) {
  const auto whole = static_cast<int64_t>(std::floor(seconds + 1e-9));
  const int64_t h = whole / 3600, m = whole / 60 % 60;
  const double s = seconds - static_cast<double>(whole - whole % 60);
  const QString sec = decimals > 0 ? QString::number(s, 'f', decimals).rightJustified(decimals + 3, '0')
                                   : QString::number(whole % 60).rightJustified(2, '0');
  if (h > 0) return QString("%1:%2:%3").arg(h).arg(m, 2, 10, QChar('0')).arg(sec);
  if (m > 0) return QString("%1:%2").arg(m).arg(sec);
  return decimals > 0 ? QString::number(s, 'f', decimals) : QString::number(whole % 60);
}

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
  const double rate = source_->SampleRate();
  const double secondsPerPixel = static_cast<double>(viewTo_ - viewFrom_) / rate / std::max(width(), 1);
  // The smallest step that leaves room for a label.
  static const double kSteps[] = {0.0001, 0.0002, 0.0005, 0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5,
                                  1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200};
  double step = kSteps[std::size(kSteps) - 1];
  for (double s : kSteps)
    if (s / secondsPerPixel >= 64) {
      step = s;
      break;
    }
  const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  QFont small = painter.font();
  small.setPointSizeF(7);
  painter.setFont(small);
  painter.setPen(Qt::black);
  const double first = std::ceil(static_cast<double>(viewFrom_) / rate / step) * step;
  for (double t = first; t * rate <= static_cast<double>(viewTo_); t += step) {
    const int x = static_cast<int>(std::lround(XOf(static_cast<int64_t>(std::llround(t * rate)))));
    painter.drawLine(x, kRulerHeight - 5, x, kRulerHeight - 1);
    painter.drawText(QRect(x + 2, 0, 90, kRulerHeight - 2), Qt::AlignLeft | Qt::AlignVCenter, TickLabel(t, decimals));
  }
}

void TWaveformView::PaintWaves(QPainter& painter) {
  if (!source_ || viewTo_ <= viewFrom_) return;
  const QRect area = WaveRect();
  const int channels = std::max(source_->Channels(), 1);
  const WaveformColumns columns = source_->Columns(viewFrom_, viewTo_, area.width());
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
      const int y0 = static_cast<int>(std::lround(centre - columns.high[at] / 32768.0 * half));
      const int y1 = static_cast<int>(std::lround(centre - columns.low[at] / 32768.0 * half));
      painter.setPen(known == WaveformColumns::kExact ? kExact : kRough);
      painter.drawLine(x, y0, x, std::max(y0, y1));
    }
  }
}

void TWaveformView::PaintMarks(QPainter& painter) const {
  if (!source_ || Frames() == 0) return;
  const QRect area = WaveRect();
  auto span = [&](int64_t from, int64_t to) {
    const int x0 = static_cast<int>(std::floor(XOf(from))), x1 = static_cast<int>(std::ceil(XOf(to)));
    return QRect(x0, area.top(), std::max(x1 - x0, 1), area.height());
  };
  for (const auto& [from, to] : ranges_) painter.fillRect(span(from, to), kRange);
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
  if (play_ >= 0) {
    const int x = static_cast<int>(std::lround(XOf(play_)));
    painter.setPen(QPen(kPlay, 1));
    painter.drawLine(x, 0, x, area.bottom());
  }
}
