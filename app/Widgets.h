#pragma once

#include <QPushButton>
#include <QRect>
#include <QString>
#include <functional>

class QAction;
class QLineEdit;

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

/// A button that shows an action's caption and enabled state and triggers it.
/// A button disabled while it has the focus hands it to the window's Stop
/// button (bStop) if enabled, else to its Open button (bOpen): Qt would hand
/// it to the next control in the tab order, a time box, where a key press
/// would then erase the time.
QPushButton* MakeActionButton(QWidget* parent, const char* name, QAction* action, QRect geometry);

/// True for a focus-out event of the user leaving the control; not for
/// another window coming up (a message box, a menu).
bool IsLeftByUser(const QEvent* event);

/// True for a focus-out event caused by a mouse press on `button`: the
/// button's click handler checks what was left instead, so that the click
/// does not act on a value the check refuses.
bool IsLeftForClickOn(const QEvent* event, const QWidget* button);

/// Calls `left` with the time box the user leaves, `start` or `end` (not
/// while `refocusing`: the window is putting the focus back itself), unless
/// a click on the button `checksItself()` took the focus: that button's own
/// handler checks the boxes. The watcher is a child of `window`.
void WatchTimeBoxExits(QWidget* window, QLineEdit* start, QLineEdit* end, std::function<const QWidget*()> checksItself,
                       const bool& refocusing, std::function<void(QLineEdit* left)> left);

/// The first local file of a drag that is of a format the program reads; empty when none is.
QString DroppedSoundFile(const class QMimeData* data);

QAction* MakeAction(QObject* parent, const char* name, const QString& caption, bool enabled);
