#pragma once

#include <atomic>
#include <thread>

#include "audio/classes/AutoResetEvent.h"

class TAuOutput;

/// The worker thread of one output: idle between runs, woken by Wake for each
/// run, it calls the output's Prepare, DoOutput block after block, then Done.
///
/// Flags are written by one thread and polled by another.
class TAuThread {
 public:
  explicit TAuThread(TAuOutput* output);
  /// Ends and joins the thread; call Terminate first.
  ~TAuThread();

  /// Wakes the thread for one run. The thread counts as not idle from here
  /// on, so a stop that follows at once waits for the run it started.
  void StartRun();
  /// Asks the thread to end; it leaves at its next idle wait.
  void Terminate();
  /// Wakes the idle thread until it ends (used on destruction).
  void WaitForEnd();

  TAuOutput* const Output;  // not owned
  AutoResetEvent Wake;
  std::atomic<bool> NotifyDone{true};
  std::atomic<bool> Finished{false};
  std::atomic<bool> StopRequested{false};
  std::atomic<bool> Idle{false};
  std::atomic<bool> Terminated{false};

 private:
  void Execute();
  void WaitForRun();
  void DoRun();

  std::atomic<bool> ended_{false};
  std::thread thread_;
};
