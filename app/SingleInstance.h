#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QLocalServer;
class QLocalSocket;

/// Keeps one running copy of the program per user session.
///
/// The first copy listens on a local socket named after the main window's
/// class name; a later copy sends it the wake-up message, and the file it
/// was started with if any, and exits.
class SingleInstance : public QObject {
 public:
  /// The wake-up message a second start sends.
  static constexpr int kWakeUpMessage = 6657;

  explicit SingleInstance(const QString& name, QObject* parent = nullptr);
  ~SingleInstance() override;

  /// True when another copy runs and was sent the wake-up message, followed
  /// by `file` (an absolute name) unless it is empty.
  bool NotifyRunning(const QString& file = QString()) const;
  /// Becomes the running copy: listens for wake-up messages and calls onWakeUp
  /// for each, with the file sent along (empty when none was). A socket left
  /// behind by a crashed copy is removed first.
  bool Listen(std::function<void(const QString& file)> onWakeUp);

  /// The socket name used for a class name: per user, in the runtime folder.
  static QString SocketName(const QString& className);

 private:
  /// Reads the lines a copy sent and calls onWakeUp for each complete message.
  void ReadLines(QLocalSocket& socket);

  QString name_;
  QLocalServer* server_ = nullptr;
  std::function<void(const QString&)> onWakeUp_;
};
