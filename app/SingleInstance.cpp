#include "app/SingleInstance.h"

#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUrl>

namespace {

constexpr int kConnectTimeoutMs = 500;

QByteArray WakeUpBytes() { return QByteArray::number(SingleInstance::kWakeUpMessage) + "\n"; }

// The file travels as a file URL on the line after the wake-up message, so a
// name with a line break in it stays one line.
constexpr char kFilePrefix[] = "open ";

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent), name_(name) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::SocketName(const QString& className) {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QDir(runtime).exists()) return runtime + "/" + className;
  return className + "-" + QString::number(getuid());
}

bool SingleInstance::NotifyRunning(const QString& file) const {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
  QByteArray message = WakeUpBytes();
  if (!file.isEmpty()) message += kFilePrefix + QUrl::fromLocalFile(file).toEncoded() + "\n";
  socket.write(message);
  const bool sent = socket.waitForBytesWritten(kConnectTimeoutMs);
  socket.disconnectFromServer();
  return sent;
}

void SingleInstance::ReadLines(QLocalSocket& socket) {
  // A wake-up with a file comes as two lines: the file line completes it.
  while (socket.canReadLine()) {
    const QByteArray line = socket.readLine().trimmed();
    if (line == WakeUpBytes().trimmed()) {
      socket.setProperty("wakeUp", true);
    } else if (line.startsWith(kFilePrefix) && socket.property("wakeUp").toBool()) {
      socket.setProperty("wakeUp", false);
      const QString file = QUrl::fromEncoded(line.mid(int(sizeof kFilePrefix) - 1)).toLocalFile();
      if (onWakeUp_) onWakeUp_(file);
    }
  }
}

bool SingleInstance::Listen(std::function<void(const QString& file)> onWakeUp) {
  onWakeUp_ = std::move(onWakeUp);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(name_);
  if (!server_->listen(name_)) return false;
  connect(server_, &QLocalServer::newConnection, this, [this] {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
      connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadLines(*socket); });
      // A wake-up alone is complete when the copy that sent it hangs up.
      const auto hungUp = [this, socket] {
        ReadLines(*socket);
        if (socket->property("wakeUp").toBool() && onWakeUp_) onWakeUp_(QString());
        socket->setProperty("wakeUp", false);
      };
      connect(socket, &QLocalSocket::disconnected, this, hungUp);
      // A copy quick to hang up may be gone already: what it sent is read now.
      if (socket->state() == QLocalSocket::UnconnectedState) hungUp();
      else if (socket->bytesAvailable() > 0) ReadLines(*socket);
    }
  });
  return true;
}
