#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

/// Hands blocks of bytes to `work` on a thread of its own, in order, at most
/// `depth` blocks behind the caller: an encoder so runs beside the decoder
/// that feeds it. After `work` fails once, later blocks are dropped and
/// Submit and Finish say false.
class BlockWorker {
 public:
  using Work = std::function<bool(uint8_t* bytes, size_t length)>;  // the worker's own copy
  explicit BlockWorker(Work work, size_t depth = 4);
  ~BlockWorker();
  BlockWorker(const BlockWorker&) = delete;
  BlockWorker& operator=(const BlockWorker&) = delete;

  /// Queues a copy of the block; waits while the queue is full.
  bool Submit(const uint8_t* bytes, size_t length);
  /// Waits until every queued block is done and ends the thread.
  bool Finish();

 private:
  void Run();

  Work work_;
  const size_t depth_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<std::vector<uint8_t>> queued_;
  std::vector<std::vector<uint8_t>> spare_;  // done blocks, their memory used again
  bool closing_ = false;
  bool failed_ = false;
  std::thread thread_;
};
