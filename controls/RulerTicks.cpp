#include "controls/RulerTicks.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

/// `units` of 10^-decimals seconds as "1:02:03", "2:03.5" or "3.250".
QString TickLabel(int64_t units, int decimals) {
  int64_t scale = 1;
  for (int i = 0; i < decimals; ++i) scale *= 10;
  const int64_t whole = units / scale, fraction = units % scale;
  const int64_t h = whole / 3600, m = whole / 60 % 60;
  QString seconds = QString::number(whole % 60);
  if (decimals > 0) seconds += "." + QString::number(fraction).rightJustified(decimals, '0');
  if (h == 0 && m == 0) return seconds;
  seconds = seconds.rightJustified(decimals > 0 ? decimals + 3 : 2, '0');
  if (h > 0) return QString("%1:%2:%3").arg(h).arg(m, 2, 10, QChar('0')).arg(seconds);
  return QString("%1:%2").arg(m).arg(seconds);
}

}  // namespace

std::vector<RulerTick> RulerTicks(int64_t from, int64_t to, double rate, int width) {
  std::vector<RulerTick> ticks;
  if (rate <= 0 || to <= from) return ticks;
  const double secondsPerPixel = static_cast<double>(to - from) / rate / std::max(width, 1);
  // The smallest step that leaves room for a label, in ten-thousandths of a second.
  static const int64_t kSteps[] = {1,     2,     5,      10,     20,     50,     100,     200,     500,
                                   1000,  2000,  5000,   10000,  20000,  50000,  100000,  150000,  300000,
                                   600000, 1200000, 3000000, 6000000, 9000000, 18000000, 36000000, 72000000};
  int64_t step = kSteps[std::size(kSteps) - 1];
  for (const int64_t s : kSteps)
    if (static_cast<double>(s) / 10000.0 / secondsPerPixel >= 64) {
      step = s;
      break;
    }
  int decimals = 0;
  for (int64_t whole = 10000; step % whole != 0; whole /= 10) ++decimals;
  int64_t perUnit = 10000;  // ten-thousandths in one unit of the label
  for (int i = 0; i < decimals; ++i) perUnit /= 10;
  // Integer ticks: the k-th one is at k steps exactly.
  const auto first = static_cast<int64_t>(std::ceil(static_cast<double>(from) / rate * 10000.0 / step));
  for (int64_t k = first;; ++k) {
    const int64_t tenThousandths = k * step;
    const auto frame = static_cast<int64_t>(std::llround(static_cast<double>(tenThousandths) * rate / 10000.0));
    if (frame > to) break;
    ticks.push_back({frame, TickLabel(tenThousandths / perUnit, decimals)});
  }
  return ticks;
}
