#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "audio/classes/AuInput.h"
#include "audio/classes/Component.h"
#include "platform/Error.h"

class TAuThread;

using TOutputDoneEvent = TNotifyEvent;
using TOutputProgressEvent = TNotifyEvent;
using TThreadExceptionEvent = TNotifyEvent;

/// Base of every component that moves data from its Input to a destination on
/// its own worker thread.
///
/// Run returns at once. OnProgress, OnThreadException and OnDone are called on
/// the window thread, one at a time, in posting order; OnDone comes after the
/// output is idle again, so its handler may call Run. Create, use and destroy
/// outputs on the window thread, and assign the handlers while idle.
class TAuOutput : public TComponent {
 public:
  TAuOutput();
  /// Create outputs as Sealed<T>, which stops a running output synchronously
  /// (no OnDone) and ends its thread before any part of it is destroyed.
  ~TAuOutput() override;

  TAuInput* Input() const { return Input_; }
  /// Assigning to a busy output stops it and restarts the run on the new input.
  virtual void SetInput(TAuInput* NewInput);

  /// Starts a run. Raises "Component is Busy" or "Input is not assigned".
  void Run();
  /// Requests the end of the run after the current block. Async: returns at
  /// once and OnDone follows; otherwise waits for the worker and no event of
  /// this run is delivered any more.
  void Stop(bool Async = true);
  /// Percentage of the input delivered, -1 when its size is unknown.
  virtual int Progress() const;

  bool Busy() const { return Busy_; }
  bool Stopped() const { return Stopped_; }
  /// True when the last run ended because its input ended: not stopped, no
  /// exception. OnDone follows a stopped run too; only a completed run's
  /// file is whole.
  bool RunCompleted() const { return RunCompleted_; }
  bool CanOutput() const { return CanOutput_; }
  /// The message of the exception that ended the last run; cleared by Run.
  std::string ExceptionMessage() const;
  /// The kind of that exception (Failed for any but ours).
  ErrorKind ExceptionKind() const;
  const std::shared_ptr<TAuThread>& Thread() const { return Thread_; }

  TOutputDoneEvent OnDone;
  TOutputProgressEvent OnProgress;
  TThreadExceptionEvent OnThreadException;

 protected:
  /// Moves one block; returns false when the run is to end.
  virtual bool DoOutput(bool Abort) = 0;
  /// Class-specific end of a run: finish the destination, Flush the input.
  virtual void Done() = 0;
  /// Class-specific start of a run: open the destination, Init the input.
  virtual void Prepare() = 0;

  /// Stops and ends the worker thread; safe to call more than once.
  void StopAndJoin();
  /// Called by Sealed before destruction.
  virtual void EndOfLife() { StopAndJoin(); }

  TAuInput* Input_ = nullptr;

 private:
  template <class> friend class Sealed;
  /// Implemented by Sealed only.
  virtual void SealedComponent() = 0;

  friend class TAuThread;
  friend class TEventHandler;

  void WhenDone();
  void SetExceptionMessage(const std::string& message, ErrorKind kind = ErrorKind::Failed);

  std::atomic<bool> Stopped_{false};
  std::atomic<bool> RunCompleted_{false};  // set by the worker before OnDone is posted
  mutable std::mutex exceptionMutex_;
  std::string ExceptionMessage_;
  ErrorKind ExceptionKind_ = ErrorKind::Failed;
  std::atomic<bool> CanOutput_{false};
  int LastProgress_ = 0;  // worker thread only
  std::atomic<bool> Busy_{false};
  std::mutex runLock_;
  std::shared_ptr<TAuThread> Thread_;
  bool joined_ = false;
};
