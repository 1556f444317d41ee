#pragma once
// Rectangle helpers of the trackbar's painting and input handling.

#include <QRect>

namespace track {

/// A rectangle given by its edges, right and bottom exclusive.
inline QRect Edges(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }
inline int RightOf(const QRect& r) { return r.x() + r.width(); }
inline int BottomOf(const QRect& r) { return r.y() + r.height(); }

}  // namespace track
