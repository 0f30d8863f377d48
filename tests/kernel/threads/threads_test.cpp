// The kernel's cooperative workers against a fake clock: one time slice per idle call,
// yield points that hold still on the main thread and under the flags, finish and abort
// requests, the synchronous fallback, quiet yields to ended ids, and shut-down.
#include "kernel/threads/threads.h"

#include <gtest/gtest.h>

#include <deque>

#include "kernel/kernel_startup.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/threads/timers.h"
#include "platform/clock.h"
#include "platform/coop_threads.h"
#include "tests/kernel/threads/threads_test_support.h"

namespace {

constexpr uint64_t kUnit = uint64_t{1} << 16;
constexpr int kSlice = 2536;  // TicksToTimerUnits(10), hand-computed in the timer tests

// A worker loop: each iteration takes one timer unit of fake time and ends at a
// YieldIfDue. `honoursAbort` workers stop when the out-of-memory flag is raised.
struct Counter {
  FakeClock* clock = nullptr;
  int limit = 0;
  bool honoursAbort = true;
  bool exhaustsOnAbort = false;  // memory runs out while it unwinds (the flag is raised again)
  int iterations = 0;
  bool aborted = false;
  bool ended = false;
  bool sawMainThread = true;
};

void CountingWorker(void* raw) {
  auto* c = static_cast<Counter*>(raw);
  c->sawMainThread = IsMainThread();
  for (int i = 0; i < c->limit; ++i) {
    if (c->honoursAbort && GetOutOfMemoryFlag()) {
      if (c->exhaustsOnAbort) SetOutOfMemoryFlag(true);
      c->aborted = true;
      break;
    }
    ++c->iterations;
    c->clock->Advance(kUnit);
    YieldIfDue();
  }
  c->ended = true;
}

class Threads : public CoopWorkerTest {
 protected:
  void SetUp() override {
    CoopWorkerTest::SetUp();
    ResetThreadsForTests();
    ASSERT_EQ(ElapsedTimerUnits(), 0u);  // the time base starts at the fake's reading
  }
  void TearDown() override {
    CoopWorkerTest::TearDown();
    EXPECT_TRUE(CoopLiveWorkers().empty());
    CoopInjectCreateFailures(0);
    ResetMemoryBudgetForTest();
  }
  // Counters live in the fixture: TearDown's shut-down may still run their workers.
  Counter& MakeCounter(int limit, bool honoursAbort = true) {
    Counter& c = counters.emplace_back();
    c.clock = &clock;
    c.limit = limit;
    c.honoursAbort = honoursAbort;
    return c;
  }
  FakeClock clock{5000000};
  std::deque<Counter> counters;
  int stubbornLoops = 0;
};

TEST_F(Threads, YieldThreadsTimedReturnsAfterOneInterval) {
  EXPECT_EQ(YieldIntervalUnits(), static_cast<uint32_t>(kSlice));
  Counter& c = MakeCounter(10 * kSlice);
  const ThreadId id = StartThread(CountingWorker, &c);
  ASSERT_NE(id, 0u);
  EXPECT_EQ(c.iterations, 0);  // starting does not run it
  YieldThreadsTimed();
  EXPECT_EQ(c.iterations, kSlice);
  EXPECT_EQ(ElapsedTimerUnits(), static_cast<uint32_t>(kSlice));
  EXPECT_EQ(YieldDeadline(), static_cast<uint32_t>(kSlice));
  YieldThreadsTimed();
  EXPECT_EQ(c.iterations, 2 * kSlice);
  EXPECT_FALSE(c.ended);
  EXPECT_FALSE(c.sawMainThread);
  EXPECT_TRUE(IsMainThread());
}

TEST_F(Threads, YieldIfDueNeverSwitchesOnTheMainThreadAndFinishRunsAWorkerInOneCall) {
  Counter& c = MakeCounter(50 * kSlice);
  const ThreadId id = StartThread(CountingWorker, &c);
  clock.Advance(1000 * uint64_t{kSlice} * kUnit);  // deadline (0) long past
  for (int i = 0; i < 5; ++i) YieldIfDue();
  EXPECT_EQ(c.iterations, 0);
  YieldToThreadToFinish(id);  // never started before: runs from the top to the end
  EXPECT_TRUE(c.ended);
  EXPECT_FALSE(c.aborted);
  EXPECT_EQ(c.iterations, 50 * kSlice);
  EXPECT_TRUE(CoopLiveWorkers().empty());
}

TEST_F(Threads, YieldIfDueHoldsStillUnderEitherFlagAndKeepsTheDeadline) {
  for (int flag = 0; flag < 2; ++flag) {
    SCOPED_TRACE(flag == 0 ? "out-of-memory flag" : "explicit-yield flag");
    Counter& c = MakeCounter(3 * kSlice, /*honoursAbort=*/false);
    const ThreadId id = StartThread(CountingWorker, &c);
    YieldThreadsTimed();
    ASSERT_EQ(c.iterations, kSlice);
    const uint32_t deadline = YieldDeadline();
    if (flag == 0) {
      SetOutOfMemoryFlag(true);
      CoopYieldTo(id);  // a plain yield: the flag alone must keep the worker going
      SetOutOfMemoryFlag(false);
    } else {
      YieldToThreadToFinish(id);
      EXPECT_TRUE(ExplicitYieldFlag());
    }
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(c.iterations, 3 * kSlice);  // two intervals overrun without a yield
    EXPECT_EQ(YieldDeadline(), deadline);
    YieldThreadsTimed();
    EXPECT_FALSE(ExplicitYieldFlag());
  }
}

// The flag comes back as it was, unless memory ran out while the worker was unwinding.
TEST_F(Threads, AbortRestoresTheFlagButKeepsAnExhaustionRaisedMeanwhile) {
  const struct { bool before, exhausts, after; } rows[] = {
      {false, false, false}, {true, false, true}, {false, true, true}, {true, true, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.before << row.exhausts);
    Counter& c = MakeCounter(50 * kSlice);
    c.exhaustsOnAbort = row.exhausts;
    const ThreadId id = StartThread(CountingWorker, &c);
    YieldThreadsTimed();
    ASSERT_EQ(c.iterations, kSlice);
    SetOutOfMemoryFlag(row.before);
    YieldToThreadAborting(id);
    EXPECT_TRUE(c.aborted);
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(c.iterations, kSlice);  // stopped at its first check
    EXPECT_EQ(GetOutOfMemoryFlag(), row.after);
    SetOutOfMemoryFlag(false);
  }
}

TEST_F(Threads, AbortingOneWorkerLeavesTheOtherUntouched) {
  Counter& a = MakeCounter(50 * kSlice);
  Counter& b = MakeCounter(4 * kSlice);
  const ThreadId ida = StartThread(CountingWorker, &a);
  const ThreadId idb = StartThread(CountingWorker, &b);
  YieldThreadsTimed();  // a runs its slice, then b (the deadline has passed) one step
  EXPECT_EQ(a.iterations, kSlice);
  EXPECT_EQ(b.iterations, 1);
  YieldToThreadAborting(ida);
  EXPECT_TRUE(a.aborted);
  EXPECT_EQ(b.iterations, 1);  // the ended worker handed control back to main, not to b
  YieldToThreadToFinish(idb);
  EXPECT_FALSE(b.aborted);
  EXPECT_EQ(b.iterations, 4 * kSlice);
}

TEST_F(Threads, FailedCreationRunsTheWorkAtOnceAndLeaksNothing) {
  for (bool refuseClosure : {false, true}) {
    SCOPED_TRACE(refuseClosure ? "closure refused" : "thread refused");
    const size_t bytesBefore = GetBytesInUse();
    Counter& c = MakeCounter(3 * kSlice);
    if (refuseClosure)
      FailAllocationAt(1);
    else
      CoopInjectCreateFailures(1);
    EXPECT_EQ(StartThread(CountingWorker, &c), 0u);
    FailAllocationAt(0);
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(c.iterations, 3 * kSlice);  // on the main thread YieldIfDue never yields
    EXPECT_TRUE(c.sawMainThread);
    EXPECT_EQ(LiveThreadClosures(), 0);
    EXPECT_EQ(GetBytesInUse(), bytesBefore);
    EXPECT_TRUE(CoopLiveWorkers().empty());
  }
  EXPECT_EQ(StartThread(nullptr, nullptr), 0u);
}

TEST_F(Threads, YieldsToEndedOrUnknownThreadsReturnQuietly) {
  Counter& c = MakeCounter(3);
  const ThreadId id = StartThread(CountingWorker, &c);
  YieldToThreadToFinish(id);
  ASSERT_TRUE(c.ended);
  for (ThreadId target : {id, id + 77, ThreadId{0}}) {
    YieldToThreadAborting(target);
    EXPECT_FALSE(GetOutOfMemoryFlag());
    YieldToThreadToFinish(target);
    EXPECT_TRUE(IsMainThread());
  }
}

void Stubborn(void* raw) {
  auto* loops = static_cast<int*>(raw);
  for (;;) {
    ++*loops;
    CoopYieldToAny();  // ignores every abort request
  }
}

TEST_F(Threads, ShutdownAbortsEveryWorkerAndFreesEveryClosure) {
  Counter& running = MakeCounter(50 * kSlice);
  Counter& unstarted = MakeCounter(50 * kSlice);
  StartThread(CountingWorker, &running);
  StartThread(Stubborn, &stubbornLoops);
  YieldThreadsTimed();
  StartThread(CountingWorker, &unstarted);
  EXPECT_EQ(LiveThreadClosures(), 3);
  ShutdownThreads();
  EXPECT_TRUE(CoopLiveWorkers().empty());
  EXPECT_EQ(LiveThreadClosures(), 0);
  EXPECT_TRUE(running.aborted);
  EXPECT_TRUE(unstarted.aborted);
  EXPECT_EQ(unstarted.iterations, 0);
  EXPECT_FALSE(GetOutOfMemoryFlag());
}

TEST_F(Threads, ADeadlineAcrossTheWrapStillGivesOneInterval) {
  clock.Advance((uint64_t{0xFFFFFFFFu} - 100) * kUnit);
  ASSERT_EQ(ElapsedTimerUnits(), 0xFFFFFFFFu - 100);
  Counter& c = MakeCounter(10 * kSlice);
  StartThread(CountingWorker, &c);
  YieldThreadsTimed();
  EXPECT_EQ(YieldDeadline(), static_cast<uint32_t>(kSlice - 101));  // wrapped
  EXPECT_EQ(c.iterations, kSlice);
}

}  // namespace

// The shell's quit path goes through the kernel half of shut-down: a worker in the middle
// of its loop leaves it through the abort flag (not by being unwound at exit).
TEST_F(Threads, KernelShutdownAbortsARunningWorkerThroughTheFlag) {
  Counter& running = MakeCounter(50 * kSlice);
  StartThread(CountingWorker, &running);
  YieldThreadsTimed();
  ASSERT_GT(running.iterations, 0);
  ASSERT_FALSE(running.ended);
  ShutdownApplicationKernel();
  EXPECT_TRUE(running.aborted);
  EXPECT_TRUE(running.ended);
  EXPECT_TRUE(CoopLiveWorkers().empty());
  EXPECT_EQ(LiveThreadClosures(), 0);
  EXPECT_FALSE(GetOutOfMemoryFlag());
}
