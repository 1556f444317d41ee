#pragma once

#include <QPushButton>
#include <QRect>
#include <QString>

/// Names a child widget after its component and puts it where the layout says.
template <typename Widget>
Widget* Place(Widget* widget, const char* name, QRect geometry) {
  widget->setObjectName(name);
  widget->setGeometry(geometry);
  return widget;
}

inline QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, QRect geometry) {
  return Place(new QPushButton(caption, parent), name, geometry);
}
