#pragma once

#include <QEvent>
#include <QObject>
#include <QStringList>
#include <QWidget>

/// Keeps every caption the window it watches shows (installEventFilter).
class CaptionLog : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::WindowTitleChange) captions << static_cast<QWidget*>(watched)->windowTitle();
    return false;
  }
  QStringList captions;
};
