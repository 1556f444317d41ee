#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "audio/classes/AutoResetEvent.h"
#include "audio/classes/Component.h"

class TAuOutput;
class TAuThread;

/// One queued notification; the event thread frees it after dispatch.
struct EventRecord {
  enum Kind : uint8_t { Progress = 0, Done = 1, Plain = 2 };
  Kind kind = Plain;
  TComponent* Sender = nullptr;
  TNotifyEvent handler;                   // progress and plain records
  std::shared_ptr<TAuThread> workerThread;  // done records
  bool cancelled = false;                 // guarded by the handler's lock
};

/// The process-wide event-delivery thread: takes queued records in order and
/// runs each handler on the window thread, waiting until it returns.
///
/// Outputs hold references to it: the first output created starts it, the
/// last one destroyed ends it. All operations may be called from any thread.
class TEventHandler {
 public:
  /// The running instance, started on first use. Each call takes a reference
  /// that Release() gives back.
  static TEventHandler* Acquire();
  static void Release();
  /// The running instance, or nullptr when no output exists.
  static TEventHandler* Instance();

  void PostProgress(TComponent* Sender, const TNotifyEvent& handler);
  void PostDone(TAuOutput* Sender, const std::shared_ptr<TAuThread>& workerThread);
  void PostEvent(TComponent* Sender, const TNotifyEvent& handler);

  /// New events of Sender are dropped until as many UnblockEvents(Sender)
  /// calls as BlockEvents(Sender) calls have been made; other senders are
  /// not affected, so stops nested inside each other keep their blocks.
  void BlockEvents(TComponent* Sender);
  void UnblockEvents(TComponent* Sender);
  /// Drops every queued event of Sender, and the one being delivered if it
  /// has not reached its handler yet.
  void ClearEvents(TComponent* Sender);

  TEventHandler(const TEventHandler&) = delete;
  TEventHandler& operator=(const TEventHandler&) = delete;

 private:
  TEventHandler();
  ~TEventHandler() = default;

  /// Ends the thread and frees the handler; from inside a handler the thread
  /// cannot be joined, so it is left to end and free itself.
  void Shutdown();
  void RemoveQueued(TComponent* Sender);
  void Queue(std::unique_ptr<EventRecord> record);
  void Execute();
  void Dispatch(EventRecord& record);
  void DispatchDone(EventRecord& record);
  bool IsCancelled(const EventRecord& record);

  std::mutex lock_;  // guards records_, current_, blocked_
  std::deque<std::unique_ptr<EventRecord>> records_;
  EventRecord* current_ = nullptr;
  std::map<TComponent*, int> blocked_;  // sender -> blocks not yet lifted
  AutoResetEvent mainEvent_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> threadEnded_{false};
  std::atomic<bool> deliveringOnMain_{false};  // a handler is running on the window thread
  std::atomic<bool> selfDelete_{false};
  std::thread thread_;
};
