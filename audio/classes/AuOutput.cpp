#include "audio/classes/AuOutput.h"

#include <cmath>

#include "audio/classes/AuException.h"
#include "audio/classes/AuThread.h"
#include "audio/classes/EventHandler.h"
#include "audio/classes/MainThread.h"

TAuOutput::TAuOutput() {
  TEventHandler::Acquire();
  Thread_ = std::make_shared<TAuThread>(this);
}

TAuOutput::~TAuOutput() {
  StopAndJoin();
  if (Input_ != nullptr) Input_->DetachOutput(this);
  TEventHandler::Release();
}

void TAuOutput::StopAndJoin() {
  if (joined_) return;
  joined_ = true;
  Stop(false);
  Thread_->Terminate();
  Thread_->WaitForEnd();
  // Cancels a done record that is being delivered right now.
  if (TEventHandler* events = TEventHandler::Instance()) events->ClearEvents(this);
}

void TAuOutput::SetInput(TAuInput* NewInput) {
  if (NewInput == Input_) return;
  const bool restart = Busy_ && NewInput != nullptr;
  if (Busy_) Stop(false);
  if (Input_ != nullptr) Input_->DetachOutput(this);
  Input_ = NewInput;
  if (Input_ != nullptr) Input_->AttachOutput(this);
  if (restart) Run();
}

void TAuOutput::Run() {
  std::unique_lock lock(runLock_);
  if (Busy_) throw EAuException("Component is Busy");
  SetExceptionMessage("");
  RunCompleted_ = false;
  if (Input_ == nullptr) throw EAuException("Input is not assigned");
  Busy_ = true;
  Thread_->StartRun();
}

void TAuOutput::Stop(bool Async) {
  Stopped_ = true;
  Thread_->NotifyDone = Async;
  Thread_->SetFinished(false);
  Thread_->StopRequested = true;
  if (Async) return;
  TEventHandler* events = TEventHandler::Instance();
  if (events) {
    events->BlockEvents(this);
    events->ClearEvents(this);
  }
  // Handlers the event thread is delivering meanwhile run here, so that one
  // waiting for the window thread cannot deadlock with us.
  MainThread::ServiceUntil([this] { return Thread_->Idle || Thread_->Finished; });
  if (events) {
    events->ClearEvents(this);
    events->UnblockEvents(this);
  }
  Thread_->NotifyDone = true;
}

int TAuOutput::Progress() const {
  TAuInput* input = Input_;
  if (input == nullptr) return 0;
  const int64_t size = input->Size();
  if (size == -1) return -1;
  if (size == 0) return 0;
  // Position * 100 first keeps halves exact, so they round to even.
  return static_cast<int>(std::nearbyint(static_cast<double>(input->Position()) * 100.0 / static_cast<double>(size)));
}

std::string TAuOutput::ExceptionMessage() const {
  std::lock_guard lock(exceptionMutex_);
  return ExceptionMessage_;
}

ErrorKind TAuOutput::ExceptionKind() const {
  std::lock_guard lock(exceptionMutex_);
  return ExceptionKind_;
}

void TAuOutput::SetExceptionMessage(const std::string& message, ErrorKind kind) {
  std::lock_guard lock(exceptionMutex_);
  ExceptionMessage_ = message;
  ExceptionKind_ = kind;
}

void TAuOutput::WhenDone() {
  if (!Busy_) return;
  CanOutput_ = false;
  Done();
  Stopped_ = false;
  Busy_ = false;
}
