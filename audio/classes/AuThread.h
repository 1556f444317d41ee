#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class TAuOutput;

/// The worker thread of one output: idle between runs, woken by StartRun for
/// each run, it calls the output's Prepare, DoOutput block after block, then Done.
///
/// Flags are written by one thread and polled by another; every change of
/// Idle or Finished is announced to threads blocked in WaitUntilIdle and to
/// a window thread waiting in MainThread::ServiceUntil.
class TAuThread {
 public:
  explicit TAuThread(TAuOutput* output);
  /// Ends and joins the thread.
  ~TAuThread();

  /// Wakes the thread for one run. The thread counts as not idle from here
  /// on, so a stop that follows at once waits for the run it started.
  void StartRun();
  /// Asks the thread to end; it leaves at its next idle wait.
  void Terminate();
  /// Waits until the thread has ended (call Terminate first). From the
  /// thread itself it only lets the thread go.
  void WaitForEnd();
  /// Sets Finished and announces it.
  void SetFinished(bool value);
  /// Waits at most `timeout` for the thread to be idle; true when it is.
  bool WaitIdleFor(std::chrono::milliseconds timeout);

  TAuOutput* const Output;  // not owned
  std::atomic<bool> NotifyDone{true};
  std::atomic<bool> Finished{false};
  std::atomic<bool> StopRequested{false};
  std::atomic<bool> Idle{false};
  std::atomic<bool> Terminated{false};

 private:
  void Execute();
  /// Goes idle and waits for StartRun or Terminate; false when terminated.
  bool WaitForRun();
  void DoRun();
  void Announce();

  std::mutex mutex_;
  std::condition_variable changed_;
  bool runRequested_ = false;  // guarded by mutex_
  std::thread thread_;
};
