// The integral curves: seed spacing of the grain, the probe of y' = y against e^x (the exact
// solution), the seed rows of y' = 0 worked out by hand on a 400 x 400 map, the 1000-point cap,
// rest points, the circles of y' = -x/y without zigzags, even spread, and the edges of the
// occupancy grid under the sanitizers (phases at their extremes, a grain change, grain 2).
#include "graphs/kinds2d/slope_field_graph.h"

#include <cmath>
#include <string>

#include "graphs/core/graph_color.h"
#include "kernel/eval/compiled_function.h"
#include "tests/graphs/graphs_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;

class SlopeFieldTest : public graphs_test::OneGraphTest<GraphSlopeField2D> {
 protected:
  GraphSlopeField2D* Field(const char* slope, const char* dydt = nullptr, double grain = 1) {
    return TakeComputed(new GraphSlopeField2D(FunctionOf(slope), dydt != nullptr ? FunctionOf(dydt) : nullptr,
                                              new GraphColor(nullptr), grain, &map));
  }
  // Every point of every curve.
  template <typename Visit>
  void ForEachPoint(Visit visit) const {
    for (int32_t i = 0; i < graph->CurveCount(); ++i) {
      const CurvePoints* c = graph->Curve(i);
      for (int32_t k = 0; k < c->count; ++k) visit(i, k, c->data[k]);
    }
  }
};

// 200 - 150 q seeds a cell (q clamped, NaN 0.5), times the map's factor.
TEST_F(SlopeFieldTest, SeedSpacingOfTheGrain) {
  const struct {
    double q;
    int32_t factor, cell;
  } cases[] = {{1, 1, 50}, {0, 1, 200}, {1, 2, 100}, {0, 2, 400}, {0.5, 1, 125}, {NAN, 1, 125}, {2, 1, 50}, {-1, 1, 200}};
  for (const auto& c : cases) EXPECT_EQ(SeedCellSizeOfGrain(c.q, c.factor), c.cell) << c.q;
  SetViewMap(&map, MakeRect(0, 0, 400, 400), 200, 199, 64, -64, 2, 2);
  EXPECT_EQ(Field("0", nullptr, 1)->CellSize(), 100);
}

// y' = y through (0, 1): the forward and backward solutions follow e^x within 1e-6 relative; a
// system's probe has the forward curve only.
TEST_F(SlopeFieldTest, ProbeOfYPrimeEqualsYFollowsTheExponential) {
  Field("y");
  ProbeRecord p = graph->Probe(0, 1);
  ASSERT_TRUE(p.mode == 10 && p.listA != nullptr && p.listB != nullptr);
  double worst = 0;
  int32_t points = 0;
  for (const CurvePoints* list : {p.listA, p.listB}) {
    for (int32_t k = 0; k < list->count; ++k) {
      const ProbePoint& q = list->data[k];
      worst = std::max(worst, std::fabs(q.y - std::exp(q.x)) / std::exp(q.x));
      ++points;
    }
  }
  EXPECT_LT(worst, 1e-6);
  EXPECT_GT(points, 100);
  EXPECT_GT(p.listA->data[p.listA->count - 1].x, 0.4);   // forwards: to the top edge
  EXPECT_LT(p.listB->data[p.listB->count - 1].x, -1.5);  // backwards: to the left edge
  DisposeProbeList(p.listA);
  DisposeProbeList(p.listB);
  Field("minus[y]", "x");
  p = graph->Probe(0.5, 0);
  EXPECT_TRUE(p.mode == 10 && p.listA != nullptr && p.listA->count > 10 && p.listB == nullptr);
  DisposeProbeList(p.listA);
}

// y' = 0 on 400 x 400 (origin at (200, 199)) at grain 1: phase (200 mod 50 - 6, (400 - 199) mod
// 50) = (-6, 1); seed rows at v = 399 - 50 (k - 1) for k = 1..8 lie inside: 2 curves each, the
// first seed of a row covers it, and its later seeds start nothing.
TEST_F(SlopeFieldTest, EachSeedRowOfAFlatFieldStartsTwoCurves) {
  SetViewMap(&map, MakeRect(0, 0, 400, 400), 200, 199, 64, -64, 1, 1);
  Field("0");
  EXPECT_TRUE(graph->PhaseX() == -6 && graph->PhaseY() == 1 && graph->Columns() == 11 && graph->Rows() == 10);
  EXPECT_EQ(graph->CurveCount(), 16);
  EXPECT_EQ(graph->SeedCount(), 8);
  ForEachPoint([&](int32_t i, int32_t, const ProbePoint& q) {
    EXPECT_EQ(WorldToPixelY(&map, q.y), 399 - 50 * (i / 2)) << i;
  });
}

// A curve stops at the view's edge, or after 1000 points in a view 1500 pixels wide; a system
// stops at its rest point (its last point there) and where it would pass one.
TEST_F(SlopeFieldTest, CurvesEndAtTheEdgeTheCapAndRestPoints) {
  SetViewMap(&map, MakeRect(0, 0, 1500, 100), 750, 49, 64, -64, 1, 1);
  Field("0");
  int32_t longest = 0;
  for (int32_t i = 0; i < graph->CurveCount(); ++i) longest = std::max(longest, graph->Curve(i)->count);
  EXPECT_EQ(longest, kMaxCurvePoints);
  SetViewMap(&map, MakeRect(0, 0, 200, 200), 100, 99, 64, -64, 1, 1);
  Field("minus[x]", "minus[y]");
  for (const auto& start : {ProbePoint{0.5, 0.25}, ProbePoint{0.3, -0.7}, ProbePoint{-1.2, 0.1}}) {
    ProbeRecord p = graph->Probe(start.x, start.y);
    ASSERT_NE(p.listA, nullptr);
    const ProbePoint& last = p.listA->data[p.listA->count - 1];
    EXPECT_LT(p.listA->count, kMaxCurvePoints);
    EXPECT_LT(std::hypot(last.x, last.y), 2.0 / 64) << start.x;
    DisposeProbeList(p.listA);
  }
}

// y' = -x/y: the circles. No step turns back by more than 90 degrees on the last one.
TEST_F(SlopeFieldTest, CirclesNeverZigzag) {
  Field("minus[over[x,y]]");
  ASSERT_GT(graph->CurveCount(), 4);
  int32_t reversals = 0, steps = 0;
  for (int32_t i = 0; i < graph->CurveCount(); ++i) {
    const CurvePoints* c = graph->Curve(i);
    for (int32_t k = 2; k < c->count; ++k) {
      const double ax = c->data[k - 1].x - c->data[k - 2].x, ay = c->data[k - 1].y - c->data[k - 2].y;
      const double bx = c->data[k].x - c->data[k - 1].x, by = c->data[k].y - c->data[k - 1].y;
      reversals += ax * bx + ay * by < 0;
      ++steps;
    }
  }
  EXPECT_EQ(reversals, 0);
  EXPECT_GT(steps, 500);
}

// A singular slope: y' = 1/(1000 (x - c)) with its pole 1e-5 short of the midpoint of the first
// step from (0, 0): that step's slope is shallow (-0.128) but its midpoint slopes are 100, which
// would carry it 66 pixels up. The step becomes the end of the curve instead; no step of any
// curve or probe reaches more than a pixel and a half across.
TEST_F(SlopeFieldTest, NoStepRunsAwayAtASingularSlope) {
  const double c = 0.5 / 64 - 1e-5;
  const std::string slope = "over[1,times[1000,plus[x,minus[" + std::to_string(c) + "]]]]";
  Field(slope.c_str());
  auto longest = [](const CurvePoints* list) {
    double most = 0;
    for (int32_t k = 1; k < list->count; ++k) {
      const double dh = (list->data[k].x - list->data[k - 1].x) * 64, dv = (list->data[k].y - list->data[k - 1].y) * 64;
      most = std::max(most, std::min(std::fabs(dh), std::fabs(dv)));
    }
    return most;
  };
  ProbeRecord p = graph->Probe(0, 0);
  ASSERT_NE(p.listA, nullptr);
  EXPECT_EQ(p.listA->count, 1);  // the first step ends it
  EXPECT_LE(longest(p.listB), 1.5);
  DisposeProbeList(p.listA);
  DisposeProbeList(p.listB);
  for (int32_t i = 0; i < graph->CurveCount(); ++i) EXPECT_LE(longest(graph->Curve(i)), 1.5) << i;
}

// Evenly spread: every seed point inside the view lies in a half cell some curve crossed, and far
// fewer curves start than there are seeds.
TEST_F(SlopeFieldTest, SolutionsSpreadEvenly) {
  Field("plus[sin[x],times[0.5,y]]");
  int32_t seeds = 0, uncovered = 0;
  const QDRect& f = map.frame;
  for (int32_t row = 0; row < graph->Rows(); ++row) {
    for (int32_t column = 0; column < graph->Columns(); ++column) {
      const int32_t h = (column - 1) * graph->CellSize() + graph->PhaseX() + f.left;
      const int32_t v = f.bottom - (row - 1) * graph->CellSize() - graph->PhaseY();
      if (h < f.left || h >= f.right || v < f.top || v >= f.bottom) continue;
      ++seeds;
      uncovered += graph->OccupancyAt(h, v) == 0;
    }
  }
  EXPECT_EQ(uncovered, 0);
  EXPECT_GT(seeds, 8);
  EXPECT_LT(graph->SeedCount(), seeds);
  EXPECT_EQ(graph->CurveCount(), 2 * graph->SeedCount());
}

// Scrolls and geometry changes start over.
TEST_F(SlopeFieldTest, ScrollAndGeometryChangeClearTheCurves) {
  Field("x");
  graph->Scroll(1, 0);
  EXPECT_TRUE(graph->CurveCount() == 0 && !graph->IsComplete());
  graph->Compute(kAll);
  graph->GeometryChanged();
  EXPECT_TRUE(graph->CurveCount() == 0 && !graph->IsComplete());
}

// The grid's edges under the sanitizers: the phases at their extremes (cs - 7 across, cs - 1 up)
// with curves through the left and bottom edges; a grain change after completion and a probe; a
// grain of 2. Points outside the half-cell grid are not counted; nothing is written outside it.
TEST_F(SlopeFieldTest, OccupancyStaysInsideItsGrid) {
  SetViewMap(&map, MakeRect(0, 0, 200, 200), 49, 151, 64, -64, 1, 1);
  Field("times[0.3,x]");
  EXPECT_TRUE(graph->PhaseX() == 50 - 7 && graph->PhaseY() == 50 - 1);
  EXPECT_EQ(graph->OccupancyAt(0, 199), -1);  // left of the first half cell
  for (int32_t h : {0, 1, 50, 199}) {
    for (int32_t v : {0, 100, 198, 199}) EXPECT_GE(graph->OccupancyAt(h, v), -1);
  }
  graph->SetOption(8, 0.0);
  EXPECT_EQ(graph->CellSize(), 200);
  ProbeRecord p = graph->Probe(-0.7, -2.3);
  DisposeProbeList(p.listA);
  DisposeProbeList(p.listB);
  graph->Compute(kAll);
  EXPECT_TRUE(graph->IsComplete() && graph->CurveCount() > 0);
  Field("times[x,y]", nullptr, 2.0);
  EXPECT_TRUE(graph->CellSize() == 50 && graph->IsComplete());
}

// No grid: error 7, complete at once, nothing drawn or seeded.
TEST_F(SlopeFieldTest, ARefusedGridCompletesEmpty) {
  CompiledFunction* slope = FunctionOf("x");
  CompileFunction(slope);
  auto* colour = new GraphColor(nullptr);
  FailAllocationAt(1, true);
  Take(new GraphSlopeField2D(slope, nullptr, colour, 1, &map));
  FailAllocationAt(0);
  EXPECT_TRUE(graph->IsComplete() && graph->Columns() == 0 && PendingError() == kErrorOutOfMemory);
  graph->Compute(kAll);
  EXPECT_EQ(graph->CurveCount(), 0);
}

}  // namespace
