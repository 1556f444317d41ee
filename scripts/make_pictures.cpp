// Draws the program's pictures and saves them as JPEG files into the folder
// given on the command line. Run by hand when a picture changes:
//   g++ -std=c++20 -fPIC make_pictures.cpp $(pkg-config --cflags --libs Qt6Gui) -o /tmp/make_pictures
//   QT_QPA_PLATFORM=offscreen /tmp/make_pictures ../app/resources/pictures
// With --icons FOLDER NAME it draws the desktop icon at the usual sizes instead,
// as FOLDER/<size>x<size>/apps/NAME.png (the build does this).
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

void DrawWave(QPainter& p, QRectF area, QColor colour, double cycles) {
  QPainterPath path;
  for (int x = 0; x <= area.width(); ++x) {
    const double t = x / area.width();
    const double y = area.center().y() + std::sin(t * cycles * 6.2832) * std::sin(t * 3.1416) * area.height() / 2;
    if (x == 0) path.moveTo(area.left() + x, y); else path.lineTo(area.left() + x, y);
  }
  p.setPen(QPen(colour, 1.5));
  p.drawPath(path);
}

QImage Banner() {
  QImage image(600, 50, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 0, 600, 50);
  fill.setColorAt(0, QColor(16, 42, 92));
  fill.setColorAt(1, QColor(40, 110, 170));
  p.fillRect(image.rect(), fill);
  DrawWave(p, QRectF(250, 5, 340, 40), QColor(90, 160, 220), 9);
  DrawWave(p, QRectF(250, 10, 340, 30), QColor(120, 190, 240), 13);
  return image;
}

QImage Icon(int size) {
  QImage image(size, size, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 0, 0, size);
  fill.setColorAt(0, QColor(250, 170, 40));
  fill.setColorAt(1, QColor(220, 90, 20));
  p.fillRect(image.rect(), fill);
  DrawWave(p, QRectF(size * 0.1, size * 0.2, size * 0.8, size * 0.6), Qt::white, 3);
  p.setPen(QPen(QColor(20, 40, 90), size / 12.0));
  p.drawLine(QPointF(size * 0.62, size * 0.1), QPointF(size * 0.62, size * 0.9));
  return image;
}

QImage UpdateIcon() {
  QImage image(16, 16, QImage::Format_RGB32);
  image.fill(QColor(24, 56, 110));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::white, 2));
  p.drawArc(QRectF(3, 3, 10, 10), 30 * 16, 280 * 16);
  p.drawLine(QPointF(12, 2), QPointF(12, 6));
  return image;
}

QImage DonateButton() {
  QImage image(92, 26, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 0, 0, 26);
  fill.setColorAt(0, QColor(255, 216, 100));
  fill.setColorAt(1, QColor(240, 170, 40));
  p.fillRect(image.rect(), Qt::white);
  p.setBrush(fill);
  p.setPen(QColor(170, 110, 20));
  p.drawRoundedRect(QRectF(0.5, 0.5, 91, 25), 8, 8);
  p.setPen(QColor(20, 40, 90));
  QFont font = p.font();
  font.setBold(true);
  font.setPixelSize(13);
  p.setFont(font);
  p.drawText(image.rect(), Qt::AlignCenter, "Donate");
  return image;
}

/// The icon of the desktop entry, PNG at each size a desktop looks for.
bool DesktopIcons(const QString& folder, const QString& name) {
  bool ok = true;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    const QString dir = QString("%1/%2x%2/apps").arg(folder).arg(size);
    ok = QDir().mkpath(dir) && Icon(size).save(dir + "/" + name + ".png", "PNG") && ok;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc > 3 && QString(argv[1]) == "--icons") return DesktopIcons(argv[2], argv[3]) ? 0 : 1;
  const QString folder = argc > 1 ? argv[1] : ".";
  bool ok = Banner().save(folder + "/banner.jpg", "JPG", 90);
  ok = Icon(40).save(folder + "/icon.jpg", "JPG", 92) && ok;
  ok = Icon(64).save(folder + "/about.jpg", "JPG", 92) && ok;
  ok = UpdateIcon().save(folder + "/update.jpg", "JPG", 95) && ok;
  ok = DonateButton().save(folder + "/donate.jpg", "JPG", 92) && ok;
  return ok ? 0 : 1;
}
