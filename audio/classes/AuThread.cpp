#include "audio/classes/AuThread.h"

#include <chrono>
#include <exception>

#include "audio/classes/AuOutput.h"
#include "audio/classes/EventHandler.h"

TAuThread::TAuThread(TAuOutput* output) : Output(output), thread_([this] { Execute(); }) {}

TAuThread::~TAuThread() {
  if (thread_.joinable()) {
    Terminate();
    WaitForEnd();
  }
}

void TAuThread::StartRun() {
  // A run that just ended may not have reached its idle wait yet. Once it
  // has, one signal wakes it; signalling more could start a second run.
  while (!Idle) std::this_thread::yield();
  StopRequested = false;
  Idle = false;
  Wake.Set();
}

void TAuThread::Terminate() { Terminated = true; }

void TAuThread::WaitForEnd() {
  if (!thread_.joinable()) return;
  if (std::this_thread::get_id() == thread_.get_id()) {
    thread_.detach();
    return;
  }
  // The thread may be about to enter its idle wait; keep waking it until it ends.
  while (!ended_) {
    if (Idle) Wake.Set();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  thread_.join();
}

void TAuThread::WaitForRun() {
  Wake.Reset();
  Idle = true;
  Wake.Wait();
  // StartRun cleared StopRequested before waking us; clearing it here again
  // would lose a stop requested right after Run.
  Idle = false;
}

void TAuThread::Execute() {
  WaitForRun();
  while (!Terminated) {
    DoRun();
    if (!Terminated) WaitForRun();
  }
  ended_ = true;
}

void TAuThread::DoRun() {
  TAuOutput& out = *Output;
  TEventHandler* events = TEventHandler::Instance();
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
  } catch (const std::exception& e) {
    out.SetExceptionMessage(e.what());
    if (out.OnThreadException && events) events->PostEvent(&out, out.OnThreadException);
    StopRequested = true;
  } catch (...) {
    out.SetExceptionMessage("Unknown error");
    if (out.OnThreadException && events) events->PostEvent(&out, out.OnThreadException);
    StopRequested = true;
  }
  StopRequested = false;
  try {
    out.WhenDone();
  } catch (const std::exception& e) {
    // Finishing the destination can fail too (a full disk): say so, or a
    // damaged file would pass for a good one.
    out.Busy_ = false;
    out.SetExceptionMessage(e.what());
    if (out.OnThreadException && events) events->PostEvent(&out, out.OnThreadException);
  } catch (...) {
    out.Busy_ = false;
  }
  if (events) events->PostDone(&out, out.Thread_);
  Finished = true;
}
