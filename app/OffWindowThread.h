#pragma once

#include <atomic>
#include <functional>
#include <thread>

/// Work that must not hold the window's thread, one run at a time on a
/// thread of its own. The work returns what to do with its result, which
/// then runs on the window's thread. A new run, and the destructor, first
/// wait for the last one, serving the window's queue meanwhile: the worker
/// may be waiting there to hand its result over.
class OffWindowThread {
 public:
  using Work = std::function<std::function<void()>()>;

  ~OffWindowThread() { Finish(); }
  void Run(Work work);
  /// Waits for the last run to end and joins its thread.
  void Finish();

 private:
  std::thread thread_;
  std::atomic<bool> ended_{true};
};
