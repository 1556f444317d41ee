#pragma once

#include <functional>
#include <string>

/// Hands calls from worker threads to the Qt main thread and waits for them.
///
/// Calls run on the main thread one at a time, in the order they were made,
/// either from the main thread's event loop or from RunPending(), which code
/// that blocks the main thread while waiting for a worker calls on every pass.
namespace MainThread {

/// True on the thread that runs the QCoreApplication (or on any thread when there is none).
bool IsCurrent();

/// Runs fn on the main thread and returns after it has returned. On the main
/// thread itself, or when no QCoreApplication exists, fn runs at once.
/// An exception thrown by fn cannot reach the caller: it goes to the failure
/// reporter instead.
void Call(const std::function<void()>& fn);

/// Who hears of an exception that a handler run by Call threw (the window
/// shows it, the tool prints it). Without one it is written to stderr.
/// Called on the main thread.
void SetFailureReporter(std::function<void(const std::string& message)> reporter);

/// Tells the failure reporter of a failure that has no caller to go to.
void ReportFailure(const std::string& message);

/// Runs every call that another thread is waiting for. Main thread only.
void RunPending();

/// Blocks until done() is true, running the calls other threads make in the
/// meantime when called on the main thread. done() is checked again after
/// every call and every Wake().
void ServiceUntil(const std::function<bool()>& done);

/// Tells threads blocked in ServiceUntil that their condition may have changed.
void Wake();

}  // namespace MainThread
