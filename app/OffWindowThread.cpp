#include "app/OffWindowThread.h"

#include "audio/classes/MainThread.h"

void OffWindowThread::Run(Work work) {
  Finish();
  ended_ = false;
  thread_ = std::thread([this, work = std::move(work)] {
    const std::function<void()> handBack = work();
    if (handBack) MainThread::Call(handBack);
    ended_ = true;
    MainThread::Wake();
  });
}

void OffWindowThread::Finish() {
  if (!thread_.joinable()) return;
  MainThread::ServiceUntil([this] { return ended_.load(); });
  thread_.join();
}
