#include "controls/PointerThumbs.h"

#include <QPainter>
#include <QPolygon>
#include <QTransform>
#include <cstring>

namespace PointerThumbs {
namespace {

struct Shape {
  int width;   // of the upward picture
  int height;
  int turns;   // quarter turns clockwise from upward
};

bool Parse(QString name, Shape& shape) {
  struct Size {
    const char* prefix;
    int width, height;
  };
  static constexpr Size kSizes[] = {{"SM", 8, 12}, {"MED", 12, 18}, {"LG", 16, 24}};
  static const QString kDirections[] = {"UP", "RIGHT", "DOWN", "LEFT"};  // quarter turns from up
  if (!name.endsWith("THUMB")) return false;
  name.chop(5);
  for (const Size& size : kSizes) {
    if (!name.startsWith(size.prefix)) continue;
    const QString direction = name.mid(static_cast<qsizetype>(strlen(size.prefix)));
    for (int turns = 0; turns < 4; ++turns) {
      if (direction != kDirections[turns]) continue;
      shape = {size.width, size.height, turns};
      return true;
    }
  }
  return false;
}

/// An upward arrow: a point over the upper third, a body below it.
QPolygon UpArrow(int w, int h) {
  const int tip = h / 3;
  return QPolygon({QPoint(w / 2 - (w % 2 == 0 ? 1 : 0), 0), QPoint(w / 2, 0), QPoint(w - 1, tip),
                   QPoint(w - 1, h - 1), QPoint(0, h - 1), QPoint(0, tip)});
}

QImage DrawUp(const Shape& shape) {
  QImage image(shape.width, shape.height, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter p(&image);
  const QPolygon arrow = UpArrow(shape.width, shape.height);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(192, 192, 192));
  p.drawPolygon(arrow);
  // Light upper left, dark lower right, like a raised button.
  p.setPen(Qt::white);
  p.drawLine(arrow[5], arrow[0]);
  p.drawLine(arrow[4], arrow[5]);
  p.setPen(Qt::black);
  p.drawLine(arrow[1], arrow[2]);
  p.drawLine(arrow[2], arrow[3]);
  p.drawLine(arrow[3], arrow[4]);
  return image;
}

}  // namespace

QImage Picture(const QString& name) {
  Shape shape{};
  if (!Parse(name, shape)) return QImage();
  return DrawUp(shape).transformed(QTransform().rotate(90.0 * shape.turns));
}

QBitmap Mask(const QString& name) {
  QString pictureName = name;
  if (!pictureName.endsWith("MASK")) return QBitmap();
  pictureName.chop(4);
  const QImage picture = Picture(pictureName);
  if (picture.isNull()) return QBitmap();
  return QBitmap::fromImage(picture.createAlphaMask());
}

}  // namespace PointerThumbs
