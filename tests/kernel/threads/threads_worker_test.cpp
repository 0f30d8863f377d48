// A preparation-style worker interleaved with the main thread: it copies and rewrites
// expression trees with YieldIfDue in its loops while the main thread builds and frees
// trees from the same node pools, reads the worker's progress and finally finishes or
// aborts it. Run under TSan by the thread stage: the baton must order every access.
#include <gtest/gtest.h>

#include <deque>

#include "kernel/memory/memory_shortage.h"
#include "kernel/trees/expr_node.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/trees/node_kinds.h"
#include "kernel/threads/threads.h"
#include "kernel/threads/timers.h"
#include "platform/clock.h"
#include "platform/coop_threads.h"
#include "tests/kernel/threads/threads_test_support.h"

namespace {

constexpr uint64_t kUnit = uint64_t{1} << 16;
constexpr int kLeaves = 2048;  // a balanced plus tree of 4095 nodes

struct Job {
  FakeClock* clock = nullptr;
  const ExprNode* source = nullptr;
  int rounds = 0;
  int roundsDone = 0;
  double lastSum = 0;
  bool copiesAgreed = true;
  bool aborted = false;
  bool ended = false;
};

bool Aborting() { return GetOutOfMemoryFlag(); }

// One unit of fake time per visited node, then the yield point.
void Step(Job* job) {
  job->clock->Advance(kUnit);
  YieldIfDue();
}

// Rewrites in place, post-order: every number v becomes 2v + 1 and every plus node swaps
// its operands. False when an abort request stopped it part-way.
bool Rewrite(ExprNode* root, Job* job) {
  TreeCursor cursor(root, WalkOrder::kPostOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    Step(job);
    if (Aborting()) return false;
    if (n->kind == KindNum) {
      n->value.number->value = 2 * n->value.number->value + 1;
    } else if (n->kind == KindPlus && n->arity == 2) {
      ExprNode* t = n->children[0];
      SetChild(n, 0, n->children[1]);
      SetChild(n, 1, t);
    }
  }
  return true;
}

double SumOfNumbers(ExprNode* root) {
  double sum = 0;
  TreeCursor cursor(root, WalkOrder::kPostOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind == KindNum) sum += n->value.number->value;
  }
  return sum;
}

void PrepareWorker(void* raw) {
  auto* job = static_cast<Job*>(raw);
  for (int r = 0; r < job->rounds && !Aborting(); ++r) {
    ExprNode* copy = CopyExpression(job->source);
    if (copy == nullptr || Aborting()) {
      FreeExpression(copy);
      break;
    }
    if (Rewrite(copy, job)) {
      ExprNode* again = CopyExpression(copy);
      job->copiesAgreed = job->copiesAgreed && ExpressionsEqual(copy, again) &&
                          CheckExpressionTree(copy) && CheckExpressionTree(again);
      job->lastSum = SumOfNumbers(again);
      FreeExpression(again);
      ++job->roundsDone;
    }
    FreeExpression(copy);
  }
  job->aborted = Aborting();
  job->ended = true;
}

// Numbers lo..hi-1 summed by a balanced tree of plus nodes.
ExprNode* BuildSum(int lo, int hi) {
  if (hi - lo == 1) return NewNumberNode(lo);
  const int mid = (lo + hi) / 2;
  return NewBinaryNode(KindPlus, BuildSum(lo, mid), BuildSum(mid, hi));
}

class ThreadsWorker : public CoopWorkerTest {
 protected:
  void SetUp() override {
    CoopWorkerTest::SetUp();
    SetOutOfMemoryFlag(false);
    blocksBefore = NodePoolBlocksInUse();
    ElapsedTimerUnits();
    source = BuildSum(0, kLeaves);
    ASSERT_NE(source, nullptr);
    ASSERT_EQ(CountSubtreeNodes(source), 2 * kLeaves - 1);
  }
  void TearDown() override {
    CoopWorkerTest::TearDown();
    FreeExpression(source);
    EXPECT_EQ(NodePoolBlocksInUse(), blocksBefore);
    SetOutOfMemoryFlag(false);
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
  ExprNode* source = nullptr;
  size_t blocksBefore = 0;
};

// Sum over v = 0..2047 of (2v + 1) = 2048^2 (hand-computed: the first n odd numbers).
constexpr double kRewrittenSum = double{kLeaves} * kLeaves;

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
    // The main thread's own trees come from the same pools between slices.
    ExprNode* scratch = NewBinaryNode(KindTimes, NewNumberNode(slices), NewNumberNode(2));
    ASSERT_NE(scratch, nullptr);
    FreeExpression(scratch);
    EXPECT_GE(a.roundsDone + b.roundsDone, lastSeen);
    lastSeen = a.roundsDone + b.roundsDone;
    ASSERT_LT(slices, 1000);
  }
  // Each round visits 4095 yield points; one slice is 2536 of them for the first worker.
  EXPECT_GE(slices, 3);
  EXPECT_EQ(a.roundsDone, 3);
  EXPECT_EQ(b.roundsDone, 2);
  EXPECT_EQ(a.lastSum, kRewrittenSum);
  EXPECT_EQ(b.lastSum, kRewrittenSum);
  EXPECT_TRUE(a.copiesAgreed);
  EXPECT_TRUE(b.copiesAgreed);
  EXPECT_TRUE(CheckExpressionTree(source));
  EXPECT_EQ(SumOfNumbers(source), double{kLeaves} * (kLeaves - 1) / 2);  // untouched
}

TEST_F(ThreadsWorker, AbortPartWayLeavesNoNodesAndFinishRunsToTheEnd) {
  Job& aborted = NewJob(100);
  Job& finished = NewJob(2);
  const ThreadId ida = StartThread(PrepareWorker, &aborted);
  const ThreadId idf = StartThread(PrepareWorker, &finished);
  for (int i = 0; i < 3; ++i) YieldThreadsTimed();
  EXPECT_GT(NodePoolBlocksInUse(), blocksBefore + 2 * kLeaves);  // partial copies alive
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
