#include "audio/classes/MainThread.h"

#include <cstdio>

#include <QCoreApplication>
#include <QThread>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace MainThread {
namespace {

struct PendingCall {
  std::function<void()> fn;
  bool finished = false;  // guarded by queueMutex
};

std::mutex queueMutex;
std::condition_variable callFinished;
std::condition_variable queueChanged;  // a call queued, or a Wake()
std::deque<std::shared_ptr<PendingCall>> queue;

std::function<void(const std::string&)> failureReporter;  // main thread only

void Report(const std::string& message) {
  if (failureReporter) {
    try {
      failureReporter(message);
      return;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "clipwright: %s (and telling it failed: %s)\n", message.c_str(), e.what());
      return;
    }
  }
  std::fprintf(stderr, "clipwright: %s\n", message.c_str());
}

void RunSafely(const std::function<void()>& fn) {
  // A handler's failure must not kill the thread that delivered it, nor vanish.
  try {
    fn();
  } catch (const std::exception& e) {
    Report(e.what());
  } catch (...) {
    Report("unknown error in an event handler");
  }
}

}  // namespace

void SetFailureReporter(std::function<void(const std::string& message)> reporter) {
  failureReporter = std::move(reporter);
}

bool IsCurrent() {
  QCoreApplication* app = QCoreApplication::instance();
  return app == nullptr || QThread::currentThread() == app->thread();
}

void Call(const std::function<void()>& fn) {
  if (IsCurrent()) {
    RunSafely(fn);
    return;
  }
  auto call = std::make_shared<PendingCall>();
  call->fn = fn;
  {
    std::lock_guard lock(queueMutex);
    queue.push_back(call);
  }
  queueChanged.notify_all();
  QMetaObject::invokeMethod(QCoreApplication::instance(), [] { RunPending(); }, Qt::QueuedConnection);
  std::unique_lock lock(queueMutex);
  callFinished.wait(lock, [&] { return call->finished; });
}

void RunPending() {
  for (;;) {
    std::shared_ptr<PendingCall> call;
    {
      std::lock_guard lock(queueMutex);
      if (queue.empty()) return;
      call = queue.front();
      queue.pop_front();
    }
    RunSafely(call->fn);
    {
      std::lock_guard lock(queueMutex);
      call->finished = true;
    }
    callFinished.notify_all();
  }
}

void ServiceUntil(const std::function<bool()>& done) {
  const bool onMain = IsCurrent();
  for (;;) {
    if (onMain) RunPending();
    std::unique_lock lock(queueMutex);
    queueChanged.wait(lock, [&] { return done() || (onMain && !queue.empty()); });
    if (done()) return;
  }
}

void Wake() {
  // Taking the lock orders the caller's change before a waiter's check.
  { std::lock_guard lock(queueMutex); }
  queueChanged.notify_all();
}

void ReportFailure(const std::string& message) {
  Call([message] { Report(message); });
}

}  // namespace MainThread
