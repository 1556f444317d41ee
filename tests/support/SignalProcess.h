#pragma once

#include <QProcess>
#include <csignal>

/// Sends `signal` to a process the test started; false when it has already
/// ended. (kill() of the pid 0 an ended QProcess reports would signal the
/// test's whole process group, the test runner with it.)
inline bool SignalProcess(const QProcess& process, int signal) {
  const qint64 pid = process.processId();
  return pid > 0 && ::kill(static_cast<pid_t>(pid), signal) == 0;
}
