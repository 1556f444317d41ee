#include "platform/BlockWorker.h"

BlockWorker::BlockWorker(Work work, size_t depth) : work_(std::move(work)), depth_(depth < 1 ? 1 : depth) {
  thread_ = std::thread([this] { Run(); });
}

BlockWorker::~BlockWorker() { Finish(); }

bool BlockWorker::Submit(const uint8_t* bytes, size_t length) {
  std::unique_lock lock(lock_);
  changed_.wait(lock, [this] { return failed_ || queued_.size() < depth_; });
  if (failed_ || closing_) return false;
  std::vector<uint8_t> block;
  if (!spare_.empty()) {
    block = std::move(spare_.back());
    spare_.pop_back();
  }
  block.assign(bytes, bytes + length);
  queued_.push_back(std::move(block));
  changed_.notify_all();
  return true;
}

bool BlockWorker::Finish() {
  {
    std::lock_guard lock(lock_);
    closing_ = true;
    changed_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
  std::lock_guard lock(lock_);
  return !failed_;
}

void BlockWorker::Run() {
  std::unique_lock lock(lock_);
  for (;;) {
    changed_.wait(lock, [this] { return closing_ || !queued_.empty(); });
    if (queued_.empty()) return;  // closing, and nothing left
    std::vector<uint8_t> block = std::move(queued_.front());
    queued_.pop_front();
    bool ok = !failed_;
    if (ok) {
      lock.unlock();
      ok = work_(block.data(), block.size());
      lock.lock();
    }
    if (!ok) {
      failed_ = true;
      queued_.clear();
    }
    spare_.push_back(std::move(block));
    changed_.notify_all();
  }
}
