#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;

/// Keeps one running copy of the program per user session.
///
/// The first copy listens on a local socket named after the main window's
/// class name; a later copy sends it the wake-up message and exits.
class SingleInstance : public QObject {
 public:
  /// The wake-up message a second start sends.
  static constexpr int kWakeUpMessage = 6657;

  explicit SingleInstance(const QString& name, QObject* parent = nullptr);
  ~SingleInstance() override;

  /// True when another copy runs and was sent the wake-up message.
  bool NotifyRunning() const;
  /// Becomes the running copy: listens for wake-up messages and calls onWakeUp
  /// for each. A socket left behind by a crashed copy is removed first.
  bool Listen(std::function<void()> onWakeUp);

  /// The socket name used for a class name: per user, in the runtime folder.
  static QString SocketName(const QString& className);

 private:
  QString name_;
  QLocalServer* server_ = nullptr;
  std::function<void()> onWakeUp_;
};
