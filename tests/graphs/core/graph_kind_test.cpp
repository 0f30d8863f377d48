// The graph bases and what every view shares: the value cache's exact-key rows and its clear back
// to the budget's baseline, the base defaults, deletion through a base pointer, and the timed tick
// (deadline across the timer's wrap, many small budgets finishing what one large one does), and
// what a 3D or 4D range may be, where the space views' zoom stops.
#include <cmath>

#include "graphs/core/graph_view.h"
#include "graphs/core/value_cache.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::FakeGraph;

class GraphKindTest : public graphs_test::GraphsTest {};

TEST_F(GraphKindTest, ValueCacheFindsTheFirstExactKeyAndClearsBackToBaseline) {
  ValueCache cache;
  EXPECT_EQ(ValueCacheFind(cache, 1.0), nullptr);
  const size_t baseline = GetBytesInUse();
  Handle h1 = AllocTempHandle(64), h2 = AllocTempHandle(64), h3 = AllocTempHandle(64), hNaN = AllocTempHandle(8);
  ASSERT_TRUE(ValueCacheAdd(cache, 1.0, h1) && ValueCacheAdd(cache, 2.0, h2) && ValueCacheAdd(cache, 1.0, h3) &&
              ValueCacheAdd(cache, std::nan(""), hNaN));
  EXPECT_TRUE(CheckValueCache(cache) && ValueCacheFind(cache, 1.0) == h1 && FindCachedFrame(cache, 2.0) == h2);
  EXPECT_EQ(ValueCacheFind(cache, std::nan("")), nullptr);  // even with a NaN-keyed row
  ValueCacheClear(cache);
  EXPECT_EQ(GetBytesInUse(), baseline);
  ValueCacheClear(cache);  // an empty cache stays empty and usable
  Handle again = AllocTempHandle(16);
  FailAllocationAt(1);  // a refused growth leaves the handle with the caller
  EXPECT_FALSE(ValueCacheAdd(cache, 5.0, again));
  ASSERT_TRUE(ValueCacheAdd(cache, 5.0, again));
  EXPECT_EQ(ValueCacheFind(cache, 5.0), again);
  ClearFrameCache(cache);
  EXPECT_TRUE(CheckValueCache(cache) && cache.count == 0);
}

TEST_F(GraphKindTest, BaseDefaultsAndDeletionThroughTheBase) {
  FakeGraph flat;
  EXPECT_EQ(flat.HitClass(), 2);
  EXPECT_EQ(flat.NearestPoint(0, 0, 1, -INFINITY, INFINITY).found, 0);
  int deletions = 0;
  const size_t baseline = GetBytesInUse();
  auto* derived = new graphs_test::FakeGraph3D(0, &deletions);
  derived->owned = AllocTempHandle(256);
  GraphKind3D* graph = derived;
  EXPECT_FALSE(graph->IsTransparent());
  delete graph;
  EXPECT_TRUE(deletions == 1 && GetBytesInUse() == baseline);
  ProbeRecord probe{1, 2, 3, {7, 7, 7, 7, 7, 7, 7, 7, 7, 7}, 4, 9, 1, nullptr, nullptr};
  InitProbeRecord(&probe);
  EXPECT_TRUE(probe.mode == 0 && probe.aux[1] == 7.0 && probe.aux[2] == 0.0);  // aux[0..1] are kept
}

TEST_F(GraphKindTest, TickStopsAtTheDeadlineAndSmallBudgetsFinishTheSameWork) {
  FakeClock clock;
  for (int32_t budget : {100, 1, 2, 3, 5}) {
    GraphList graphs;
    for (int32_t work : {5, 0, 7, 3}) ASSERT_TRUE(PtrArrayAppend(graphs, static_cast<GraphKind*>(new FakeGraph(work))));
    ASSERT_TRUE(GrowArrayAppend(graphs, static_cast<GraphKind*>(nullptr)));  // skipped
    for (int ticks = 0; !AllGraphsComplete(graphs); ++ticks) {
      ASSERT_LT(ticks, 100) << budget;
      TickGraphList(graphs, budget);
    }
    DeleteGraphList(graphs);
    EXPECT_EQ(graphs.count, 0);
  }
  GraphList graphs;
  FakeGraph* first = new FakeGraph(5);
  FakeGraph* second = new FakeGraph(5);
  ASSERT_TRUE(PtrArrayAppend(graphs, static_cast<GraphKind*>(first)) &&
              PtrArrayAppend(graphs, static_cast<GraphKind*>(second)));
  TickGraphList(graphs, 3);  // the first spends the whole budget: the second is not called
  TickGraphList(graphs, 0);
  TickGraphList(graphs, -4);
  EXPECT_TRUE(first->left == 2 && first->computes == 1 && second->computes == 0);
  // Two units before the timer wraps, a deadline past the wrap is still honoured.
  ElapsedTimerUnits();
  graphs_test::SpendUnits((int64_t(1) << 32) - 2 - int64_t(ElapsedTimerUnits()));
  TickGraphList(graphs, 10);
  EXPECT_TRUE(first->IsComplete());
  DeleteGraphList(graphs);
}

// Row values as the kinds read them: the grain into 0..1 (NaN the default 0.5), so no document
// value reaches the grid formulas outside the range they hold for; the level count 4..24 of it;
// indexes truncated toward zero and saturated, NaN the most negative.
TEST_F(GraphKindTest, RowValuesAreClampedAndTruncatedWithoutOverflow) {
  const struct { double grain, clamped; int32_t levels; } grains[] = {
      {0.0, 0.0, 4},  {1.0, 1.0, 24},    {0.5, 0.5, 14},  {0.3, 0.3, 10}, {-0.2, 0.0, 4}, {-7.0, 0.0, 4},
      {1.5, 1.0, 24}, {1e300, 1.0, 24}, {-INFINITY, 0.0, 4}, {INFINITY, 1.0, 24}, {NAN, 0.5, 14}};
  for (const auto& g : grains) {
    EXPECT_EQ(ClampGrain(g.grain), g.clamped) << g.grain;
    EXPECT_EQ(LevelCountOfGrain(g.grain), g.levels) << g.grain;
  }
  const struct { double value; int32_t truncated; } values[] = {
      {2.9, 2}, {-2.9, -2}, {1e12, INT32_MAX}, {-1e12, INT32_MIN}, {NAN, INT32_MIN}, {2147483647.0, INT32_MAX}};
  for (const auto& v : values) EXPECT_EQ(TruncateToInt32(v.value), v.truncated) << v.value;
}

}  // namespace

namespace {

// What a 3D box or a 4D axis range may be (the graphs' vertices are floats): edges by hand at the
// bounds 1e30 and 1e-30 and at 2^-16 of the larger bound; and the zoom of the space views stops
// where the range it would give is no longer usable, the ranges and the redraws untouched.
TEST(SpaceRangeTest, UsableRangesAndAZoomThatStopsAtTheirEdge) {
  const struct { double low, high; bool usable; } cases[] = {
      {-2, 2, true},           {-1e30, 1e30, true},      {-1.0000001e30, 0, false},  {0, 1e-30, true},
      {0, 0.99e-30, false},    {1, 1 + 0x1p-15, true},   {1, 1 + 0x1p-16, false},    {-1e10, -1e10 + 2e5, true},
      {2, 2, false},           {2, -2, false},           {0, HUGE_VAL, false},       {std::nan(""), 1, false},
      {-1.7e308, 1.7e308, false}};
  for (const auto& c : cases) EXPECT_EQ(IsUsableSpaceRange(c.low, c.high), c.usable) << c.low << " " << c.high;
  double ranges[4] = {-2, 2, -1e29, 1e29};
  int redraws = 0;
  ZoomRangePairs(ranges, 2, 0.8, 0.5, [&] { ++redraws; });  // zoom in: -1..1, -5e28..5e28
  EXPECT_TRUE(redraws == 3 && ranges[0] == -1 && ranges[1] == 1 && ranges[3] == 5e28);
  for (int k = 0; k < 2; ++k) ZoomRangePairs(ranges, 2, 1.25, 2.0, [&] { ++redraws; });  // out: 1e29, then 2e29
  EXPECT_TRUE(redraws == 9 && ranges[0] == -4 && ranges[3] == 2e29);
  for (int k = 0; k < 5; ++k) ZoomRangePairs(ranges, 2, 1.25, 2.0, [&] { ++redraws; });  // 4e29, 8e29, then stops
  EXPECT_TRUE(redraws == 15 && ranges[3] == 8e29 && ranges[0] == -16) << redraws << " " << ranges[3];
}

}  // namespace
