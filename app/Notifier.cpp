#include "app/Notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include "app/Texts.h"

namespace {

/// org.freedesktop.Notifications over the session bus.
class DesktopNotifier : public Notifier {
 public:
  void Notify(const QString& summary, const QString& body) override {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                                                       "org.freedesktop.Notifications", "Notify");
    constexpr int kShownMs = 5000;
    call << QString(Texts::kProgramTitle) << 0u << QString("audio-x-generic") << summary << body << QStringList()
         << QVariantMap() << kShownMs;
    bus.send(call);  // the answer (the notification's id) is not needed
  }
};

DesktopNotifier desktopNotifier;
Notifier* installed = nullptr;

}  // namespace

Notifier& Notifier::Current() { return installed != nullptr ? *installed : desktopNotifier; }

void Notifier::Install(Notifier* notifier) { installed = notifier; }
