#include "platform/BlockWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <vector>

namespace {

TEST(BlockWorker, DoesEveryBlockInOrderBeforeFinishReturns) {
  std::vector<uint8_t> seen;
  BlockWorker worker([&seen](uint8_t* bytes, size_t length) {
    seen.insert(seen.end(), bytes, bytes + length);
    return true;
  }, 2);
  std::vector<uint8_t> sent(1000);
  std::iota(sent.begin(), sent.end(), 0);
  // Blocks of uneven sizes; the caller's buffer changes right after each Submit.
  for (size_t at = 0; at < sent.size(); at += 7) {
    std::vector<uint8_t> block(sent.begin() + at, sent.begin() + std::min(at + 7, sent.size()));
    ASSERT_TRUE(worker.Submit(block.data(), block.size()));
    std::fill(block.begin(), block.end(), 0xFF);
  }
  EXPECT_TRUE(worker.Finish());
  EXPECT_EQ(seen, sent);
}

TEST(BlockWorker, AFailureDropsTheRestAndIsReported) {
  std::atomic<int> calls{0};
  BlockWorker worker([&calls](uint8_t*, size_t) { return ++calls < 3; }, 1);
  const uint8_t byte = 1;
  bool accepted = true;
  int submitted = 0;
  // Sooner or later Submit sees the failure of the third block.
  while (accepted && submitted < 1000) {
    accepted = worker.Submit(&byte, 1);
    ++submitted;
  }
  EXPECT_FALSE(accepted);
  EXPECT_FALSE(worker.Finish());
  EXPECT_EQ(calls.load(), 3);  // nothing after the failed block was worked on
}

TEST(BlockWorker, FinishWithNothingQueuedSucceeds) {
  BlockWorker worker([](uint8_t*, size_t) { return false; });
  EXPECT_TRUE(worker.Finish());
  EXPECT_TRUE(worker.Finish());
}

}  // namespace
