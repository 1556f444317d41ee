#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <memory>
#include <string>
#include <vector>

#include "audio/ACS_Classes.h"
#include "tests/audio/MemoryComponents.h"
#include "tests/support/EventLoop.h"

namespace {

/// What the handlers of one output saw, in order: "progress:N", "exception:MSG", "done".
struct EventLog {
  std::vector<std::string> entries;
  bool allOnMainThread = true;

  void Attach(MemoryOutput& output) {
    output.OnProgress = [this, &output](TComponent* sender) {
      Note(sender == &output);
      entries.push_back("progress:" + std::to_string(output.Progress()));
    };
    output.OnThreadException = [this, &output](TComponent* sender) {
      Note(sender == &output);
      entries.push_back("exception:" + output.ExceptionMessage());
    };
    output.OnDone = [this, &output](TComponent* sender) {
      Note(sender == &output);
      entries.push_back("done");
    };
  }

  int Count(const std::string& prefix) const {
    return static_cast<int>(std::count_if(entries.begin(), entries.end(),
                                          [&](const std::string& e) { return e.rfind(prefix, 0) == 0; }));
  }

 private:
  void Note(bool rightSender) {
    if (!rightSender || QThread::currentThread() != QCoreApplication::instance()->thread()) allOnMainThread = false;
  }
};

/// Events are delivered in posting order: once a run started now has
/// delivered its OnDone, anything posted before it has been delivered too.
bool DeliverEverythingPosted() {
  Sealed<MemoryInput> input(10);
  Sealed<MemoryOutput> marker;
  bool done = false;
  marker.OnDone = [&](TComponent*) { done = true; };
  marker.SetInput(&input);
  marker.Run();
  return SpinUntil([&] { return done; });
}

bool WaitForBlocks(MemoryOutput& output, int blocks) {
  return SpinUntil([&] { return output.BlocksDone >= blocks; });
}

TEST(Pipeline, RunCopiesEverythingAndReportsOnTheMainThread) {
  Sealed<MemoryInput> input(1000);
  Sealed<MemoryOutput> output;
  EventLog log;
  log.Attach(output);
  output.SetInput(&input);

  output.Run();
  ASSERT_TRUE(SpinUntil([&] { return log.Count("done") == 1; }));

  EXPECT_EQ(output.written, input.data);
  EXPECT_FALSE(output.Busy());
  EXPECT_EQ(input.Flushes, 1);
  EXPECT_EQ(output.DoneCalls, 1);
  EXPECT_TRUE(log.allOnMainThread);
  EXPECT_EQ(log.entries.back(), "done");
  // Progress is sampled before each of the 17 blocks (16 full, one that finds
  // the end) and posted when it changes: 0 equals the start value, so 16 posts.
  EXPECT_EQ(log.Count("progress:"), 16);
  EXPECT_EQ(output.Progress(), 100);
}

TEST(Pipeline, RunRefusesWhileBusyAndWithoutInput) {
  Sealed<MemoryOutput> output;
  EventLog log;
  log.Attach(output);
  try {
    output.Run();
    FAIL() << "Run without input must fail";
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "Input is not assigned");
  }
  EXPECT_FALSE(output.Busy());

  Sealed<MemoryInput> input(1000);
  output.SetInput(&input);
  output.BlocksAllowed = 2;
  output.Run();
  ASSERT_TRUE(WaitForBlocks(output, 2));
  EXPECT_TRUE(output.Busy());
  try {
    output.Run();
    FAIL() << "Run while busy must fail";
  } catch (const EAuException& e) {
    EXPECT_STREQ(e.what(), "Component is Busy");
  }

  output.BlocksAllowed = INT_MAX;
  ASSERT_TRUE(SpinUntil([&] { return log.Count("done") == 1; }));
  output.Run();
  ASSERT_TRUE(SpinUntil([&] { return log.Count("done") == 2; }));
  EXPECT_EQ(output.written, input.data);
}

TEST(Pipeline, FailingPrepareReportsExceptionThenDone) {
  Sealed<MemoryInput> input(100);
  Sealed<MemoryOutput> output;
  EventLog log;
  log.Attach(output);
  output.SetInput(&input);
  output.PrepareError = "The file name is not assigned";

  output.Run();
  ASSERT_TRUE(SpinUntil([&] { return log.Count("done") == 1; }));
  EXPECT_EQ(log.entries, (std::vector<std::string>{"exception:The file name is not assigned", "done"}));
  EXPECT_EQ(output.ExceptionMessage(), "The file name is not assigned");
  EXPECT_FALSE(output.Busy());

  // The next Run clears the message and works.
  output.PrepareError.clear();
  output.Run();
  EXPECT_EQ(output.ExceptionMessage(), "");
  ASSERT_TRUE(SpinUntil([&] { return log.Count("done") == 2; }));
  EXPECT_EQ(output.written, input.data);
}

TEST(Pipeline, FailingInitEndsTheRunWithItsMessage) {
  Sealed<MemoryInput> input(100);
  input.InitError = "cannot open";
  Sealed<MemoryOutput> output;
  EventLog log;
  log.Attach(output);
  output.SetInput(&input);

  output.Run();
  ASSERT_TRUE(SpinUntil([&] { return log.Count("done") == 1; }));
  EXPECT_EQ(log.entries.front(), "exception:cannot open");
  EXPECT_TRUE(input.EndOfData());
}

TEST(Pipeline, FailureWhileFinishingIsReported) {
  // Finishing the destination (say, its last write) can fail after all blocks went well.
  Sealed<MemoryInput> input(100);
  Sealed<MemoryOutput> output;
  EventLog log;
  log.Attach(output);
  output.SetInput(&input);
  output.DoneError = "Error writing wave file";
  output.Run();
  ASSERT_TRUE(SpinUntil([&] { return log.Count("done") == 1; }));
  EXPECT_EQ(log.Count("exception:Error writing wave file"), 1);
  EXPECT_EQ(log.entries.back(), "done");
  EXPECT_FALSE(output.Busy());
  EXPECT_FALSE(output.RunCompleted());

  // Something that is no std::exception is reported too, never taken for success.
  output.DoneError.clear();
  output.DoneThrowsNonStandard = true;
  output.Run();
  ASSERT_TRUE(SpinUntil([&] { return log.Count("done") == 2; }));
  EXPECT_EQ(log.Count("exception:unknown error while finishing the file"), 1);
  EXPECT_FALSE(output.RunCompleted());
}

TEST(Pipeline, ProgressRoundsHalvesToEven) {
  Sealed<MemoryOutput> output;
  EXPECT_EQ(output.Progress(), 0);  // no input
  Sealed<MemoryInput> input(10);
  output.SetInput(&input);
  const struct {
    int64_t position, size;
    int expected;
  } cases[] = {{1, 200, 0}, {3, 200, 2}, {5, 200, 2}, {7, 200, 4}, {0, 0, 0}, {5, -1, -1},
               {199, 200, 100}, {1, 3, 33}, {2, 3, 67}, {4000000000000LL, 8000000000000LL, 50}};
  for (const auto& c : cases) {
    input.SetCounters(c.position, c.size);
    EXPECT_EQ(output.Progress(), c.expected) << c.position << "/" << c.size;
  }
}

TEST(Pipeline, UnknownSizePostsProgressOnceAsMinusOne) {
  Sealed<MemoryInput> input(1000);
  input.AnnouncedSize = -1;
  Sealed<MemoryOutput> output;
  EventLog log;
  log.Attach(output);
  output.SetInput(&input);

  output.Run();
  ASSERT_TRUE(SpinUntil([&] { return log.Count("done") == 1; }));
  EXPECT_EQ(log.entries, (std::vector<std::string>{"progress:-1", "done"}));
  EXPECT_EQ(output.written, input.data);
}

/// A run of 1000 bytes held after three blocks of 64.
class HeldRun : public ::testing::Test {
 protected:
  void SetUp() override {
    log.Attach(output);
    output.SetInput(&input);
    output.BlocksAllowed = 3;
    output.Run();
    ASSERT_TRUE(WaitForBlocks(output, 3));
  }

  Sealed<MemoryInput> input{1000};
  Sealed<MemoryOutput> output;
  EventLog log;
};

TEST_F(HeldRun, AsyncStopEndsTheRunWithOnDone) {

  output.Stop(true);
  EXPECT_TRUE(output.Stopped());
  ASSERT_TRUE(SpinUntil([&] { return log.Count("done") == 1; }));
  EXPECT_FALSE(output.Stopped());
  EXPECT_FALSE(output.RunCompleted());  // OnDone came, but the run did not reach the end
  EXPECT_EQ(output.written.size(), 3u * input.BlockSize);
  EXPECT_EQ(input.Flushes, 1);
}

TEST_F(HeldRun, SyncStopDeliversNothingMore) {

  output.Stop(false);
  EXPECT_FALSE(output.Busy());
  EXPECT_EQ(output.DoneCalls, 1);

  ASSERT_TRUE(DeliverEverythingPosted());
  EXPECT_EQ(log.Count("done"), 0);

  // Stopping an idle output returns at once and leaves it usable.
  output.Stop(false);
  output.BlocksAllowed = INT_MAX;
  output.Run();
  ASSERT_TRUE(SpinUntil([&] { return log.Count("done") == 1; }));
  EXPECT_EQ(output.written, input.data);
  EXPECT_TRUE(output.RunCompleted());
}

TEST(Pipeline, NewInputRestartsTheRunWithoutOnDoneForTheOldOne) {
  Sealed<MemoryInput> first(1000, 1);
  Sealed<MemoryInput> second(300, 2);
  Sealed<MemoryOutput> output;
  EventLog log;
  log.Attach(output);
  output.SetInput(&first);
  output.BlocksAllowed = 2;
  output.Run();
  ASSERT_TRUE(WaitForBlocks(output, 2));

  output.BlocksAllowed = INT_MAX;
  output.SetInput(&second);
  EXPECT_EQ(output.Input(), &second);
  ASSERT_TRUE(SpinUntil([&] { return log.Count("done") == 1; }));
  EXPECT_EQ(output.written, second.data);
  EXPECT_EQ(first.Flushes, 1);

  ASSERT_TRUE(DeliverEverythingPosted());
  EXPECT_EQ(log.Count("done"), 1);
}

TEST(Pipeline, DestroyingARunningOutputStopsItWithoutOnDone) {
  Sealed<MemoryInput> input(1000);
  int doneCount = 0;
  {
    Sealed<MemoryOutput> output;
    output.OnDone = [&](TComponent*) { ++doneCount; };
    output.SetInput(&input);
    output.BlocksAllowed = 1;
    output.Run();
    ASSERT_TRUE(WaitForBlocks(output, 1));
  }
  EXPECT_EQ(input.Flushes, 1);

  ASSERT_TRUE(DeliverEverythingPosted());
  EXPECT_EQ(doneCount, 0);
}

TEST(Pipeline, OnDoneMayStartTheNextRun) {
  Sealed<MemoryInput> input(500);
  Sealed<MemoryOutput> output;
  output.SetInput(&input);
  int runs = 0;
  std::vector<size_t> sizes;
  output.OnDone = [&](TComponent*) {
    sizes.push_back(output.written.size());
    if (++runs < 3) output.Run();
  };
  output.Run();
  ASSERT_TRUE(SpinUntil([&] { return runs == 3; }));
  EXPECT_EQ(sizes, (std::vector<size_t>{500, 500, 500}));
  EXPECT_EQ(input.Flushes, 3);
}

TEST(Pipeline, DestroyedInputIsClearedFromItsOutputs) {
  Sealed<MemoryOutput> idle;
  Sealed<MemoryOutput> running;
  {
    Sealed<MemoryInput> input(1000);
    idle.SetInput(&input);
    running.SetInput(&input);
    running.BlocksAllowed = 1;
    running.Run();
    ASSERT_TRUE(WaitForBlocks(running, 1));
  }
  EXPECT_EQ(idle.Input(), nullptr);
  EXPECT_EQ(running.Input(), nullptr);
  EXPECT_FALSE(running.Busy());
  EXPECT_THROW(running.Run(), EAuException);
}

TEST(Pipeline, SyncStopRunsHandlersThatTheWorkerWaitsFor) {
  // `blocked` cannot finish its block until a handler of `other` has run on
  // the main thread, while the main thread itself waits in Stop.
  Sealed<MemoryInput> unknownSize(100);
  unknownSize.AnnouncedSize = -1;
  Sealed<MemoryOutput> other;
  std::atomic<bool> handlerRan{false};
  other.OnProgress = [&](TComponent*) { handlerRan = true; };
  other.SetInput(&unknownSize);

  Sealed<MemoryInput> input(1000);
  Sealed<MemoryOutput> blocked;
  blocked.SetInput(&input);
  blocked.BlocksAllowed = 1;
  blocked.IgnoreStop = true;
  blocked.Run();
  ASSERT_TRUE(WaitForBlocks(blocked, 1));

  std::thread release([&] {
    while (!handlerRan) std::this_thread::yield();
    blocked.BlocksAllowed = INT_MAX;
  });
  other.Run();
  blocked.Stop(false);
  release.join();
  EXPECT_TRUE(handlerRan);
  EXPECT_FALSE(blocked.Busy());
  SpinUntil([&] { return !other.Busy(); });
}

TEST(Pipeline, NestedSyncStopKeepsTheOuterStopsBlock) {
  // While the main thread waits in outer.Stop(false), a handler of `inner`
  // delivered there stops `inner` synchronously, then lets `outer` run to
  // its end. Nothing of outer's run may arrive after its Stop returns.
  Sealed<MemoryInput> outerInput(1000);
  Sealed<MemoryOutput> outer;
  EventLog outerLog;
  outerLog.Attach(outer);
  outer.SetInput(&outerInput);
  outer.BlocksAllowed = 1;
  outer.IgnoreStop = true;
  outer.Run();
  ASSERT_TRUE(WaitForBlocks(outer, 1));
  const size_t entriesBeforeStop = outerLog.entries.size();

  Sealed<MemoryInput> innerInput(100);
  innerInput.AnnouncedSize = -1;
  Sealed<MemoryOutput> inner;
  bool innerStopped = false;
  inner.OnProgress = [&](TComponent*) {
    if (innerStopped) return;
    inner.Stop(false);
    innerStopped = true;
    outer.BlocksAllowed = INT_MAX;
  };
  inner.SetInput(&innerInput);
  inner.Run();
  outer.Stop(false);

  EXPECT_TRUE(innerStopped);
  EXPECT_FALSE(outer.Busy());
  EXPECT_EQ(outer.written.size(), 2u * outerInput.BlockSize);  // it ran on to the next block meanwhile
  ASSERT_TRUE(DeliverEverythingPosted());
  EXPECT_EQ(outerLog.entries.size(), entriesBeforeStop);
  EXPECT_EQ(outerLog.Count("done"), 0);
}

TEST(Pipeline, EventThreadLivesWhileOutputsExist) {
  ASSERT_EQ(TEventHandler::Instance(), nullptr);
  {
    Sealed<MemoryOutput> first;
    EXPECT_NE(TEventHandler::Instance(), nullptr);
    {
      Sealed<MemoryOutput> second;
    }
    EXPECT_NE(TEventHandler::Instance(), nullptr);
  }
  EXPECT_EQ(TEventHandler::Instance(), nullptr);
}

TEST(Pipeline, OnDoneMayDestroyTheLastOutput) {
  Sealed<MemoryInput> input(100);
  auto* output = new Sealed<MemoryOutput>;
  bool destroyed = false;
  output->OnDone = [&](TComponent*) {
    delete output;
    destroyed = true;
  };
  output->SetInput(&input);
  output->Run();
  ASSERT_TRUE(SpinUntil([&] { return destroyed; }));
  EXPECT_EQ(TEventHandler::Instance(), nullptr);
  EXPECT_EQ(input.Flushes, 1);

  // A new output starts a new event thread.
  Sealed<MemoryOutput> again;
  bool done = false;
  again.OnDone = [&](TComponent*) { done = true; };
  again.SetInput(&input);
  again.Run();
  EXPECT_TRUE(SpinUntil([&] { return done; }));
}

TEST(Pipeline, PlainEventsArriveInPostingOrder) {
  Sealed<MemoryOutput> owner;  // keeps the event thread alive
  TEventHandler* events = TEventHandler::Instance();
  ASSERT_NE(events, nullptr);
  std::vector<int> order;
  TComponent a, b;
  for (int i = 0; i < 5; ++i) events->PostEvent(i % 2 ? &a : &b, [&order, i](TComponent*) { order.push_back(i); });
  ASSERT_TRUE(SpinUntil([&] { return order.size() == 5; }));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));

  // Events of a blocked sender are dropped; ClearEvents removes queued ones.
  order.clear();
  events->BlockEvents(&a);
  events->PostEvent(&a, [&order](TComponent*) { order.push_back(1); });
  events->UnblockEvents(&a);
  events->PostEvent(&b, [&order](TComponent*) { order.push_back(2); });
  ASSERT_TRUE(SpinUntil([&] { return order.size() == 1; }));
  EXPECT_EQ(order, (std::vector<int>{2}));
}

}  // namespace
