// Level lines on a 200 x 200 map at 10 px a unit, world (0, 0) at pixel (100, 99), so the view
// shows x from -10 to 10: the level choice worked by hand from its steps, the crossings checked
// against the function itself, and the drawing against the columns of the levels of f = x; levels
// and segments computed in turns on the compute worker, abandoned or not, against those of one go.
#include "graphs/kinds2d/contour_graph.h"

#include <algorithm>
#include <iomanip>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "graphs/core/compute_worker.h"
#include "graphs/core/graph_color.h"
#include "graphs/core/graph_view.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_budget.h"
#include "kernel/eval/evaluation_seams.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/kernel/trees/tree_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;
using graphs_test::CutComputeIntoTurns;

class ContourTest : public graphs_test::OneGraphTest<GraphContour2D> {
 protected:
  void SetUp() override {
    OneGraphTest::SetUp();
    SetViewMap(&map, MakeRect(0, 0, 200, 200), 100, 99, 10, -10, 1, 1);
  }
  GraphContour2D* Computed(const char* f, double grain = 0) {
    return TakeComputed(new GraphContour2D(FunctionOf(f), grain, new GraphColor(nullptr), &map));
  }
};

// f = x measures about -9.55..9.45: anchor 0 (the only multiple of 100), step 5; 3.2..3.9 holds no
// whole number: anchor 3.5 (nearer 3.55 than 3.6 in doubles); -3.9..0 with 24 levels: step 0.15,
// anchor 0 at the top and nothing written past the 24 slots; a constant gives its one level.
TEST_F(ContourTest, LevelChoice) {
  const double* levels = Computed("x")->Levels();
  EXPECT_TRUE(graph->LevelsValid() && graph->LevelCount() == 4);
  EXPECT_TRUE(levels[0] == -5 && levels[2] == 5 && levels[3] == 10);
  EXPECT_TRUE(levels[1] == 0.0 && !std::signbit(levels[1]));
  struct Guarded {
    double levels[kMaxLevels];
    double canary = 12345;
  } g;
  ASSERT_EQ(ChooseContourLevels(3.2, 3.9, 4, g.levels), 4);
  EXPECT_NEAR(g.levels[1], 3.5, 1e-15);
  ASSERT_EQ(ChooseContourLevels(-3.9, 0, 24, g.levels), 24);
  EXPECT_TRUE(g.levels[23] == 0.0 && std::fabs(g.levels[0] + 3.45) < 1e-12 && g.canary == 12345);
  EXPECT_TRUE(ChooseContourLevels(2, 2, 4, g.levels) == 1 && g.levels[0] == 2);
  for (double bad : {double(NAN), HUGE_VAL}) EXPECT_EQ(ChooseContourLevels(0, bad, 4, g.levels), 0);
  EXPECT_EQ(ChooseContourLevels(-1e308, 1e308, 4, g.levels), 0);  // the range overflows
  for (double grain : {7.0, double(NAN), -2.0})
    EXPECT_EQ(Computed("x", grain)->LevelCount(), grain == 7 ? 24 : grain < 0 ? 4 : 14);
}

// Values near 1e16 and 1e17 of either sign (2 and 16 apart in doubles). The anchor's candidates
// of 1e16 + 2 .. 1e16 + 8, 1e17 .. 1e17 + 64 and their like of the other sign lie past 2^53, where the
// count of doubles never moved: no levels. A step of 0.75 round 1e16 repeats a level: none. Steps
// the values can hold give their levels. Whatever the answer, it comes at once and rises strictly.
TEST_F(ContourTest, LevelChoiceOnHugeValuesReturnsAtOnceWithDistinctLevels) {
  const struct {
    double min, max;
    int32_t n, want;
  } cases[] = {{1e16 + 2, 1e16 + 8, 4, 0},        {-1e16 + 2, -1e16 + 8, 4, 0},   {1e17, 1e17 + 64, 4, 0},
               {-1e17 + 32, -1e17 + 96, 4, 0},    {1e16, 1e16 + 6, 8, 0},         {-1e16 - 6, -1e16, 8, 0},
               {1e17 - 16, 1e17 + 32, 4, 4},      {1e17 + 16, 1e17 + 80, 4, 4},   {1e16, 1e16 + 2e4, 4, 4},
               {-1e17 - 1e5, -1e17, 24, 24},      {1e17, 1e17 + 1e4, 6, 6}};
  for (const auto& c : cases) {
    double levels[kMaxLevels];
    const int32_t n = ChooseContourLevels(c.min, c.max, c.n, levels);
    EXPECT_EQ(n, c.want) << std::setprecision(17) << c.min << " " << c.max;
    for (int32_t i = 1; i < n; ++i) EXPECT_LT(levels[i - 1], levels[i]) << c.min << " " << i;
  }
}

// The level lines of 10^17 + 8 + 2x over x in -4..28 (values 16 apart, sampled 1e17 .. 1e17 + 64):
// complete after the one Compute that measures the range, with no lines and the message of a range
// that cannot be stepped through.
TEST_F(ContourTest, LevelLinesOfValuesNear1e17CompleteInBoundedComputes) {
  SetViewMap(&map, MakeRect(0, 0, 200, 200), 25, 99, 6.25, -6.25, 1, 1);
  Take(new GraphContour2D(FunctionOf("plus[power[10,17],plus[8,times[2,x]]]"), 0, new GraphColor(nullptr), &map));
  int32_t computes = 0;
  for (; !graph->IsComplete() && computes <= kContourGrid * kContourGrid; ++computes) graph->Compute(1);
  EXPECT_TRUE(graph->IsComplete() && computes == 1);
  EXPECT_TRUE(!graph->LevelsValid() && graph->Status() == 10);
}

// x^2 + y^2 at 24 levels: every point lies on its level, and every point of a level whose circle
// is wholly in view belongs to exactly two segments (closed loops).
TEST_F(ContourTest, ClosedLoopsAndPointsOnTheirLevels) {
  Computed("plus[power[x,2],power[y,2]]", 1);
  const ChunkPool<ContourPoint>& points = graph->Points();
  std::map<int32_t, int32_t> uses;
  for (int32_t i = 0; i < graph->Segments().total; ++i) {
    const ContourSegment& s = *ChunkPoolAt(graph->Segments(), i);
    ++uses[s.first], ++uses[s.second];
  }
  int32_t closed = 0;
  for (int32_t i = 0; i < points.total; ++i) {
    const ContourPoint& p = *ChunkPoolAt(points, i);
    const double level = graph->Levels()[p.level];
    EXPECT_LT(std::fabs(p.x * p.x + p.y * p.y - level), 1e-12 * 200);
    if (level >= 81) continue;
    EXPECT_EQ(uses[i], 2) << i;
    ++closed;
  }
  EXPECT_GT(closed, 200);
}

// f = x: the points of level 0 have x = 0 exactly, and the only pixels drawn are within a pixel
// of the columns of x = -5, 0 and 5 (level 10 lies outside), also once the view grew taller and
// once it scrolled by 20 pixels (the levels stay; the grid follows the map).
TEST_F(ContourTest, LevelsOfXDrawOnlyTheirColumns) {
  Computed("x");
  for (int32_t step = 0; step < 3; ++step) {
    if (step == 1) SetViewMap(&map, MakeRect(0, 0, 200, 260), 100, 159, 10, -10, 1, 1), graph->GeometryChanged();
    if (step == 2) SetViewMap(&map, MakeRect(0, 0, 200, 260), 120, 159, 10, -10, 1, 1), graph->Scroll(20, 0);
    graph->Compute(kAll);
    for (int32_t i = 0; i < graph->Points().total; ++i) {
      const ContourPoint& p = *ChunkPoolAt(graph->Points(), i);
      EXPECT_TRUE(p.level != 1 || p.x == 0.0) << p.x;
    }
    draw_test::Canvas canvas(200, 260);
    canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
    graph->Draw();
    std::set<int32_t> columns;
    canvas.ForEach([&](int32_t h, int32_t v) {
      if ((canvas.At(h, v) & 0xffffff) != 0xffffff) columns.insert(h - int32_t(map.originH));
    });
    EXPECT_EQ(columns.size(), 3u) << step;  // one column a level
    for (int32_t h : columns) EXPECT_TRUE(std::abs(h + 50) <= 1 || std::abs(h) <= 1 || std::abs(h - 50) <= 1) << h;
  }
}

TEST_F(ContourTest, ConstantFunctionAndMemoryRefusedMidway) {
  Computed("7");
  EXPECT_TRUE(!graph->LevelsValid() && graph->Status() == 10 && graph->Segments().total == 0 && graph->IsComplete());
  Computed("sin[x]");
  EXPECT_EQ(graph->Status(), 0);
  graph->Invalidate();
  FailAllocationAt(1, true);  // the first point pool chunk
  graph->Compute(kAll);
  FailAllocationAt(0);
  EXPECT_TRUE(PendingError() == kErrorOutOfMemory && graph->IsComplete() && graph->Status() == 10);
  graph->Invalidate();  // computes again afterwards
  graph->Compute(kAll);
  EXPECT_EQ(graph->Status(), 0);
}

// Levels -5, 0, 5, 10 of f = x: the hit test picks the lowest level within 4 px (level 0 at
// x = 0.3, none at 2.5), and the probe then lands on x = 0 with that level (snapped along the y
// axis, which the line covers: its first point within 4 px).
TEST_F(ContourTest, HitTestSelectsTheLevelTheProbeReads) {
  Computed("x");
  EXPECT_TRUE(!graph->HitTest(2.5, 1) && graph->HitTest(-4.7, 1) && graph->SelectedLevel() == 0);
  EXPECT_TRUE(graph->HitTest(0.3, 1) && graph->SelectedLevel() == 1);
  const ProbeRecord p = graph->Probe(0.3, 1.5);
  EXPECT_TRUE(p.mode == 7 && p.value == 0 && p.x == 0 && std::fabs(p.y - 1.5) <= 0.4);
  const NearestPointRecord n = graph->NearestPoint(5.2, 2, 0.5, 0, HUGE_VAL);
  EXPECT_TRUE(n.found && n.at[0] == 5 && std::fabs(n.at[1] - 5) < 1e-12);
}

// What a contour graph computed: its levels, points and segments.
struct Picture {
  bool valid;
  std::vector<double> levels;
  std::vector<std::tuple<double, double, int16_t>> points;
  std::vector<std::pair<int32_t, int32_t>> segments;
  bool operator==(const Picture&) const = default;
};
Picture PictureOf(const GraphContour2D* g) {
  Picture p{g->LevelsValid(), std::vector<double>(g->Levels(), g->Levels() + g->LevelCount()), {}, {}};
  for (int32_t i = 0; i < g->Points().total; ++i) {
    const ContourPoint& q = *ChunkPoolAt(g->Points(), i);
    p.points.emplace_back(q.x, q.y, q.level);
  }
  for (int32_t i = 0; i < g->Segments().total; ++i) {
    const ContourSegment& s = *ChunkPoolAt(g->Segments(), i);
    p.segments.emplace_back(s.first, s.second);
  }
  return p;
}

class ContourTurnsTest : public ContourTest {
 protected:
  void TearDown() override {
    CutComputeIntoTurns(false);  // a suspended Compute is abandoned before its graph goes
    ContourTest::TearDown();
  }
  GraphContour2D* Made(const char* f) {
    return Take(new GraphContour2D(FunctionOf(f), 0, new GraphColor(nullptr), &map));
  }
};

// Each row of abandons: the suspensions (one at every evaluation) at which the Compute in flight is
// abandoned: none; the first samples of the range; the last sample and the first cells; cells only.
// For a plane, a saddle, a constant and a function undefined left of x = 0, the levels and the
// segments come out as computed at one go, and the measure itself was cut up.
TEST_F(ContourTurnsTest, LevelsAndSegmentsInTurnsAreThoseOfOneGo) {
  const struct {
    const char* f;
    bool valid;
  } functions[] = {{"plus[x,times[2,y]]", true}, {"plus[power[x,2],minus[power[y,2]]]", true}, {"7", false},
                   {"sqrt[x]", true}};
  const std::set<int> abandons[] = {{}, {1, 2, 3}, {399, 400, 401, 402}, {900, 1800, 2700}};
  for (const auto& c : functions) {
    Made(c.f)->Compute(kAll);
    const Picture whole = PictureOf(graph);
    ASSERT_EQ(whole.valid, c.valid) << c.f;
    for (const std::set<int>& at : abandons) {
      CutComputeIntoTurns(true);
      Made(c.f);
      EXPECT_FALSE(graph->IsComplete() || graph->LevelsValid()) << "the measure is due";
      int suspensions = 0, abandoned = 0;
      for (int calls = 0; !graph->IsComplete() && calls < 1000000; ++calls) {
        if (ComputeInTurns(graph, kAll) != ComputeOutcome::kSuspended) continue;
        if (at.count(++suspensions) != 0) AbandonSuspendedCompute(), ++abandoned;
      }
      CutComputeIntoTurns(false);
      EXPECT_TRUE(PictureOf(graph) == whole) << c.f << ", abandoned at " << testing::PrintToString(at);
      const auto came = std::count_if(at.begin(), at.end(), [&](int s) { return s <= suspensions; });
      EXPECT_EQ(abandoned, int(came)) << c.f << ": every suspension listed that came was abandoned";
      EXPECT_GE(suspensions, 400) << c.f << ": every sample of the range takes a turn";
    }
  }
}

// The view's record of sums that gave up, across runs of f = a x + (nested sums of b floor(x) x 20
// terms), under a work limit of 100 that sums from x = 2 on pass. Each row: a and b, whether the
// grain is then set again (a new measure; else levels that hold are kept), and the status once
// complete. Values past x = 2 give up but those left of it give levels: too many terms;
// a constant measured afresh without a give-up has its own message back (the give-up record of the
// run before does not outlive a measure that leaves no level).
double gA, gB;
TEST_F(ContourTest, TheRecordOfSumsThatGaveUpFollowsTheRunsOfTheMeasure) {
  SetDefinedValueLookup([](Complex* out, int32_t key) { *out = Complex{key == 'a' ? gA : gB, 0}; });
  SetEvaluationWorkLimitForTests(100);
  GraphList graphs;
  auto* g = new GraphContour2D(
      NewFunctionOver(tree_test::Build(
          "plus[times[a,x],bsum[equal[i,1],times[b,floor[x]],bsum[equal[j,1],20,times[i,j]]]]")),
      0.5, new GraphColor(nullptr), &map);
  ASSERT_TRUE(PtrArrayAppend(graphs, static_cast<GraphKind*>(g)));
  const struct {
    double a, b;
    bool newGrain;
    int32_t status;
  } runs[] = {{1, 0, true, 0}, {1, 1, false, kMessageTooManyTerms}, {0, 0, true, 10}, {1, 0, false, 0}};
  for (const auto& r : runs) {
    gA = r.a, gB = r.b;
    g->VariableChanged('a', r.a);
    g->VariableChanged('b', r.b);
    if (r.newGrain) g->SetOption(8, 0.5);
    for (int ticks = 0; ticks < 100 && !g->IsComplete(); ++ticks) TickGraphList(graphs, kAll);
    EXPECT_TRUE(g->IsComplete()) << r.a << " " << r.b;
    EXPECT_EQ(g->LevelsValid(), r.a != 0) << r.a << " " << r.b;
    EXPECT_EQ(GraphListStatus(graphs, 0), r.status) << r.a << " " << r.b;
  }
  SetEvaluationWorkLimitForTests(0);
  DeleteGraphList(graphs);
}

}  // namespace

namespace {

class ContourProbeTest : public graphs_test::View2DTest {};

// The level lines of f = x and f = y cross at (L, M) for their levels L and M: the probe on the
// first, two pixels off, snaps onto the crossing for negative levels as for positive ones (each
// graph's nearest points carry their level as the argument of all three points).
TEST_F(ContourProbeTest, ProbeSnapsToCrossingLevelLinesOfEitherSign) {
  Place(0, 0, 200, 200);
  auto* fx = new GraphContour2D(FunctionOf("x"), 0, new GraphColor(nullptr), &view->drawMap);
  auto* fy = new GraphContour2D(FunctionOf("y"), 0, new GraphColor(nullptr), &view->drawMap);
  for (GraphContour2D* g : {fx, fy}) {
    ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(g)));
    g->Compute(kAll);
    ASSERT_TRUE(g->LevelsValid() && g->IsComplete());
  }
  // The outermost level of the sign whose line lies 10 pixels or more inside the view.
  const ViewMap& m = view->windowMap;
  auto outermost = [&](const GraphContour2D* g, bool negative, bool isX) {
    double found = 0;
    for (int32_t k = 0; k < g->LevelCount(); ++k) {
      const double l = g->Levels()[k];
      const int32_t p = isX ? WorldToPixelX(&m, l) - m.frame.left : WorldToPixelY(&m, l) - m.frame.top;
      const bool inside = p >= 10 && p < (isX ? RectWidth(m.frame) : RectHeight(m.frame)) - 10;
      if (inside && (negative ? l < 0 && found == 0 : l > 0)) found = l;
    }
    return found;
  };
  for (bool negative : {true, false}) {
    const double l = outermost(fx, negative, true), lm = outermost(fy, negative, false);
    ASSERT_TRUE(l != 0 && lm != 0 && (l < 0) == negative && (lm < 0) == negative) << l << " " << lm;
    const QDPoint p = MakePoint(WorldToPixelX(&m, l) + 2, WorldToPixelY(&m, lm) - 2);
    ASSERT_TRUE(fx->HitTest(view->WindowX(p.h), view->WindowY(p.v)));
    view->probeGraph = 0;
    view->ProbeAt(p);
    const ProbeRecord& r = view->probeReadout;
    EXPECT_TRUE(r.mode == 7 && r.snapped == 1) << negative;
    EXPECT_TRUE(std::fabs(r.x - l) < 1e-12 && std::fabs(r.y - lm) < 1e-12) << r.x << " " << r.y;
  }
}

}  // namespace
