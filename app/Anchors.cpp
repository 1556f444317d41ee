#include "app/Anchors.h"

#include <QWidget>
#include <algorithm>

void Anchors::Add(QWidget* child, int edges) { children_.push_back({child, child->geometry(), edges}); }

void Anchors::Apply(QSize now) const {
  const int dw = std::max(now.width() - designed_.width(), 0);
  const int dh = std::max(now.height() - designed_.height(), 0);
  for (const Child& child : children_) {
    QRect r = child.designed;
    if (child.edges & kMoveRight) r.translate(dw, 0);
    if (child.edges & kMoveDown) r.translate(0, dh);
    if (child.edges & kGrowWidth) r.setWidth(r.width() + dw);
    if (child.edges & kGrowHeight) r.setHeight(r.height() + dh);
    child.widget->setGeometry(r);
  }
}
