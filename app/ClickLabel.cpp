#include "app/ClickLabel.h"

#include <QMouseEvent>

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) { setCursor(Qt::PointingHandCursor); }

void ClickLabel::SetLinkColours(const QColor& normal, const QColor& hover) {
  normal_ = normal;
  hover_ = hover;
  SetTextColour(normal_);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick) OnClick();
  QLabel::mouseReleaseEvent(event);
}

void ClickLabel::enterEvent(QEnterEvent* event) {
  if (hover_.isValid()) SetTextColour(hover_);
  QLabel::enterEvent(event);
}

void ClickLabel::leaveEvent(QEvent* event) {
  if (normal_.isValid()) SetTextColour(normal_);
  QLabel::leaveEvent(event);
}

void ClickLabel::SetTextColour(const QColor& colour) {
  QPalette palette = this->palette();
  palette.setColor(QPalette::WindowText, colour);
  setPalette(palette);
}
