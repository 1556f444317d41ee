#include "app/Widgets.h"

#include "audio/formats/FormatRegistry.h"

#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

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

namespace {

class TimeBoxExits : public QObject {
 public:
  TimeBoxExits(QWidget* window, QLineEdit* start, QLineEdit* end, std::function<const QWidget*()> checksItself,
               const bool& refocusing, std::function<void(QLineEdit*)> left)
      : QObject(window),
        start_(start),
        end_(end),
        checksItself_(std::move(checksItself)),
        refocusing_(refocusing),
        left_(std::move(left)) {
    start->installEventFilter(this);
    end->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!refocusing_ && (watched == start_ || watched == end_) && IsLeftByUser(event) &&
        !IsLeftForClickOn(event, checksItself_()))
      left_(watched == start_ ? start_ : end_);
    return QObject::eventFilter(watched, event);
  }

 private:
  QLineEdit* start_;
  QLineEdit* end_;
  std::function<const QWidget*()> checksItself_;
  const bool& refocusing_;
  std::function<void(QLineEdit*)> left_;
};

}  // namespace

void WatchTimeBoxExits(QWidget* window, QLineEdit* start, QLineEdit* end, std::function<const QWidget*()> checksItself,
                       const bool& refocusing, std::function<void(QLineEdit* left)> left) {
  new TimeBoxExits(window, start, end, std::move(checksItself), refocusing, std::move(left));
}

QString DroppedSoundFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls())
    if (url.isLocalFile() && FormatEntryOfFile(url.toLocalFile().toStdString())) return url.toLocalFile();
  return {};
}
