#pragma once

#include <QString>

/// The one way the windows tell the desktop something while they are not in
/// front: the freedesktop notification service, unless a test installed its own.
class Notifier {
 public:
  virtual ~Notifier() = default;
  /// A notification with a summary and a body. Never blocks; without a
  /// session bus or a notification service nothing is shown.
  virtual void Notify(const QString& summary, const QString& body) = 0;

  static Notifier& Current();
  /// Installs a replacement (nullptr restores the real one); not owned.
  static void Install(Notifier* notifier);
};
