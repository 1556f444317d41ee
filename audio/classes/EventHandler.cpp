#include "audio/classes/EventHandler.h"

#include <chrono>

#include "audio/classes/AuOutput.h"
#include "audio/classes/AuThread.h"
#include "audio/classes/MainThread.h"

namespace {

std::mutex instanceMutex;

/// Marks the time a handler runs on the window thread, even if it throws.
class DeliveryScope {
 public:
  explicit DeliveryScope(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
  ~DeliveryScope() { flag_ = false; }

 private:
  std::atomic<bool>& flag_;
};

TEventHandler* instance = nullptr;
int references = 0;

}  // namespace

TEventHandler* TEventHandler::Acquire() {
  std::lock_guard lock(instanceMutex);
  if (references++ == 0) instance = new TEventHandler();
  return instance;
}

void TEventHandler::Release() {
  TEventHandler* ending = nullptr;
  {
    std::lock_guard lock(instanceMutex);
    if (references == 0) return;
    if (--references == 0) {
      ending = instance;
      instance = nullptr;
    }
  }
  if (ending != nullptr) ending->Shutdown();
}

TEventHandler* TEventHandler::Instance() {
  std::lock_guard lock(instanceMutex);
  return instance;
}

TEventHandler::TEventHandler() : thread_([this] { Execute(); }) {}

void TEventHandler::Shutdown() {
  if (deliveringOnMain_ && MainThread::IsCurrent()) {
    selfDelete_ = true;
    terminated_ = true;
    mainEvent_.Set();
    thread_.detach();
    return;
  }
  terminated_ = true;
  mainEvent_.Set();
  // The thread may be waiting for the window thread to run a handler.
  if (MainThread::IsCurrent()) MainThread::ServiceUntil([this] { return threadEnded_.load(); });
  thread_.join();
  delete this;
}

void TEventHandler::PostProgress(TComponent* Sender, const TNotifyEvent& handler) {
  Queue(std::make_unique<EventRecord>(EventRecord{EventRecord::Progress, Sender, handler, nullptr}));
}

void TEventHandler::PostDone(TAuOutput* Sender, const std::shared_ptr<TAuThread>& workerThread) {
  Queue(std::make_unique<EventRecord>(EventRecord{EventRecord::Done, Sender, nullptr, workerThread}));
}

void TEventHandler::PostEvent(TComponent* Sender, const TNotifyEvent& handler) {
  Queue(std::make_unique<EventRecord>(EventRecord{EventRecord::Plain, Sender, handler, nullptr}));
}

void TEventHandler::BlockEvents(TComponent* Sender) {
  std::lock_guard lock(lock_);
  ++blocked_[Sender];
}

void TEventHandler::UnblockEvents(TComponent* Sender) {
  std::lock_guard lock(lock_);
  const auto entry = blocked_.find(Sender);
  if (entry != blocked_.end() && --entry->second <= 0) blocked_.erase(entry);
}

void TEventHandler::ClearEvents(TComponent* Sender) {
  std::lock_guard lock(lock_);
  std::erase_if(records_, [Sender](const auto& record) { return record->Sender == Sender; });
  if (current_ != nullptr && current_->Sender == Sender) current_->cancelled = true;
}

void TEventHandler::RemoveQueued(TComponent* Sender) {
  std::lock_guard lock(lock_);
  std::erase_if(records_, [Sender](const auto& record) { return record->Sender == Sender; });
}

void TEventHandler::Queue(std::unique_ptr<EventRecord> record) {
  {
    std::lock_guard lock(lock_);
    if (!blocked_.contains(record->Sender)) records_.push_back(std::move(record));
  }
  mainEvent_.Set();
}

void TEventHandler::Execute() {
  while (!terminated_) {
    while (!terminated_) {
      std::unique_ptr<EventRecord> record;
      {
        std::lock_guard lock(lock_);
        if (records_.empty()) break;
        record = std::move(records_.front());
        records_.pop_front();
        current_ = record.get();
      }
      Dispatch(*record);
      std::lock_guard lock(lock_);
      current_ = nullptr;
    }
    mainEvent_.WaitFor(std::chrono::milliseconds(100));
  }
  // A detached thread must not touch anything after freeing itself: the
  // process may be ending.
  if (selfDelete_) {
    threadEnded_ = true;
    delete this;
    return;
  }
  threadEnded_ = true;
  MainThread::Wake();
}

bool TEventHandler::IsCancelled(const EventRecord& record) {
  std::lock_guard lock(lock_);
  return record.cancelled;
}

// The sender is only touched on the window thread, after checking that the
// record was not cancelled: components are destroyed on that thread too, and
// their destruction cancels their records.
void TEventHandler::Dispatch(EventRecord& record) {
  if (record.kind == EventRecord::Done) {
    DispatchDone(record);
    return;
  }
  MainThread::Call([&] {
    if (IsCancelled(record) || !record.handler) return;
    DeliveryScope delivering(deliveringOnMain_);
    record.handler(record.Sender);
  });
}

void TEventHandler::DispatchDone(EventRecord& record) {
  while (!record.workerThread->WaitIdleFor(std::chrono::milliseconds(10)) && !IsCancelled(record) && !terminated_) {
  }
  // Progress still queued behind the end of the run is stale.
  RemoveQueued(record.Sender);
  MainThread::Call([&] {
    if (IsCancelled(record)) return;
    auto* output = static_cast<TAuOutput*>(record.Sender);
    // A run started in the meantime keeps its Busy flag.
    if (record.workerThread->Idle) output->Busy_ = false;
    if (output->OnDone && record.workerThread->NotifyDone) {
      TOutputDoneEvent handler = output->OnDone;
      DeliveryScope delivering(deliveringOnMain_);
      handler(output);
    }
  });
}
