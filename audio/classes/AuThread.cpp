#include "audio/classes/AuThread.h"

#include <exception>

#include "audio/classes/AuOutput.h"
#include "audio/classes/EventHandler.h"
#include "audio/classes/MainThread.h"

TAuThread::TAuThread(TAuOutput* output) : Output(output), thread_([this] { Execute(); }) {}

TAuThread::~TAuThread() {
  Terminate();
  WaitForEnd();
}

void TAuThread::Announce() {
  changed_.notify_all();
  MainThread::Wake();
}

void TAuThread::StartRun() {
  std::unique_lock lock(mutex_);
  // A run that just ended may not have reached its idle wait yet.
  changed_.wait(lock, [this] { return Idle.load() || Terminated.load(); });
  if (Terminated) return;
  StopRequested = false;
  Idle = false;
  runRequested_ = true;
  changed_.notify_all();
}

void TAuThread::Terminate() {
  {
    std::lock_guard lock(mutex_);
    Terminated = true;
  }
  changed_.notify_all();
}

void TAuThread::WaitForEnd() {
  if (!thread_.joinable()) return;
  if (std::this_thread::get_id() == thread_.get_id()) {
    thread_.detach();
    return;
  }
  thread_.join();
}

void TAuThread::SetFinished(bool value) {
  {
    std::lock_guard lock(mutex_);
    Finished = value;
  }
  Announce();
}

bool TAuThread::WaitIdleFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return Idle.load(); });
}

bool TAuThread::WaitForRun() {
  std::unique_lock lock(mutex_);
  Idle = true;
  Announce();
  // StartRun clears StopRequested before waking us; clearing it here again
  // would lose a stop requested right after Run.
  changed_.wait(lock, [this] { return runRequested_ || Terminated.load(); });
  runRequested_ = false;
  return !Terminated;
}

void TAuThread::Execute() {
  while (WaitForRun()) DoRun();
}

void TAuThread::DoRun() {
  TAuOutput& out = *Output;
  TEventHandler* events = TEventHandler::Instance();
  const auto fail = [&out, events](const std::string& message, ErrorKind kind = ErrorKind::Failed) {
    out.SetExceptionMessage(message, kind);
    if (out.OnThreadException && events) events->PostEvent(&out, out.OnThreadException);
  };
  bool completed = false;  // the input ended, nothing failed
  try {
    out.Prepare();
    out.CanOutput_ = true;
    bool more = true;
    while (!StopRequested && more) {
      const int progress = out.Progress();
      if (progress != out.LastProgress_) {
        out.LastProgress_ = progress;
        if (out.OnProgress && events) events->PostProgress(&out, out.OnProgress);
      }
      more = out.DoOutput(StopRequested);
    }
    completed = !more && !StopRequested;  // a block cut short by a stop is no end
  } catch (const Error& e) {
    fail(e.what(), e.Kind());
  } catch (const std::exception& e) {
    fail(e.what());
  } catch (...) {
    fail("unknown error while writing the file");
  }
  StopRequested = false;
  try {
    out.WhenDone();
  } catch (const Error& e) {
    // Finishing the destination can fail too (a full disk): say so, or a
    // damaged file would pass for a good one.
    out.Busy_ = false;
    completed = false;
    fail(e.what(), e.Kind());
  } catch (const std::exception& e) {
    out.Busy_ = false;
    completed = false;
    fail(e.what());
  } catch (...) {
    out.Busy_ = false;
    completed = false;
    fail("unknown error while finishing the file");
  }
  out.RunCompleted_ = completed;
  if (events) events->PostDone(&out, out.Thread_);
  SetFinished(true);
}
