// The traced graph and its column tracer on a 200 x 200 map at 64 px a unit, world (0, 0) at
// pixel (100, 99): column p covers [c - 1/128, c + 1/128] with c = (p - 100) / 64, so column 100
// holds x = 0 and column 164 holds x = 1. Expected values are worked out by hand from that map.
#include <cstring>
#include <vector>

#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/traced_graph.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;
constexpr double kW = 1.0 / 64;    // a column's width

class TracedGraphTest : public graphs_test::GraphsTest {
 protected:
  void TearDown() override {
    delete graph;
    graphs_test::GraphsTest::TearDown();
  }
  // The map is w wide and 200 high (both times the factor), world (0, 0) at its centre column and
  // at row 99 (199 on the antialias map, whose origin lies one row further down).
  GraphTraced2D* Trace(const std::string& f, uint32_t mode = kTraceFull, uint8_t orientation = 1, int32_t w = 200,
                       double ppu = 64, int32_t factor = 1) {
    delete graph;
    SetViewMap(&map, MakeRect(0, 0, w, 200 * factor), w / 2, factor * 100 - 1, ppu, -ppu, factor, factor);
    graph = new GraphTraced2D(FunctionOf(f), orientation, new GraphColor(nullptr), mode, &map);
    return graph;
  }
  GraphTraced2D* Traced(const std::string& f, uint32_t mode = kTraceFull, uint8_t orientation = 1) {
    Trace(f, mode, orientation)->Compute(kAll);
    EXPECT_TRUE(graph->IsComplete());
    return graph;
  }
  const TraceColumn& At(int32_t i) const { return graph->Columns()[i]; }
  std::vector<TraceColumn> Records() const { return {graph->Columns(), graph->Columns() + graph->ColumnCount()}; }
  static bool Same(const TraceColumn* a, const TraceColumn* b, int32_t n) {
    return std::memcmp(a, b, sizeof(TraceColumn) * size_t(n)) == 0;
  }
  ViewMap map;
  GraphTraced2D* graph = nullptr;
};

TEST_F(TracedGraphTest, ColumnStatesOfAParabolaAPoleAJumpAndADomainEdge) {
  const struct { const char* f; int32_t first, last; uint32_t state; } cases[] = {
      {"power[u,2]", 0, 199, kColumnSegment}, {"over[1,u]", 100, 100, kColumnPole},
      {"over[1,u]", 99, 99, kColumnSegment},  {"over[1,u]", 101, 101, kColumnSegment},
      {"floor[u]", 164, 164, kColumnSegment}, {"floor[u]", 163, 163, kColumnSegment},
      {"sqrt[u]", 0, 99, kColumnUndefined},   {"sqrt[u]", 100, 100, kColumnHull},
      {"sqrt[u]", 101, 199, kColumnSegment},  {"plus[u,minus[floor[u]]]", 164, 164, kColumnHull},
      {"plus[u,minus[floor[u]]]", 163, 163, kColumnSegment}, {"plus[u,minus[floor[u]]]", 165, 165, kColumnSegment}};
  for (const auto& c : cases) {
    Traced(c.f);
    for (int32_t i = c.first; i <= c.last; ++i) EXPECT_EQ(At(i).state, c.state) << c.f << " column " << i;
  }
  Traced("over[1,u]");  // the pole is drawn over the whole height
  EXPECT_TRUE(At(100).low == -HUGE_VAL && At(100).high == HUGE_VAL);
  // floor's jump at 1: its hull adds no pixel to the segment between the end values 0 and 1, so
  // the hull test's first step keeps it a segment. The sawtooth x - floor x jumps from 1 down to
  // 0 there, beyond its end values 1 - 1/128 and 1/128: a hull reaching both.
  Traced("floor[u]");
  EXPECT_TRUE(At(164).low == 0 && At(164).high == 1);
  Traced("plus[u,minus[floor[u]]]");
  EXPECT_TRUE(At(164).low <= 1.0 / 128 && At(164).high >= 1 - 1.0 / 128 && At(164).low > -0.01 && At(164).high < 1.01)
      << At(164).low << " " << At(164).high;
  // The domain's edge: sqrt has values on [0, 1/128], half of column 100, which draws them from
  // 0 to sqrt(1/128) (the curve reaches the axis) instead of nothing.
  Traced("sqrt[u]");
  EXPECT_TRUE(At(100).low == 0 && At(100).high >= std::sqrt(1.0 / 128) && At(100).high < std::sqrt(1.0 / 128) + 1e-15);
}

TEST_F(TracedGraphTest, AnEmptyViewAndTheStatusMessages) {
  Trace("power[u,2]", kTraceFull, 1, 0);
  EXPECT_TRUE(graph->Columns() == nullptr && graph->IsComplete() && !HasPendingError());
  EXPECT_EQ(graph->Status(), 3);  // "Undefined in the domain shown"
  graph->Compute(kAll);
  const struct { const char* f; int32_t status; } cases[] = {
      {"plus[u,1000]", 5}, {"power[u,2]", 0}, {"sqrt[plus[minus[1],minus[power[u,2]]]]", 3}};
  for (const auto& c : cases) EXPECT_EQ(Traced(c.f)->Status(), c.status) << c.f;
}

// f = 2u + 1 over column 100 = [-1/128, 1/128]: end values 63/64 and 65/64, exactly; the hull
// encloses them to the rounding of the bounds.
TEST_F(TracedGraphTest, ModesStoreEndValuesOrTheHull) {
  const struct { const char* f; uint32_t mode; int32_t column; uint32_t state; double low, high; } cases[] = {
      {"plus[times[2,u],1]", kTraceEndValues, 100, kColumnSegment, 63.0 / 64, 65.0 / 64},
      {"plus[times[2,u],1]", kTraceFull, 100, kColumnSegment, 63.0 / 64, 65.0 / 64},
      {"plus[times[2,u],1]", kTraceHull, 100, kColumnHull, 63.0 / 64, 65.0 / 64},
      {"over[1,u]", kTraceHull, 100, kColumnPole, -HUGE_VAL, HUGE_VAL},
      {"sqrt[u]", kTraceEndValues, 99, kColumnUndefined, NAN, NAN}};
  for (const auto& c : cases) {
    const TraceColumn& r = Traced(c.f, c.mode)->Columns()[c.column];
    EXPECT_EQ(r.state, c.state) << c.f << " mode " << c.mode;
    EXPECT_EQ(r.center, (c.column - 100) * kW);
    if (std::isnan(c.low)) continue;
    EXPECT_TRUE(r.low <= c.low && r.low >= c.low - 1e-15 && r.high >= c.high && r.high <= c.high + 1e-15) << c.f;
  }
}

// The column loop reads the real clock before each column; however the work falls into one-unit
// slices, the records are those of one Compute, at a power-of-two scale and at one that is not.
TEST_F(TracedGraphTest, ManyTinyBudgetsGiveTheRecordsOfOneLargeBudget) {
  for (double ppu : {64.0, 50.0}) {
    Trace("plus[sin[over[1,u]],power[u,2]]", kTraceFull, 1, 1200, ppu)->Compute(kAll);
    const std::vector<TraceColumn> whole = Records();
    Trace("plus[sin[over[1,u]],power[u,2]]", kTraceFull, 1, 1200, ppu)->Compute(0);
    EXPECT_EQ(graph->NextColumn(), 0);  // a zero budget computes nothing
    int slices = 0;
    for (; !graph->IsComplete() && slices < 1000000; ++slices) graph->Compute(1);
    EXPECT_GT(slices, 1);
    EXPECT_TRUE(Same(whole.data(), graph->Columns(), 1200)) << ppu;
  }
}

// Scrolled by whole pixels, the kept records move and only the exposed ones are computed (the
// moved ones carry a mark Compute would overwrite); completed, the records equal a fresh graph's
// on the scrolled map. A shift of the origin by a fraction of a pixel keeps nothing.
TEST_F(TracedGraphTest, ScrollThenCompleteEqualsAFreshGraphAndRecomputesOnlyWhatItMust) {
  for (double shift : {5.0, 5.25, -5.0, 300.0}) {
    const int32_t k = int32_t(shift);
    const std::vector<TraceColumn> old = (Traced("sin[times[3,u]]"), Records());
    SetViewMap(&map, map.frame, 100 + shift, 99, 64, -64, 1, 1);
    graph->Scroll(k, 0);
    std::vector<int32_t> kept;
    for (int32_t i = 0; i < 200; ++i) {
      if (At(i).state == kColumnPending) continue;
      kept.push_back(i);
      EXPECT_TRUE(Same(&At(i), &old[size_t(i - k)], 1)) << shift << " " << i;
      const_cast<TraceColumn&>(At(i)).high = 12345;
    }
    EXPECT_EQ(kept.size(), shift == 5.0 || shift == -5.0 ? 195u : 0u) << shift;
    graph->Compute(kAll);
    for (int32_t i : kept) EXPECT_EQ(At(i).high, 12345) << i;
    for (int32_t i : kept) const_cast<TraceColumn&>(At(i)).high = old[size_t(i - k)].high;
    const std::vector<TraceColumn> scrolled = Records();
    delete graph;
    graph = new GraphTraced2D(FunctionOf("sin[times[3,u]]"), 1, new GraphColor(nullptr), kTraceFull, &map);
    graph->Compute(kAll);
    EXPECT_TRUE(Same(scrolled.data(), graph->Columns(), 200)) << shift;
  }
}

TEST_F(TracedGraphTest, OptionsGeometryAndTheOtherOrientation) {
  Traced("power[u,2]")->SetOption(0, 1.5);
  EXPECT_TRUE(graph->TraceModeValue() == kTraceFull && graph->NextColumn() == 0 && At(7).state == kColumnPending);
  graph->SetOption(0, 1.0);
  EXPECT_EQ(graph->TraceModeValue(), kTraceHull);
  const std::vector<TraceColumn> before = (Traced("power[u,2]"), Records());
  map.frame.right = 150;  // narrower: the first 150 records stay
  graph->GeometryChanged();
  EXPECT_TRUE(graph->ColumnCount() == 150 && Same(before.data(), graph->Columns(), 150));
  SetViewMap(&map, map.frame, 100, 99, 128, -128, 1, 1);  // another scale keeps nothing
  graph->GeometryChanged();
  for (int32_t i = 0; i < 150; ++i) EXPECT_EQ(At(i).state, kColumnPending);
  FailAllocationAt(1);  // no room for the records: error 7, and an empty graph that is complete
  graph->GeometryChanged();
  EXPECT_TRUE(graph->Columns() == nullptr && graph->IsComplete() && PendingError() == kErrorOutOfMemory);
  EXPECT_TRUE(!graph->HitTest(0, 0) && graph->Probe(0, 0).mode == 0 && !graph->NearestPoint(0, 0, 1, -HUGE_VAL, HUGE_VAL).found);
  // x = y^2 counts rows upwards from the bottom: on this square map its records are y = x^2's.
  const std::vector<TraceColumn> ofX = (Traced("power[u,2]"), Records());
  EXPECT_TRUE(Same(ofX.data(), Traced("power[u,2]", kTraceFull, 0)->Columns(), 200));
}

// f = u + sin(1000 pi u) / 100 is monotone at every sample fraction (all multiples of 1/1000)
// but not in between, which only f' shows (negative at the odd thousandths). The gap tests: a
// hole at 0, defined-undefined-defined pieces, one undefined half, and no gap at all.
TEST_F(TracedGraphTest, MonotonyAndIsolatedGapTestsDirectly) {
  const ViewMap* m = &map;
  SetViewMap(&map, MakeRect(0, 0, 200, 200), 100, 99, 64, -64, 1, 1);
  const struct { const char* f; const char* df; double a, b; bool monotone; } monotony[] = {
      {"power[u,2]", "", 0.1, 0.2, true}, {"power[u,2]", "", -0.1, 0.1, false},
      {"plus[u,times[0.01,sin[times[3141.592653589793,u]]]]", "", 0, 1, true},
      {"plus[u,times[0.01,sin[times[3141.592653589793,u]]]]",
       "plus[1,times[31.41592653589793,cos[times[3141.592653589793,u]]]]", 0, 1, false}};
  for (const auto& c : monotony) {
    CompiledFunction* f = FunctionOf(c.f);
    CompiledFunction* df = *c.df ? FunctionOf(c.df) : nullptr;
    CompileFunction(f);
    if (df != nullptr) CompileFunction(df);
    EXPECT_EQ(IsMonotoneOn(ColumnTracer{f, df, m, 1}, c.a, c.b), c.monotone) << c.f << " " << c.df;
    for (CompiledFunction* g : {f, df}) {
      if (g != nullptr) DisposeFunction(g), delete g;
    }
  }
  const struct { const char* f; double a, b; bool gap; } gaps[] = {
      {"if[0,greaterthan[power[u,2],0]]", -0.05, 1, true}, {"if[0,greaterthan[power[plus[u,minus[0.5]],2],0.0144]]", 0, 1, true},
      {"if[0,greaterthan[u,0]]", -1, 1, false}, {"u", 0, 1, false}};
  for (const auto& c : gaps) {
    CompiledFunction* f = FunctionOf(c.f);
    CompileFunction(f);
    EXPECT_EQ(HasIsolatedGap(ColumnTracer{f, nullptr, m, 1}, c.a, c.b), c.gap) << c.f;
    DisposeFunction(f), delete f;
  }
}

// On the antialias map (factor 2) the pole column is a grey band two pixels wide over the whole
// height, drawn over the curve; on the window map one pixel wide. A refused mask draws nothing.
TEST_F(TracedGraphTest, PolesDrawAsGreyBandsOverTheCurve) {
  for (int32_t factor : {1, 2}) {
    draw_test::Canvas canvas(200 * factor, 200 * factor);
    canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
    Trace("over[1,u]", kTraceFull, 1, 200 * factor, 64.0 * factor, factor)->Compute(kAll);
    EXPECT_TRUE(graph->Draw());
    const int32_t pole = 100 * factor;
    for (int32_t v = 0; v < 200 * factor; ++v) {
      for (int32_t h = pole; h < pole + factor; ++h) ASSERT_EQ(canvas.At(h, v), 0x00BFBFBFu) << factor << " " << v;
    }
    EXPECT_EQ(canvas.Count(0x00BFBFBFu), 200 * factor * factor);
    EXPECT_GT(canvas.Count(kDefaultGraphRGB), 100);
  }
  draw_test::Canvas canvas(400, 400);
  canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
  FailAllocationAt(1);
  graph->Draw();
  EXPECT_TRUE(PendingError() == kErrorOutOfMemory && canvas.Count(draw_test::kWhitePixel) == 400 * 400);
}

// On a mask map with factors (2, 1), x = 1/4 (a function of y) marks each row at pixel column
// Col(1/4) = 132 and tx - 1 = 1 column further right, one row high: two pixels a row.
TEST_F(TracedGraphTest, AFunctionOfYIsWidenedAlongXByTheHorizontalFactor) {
  draw_test::Canvas canvas(200, 200);
  canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
  SetViewMap(&map, MakeRect(0, 0, 200, 200), 100, 99, 128, -64, 2, 1);
  delete graph;
  graph = new GraphTraced2D(FunctionOf("0.25"), 0, new GraphColor(nullptr), kTraceFull, &map);
  graph->Compute(kAll);
  EXPECT_TRUE(graph->Draw());
  for (int32_t v = 0; v < 200; ++v) {
    ASSERT_TRUE(canvas.At(132, v) == kDefaultGraphRGB && canvas.At(133, v) == kDefaultGraphRGB) << v;
  }
  EXPECT_EQ(canvas.Count(kDefaultGraphRGB), 400);
}

TEST_F(TracedGraphTest, HitTestWithinFourPixelsAndNotInTheNoFillMode) {
  Traced("0.25");
  EXPECT_TRUE(graph->HitTest(0.5, 0.25 + 3 * kW) && graph->HitTest(0.5, 0.25 - 3 * kW));
  EXPECT_FALSE(graph->HitTest(0.5, 0.25 + 6 * kW));
  graph->SetOption(6, 17);  // colour index 17: no fill
  EXPECT_FALSE(graph->HitTest(0.5, 0.25));
}

// One column beside a zero, beside a maximum (the zero of f'), three columns from the domain edge
// of sqrt, and outside the plot. Values are the features' own.
TEST_F(TracedGraphTest, ProbeSnapsToZeroExtremumAndDomainEdge) {
  const struct { const char* f; const char* df; double x, wantX; } cases[] = {
      {"plus[u,minus[0.3]]", "", 0.3 + kW, 0.3},
      {"minus[power[plus[u,minus[0.2]],2]]", "times[minus[2],plus[u,minus[0.2]]]", 0.2 + kW, 0.2},
      {"sqrt[u]", "", 2 * kW, 0.0}};
  for (const auto& c : cases) {
    graphs_test::InstallKnownDerivative(c.df);
    const ProbeRecord r = Traced(c.f)->Probe(c.x, 0);
    EXPECT_TRUE(r.mode == 1 && r.snapped == 1 && std::fabs(r.x - c.wantX) < 1e-12 && r.y == 0) << c.f << " " << r.x;
  }
  EXPECT_EQ(graph->Probe(5, 0).mode, 0u);
  EXPECT_FALSE(Traced("plus[floor[u],minus[0.5]]")->Probe(1 + kW, 0).snapped);  // a jump is no zero
  const ProbeRecord hull = Traced("power[u,2]", kTraceHull)->Probe(0.5, 0);
  EXPECT_TRUE(hull.mode == 2 && hull.aux[2] == 0.5 - kW / 2 && hull.aux[3] == 0.5 + kW / 2 && hull.aux[4] <= 0.25);
}

// One and two columns either side of a pole the probe snaps onto it, its value infinite: tan's
// pole at pi/2 (column 301 of a 400-wide map) lies between two doubles, and the interval tan is
// bounded to within two of them on each side, so the search closes in to a few 1e-16.
TEST_F(TracedGraphTest, ProbeBesideAPoleSnapsToThePole) {
  const double kHalfPi = 1.5707963267948966;
  const struct { const char* f; double pole; } cases[] = {
      {"tan[u]", kHalfPi}, {"tan[u]", -kHalfPi}, {"over[1,plus[u,minus[1]]]", 1.0}, {"over[1,cos[u]]", kHalfPi}};
  for (const auto& c : cases) {
    Trace(c.f, kTraceFull, 1, 400)->Compute(kAll);
    for (double offset : {-2 * kW, -kW, kW, 2 * kW}) {
      const ProbeRecord r = graph->Probe(c.pole + offset, 0);
      EXPECT_TRUE(r.mode == 1 && r.snapped == 1 && std::fabs(r.x - c.pole) < 1e-15 && std::isinf(r.y))
          << c.f << " at " << offset / kW << " columns: " << r.x << " " << r.y;
    }
  }
}

// At 37.5 px a unit the pole of 1/(x - 1) lies exactly on the edge between columns 237 and 238
// (centres 1 -+ 1/75). A probe that snaps onto a pole reads it at 1 itself, never beside it where
// the function is finite (75 at 1 + 1/75, the column beside the edge); one that does not snap
// reads the function's own value. Probes every eighth of a column up to six columns off, on both
// sides (the snap's ranges are a column wide around the probe, not the columns themselves).
TEST_F(TracedGraphTest, APoleOnAColumnEdgeIsSnappedOnlyWhereItIs) {
  constexpr double kPpu = 37.5, kColumn = 1 / kPpu;
  Trace("over[1,plus[u,minus[1]]]", kTraceFull, 1, 400, kPpu)->Compute(kAll);
  for (int32_t k = 1; k <= 48; ++k) {
    for (double side : {-1.0, 1.0}) {
      const double x = 1 + side * k * kColumn / 8;
      const ProbeRecord r = graph->Probe(x, 0);
      ASSERT_EQ(r.mode, 1u) << x;
      if (std::isinf(r.y)) {
        EXPECT_TRUE(r.snapped == 1 && std::fabs(r.x - 1) < 1e-15) << "probed at " << x << ": snapped at " << r.x;
      } else {
        EXPECT_DOUBLE_EQ(r.y, 1 / (r.x - 1)) << "probed at " << x << ", read at " << r.x;
      }
    }
  }
}

TEST_F(TracedGraphTest, NearestPointWalksAlongTheCurveInTheFullModeOnly) {
  const NearestPointRecord r = Traced("u")->NearestPoint(0.3, 0.31, 4 * kW, -HUGE_VAL, HUGE_VAL);
  ASSERT_TRUE(r.found);
  for (const double* p : {r.before, r.at, r.after}) EXPECT_TRUE(p[1] == p[0] && p[2] == p[0]);
  EXPECT_TRUE(std::fabs(r.before[0] - (0.3 - 4 * kW)) < 1e-12 && std::fabs(r.after[0] - (0.3 + 4 * kW)) < 1e-12);
  for (uint32_t mode : {kTraceEndValues, kTraceHull}) {
    EXPECT_FALSE(Traced("u", mode)->NearestPoint(0.3, 0.3, 4 * kW, -HUGE_VAL, HUGE_VAL).found);
  }
}

// With ten times more pixels a unit along the value axis, the walk from 0.4 over the peak of
// f = -10 (u - 0.5)^2 stops at the peak, where the curve starts back towards the start point on the
// screen: the oracle walks the same steps (a tenth of a column) measuring pixel distances. The
// peak column is a segment (its hull adds no pixel), so the step budget reaches past it. The
// same for x = f(y) on the transposed map (its tolerance is given in x units).
TEST_F(TracedGraphTest, NearestPointWalkMeasuresDistancesInPixels) {
  auto f = [](double t) { return -10 * (t - 0.5) * (t - 0.5); };
  for (uint8_t orientation : {1, 0}) {
    const bool rows = orientation == 1;
    SetViewMap(&map, MakeRect(0, 0, 200, 200), 100, 99, rows ? 64 : 640, rows ? -640 : -64, 1, 1);
    delete graph;
    graph = new GraphTraced2D(FunctionOf("times[minus[10],power[plus[u,minus[0.5]],2]]"), orientation,
                              new GraphColor(nullptr), kTraceFull, &map);
    graph->Compute(kAll);
    const double argumentPixel = 1.0 / 64, valuePixel = 1.0 / 640, e = argumentPixel / 10, x = 0.4;
    double previous = 0, end = x;
    for (int32_t n = 1; n < 96; ++n) {  // within the tolerance of 0.15 and the step budget
      const double t = x + n * e;
      const double d = std::pow((t - x) / argumentPixel, 2) + std::pow((f(t) - f(x)) / valuePixel, 2);
      if (d < previous) break;
      previous = d, end = t;
    }
    ASSERT_TRUE(end > 0.49 && end < 0.51) << end;  // at the peak, well inside the tolerance
    const NearestPointRecord r = rows ? graph->NearestPoint(x, f(x), 0.15, -HUGE_VAL, HUGE_VAL)
                                      : graph->NearestPoint(f(x), x, 0.015, -HUGE_VAL, HUGE_VAL);
    ASSERT_TRUE(r.found) << int(orientation);
    EXPECT_NEAR(r.after[0], end, 1e-12) << int(orientation);
    EXPECT_NEAR(r.before[0], x - 0.15, 1e-12) << int(orientation);  // falling away: out to the tolerance
    EXPECT_EQ(r.after[rows ? 2 : 1], f(r.after[0])) << int(orientation);
  }
}

// y = x and y = 4x^3 - 6x^2 + 3x cross at (0, 0), (0.5, 0.5) and (1, 1); a probe a pixel away
// from each snaps onto it through the view's intersection search over the two walks.
class TracedIntersectionTest : public graphs_test::View2DTest {};

TEST_F(TracedIntersectionTest, ProbeSnapsToTheThreeIntersections) {
  Place(0, 0, 200, 200);
  for (const char* f : {"u", "plus[times[4,power[u,3]],minus[times[6,power[u,2]]],times[3,u]]"}) {
    auto* traced = new GraphTraced2D(FunctionOf(f), 1, new GraphColor(nullptr), kTraceFull, &view->drawMap);
    ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(traced)));
  }
  while (!view->IsReady()) view->Tick(kAll);
  const struct { int16_t h, v; double x, y; } cases[] = {{101, 98, 0, 0}, {133, 66, 0.5, 0.5}, {165, 34, 1, 1}};
  for (const auto& c : cases) {
    view->probeGraph = 0;
    view->ProbeAt(MakePoint(c.h, c.v));
    const ProbeRecord& r = view->probeReadout;
    EXPECT_TRUE(r.snapped && std::fabs(r.x - c.x) < 1e-12 && std::fabs(r.y - c.y) < 1e-12) << r.x << " " << r.y;
  }
}

// On a view with ten times more pixels a unit along y than along x, y = (x - 0.5)^2 + 0.5 and y = 0.5 + (x -
// 0.5) / 8 cross at (0.5, 0.5) and (0.625, 0.515625); a probe a pixel from each snaps onto it.
TEST_F(TracedIntersectionTest, ProbeSnapsToIntersectionsWithUnequalScales) {
  Place(0, 0, 200, 200);
  ASSERT_TRUE(view->SetViewRange(-1, 2, 0.45, 0.6));
  ASSERT_NEAR(view->windowMap.unitsPerPixelX / view->windowMap.unitsPerPixelY, 10, 1e-9);
  for (const char* f : {"plus[power[plus[u,minus[0.5]],2],0.5]", "plus[0.5,over[plus[u,minus[0.5]],8]]"}) {
    auto* traced = new GraphTraced2D(FunctionOf(f), 1, new GraphColor(nullptr), kTraceFull, &view->drawMap);
    ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(traced)));
  }
  while (!view->IsReady()) view->Tick(kAll);
  const struct { double x, y; } cases[] = {{0.5, 0.5}, {0.625, 0.515625}};
  for (const auto& c : cases) {
    view->probeGraph = 0;
    const int32_t h = WorldToPixelX(&view->windowMap, c.x), v = WorldToPixelY(&view->windowMap, c.y);
    view->ProbeAt(MakePoint(int16_t(h + 1), int16_t(v - 1)));
    const ProbeRecord& r = view->probeReadout;
    EXPECT_TRUE(r.snapped && std::fabs(r.x - c.x) < 1e-12 && std::fabs(r.y - c.y) < 1e-12) << r.x << " " << r.y;
  }
}

}  // namespace
