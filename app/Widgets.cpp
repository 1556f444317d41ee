#include "app/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QFocusEvent>

namespace {

void MoveFocusToSafety(QWidget* leaving) {
  for (const char* name : {"bStop", "bOpen"}) {
    auto* refuge = leaving->window()->findChild<QPushButton*>(name);
    if (refuge && refuge != leaving && refuge->isEnabled()) {
      refuge->setFocus(Qt::OtherFocusReason);
      return;
    }
  }
}

}  // namespace

QPushButton* MakeActionButton(QWidget* parent, const char* name, QAction* action, QRect geometry) {
  QPushButton* button = MakeButton(parent, name, action->text(), geometry);
  auto follow = [button, action] {
    button->setText(action->text());
    if (!action->isEnabled() && button->hasFocus()) MoveFocusToSafety(button);
    button->setEnabled(action->isEnabled());
  };
  follow();
  QObject::connect(action, &QAction::changed, button, follow);
  QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
  return button;
}

bool IsLeftByUser(const QEvent* event) {
  if (event->type() != QEvent::FocusOut) return false;
  const Qt::FocusReason reason = static_cast<const QFocusEvent*>(event)->reason();
  return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason;
}

bool IsLeftForClickOn(const QEvent* event, const QWidget* button) {
  return event->type() == QEvent::FocusOut &&
         static_cast<const QFocusEvent*>(event)->reason() == Qt::MouseFocusReason &&
         QApplication::focusWidget() == button;
}

QAction* MakeAction(QObject* parent, const char* name, const QString& caption, bool enabled) {
  auto* action = new QAction(caption, parent);
  action->setObjectName(name);
  action->setEnabled(enabled);
  return action;
}
