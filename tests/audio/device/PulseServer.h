#pragma once

#include <QProcess>
#include <string>

#include "tests/support/TempDir.h"

/// A PulseAudio server of the test's own, with one null sink that records
/// nothing to hardware: what is played into it can be read back from its
/// monitor source. Runs as root too; everything lives in a temporary folder.
class PulseServer {
 public:
  static constexpr char kSink[] = "clipwright_test";

  /// Starts the server and waits until it answers. Check Started().
  PulseServer();
  /// Stops the server.
  ~PulseServer();

  bool Started() const { return started_; }
  /// Why the server could not be started.
  const std::string& Failure() const { return failure_; }
  /// The address clients give in PULSE_SERVER.
  std::string Address() const;

  /// Clients connected to the sink's monitor (recorders).
  int MonitorClients() const;

  /// The environment of a client of this server.
  QProcessEnvironment ClientEnvironment() const;

 private:
  bool Answers() const;

  TempDir dir_;
  QProcess server_;
  bool started_ = false;
  std::string failure_;
};
