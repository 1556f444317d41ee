#pragma once

#include <cstdint>
#include <vector>

#include <QString>

/// One mark of the waveform's time ruler.
struct RulerTick {
  int64_t frame;  // where it stands
  QString label;  // "1:02:03", "2:03.5", "3.250"
};

/// The ruler's marks for frames [from, to] of a file at `rate`, drawn
/// `width` pixels wide: the smallest round step that leaves room for a
/// label. Each mark is worked out from its index, never by adding steps up,
/// so that no label reads "4:60.00" or "5:-0.00".
std::vector<RulerTick> RulerTicks(int64_t from, int64_t to, double rate, int width);
