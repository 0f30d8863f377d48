// The plane curve on the fixture's 200 x 200 map at 64 px a unit (world (0, 0) at pixel (100, 99)):
// sample counts and ends, gaps where the curve is undefined or infinite (counted with a recording
// pen), status, the four-pixel hit, the probe's snap onto the axes, the nearest point behind the
// view's intersection snapping (two crossing curves in a real view), and grain and colour changes.
#include "graphs/kinds2d/curve_graph.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "graphics/qd_layer.h"
#include "graphs/core/graph_color.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/trees/tree_seams.h"
#include "tests/graphs/graphs_test_support.h"
#include "tests/platform/draw_test_support.h"

namespace {

using graphs_test::FunctionOf;
using graphs_test::kAll;

constexpr double kPi = 3.141592653589793;

// Stands in for the algebra's differentiation: each derivative made is the next text.
void DerivativesInOrder(std::vector<std::string> texts) {
  static std::vector<std::string> queue;
  queue = std::move(texts);
  SetExpandDerivativesPass([](ExprNode* tree) {
    if (queue.empty()) return;
    ReplaceExpression(graphs_test::Parse(queue.front()), tree);
    queue.erase(queue.begin());
  });
}

class CurveTest : public graphs_test::OneGraphTest<GraphCurve2D> {
 protected:
  GraphCurve2D* Curve(const char* x, const char* y, double t0, double t1, double grain = 0.5,
                      int32_t kind = kCurveParametric) {
    range[0] = t0, range[1] = t1;
    auto* colour = new GraphColor(nullptr);
    colour->rgb = 0x0000ff;
    return TakeComputed(new GraphCurve2D(FunctionOf(x), FunctionOf(y), colour, grain, kind, &map, range));
  }
  // The circle of radius 1, with the derivatives the algebra would give (x's made first).
  GraphCurve2D* Circle(double t0 = -kPi, double t1 = kPi) {
    DerivativesInOrder({"minus[sin[u]]", "cos[u]"});
    range[0] = t0, range[1] = t1;
    return TakeComputed(new GraphCurve2D(FunctionOf("cos[u]"), FunctionOf("sin[u]"), new GraphColor(nullptr), 0.5,
                                         kCurveParametric, &map, range));
  }
  // Segments with four finite coordinates (the ones Draw draws).
  int32_t DrawableSegments() const {
    int32_t n = 0;
    const CurvePoint* p = graph->Samples();
    for (int32_t i = 0; i + 1 < graph->Computed(); ++i) {
      n += std::isfinite(p[i].x) && std::isfinite(p[i].y) && std::isfinite(p[i + 1].x) && std::isfinite(p[i + 1].y);
    }
    return n;
  }
  double range[2] = {0, 1};
};

// n = trunc(800 q + 200) of the clamped grain (NaN 0.5); the last sample is exactly t1 for any n.
TEST_F(CurveTest, SamplesOfTheGrainEndExactlyAtTheRangesEnd) {
  const struct {
    double q;
    int32_t n;
  } cases[] = {{0, 200}, {1, 1000}, {0.5, 600}, {0.3, 440}, {NAN, 600}, {2, 1000}, {-1, 200}};
  for (const auto& c : cases) EXPECT_EQ(CurveSamplesOfGrain(c.q), c.n) << c.q;
  for (double q : {0.0, 0.3, 0.77, 1.0}) {
    Curve("cos[u]", "sin[u]", 0, 2 * kPi, q);
    const CurvePoint& last = graph->Samples()[graph->SampleCount() - 1];
    EXPECT_TRUE(last.x == std::cos(2 * kPi) && last.y == std::sin(2 * kPi)) << q;
    EXPECT_EQ(graph->ParameterOf(graph->SampleCount() - 1), 2 * kPi) << q;
  }
}

// However the clock slices the work, the samples are those of one call.
TEST_F(CurveTest, SlicedComputationGivesTheSamplesOfOneCall) {
  Curve("times[u,cos[times[3,u]]]", "sin[times[5,u]]", -2, 2, 1);
  const std::vector<CurvePoint> whole(graph->Samples(), graph->Samples() + graph->SampleCount());
  range[0] = -2, range[1] = 2;
  Take(new GraphCurve2D(FunctionOf("times[u,cos[times[3,u]]]"), FunctionOf("sin[times[5,u]]"), new GraphColor(nullptr),
                        1, kCurveParametric, &map, range));
  graph->Compute(0);
  EXPECT_EQ(graph->Computed(), 0);
  int32_t slices = 0;
  for (; !graph->IsComplete() && slices < 100000; ++slices) graph->Compute(1);
  for (int32_t k = 0; k < graph->SampleCount(); ++k) {
    ASSERT_TRUE(graph->Samples()[k].x == whole[k].x && graph->Samples()[k].y == whole[k].y) << k;
  }
}

// (t, 1/t) over [-1, 1] with t = 0 sampled (n = 201 at grain 1/800): the two segments at the pole
// are not drawn, n - 3 are; (t, sqrt t) has none left of 0; the polar rose r = cos 2 theta closes.
TEST_F(CurveTest, CurvesDrawWithGapsWhereTheyAreUndefined) {
  Curve("u", "over[1,u]", -1, 1, 1.0 / 800);
  ASSERT_EQ(graph->SampleCount(), 201);
  EXPECT_EQ(graph->Samples()[100].x, 0.0);
  EXPECT_EQ(DrawableSegments(), 201 - 3);
  Curve("u", "sqrt[u]", -1, 1, 0);
  EXPECT_EQ(DrawableSegments(), 99);
  // Drawn: ink only on the curve's side of the y axis, and the pen never crosses the pole's gap.
  draw_test::Canvas canvas(200, 200);
  canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
  Curve("u", "sqrt[u]", -1, 1, 0)->Draw();
  int32_t left = 0, inked = 0;
  canvas.ForEach([&](int32_t h, int32_t v) {
    if ((canvas.At(h, v) & 0xFFFFFF) != 0xFFFFFF) ++inked, left += h < 100;
  });
  EXPECT_TRUE(inked > 60 && left == 0) << inked << " " << left;
  canvas.Fill([](int32_t, int32_t) { return draw_test::kWhitePixel; });
  Curve("u", "over[1,u]", -1, 1, 1.0 / 800)->Draw();
  int32_t nearPole = 0;  // pixels between the two branches' ends would be the pen's jump
  for (int32_t v = 0; v < 200; ++v) nearPole += (canvas.At(100, v) & 0xFFFFFF) != 0xFFFFFF;
  EXPECT_LE(nearPole, 2);
  // The lemniscate r = sqrt(cos 2 theta) is undefined where cos 2 theta < 0: its two loops are
  // drawn and the quarters between them left out.
  Curve("times[sqrt[cos[times[2,u]]],cos[u]]", "times[sqrt[cos[times[2,u]]],sin[u]]", 0, 2 * kPi, 1, kCurvePolarR);
  EXPECT_TRUE(DrawableSegments() > 400 && DrawableSegments() < 520) << DrawableSegments();
  // The rose r = cos 2 theta as the factory gives it: x = cos 2u cos u, y = cos 2u sin u.
  Curve("times[cos[times[2,u]],cos[u]]", "times[cos[times[2,u]],sin[u]]", 0, 2 * kPi, 1, kCurvePolarR);
  EXPECT_EQ(DrawableSegments(), 999);
  const CurvePoint& first = graph->Samples()[0];
  const CurvePoint& last = graph->Samples()[999];
  EXPECT_TRUE(std::fabs(first.x - last.x) < 1e-15 && std::fabs(first.y - last.y) < 1e-15);
}

// 5 when drawable but outside, 2 with nothing drawable, 0 for the unit circle.
TEST_F(CurveTest, StatusTellsOutsideFromUndefined) {
  const struct {
    const char* x;
    const char* y;
    int32_t status;
  } cases[] = {{"plus[u,100]", "u", 5}, {"sqrt[minus[plus[1,power[u,2]]]]", "u", 2}, {"cos[u]", "sin[u]", 0}};
  for (const auto& c : cases) EXPECT_EQ(Curve(c.x, c.y, -kPi, kPi)->Status(), c.status) << c.x;
}

// At 64 px a unit: 3 px off the circle hits (the hit parameter a segment's start), 5 px does not;
// a no-fill colour hits nothing.
TEST_F(CurveTest, HitWithinFourPixels) {
  Circle();
  const double near = 1 + 3.0 / 64, far = 1 + 5.0 / 64;
  ASSERT_TRUE(graph->HitTest(near * std::cos(0.3), near * std::sin(0.3)));
  const double t = graph->HitParameter();  // the first segment within 4 px: about 2.6 px before
  EXPECT_TRUE(t < 0.3 && t > 0.3 - 3.0 / 64) << t;
  bool isStart = false;
  for (int32_t k = 0; k < graph->SampleCount(); ++k) isStart = isStart || graph->ParameterOf(k) == t;
  EXPECT_TRUE(isStart);
  EXPECT_FALSE(graph->HitTest(far * std::cos(0.3), far * std::sin(0.3)));
  SetGraphColorIndex(graph->Color(), 17);
  EXPECT_FALSE(graph->HitTest(near * std::cos(0.3), near * std::sin(0.3)));
}

// Probed at (1.02, 0.01) the circle snaps onto the x axis: exactly (1, 0), mode 3; at a generic
// point the probe lies on the circle, unsnapped, nearest the pointer within a fraction of a pixel.
// Each probe walks from the hit parameter, as the view's probe follows its hit test.
TEST_F(CurveTest, ProbeSnapsToTheAxisCrossingExactly) {
  Circle();
  ASSERT_TRUE(graph->HitTest(1.02, 0.01));
  const ProbeRecord snapped = graph->Probe(1.02, 0.01);
  EXPECT_TRUE(snapped.mode == 3 && snapped.snapped == 1);
  EXPECT_EQ(snapped.x, 1.0);
  EXPECT_EQ(snapped.y, 0.0);
  ASSERT_TRUE(graph->HitTest(0.8, 0.63));
  const ProbeRecord p = graph->Probe(0.8, 0.63);
  EXPECT_EQ(p.snapped, 0);
  EXPECT_NEAR(std::hypot(p.x, p.y), 1.0, 1e-12);
  const double angle = std::atan2(0.63, 0.8);
  EXPECT_NEAR(p.value, angle, 1.0 / 64);  // within a pixel along the curve
  EXPECT_EQ(graph->HitParameter(), p.value);
  // Near the top the crossing of the y axis wins over the turning point in y: x exactly 0.
  ASSERT_TRUE(graph->HitTest(0.01, 1.03));
  const ProbeRecord top = graph->Probe(0.01, 1.03);
  EXPECT_TRUE(top.snapped == 1 && top.x == 0.0 && std::fabs(top.y - 1) < 1e-12);
}

// A snap needs a crossing: a line held off an axis ((1, t), (t, 1): a derivative 0 all along) or
// on one ((t, 0)) reads the pointer's point of the line, unsnapped; the crossing of the other axis
// and a zero at an end of the range that the curve leaves (t^2 from t = 0) still snap. The
// derivatives are the ones the algebra gives.
TEST_F(CurveTest, ALineSnapsOnlyWhereItCrossesSomething) {
  const struct {
    const char *x, *y, *dx, *dy;
    double t0, px, py;
    int snapped;
    double wantX, wantY;
  } cases[] = {
      {"1", "u", "0", "1", -1, 1.02, 0.5, 0, 1.0, 0.5},
      {"u", "1", "1", "0", -1, 0.5, 1.02, 0, 0.5, 1.0},
      {"u", "0", "1", "0", -1, 0.5, 0.02, 0, 0.5, 0.0},
      {"1", "u", "0", "1", -1, 1.02, 0.01, 1, 1.0, 0.0},
      {"u", "power[u,2]", "1", "times[2,u]", 0, 0.01, 0.02, 1, 0.0, 0.0},
  };
  for (const auto& c : cases) {
    DerivativesInOrder({c.dx, c.dy});
    Curve(c.x, c.y, c.t0, 1);
    ASSERT_TRUE(graph->HitTest(c.px, c.py)) << c.x << " " << c.y;
    const ProbeRecord r = graph->Probe(c.px, c.py);
    EXPECT_EQ(r.snapped, c.snapped) << c.x << " " << c.y << " at " << r.x << " " << r.y;
    // Unsnapped, the read-out is the line's point nearest the pointer to a fraction of a pixel.
    EXPECT_TRUE(std::fabs(r.x - c.wantX) < 0.25 / 64 && std::fabs(r.y - c.wantY) < 0.25 / 64)
        << c.x << " " << c.y << ": " << r.x << " " << r.y;
  }
}

// A range given high end first walks and snaps as the same range in order: the circle over
// [pi, -pi] reads, as over [-pi, pi], the snapped points exactly and the others on the curve and
// within a pixel of the point nearest the pointer.
TEST_F(CurveTest, AReversedRangeProbesAsTheOrderedOne) {
  const struct {
    double px, py;
    int snapped;
  } probes[] = {{0.8, 0.63, 0}, {1.02, 0.01, 1}, {-0.5, -0.9, 0}, {0.01, 1.03, 1}};
  for (const auto& p : probes) {
    ProbeRecord r[2];
    for (int k = 0; k < 2; ++k) {
      Circle(k == 0 ? -kPi : kPi, k == 0 ? kPi : -kPi);
      ASSERT_TRUE(graph->HitTest(p.px, p.py)) << k;
      r[k] = graph->Probe(p.px, p.py);
      EXPECT_EQ(r[k].snapped, p.snapped) << p.px << " " << p.py << " " << k;
      EXPECT_NEAR(std::hypot(r[k].x, r[k].y), 1.0, 1e-12);
      const double want = std::atan2(p.py, p.px);
      EXPECT_LT(std::hypot(r[k].x - std::cos(want), r[k].y - std::sin(want)), 1.0 / 64) << p.px << " " << k;
    }
    EXPECT_LT(std::hypot(r[0].x - r[1].x, r[0].y - r[1].y), 1.0 / 64);
  }
}

// The nearest point: found at about (0, 1), its neighbours within the tolerance in x; where the
// curve is infinite, nothing.
TEST_F(CurveTest, NearestPointAndItsRun) {
  Circle();
  const NearestPointRecord r = graph->NearestPoint(0, 1.001, 0.05, -kAll, kAll);
  ASSERT_EQ(r.found, 1);
  EXPECT_TRUE(std::fabs(r.at[1]) < 1e-6 && std::fabs(r.at[2] - 1) < 1e-6);
  EXPECT_TRUE(std::fabs(r.before[1]) <= 0.05 && std::fabs(r.after[1]) <= 0.05);
  EXPECT_TRUE(r.before[0] < r.at[0] && r.at[0] < r.after[0]);
  Curve("u", "over[1,u]", -1, 1, 1.0 / 800);
  EXPECT_EQ(graph->NearestPoint(0, 50, 0.05, 0, 0).found, 0);
}

// A grain change samples again from the start (another count); a colour change keeps them.
TEST_F(CurveTest, GrainResamplesAndColourDoesNot) {
  Curve("cos[u]", "sin[u]", 0, 1);
  graph->SetOption(6, 3);
  EXPECT_TRUE(graph->IsComplete() && graph->Computed() == 600);
  graph->SetOption(8, 1);
  EXPECT_TRUE(!graph->IsComplete() && graph->Computed() == 0 && graph->SampleCount() == 1000);
  graph->Compute(kAll);
  EXPECT_TRUE(graph->IsComplete());
  // Samples refused: error 7, and the graph is complete with nothing to draw.
  FailAllocationAt(1, true);
  graph->SetOption(8, 0);
  FailAllocationAt(0);
  EXPECT_TRUE(graph->Samples() == nullptr && graph->IsComplete() && PendingError() == kErrorOutOfMemory);
  EXPECT_EQ(graph->Status(), 2);
}

// Two crossing curves in a 2D view: a probe near their crossing snaps onto it.
class CurveViewTest : public graphs_test::View2DTest {};

TEST_F(CurveViewTest, TwoCrossingCurvesSnapToTheirIntersection) {
  Place(0, 0, 200, 200);
  static double range[2] = {-kPi, kPi};
  const struct {
    const char *x, *y;
  } curves[] = {{"cos[u]", "sin[u]"}, {"u", "u"}};
  for (const auto& xy : curves) {
    auto* graph = new GraphCurve2D(FunctionOf(xy.x), FunctionOf(xy.y), new GraphColor(nullptr), 1,
                                   kCurveParametric, &view->drawMap, range);
    graph->Compute(kAll);
    ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(graph)));
  }
  const double s = std::sqrt(0.5);
  const QDPoint p = MakePoint(WorldToPixelX(&view->windowMap, s + 0.02), WorldToPixelY(&view->windowMap, s - 0.01));
  ASSERT_TRUE(view->FindGraphAt(p));
  view->ProbeAt(p);
  EXPECT_EQ(view->probeReadout.snapped, 1);
  EXPECT_NEAR(view->probeReadout.x, s, 1e-9);
  EXPECT_NEAR(view->probeReadout.y, s, 1e-9);
}

// A line held off the axes ((1, t), its x derivative 0 all along) crossing another ((t, 0.5)): a
// probe near the crossing is not snapped to the line alone, so the view snaps it onto the crossing.
TEST_F(CurveViewTest, ALineHeldOffTheAxesSnapsToItsCrossingWithAnother) {
  Place(0, 0, 200, 200);
  static double range[2] = {-1, 1};
  const struct {
    const char *x, *y, *dx, *dy;
  } curves[] = {{"1", "u", "0", "1"}, {"u", "0.5", "1", "0"}};
  for (const auto& c : curves) {
    DerivativesInOrder({c.dx, c.dy});
    auto* graph = new GraphCurve2D(FunctionOf(c.x), FunctionOf(c.y), new GraphColor(nullptr), 1, kCurveParametric,
                                   &view->drawMap, range);
    graph->Compute(kAll);
    ASSERT_TRUE(PtrArrayAppend(view->graphs, static_cast<GraphKind*>(graph)));
  }
  const QDPoint p = MakePoint(WorldToPixelX(&view->windowMap, 1.03), WorldToPixelY(&view->windowMap, 0.52));
  ASSERT_TRUE(view->FindGraphAt(p));
  view->ProbeAt(p);
  EXPECT_EQ(view->probeReadout.snapped, 1);
  EXPECT_NEAR(view->probeReadout.x, 1, 1e-9);
  EXPECT_NEAR(view->probeReadout.y, 0.5, 1e-9);
}

}  // namespace
