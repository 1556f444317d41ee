#pragma once

#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

/// Keeps a window's children where its designed layout put them as the
/// window grows: each child may stretch with the extra width or height, or
/// move with it. The designed size is the window's minimum.
class Anchors {
 public:
  enum Edge { kGrowWidth = 1, kGrowHeight = 2, kMoveRight = 4, kMoveDown = 8 };

  explicit Anchors(QSize designed) : designed_(designed) {}

  /// Records the child's present geometry as its designed one.
  void Add(QWidget* child, int edges);
  /// Places every child for the window's size `now`.
  void Apply(QSize now) const;

 private:
  struct Child {
    QWidget* widget;
    QRect designed;
    int edges;
  };
  QSize designed_;
  std::vector<Child> children_;
};
