// A preparation-style worker interleaved with the main thread: it copies and rewrites
// trees of counted blocks with YieldIfDue in its loops while the main thread allocates,
// reads the worker's progress and finally finishes or aborts it. Run under TSan by the
// thread stage: the baton must order every shared access.
#include <gtest/gtest.h>

#include <deque>

#include "kernel/app_services.h"
#include "kernel/memory_budget.h"
#include "kernel/threads.h"
#include "kernel/timers.h"
#include "platform/clock.h"
#include "platform/coop_threads.h"

namespace {

constexpr uint64_t kUnit = uint64_t{1} << 16;

struct Node {
  double value;
  Node* kids[2];
};

struct Job {
  FakeClock* clock = nullptr;
  const Node* source = nullptr;
  int rounds = 0;
  int roundsDone = 0;
  double lastSum = 0;
  bool aborted = false;
  bool ended = false;
};

bool Aborting() { return GetOutOfMemoryFlag(); }

void Step(Job* job) {
  job->clock->Advance(kUnit);
  YieldIfDue();
}

Node* NewLeafOrPair(double value, Node* a, Node* b) {
  auto* n = static_cast<Node*>(AllocMemory(sizeof(Node)));
  if (n == nullptr) return nullptr;
  *n = Node{value, {a, b}};
  return n;
}

void FreeTree(Node* n) {
  if (n == nullptr) return;
  FreeTree(n->kids[0]);
  FreeTree(n->kids[1]);
  FreeMemory(n);
}

// Deep copy with a yield point at every node; null when aborted part-way (nothing leaks).
Node* CopyTree(const Node* n, Job* job) {
  if (n == nullptr) return nullptr;
  Step(job);
  if (Aborting()) return nullptr;
  Node* a = CopyTree(n->kids[0], job);
  Node* b = CopyTree(n->kids[1], job);
  Node* copy = (n->kids[0] != nullptr && a == nullptr) || (n->kids[1] != nullptr && b == nullptr)
                   ? nullptr
                   : NewLeafOrPair(n->value, a, b);
  if (copy == nullptr) {
    FreeTree(a);
    FreeTree(b);
  }
  return copy;
}

// Rewrites in place: children swapped, every value v becomes 2v + 1.
void Rewrite(Node* n, Job* job) {
  if (n == nullptr || Aborting()) return;
  Step(job);
  Node* t = n->kids[0];
  n->kids[0] = n->kids[1];
  n->kids[1] = t;
  n->value = 2 * n->value + 1;
  Rewrite(n->kids[0], job);
  Rewrite(n->kids[1], job);
}

double Sum(const Node* n) { return n == nullptr ? 0 : n->value + Sum(n->kids[0]) + Sum(n->kids[1]); }

void PrepareWorker(void* raw) {
  auto* job = static_cast<Job*>(raw);
  for (int r = 0; r < job->rounds && !Aborting(); ++r) {
    Node* copy = CopyTree(job->source, job);
    if (copy != nullptr) {
      Rewrite(copy, job);
      job->lastSum = Sum(copy);
      FreeTree(copy);
      if (!Aborting()) ++job->roundsDone;
    }
  }
  job->aborted = Aborting();
  job->ended = true;
}

// A full tree of the given depth whose node values are 0, 1, 2, ... in pre-order.
Node* BuildTree(int depth, double* next) {
  if (depth == 0) return nullptr;
  const double v = (*next)++;
  Node* a = BuildTree(depth - 1, next);
  Node* b = BuildTree(depth - 1, next);
  return NewLeafOrPair(v, a, b);
}

class ThreadsWorker : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetTimersForTests();
    ResetThreadsForTests();
    ResetMemoryBudgetForTest();
    SetOutOfMemoryFlag(false);
    baseline = GetBytesInUse();
    ElapsedTimerUnits();
    double next = 0;
    source = BuildTree(12, &next);  // 4095 nodes, values 0..4094
    ASSERT_NE(source, nullptr);
  }
  void TearDown() override {
    ShutdownThreads();
    FreeTree(source);
    EXPECT_EQ(GetBytesInUse(), baseline);
    EXPECT_EQ(LiveThreadClosures(), 0);
    SetOutOfMemoryFlag(false);
    ResetTimersForTests();
  }
  Job& NewJob(int rounds) {
    Job& job = jobs.emplace_back();
    job.clock = &clock;
    job.source = source;
    job.rounds = rounds;
    return job;
  }

  FakeClock clock{42};
  std::deque<Job> jobs;
  Node* source = nullptr;
  size_t baseline = 0;
};

// Sum over 0..4094 of (2v + 1) = 2 x 4094 x 4095 / 2 + 4095 (hand-computed).
constexpr double kRewrittenSum = 4094.0 * 4095.0 + 4095.0;

TEST_F(ThreadsWorker, TwoWorkersInterleaveWithMainAndFinish) {
  Job& a = NewJob(3);
  Job& b = NewJob(2);
  StartThread(PrepareWorker, &a);
  StartThread(PrepareWorker, &b);
  int slices = 0;
  int lastSeen = 0;
  while (!(a.ended && b.ended)) {
    YieldThreadsTimed();
    ++slices;
    // The main thread's own allocations between slices share the budget count.
    void* scratch = AllocMemory(64);
    ASSERT_NE(scratch, nullptr);
    FreeMemory(scratch);
    EXPECT_GE(a.roundsDone + b.roundsDone, lastSeen);
    lastSeen = a.roundsDone + b.roundsDone;
    ASSERT_LT(slices, 1000);
  }
  // Each round visits 3 x 4095 yield points; one slice is 2536 of them per worker.
  EXPECT_GT(slices, 10);
  EXPECT_EQ(a.roundsDone, 3);
  EXPECT_EQ(b.roundsDone, 2);
  EXPECT_EQ(a.lastSum, kRewrittenSum);
  EXPECT_EQ(b.lastSum, kRewrittenSum);
}

TEST_F(ThreadsWorker, AbortPartWayLeavesNoBlocksAndFinishRunsToTheEnd) {
  Job& aborted = NewJob(100);
  Job& finished = NewJob(2);
  const ThreadId ida = StartThread(PrepareWorker, &aborted);
  const ThreadId idf = StartThread(PrepareWorker, &finished);
  for (int i = 0; i < 3; ++i) YieldThreadsTimed();
  EXPECT_GT(GetBytesInUse(), baseline);  // partial copies are alive
  YieldToThreadAborting(ida);
  EXPECT_TRUE(aborted.ended);
  EXPECT_TRUE(aborted.aborted);
  EXPECT_FALSE(GetOutOfMemoryFlag());
  EXPECT_FALSE(finished.ended);
  YieldToThreadToFinish(idf);
  EXPECT_TRUE(finished.ended);
  EXPECT_FALSE(finished.aborted);
  EXPECT_EQ(finished.roundsDone, 2);
  EXPECT_EQ(finished.lastSum, kRewrittenSum);
}

// Recurses until the short-stack test answers; returns the depth reached.
int DescendUntilShort(int depth) {
  volatile char frame[1024];
  frame[0] = static_cast<char>(depth);
  if (IsMemoryShort() || depth > 100000) return depth;
  const int reached = DescendUntilShort(depth + 1);
  (void)frame[0];  // keeps the frame alive across the call
  return reached;
}

struct StackProbe {
  size_t remainingAtTop = 0;
  int depth = 0;
  bool flagRaised = false;
};

void ProbeStack(void* raw) {
  auto* p = static_cast<StackProbe*>(raw);
  p->remainingAtTop = RemainingStackBytes();
  p->depth = DescendUntilShort(0);
  p->flagRaised = GetOutOfMemoryFlag();
  SetOutOfMemoryFlag(false);
}

TEST_F(ThreadsWorker, ShortStackTestReadsTheWorkersOwnStack) {
  StackProbe probe;
  YieldToThreadToFinish(StartThread(ProbeStack, &probe));
  EXPECT_LE(probe.remainingAtTop, kWorkerStackBytes);
  EXPECT_GT(probe.remainingAtTop, kWorkerStackBytes / 2);  // TLS may sit at the top
  // The descent stopped near the end of the worker's stack, not at once and not by
  // overflowing: at least 1 KiB a frame over most of the stack.
  EXPECT_GT(static_cast<size_t>(probe.depth), (kWorkerStackBytes / 2) / 2048);
  EXPECT_LT(probe.depth, 100000);
  EXPECT_TRUE(probe.flagRaised);
}

}  // namespace
