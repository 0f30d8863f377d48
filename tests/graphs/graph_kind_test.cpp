// The graph bases and what every view shares: the value cache's exact-key rows and its clear back
// to the budget's baseline, the base defaults, deletion through a base pointer, and the timed tick
// (deadline across the timer's wrap, many small budgets finishing what one large one does).
#include <cmath>

#include "graphs/graph_kind.h"
#include "graphs/graph_view.h"
#include "graphs/value_cache.h"
#include "kernel/threads/timers.h"
#include "tests/graphs/graph_fakes.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::FakeGraph;

class GraphKindTest : public graphs_test::GraphsTest {
 protected:
  void SetUp() override {
    GraphsTest::SetUp();
    ResetTimersForTests();
  }
  void TearDown() override {
    ResetTimersForTests();
    GraphsTest::TearDown();
  }
};

TEST_F(GraphKindTest, ValueCacheFindsTheFirstExactKeyAndClearsBackToBaseline) {
  ValueCache cache;
  EXPECT_EQ(ValueCacheFind(cache, 1.0), nullptr);
  const size_t baseline = GetBytesInUse();
  Handle h1 = AllocTempHandle(64), h2 = AllocTempHandle(64), h3 = AllocTempHandle(64), hNaN = AllocTempHandle(8);
  ASSERT_TRUE(ValueCacheAdd(cache, 1.0, h1) && ValueCacheAdd(cache, 2.0, h2) && ValueCacheAdd(cache, 1.0, h3) &&
              ValueCacheAdd(cache, std::nan(""), hNaN));
  EXPECT_TRUE(CheckValueCache(cache));
  EXPECT_EQ(ValueCacheFind(cache, 1.0), h1);
  EXPECT_EQ(FindCachedFrame(cache, 2.0), h2);
  EXPECT_EQ(ValueCacheFind(cache, std::nan("")), nullptr);  // even with a NaN-keyed row
  EXPECT_EQ(ValueCacheFind(cache, 3.0), nullptr);
  ValueCacheClear(cache);
  EXPECT_EQ(GetBytesInUse(), baseline);
  EXPECT_TRUE(CheckValueCache(cache));
  ValueCacheClear(cache);  // an empty cache stays empty and usable
  Handle again = AllocTempHandle(16);
  ASSERT_TRUE(ValueCacheAdd(cache, 5.0, again));
  EXPECT_EQ(ValueCacheFind(cache, 5.0), again);
  ClearFrameCache(cache);
  EXPECT_EQ(cache.count, 0);
}

TEST_F(GraphKindTest, ValueCacheAddThatCannotGrowLeavesTheHandleWithTheCaller) {
  ValueCache cache;
  Handle h = AllocTempHandle(32);
  FailAllocationAt(1);
  EXPECT_FALSE(ValueCacheAdd(cache, 1.0, h));
  EXPECT_EQ(cache.count, 0);
  DisposeCountedHandle(h);
}

class Minimal3D : public GraphKind3D {
 public:
  explicit Minimal3D(int* deletions) : block_(AllocTempHandle(256)), deletions_(deletions) {}
  ~Minimal3D() override {
    DisposeCountedHandle(block_);
    ++*deletions_;
  }
  void Compute(int32_t) override {}
  bool Draw() override { return true; }
  int32_t Status() override { return 0; }
  void VariableChanged(int32_t, double) override {}
  void SetOption(int32_t, double) override {}
  void Invalidate() override {}
  bool IsComplete() override { return true; }
  double Extent() override { return 1.0; }

 private:
  Handle block_;
  int* deletions_;
};

TEST_F(GraphKindTest, BaseDefaultsAndDeletionThroughTheBase) {
  FakeGraph flat;
  EXPECT_EQ(flat.HitClass(), 2);
  EXPECT_EQ(flat.NearestPoint(0, 0, 1, -INFINITY, INFINITY).found, 0);
  int deletions = 0;
  const size_t baseline = GetBytesInUse();
  GraphKind* graph = new Minimal3D(&deletions);
  EXPECT_FALSE(static_cast<GraphKind3D*>(graph)->IsTransparent());
  delete graph;
  EXPECT_EQ(deletions, 1);
  EXPECT_EQ(GetBytesInUse(), baseline);

  ProbeRecord probe;
  for (double& a : probe.aux) a = 7.0;
  probe.mode = 9;
  InitProbeRecord(&probe);
  EXPECT_EQ(probe.mode, 0u);
  EXPECT_EQ(probe.aux[1], 7.0);  // the first two aux values are kept
  EXPECT_EQ(probe.aux[2], 0.0);
}

// Computes a list of graphs to completion with ticks of the given budget; returns the ticks.
int TicksToFinish(GraphList& graphs, int32_t budget) {
  int ticks = 0;
  while (!AllGraphsComplete(graphs) && ticks < 1000) {
    TickGraphList(graphs, budget);
    ++ticks;
  }
  return ticks;
}

TEST_F(GraphKindTest, TickStopsAtTheDeadlineAndSmallBudgetsFinishTheSameWork) {
  FakeClock clock;
  const int32_t works[] = {5, 0, 7, 3};
  for (int32_t budget : {100, 1, 2, 3, 5}) {
    GraphList graphs;
    for (int32_t work : works) ASSERT_TRUE(PtrArrayAppend(graphs, static_cast<GraphKind*>(new FakeGraph(work))));
    ASSERT_TRUE(GrowArrayAppend(graphs, static_cast<GraphKind*>(nullptr)));  // skipped
    EXPECT_LT(TicksToFinish(graphs, budget), 1000) << budget;
    for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(static_cast<FakeGraph*>(graphs.data[i])->Left(), 0) << budget;
    DeleteGraphList(graphs);
    EXPECT_EQ(graphs.count, 0);
  }
  GraphList graphs;
  FakeGraph* first = new FakeGraph(5);
  FakeGraph* second = new FakeGraph(5);
  ASSERT_TRUE(PtrArrayAppend(graphs, static_cast<GraphKind*>(first)) &&
              PtrArrayAppend(graphs, static_cast<GraphKind*>(second)));
  TickGraphList(graphs, 3);  // the first spends the whole budget: the second is not called
  EXPECT_EQ(first->Left(), 2);
  EXPECT_EQ(second->computes, 0);
  TickGraphList(graphs, 0);
  TickGraphList(graphs, -4);
  EXPECT_EQ(first->computes, 1);
  DeleteGraphList(graphs);
}

TEST_F(GraphKindTest, TickDeadlinesHoldAcrossTheTimerWrap) {
  FakeClock clock;
  ElapsedTimerUnits();                  // the start
  graphs_test::SpendUnits((int64_t(1) << 32) - 2);  // two units before the wrap
  GraphList graphs;
  FakeGraph* graph = new FakeGraph(3);
  ASSERT_TRUE(PtrArrayAppend(graphs, static_cast<GraphKind*>(graph)));
  TickGraphList(graphs, 10);  // the deadline lies past the wrap
  EXPECT_TRUE(graph->IsComplete());
  DeleteGraphList(graphs);
}

}  // namespace
