#include "tests/audio/device/PulseServer.h"

#include <QElapsedTimer>
#include <QThread>

namespace {

QString Run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
            bool* ok = nullptr) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  const bool finished = process.waitForFinished(5000);
  if (ok) *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
  return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace

PulseServer::PulseServer() {
  const QString home = QString::fromStdString(dir_.Path().string());
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("HOME", home);
  environment.insert("XDG_RUNTIME_DIR", home);
  environment.insert("PULSE_RUNTIME_PATH", home + "/runtime");
  environment.insert("PULSE_STATE_PATH", home + "/state");
  environment.remove("PULSE_SERVER");
  server_.setProcessEnvironment(environment);
  server_.setProcessChannelMode(QProcess::MergedChannels);
  server_.start("pulseaudio", {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                               "--log-target=stderr", "-L",
                               QString("module-null-sink sink_name=%1 rate=44100 channels=2").arg(kSink), "-L",
                               QString("module-native-protocol-unix socket=%1/native auth-anonymous=1").arg(home)});
  if (!server_.waitForStarted(5000)) {
    failure_ = "pulseaudio could not be started: " + server_.errorString().toStdString();
    return;
  }
  QElapsedTimer waited;
  waited.start();
  while (waited.elapsed() < 15000) {
    if (server_.state() != QProcess::Running) {
      failure_ = "pulseaudio ended at start: " + QString::fromUtf8(server_.readAll()).toStdString();
      return;
    }
    if (Answers()) {
      started_ = true;
      return;
    }
    QThread::msleep(100);
  }
  failure_ = "pulseaudio did not answer within 15 s";
}

PulseServer::~PulseServer() {
  if (server_.state() == QProcess::NotRunning) return;
  server_.terminate();
  if (!server_.waitForFinished(5000)) {
    server_.kill();
    server_.waitForFinished(5000);
  }
}

std::string PulseServer::Address() const { return "unix:" + dir_.Path().string() + "/native"; }

QProcessEnvironment PulseServer::ClientEnvironment() const {
  QProcessEnvironment environment = server_.processEnvironment();
  environment.insert("PULSE_SERVER", QString::fromStdString(Address()));
  return environment;
}

bool PulseServer::Answers() const {
  bool ok = false;
  Run("pactl", {"info"}, ClientEnvironment(), &ok);
  return ok;
}

int PulseServer::MonitorClients() const {
  const QString outputs = Run("pactl", {"list", "short", "source-outputs"}, ClientEnvironment());
  return static_cast<int>(outputs.split('\n', Qt::SkipEmptyParts).size());
}
