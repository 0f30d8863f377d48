// The threads folder: tick conversion goldens and the wrap-safe deadline reader of the time
// base; the cooperative workers against a fake clock (one time slice per idle call, yield
// points that hold still under either flag, finish and abort requests with the flag lent and
// given back, the synchronous fallback, shut-down); and the short-stack test on a worker's
// own stack. Run under TSan by the thread stage.
#include "kernel/threads/threads.h"

#include <gtest/gtest.h>

#include <deque>

#include "kernel/kernel_startup.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/memory/memory_shortage.h"
#include "kernel/threads/timers.h"
#include "platform/clock.h"
#include "platform/coop_threads.h"

namespace {

constexpr uint64_t kUnit = uint64_t{1} << 16;
constexpr int kSlice = 2536;  // TicksToTimerUnits(10), hand-computed below

class Timers : public ::testing::Test {
 protected:
  void SetUp() override { ResetTimersForTests(); }
  void TearDown() override { ResetTimersForTests(); }
};

// Hand-computed: floor(ticks x 16,625,104 x denominator / numerator / 65,536). The timebase
// is read once, so a later fake's does not count until a reset; a zero numerator is broken.
TEST_F(Timers, TicksToTimerUnitsGoldens) {
  const struct { ClockTimebase timebase; bool reset; uint32_t ticks, units; } rows[] = {
      {{1, 1}, true, 0, 0},       {{1, 1}, false, 1, 253},     {{1, 1}, false, 10, 2536},
      {{1, 1}, false, 60, 15220}, {{1, 1}, false, 120, 30441}, {{2, 1}, true, 60, 7610},
      {{1, 3}, false, 60, 7610},  {{1, 3}, true, 60, 45662},   {{0, 1}, true, 10, 2536},
  };
  for (const auto& row : rows) {
    if (row.reset) ResetTimersForTests();
    FakeClock clock(0, row.timebase);
    EXPECT_EQ(TicksToTimerUnits(row.ticks), row.units) << row.ticks << " " << row.timebase.numerator;
  }
  FakeClock clock(1000, {3, 1});  // 3 ns a clock tick
  EXPECT_EQ(MicrosecondsNow(), 3u);
}

// A naive now >= deadline gets the wrap rows wrong.
TEST_F(Timers, DeadlineReachedAcrossTheWrap) {
  const struct { uint32_t now, deadline; bool reached; } rows[] = {
      {5, 5, true},           {4, 5, false},
      {0xFFFFFFF0u, 0x10u, false},  // deadline just past the wrap, not yet due
      {0x10u, 0xFFFFFFF0u, true},   // now just past the wrap, deadline behind
      {5 + 0x7FFFFFFFu, 5, true},   // the furthest past that still reads as past
      {5 + 0x80000000u, 5, false},  // half the circle away reads as ahead
  };
  for (const auto& row : rows)
    EXPECT_EQ(DeadlineReached(row.now, row.deadline), row.reached) << row.now << " " << row.deadline;
}

// Each iteration takes one timer unit of fake time and ends at a YieldIfDue; `honoursAbort`
// workers stop at a raised out-of-memory flag.
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
  for (int i = 0; i < c->limit && !c->aborted; ++i) {
    if (c->honoursAbort && GetOutOfMemoryFlag()) {
      if (c->exhaustsOnAbort) SetOutOfMemoryFlag(true);
      c->aborted = true;
    } else {
      ++c->iterations;
      c->clock->Advance(kUnit);
      YieldIfDue();
    }
  }
  c->ended = true;
}

class Threads : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTimersForTests();
    ResetThreadsForTests();
    ResetMemoryBudgetForTest();
    ASSERT_EQ(ElapsedTimerUnits(), 0u);  // the time base starts at the fake's reading
  }
  void TearDown() override {
    ShutdownThreads();
    EXPECT_TRUE(CoopLiveWorkers().empty());
    EXPECT_EQ(LiveThreadClosures(), 0);
    CoopInjectCreateFailures(0);
    ResetTimersForTests();
    ResetMemoryBudgetForTest();
  }
  // Counters live in the fixture: TearDown's shut-down may still run their workers.
  Counter& Start(int limit, bool honoursAbort = true) {
    Counter& c = counters.emplace_back(Counter{&clock, limit, honoursAbort});
    ids.push_back(StartThread(CountingWorker, &c));
    return c;
  }
  FakeClock clock{5000000};
  std::deque<Counter> counters;
  std::deque<ThreadId> ids;
};

// Also with the deadline past the wrap of the timer units.
TEST_F(Threads, EachIdleCallGivesTheWorkerOneInterval) {
  for (uint32_t startUnits : {0u, 0xFFFFFFFFu - 100}) {
    clock.Advance(uint64_t{startUnits - ElapsedTimerUnits()} * kUnit);
    Counter& c = Start(10 * kSlice);
    EXPECT_EQ(c.iterations, 0);  // starting does not run it
    YieldThreadsTimed();
    EXPECT_EQ(c.iterations, kSlice);
    EXPECT_EQ(YieldDeadline(), startUnits + kSlice);
    YieldThreadsTimed();
    EXPECT_EQ(c.iterations, 2 * kSlice);
    EXPECT_FALSE(c.sawMainThread);
    YieldToThreadAborting(ids.back());
  }
}

// With the out-of-memory or the explicit-yield flag up, YieldIfDue does not yield however
// late it is, and the deadline stays where the idle call put it.
TEST_F(Threads, YieldIfDueHoldsStillUnderEitherFlag) {
  for (int flag = 0; flag < 2; ++flag) {
    SCOPED_TRACE(flag == 0 ? "out-of-memory flag" : "explicit-yield flag");
    Counter& c = Start(3 * kSlice, /*honoursAbort=*/false);
    YieldThreadsTimed();
    ASSERT_EQ(c.iterations, kSlice);
    const uint32_t deadline = YieldDeadline();
    if (flag == 0) {
      SetOutOfMemoryFlag(true);
      CoopYieldTo(ids.back());  // a plain yield: the flag alone keeps the worker going
      SetOutOfMemoryFlag(false);
    } else {
      YieldToThreadToFinish(ids.back());
      EXPECT_TRUE(ExplicitYieldFlag());
    }
    EXPECT_TRUE(c.ended);
    EXPECT_EQ(c.iterations, 3 * kSlice);
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
    Counter& c = Start(50 * kSlice);
    c.exhaustsOnAbort = row.exhausts;
    YieldThreadsTimed();
    SetOutOfMemoryFlag(row.before);
    YieldToThreadAborting(ids.back());
    EXPECT_TRUE(c.aborted && c.ended);
    EXPECT_EQ(c.iterations, kSlice);  // stopped at its first check
    EXPECT_EQ(GetOutOfMemoryFlag(), row.after);
    YieldToThreadAborting(ids.back());  // ended: returns at once, the flag as it was
    EXPECT_EQ(GetOutOfMemoryFlag(), row.after);
    SetOutOfMemoryFlag(false);
  }
}

TEST_F(Threads, FailedCreationRunsTheWorkAtOnceAndLeaksNothing) {
  for (bool refuseClosure : {false, true}) {
    SCOPED_TRACE(refuseClosure ? "closure refused" : "thread refused");
    const size_t bytesBefore = GetBytesInUse();
    if (refuseClosure) FailAllocationAt(1); else CoopInjectCreateFailures(1);
    Counter& c = Start(3 * kSlice);
    FailAllocationAt(0);
    EXPECT_EQ(ids.back(), 0u);
    EXPECT_TRUE(c.ended && c.sawMainThread);
    EXPECT_EQ(c.iterations, 3 * kSlice);
    EXPECT_EQ(LiveThreadClosures(), 0);
    EXPECT_EQ(GetBytesInUse(), bytesBefore);
  }
  EXPECT_EQ(StartThread(nullptr, nullptr), 0u);
}

// The shell's quit path: running and unstarted workers leave through the abort flag, and
// every closure is freed.
TEST_F(Threads, KernelShutdownAbortsEveryWorkerAndFreesEveryClosure) {
  Counter& running = Start(50 * kSlice);
  YieldThreadsTimed();
  Counter& unstarted = Start(50 * kSlice);
  EXPECT_EQ(LiveThreadClosures(), 2);
  ShutdownApplicationKernel();
  EXPECT_TRUE(CoopLiveWorkers().empty());
  EXPECT_EQ(LiveThreadClosures(), 0);
  EXPECT_TRUE(running.aborted && running.ended && unstarted.aborted);
  EXPECT_EQ(unstarted.iterations, 0);
  EXPECT_FALSE(GetOutOfMemoryFlag());
}

// Recurses with 1 KiB frames until the short-stack test answers; returns the depth.
int DescendUntilShort(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  if (IsMemoryShort() || depth > 100000) return depth;
  const int reached = DescendUntilShort(depth + 1);
  (void)frame[0];  // keeps the frame alive across the call
  return reached;
}

// The descent stops near the end of the worker's own stack: not at once (the main thread's
// bounds) and not by overflowing. TLS may sit at the top of the stack.
TEST_F(Threads, ShortStackTestReadsTheWorkersOwnStack) {
  static size_t remainingAtTop;
  static int depth;
  static bool flagRaised;
  YieldToThreadToFinish(StartThread(
      [](void*) {
        remainingAtTop = RemainingStackBytes();
        depth = DescendUntilShort(0);
        flagRaised = GetOutOfMemoryFlag();
        SetOutOfMemoryFlag(false);
      },
      nullptr));
  EXPECT_TRUE(remainingAtTop <= kWorkerStackBytes && remainingAtTop > kWorkerStackBytes / 2);
  EXPECT_TRUE(depth > int{kWorkerStackBytes / 2 / 2048} && depth < 100000) << depth;
  EXPECT_TRUE(flagRaised);
}

}  // namespace
