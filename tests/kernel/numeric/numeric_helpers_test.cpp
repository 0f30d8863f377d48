// Rounding, level-crossing searches and segment geometry: hand-computed goldens,
// the exact doubles that repeated multiplication by 0.1 produces, inputs that would
// make a naive loop hang (0, NaN, infinities, subnormals), and the aliases.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/numeric/numeric_helpers.h"
#include "tests/kernel/eval/evaluation_test_support.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A function of the plane read from the (x, y) arguments, with a call counter.
struct PlaneFunction {
  double (*g)(double x, double y);
  int calls = 0;
  double operator()(double, double, double x, double y, double, double) {
    ++calls;
    return g(x, y);
  }
};

double CircleSquared(double x, double y) { return x * x + y * y; }

struct RoundCase {
  double value;
  int digits;
  double want;
  const char* why;
};

TEST(NumericHelpers, RoundToSignificantDigitsGoldens) {
  // Hand-computed. 10^-2 formed as 0.1 * 0.1 is 0.010000000000000002, so one digit of
  // 123.456 is 1 / 0.010000000000000002 = 99.99999999999999, not 100.
  const RoundCase cases[] = {
      {123.456, 2, 120.0, "two digits"},
      {123.456, 0, 99.99999999999999, "digits clamped to 1; scale by repeated 0.1"},
      {123.456, 40, 123.456, "digits clamped to 15"},
      {-2.5, 1, -2.0, "floor(v s + 0.5) rounds -2.5 up"},
      {2.0 / 3.0, 15, 0.666666666666667, "fifteen digits"},
      {0.0037, 1, 0.004, "small value"},
      {0.00123456, 3, 0.00123, "scale 10^5 by exact multiplications"},
  };
  for (const RoundCase& c : cases) {
    EXPECT_EQ(RoundToSignificantDigits(c.value, c.digits), c.want) << c.why;
  }
}

// Same value, sign of zero included, or NaN for NaN.
bool SameDouble(double got, double want) {
  return std::isnan(want) ? std::isnan(got) : got == want && std::signbit(got) == std::signbit(want);
}

TEST(NumericHelpers, UnusableInputsComeBackUnchangedWithoutLooping) {
  // At 4.9e-324 the scale 10^338 overflows (a naive product would give NaN).
  for (double v : {0.0, -0.0, kNaN, kInf, -kInf, 4.9e-324}) {
    EXPECT_TRUE(SameDouble(RoundToSignificantDigits(v, 15), v)) << v;
    EXPECT_TRUE(SameDouble(NiceRoundStep(v), v)) << v;
  }
  EXPECT_EQ(NiceRoundStep(-3.0), -3.0);
  // Rounding the largest doubles up would overflow to infinity.
  EXPECT_EQ(RoundToSignificantDigits(1.7976931348623157e308, 1), 1.7976931348623157e308);
  // Small normal values still round.
  EXPECT_NEAR(RoundToSignificantDigits(1.234e-300, 2), 1.2e-300, 1e-314);
}

TEST(NumericHelpers, NiceRoundStepGoldens) {
  // Hand-computed: one digit when within a third of a unit of the leading digit,
  // otherwise leading digit plus one half. 250 meets the 0.1 * 0.1 scale again.
  EXPECT_EQ(NiceRoundStep(0.0037), 0.004);
  EXPECT_EQ(NiceRoundStep(0.0035), 0.0035);
  EXPECT_EQ(NiceRoundStep(1.4), 1.5);
  EXPECT_EQ(NiceRoundStep(1.2), 1.0);
  EXPECT_EQ(NiceRoundStep(7.0), 7.0);
  EXPECT_EQ(NiceRoundStep(250.0), 249.99999999999994);
  EXPECT_NEAR(NiceRoundStep(1e-250), 1e-250, 1e-263);
}

TEST(NumericHelpers, SnapInterpolateRemovesRoundingNoise) {
  // Hand-computed.
  struct Case { double a, b, t, want; const char* why; };
  const Case cases[] = {
      {0.0, 1.0, 0.3, 0.3, "plain"},
      {1.0, 3.0, 0.5, 2.0, "plain"},
      {1.0, -1.0, 0.5, 0.0, "zero"},
      {0.1, 0.2, 2.0, 0.3, "the fused form gives 0.30000000000000004, snapped to 0.3"},
      {1.0, -1.0, 0.5 + 1e-17, 0.0, "within rounding noise of zero"},
      {0.0, 0.0, 0.5, 0.0, "both ends zero"},
      {kNaN, 1.0, 0.5, kNaN, "NaN end"},
      {0.0, 1.0, kNaN, kNaN, "NaN parameter"},
      {1.0, kInf, 0.5, kInf, "an infinite noise bound; the value is still no noise"},
      {1.0, -kInf, 0.25, -kInf, "an infinite noise bound, negative"},
      {4.9e-324, 4.9e-324, 0.5, 4.9e-324, "the noise bound underflows to 0; the value survives"},
  };
  for (const Case& c : cases) {
    const double got = SnapInterpolate(c.a, c.b, c.t);
    EXPECT_TRUE(std::isnan(c.want) ? std::isnan(got) : got == c.want) << c.why << ": " << got;
  }
  // epsilon (|a| + |b|) overflows for these ends; the value is not noise.
  EXPECT_NEAR(SnapInterpolate(1e308, 1.5e308, 0.5), 1.25e308, 1e294);
}

TEST(NumericHelpers, FindRootSecantOnALineTakesOneStep) {
  PlaneFunction f{[](double x, double) { return x - 0.3; }};
  const RealEvaluator e = MakeRealEvaluator(f);
  double x = 0, y = 0, z = 0;
  ASSERT_TRUE(FindRootSecant(e, 0.0, 0.0, -0.3, 0.7, 0.0, 1.0, 5.0, 7.0, 1.0, 1.0, &x, &y, &z));
  EXPECT_EQ(x, 0.3);
  EXPECT_EQ(y, 5.6);
  EXPECT_EQ(z, 1.0);
  EXPECT_EQ(f.calls, 1);
  // Out y and z may be null.
  ASSERT_TRUE(FindRootSecant(e, 0.0, 0.0, -0.3, 0.7, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, &x, nullptr, nullptr));
  EXPECT_EQ(x, 0.3);
}

TEST(NumericHelpers, FindRootSecantAnswersAnEndWithAZeroValue) {
  PlaneFunction f{[](double x, double) { return x; }};
  const RealEvaluator e = MakeRealEvaluator(f);
  double x = 9, y = 9;
  ASSERT_TRUE(FindRootSecant(e, 0.0, 0.0, 0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 0.0, 0.0, &x, &y, nullptr));
  EXPECT_EQ(x, 2.0);
  EXPECT_EQ(y, 4.0);
  ASSERT_TRUE(FindRootSecant(e, 0.0, 0.0, 1.0, 0.0, 2.0, 3.0, 4.0, 5.0, 0.0, 0.0, &x, &y, nullptr));
  EXPECT_EQ(x, 3.0);
  EXPECT_EQ(y, 5.0);
  EXPECT_EQ(f.calls, 0);
}

TEST(NumericHelpers, FindRootSecantFallsBackToBisectionOnSkewedFunctions) {
  // e^(20x) - 2 makes false position creep from one side; the root is ln 2 / 20
  // (hand-computed 0.03465735902799726).
  PlaneFunction f{[](double x, double) { return std::exp(20.0 * x); }};
  const RealEvaluator e = MakeRealEvaluator(f);
  double x = 0;
  ASSERT_TRUE(FindRootSecant(e, 2.0, 0.0, 1.0 - 2.0, std::exp(20.0) - 2.0, 0.0, 1.0, 0.0, 0.0, 0.0,
                             0.0, &x, nullptr, nullptr));
  EXPECT_NEAR(x, 0.03465735902799726, 1e-15);
  EXPECT_LE(f.calls, 16 + 1024);
  // With a tolerance the answer is within it: false position creeps from the left in
  // steps of about 2e-9, which a step-size test would take for convergence at 4e-9.
  f.calls = 0;
  ASSERT_TRUE(FindRootSecant(e, 2.0, 1e-6, -1.0, std::exp(20.0) - 2.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0,
                             &x, nullptr, nullptr));
  EXPECT_NEAR(x, 0.03465735902799726, 1e-6);
}

TEST(NumericHelpers, FindRootSecantFailsOnNaN) {
  PlaneFunction f{[](double x, double) { return x > 0.2 ? kNaN : -1.0; }};
  const RealEvaluator e = MakeRealEvaluator(f);
  double x = 0;
  EXPECT_FALSE(FindRootSecant(e, 0.0, 0.0, -1.0, 1.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, &x, nullptr, nullptr));
  EXPECT_FALSE(FindRootSecant(e, 0.0, 0.0, kNaN, 1.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, &x, nullptr, nullptr));
}

TEST(NumericHelpers, SegmentSearchesPassTheirArgumentsInTheEvaluatorSlots) {
  // Segment searches read (x, 0, x, y, z, 0); the box test reads (0, 0, x, y, 0, 0).
  struct Recorder {
    std::vector<double> args;
    double operator()(double u, double v, double x, double y, double z, double w) {
      args = {u, v, x, y, z, w};
      return x - 0.5;
    }
  } recorder;
  const RealEvaluator e = MakeRealEvaluator(recorder);
  double x = 0, y = 0, z = 0;
  ASSERT_TRUE(FindRootSecant(e, 0.0, 0.0, -0.25, 0.75, 0.25, 1.25, 2.0, 2.0, 3.0, 3.0, &x, &y, &z));
  EXPECT_EQ(recorder.args, (std::vector<double>{0.5, 0.0, 0.5, 2.0, 3.0, 0.0}));
  LevelCrossesBoxAround(e, 0.0, 7.0, 8.0, 0.0, 0.0);
  EXPECT_EQ(recorder.args, (std::vector<double>{0.0, 0.0, 7.0, 8.0, 0.0, 0.0}));
}

TEST(NumericHelpers, LocateZeroOnSegmentFindsTheCrossingOrRefuses) {
  PlaneFunction circle{CircleSquared};
  const RealEvaluator e = MakeRealEvaluator(circle);
  double x = 0, y = 0;
  ASSERT_TRUE(LocateZeroOnSegment(e, 1.0, 0.0, 0.0, 2.0, 2.0, &x, &y));
  EXPECT_NEAR(x, std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(y, std::sqrt(0.5), 1e-15);
  // Both ends on the same strict side: no crossing.
  EXPECT_FALSE(LocateZeroOnSegment(e, 1.0, 2.0, 0.0, 3.0, 0.0, &x, &y));
  EXPECT_FALSE(LocateZeroOnSegment(e, 1.0, 0.0, 0.0, 0.5, 0.0, &x, &y));
  // End values 1 and NaN: no crossing.
  PlaneFunction half{[](double px, double) { return px < 0.5 ? 2.0 : kNaN; }};
  const RealEvaluator h = MakeRealEvaluator(half);
  EXPECT_FALSE(LocateZeroOnSegment(h, 1.0, 0.0, 0.0, 1.0, 0.0, &x, &y));
}

TEST(NumericHelpers, LocateZeroOnParameterRange) {
  // t^3 - 2 on [0, 2]: the cube root of 2 (hand value 1.2599210498948732).
  PlaneFunction cube{[](double t, double) { return t * t * t; }};
  const RealEvaluator e = MakeRealEvaluator(cube);
  double t = 0;
  ASSERT_TRUE(LocateZeroOnSegment(e, 2.0, 0.0, 2.0, &t));
  // Snapped to 15 significant digits (the precision of the ends 0 and 2).
  EXPECT_NEAR(t, 1.2599210498948732, 5e-15);
  EXPECT_FALSE(LocateZeroOnSegment(e, 2.0, 2.0, 3.0, &t));
}

TEST(NumericHelpers, LevelCrossesBoxAroundStopsAtTheFirstCrossing) {
  PlaneFunction circle{CircleSquared};
  const RealEvaluator e = MakeRealEvaluator(circle);
  EXPECT_FALSE(LevelCrossesBoxAround(e, 1.0, 0.0, 0.0, 0.5, 0.5));
  EXPECT_EQ(circle.calls, 9);
  // Centre (0.9, 0) inside, first corner (0.8, -0.1) inside, second (0.8, 0.1) inside,
  // third (1.0, 0.1) outside: centre plus three points.
  circle.calls = 0;
  EXPECT_TRUE(LevelCrossesBoxAround(e, 1.0, 0.9, 0.0, 0.1, 0.1));
  EXPECT_EQ(circle.calls, 4);
  // The level itself counts as the non-negative side.
  EXPECT_TRUE(LevelCrossesBoxAround(e, 0.25, 0.0, 0.0, 0.5, 0.0));
  // NaN never crosses, at the centre or around it.
  PlaneFunction nanCentre{[](double x, double) { return x == 0.0 ? kNaN : -1.0; }};
  EXPECT_FALSE(LevelCrossesBoxAround(MakeRealEvaluator(nanCentre), 0.0, 0.0, 0.0, 1.0, 1.0));
  PlaneFunction nanAround{[](double x, double) { return x == 0.0 ? 1.0 : kNaN; }};
  EXPECT_FALSE(LevelCrossesBoxAround(MakeRealEvaluator(nanAround), 0.0, 0.0, 0.0, 1.0, 1.0));
}

TEST(NumericHelpers, NearestLevelCrossingPicksTheClosestCrossing) {
  PlaneFunction circle{CircleSquared};
  const RealEvaluator e = MakeRealEvaluator(circle);
  double x = 0, y = 0;
  ASSERT_TRUE(NearestLevelCrossing(e, 1.0, 0.9, 0.0, 0.2, 0.2, 0.9, 0.0, &x, &y));
  EXPECT_NEAR(x, 1.0, 1e-12);
  EXPECT_NEAR(y, 0.0, 1e-12);
  // Probe near the upper right: the diagonal crossing wins.
  ASSERT_TRUE(NearestLevelCrossing(e, 1.0, 0.9, 0.0, 0.2, 0.2, 1.0, 0.1, &x, &y));
  EXPECT_NEAR(x * x + y * y, 1.0, 1e-12);
  EXPECT_GT(y, 0.05);
}

TEST(NumericHelpers, NearestLevelCrossingShrinksTheBoxWhenTheFullOneShowsNone) {
  // rho (1 - rho) around the origin with level 0.1: negative-side at the centre and at
  // every point of the full box, crossing first on the k = 1 box's first corner segment
  // at rho = (1 - sqrt 0.6) / 2 (hand-computed: x = y = -0.0796921118406907).
  PlaneFunction ring{[](double x, double y) {
    const double rho = std::hypot(x, y);
    return rho * (1.0 - rho);
  }};
  const RealEvaluator e = MakeRealEvaluator(ring);
  double x = 0, y = 0;
  ASSERT_TRUE(NearestLevelCrossing(e, 0.1, 0.0, 0.0, 1.0, 1.0, 0.5, 0.5, &x, &y));
  EXPECT_NEAR(x, -0.0796921118406907, 1e-13);
  EXPECT_NEAR(y, -0.0796921118406907, 1e-13);
  // A constant never crosses.
  PlaneFunction flat{[](double, double) { return 3.0; }};
  EXPECT_FALSE(NearestLevelCrossing(MakeRealEvaluator(flat), 0.0, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0, &x, &y));
  // A zero half height still answers the crossing found.
  PlaneFunction line{[](double px, double) { return px; }};
  ASSERT_TRUE(NearestLevelCrossing(MakeRealEvaluator(line), 0.5, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, &x, &y));
  EXPECT_EQ(x, 0.5);
}

TEST(NumericHelpers, CompiledFunctionsServeAsEvaluators) {
  // x^2 + y^2 = 1 compiled: the probe at (0.9, 0) snaps to (1, 0), as with the lambda.
  ResetEvaluationSeams();
  ASSERT_TRUE(EnsureEvalScratch(kFixedSlotCount));
  CompiledFunction* circle = evaltest::Function("plus[power[x,2],power[y,2]]");
  CompileFunction(circle);
  const RealEvaluator e = CompiledFunctionEvaluator(circle);
  double x = 0, y = 0;
  ASSERT_TRUE(NearestLevelCrossing(e, 1.0, 0.9, 0.0, 0.2, 0.2, 0.9, 0.0, &x, &y));
  EXPECT_NEAR(x, 1.0, 1e-12);
  EXPECT_NEAR(y, 0.0, 1e-12);
  EXPECT_TRUE(LevelCrossesBoxAround(e, 1.0, 0.9, 0.0, 0.2, 0.2));
  evaltest::Free(circle);
}

struct DistanceCase {
  double px, py, ax, ay, bx, by, want, footX, footY;
};

TEST(NumericHelpers, PointSegmentDistanceSquaredAndNearestPointGoldens) {
  // Hand-computed.
  const DistanceCase cases[] = {
      {0, 1, -1, 0, 1, 0, 1, 0, 0},          // foot inside the segment
      {0, 1, 2, 0, 3, 0, 5, 2, 0},           // nearest end a
      {4, 0, 2, 0, 3, 0, 1, 3, 0},           // nearest end b
      {1, 1, 2, 2, 2, 2, 2, 2, 2},           // degenerate segment
      {0.5, 0, 0, 0, 1, 0, 0, 0.5, 0},       // point on the segment
      {0, 0, -3, 0, 3, 6, 4.5, -1.5, 1.5},   // slanted segment
      {3, 0, 0, 0, 2, 2, 4.5, 1.5, 1.5},     // slanted, foot inside
  };
  for (const DistanceCase& c : cases) {
    EXPECT_EQ(PointSegmentDistanceSquared(c.px, c.py, c.ax, c.ay, c.bx, c.by), c.want);
    EXPECT_EQ(SegmentDistanceSquared(c.px, c.py, c.ax, c.ay, c.bx, c.by), c.want);
    double x = kNaN, y = kNaN;
    NearestPointOnSegment(c.px, c.py, c.ax, c.ay, c.bx, c.by, &x, &y);
    EXPECT_EQ(x, c.footX) << c.px << "," << c.py;
    EXPECT_EQ(y, c.footY) << c.px << "," << c.py;
  }
  EXPECT_TRUE(std::isnan(PointSegmentDistanceSquared(0, 1, kNaN, 0, 1, 0)));
  EXPECT_TRUE(std::isnan(PointSegmentDistanceSquared(0, 1, kInf, 0, 1, kNaN)));
  EXPECT_EQ(PointSegmentDistanceSquared(0, 1, -1, 0, kInf, 0), kInf);
}

TEST(NumericHelpers, PointSegmentDistanceSquaredIsNeverNegative) {
  // Points on a slanted line: the projection form cancels to a tiny remainder.
  for (int i = 1; i < 1000; ++i) {
    const double t = i / 1000.0;
    const double px = 0.1 + t * 0.7;
    const double py = 0.3 + t * 2.9;
    EXPECT_GE(PointSegmentDistanceSquared(px, py, 0.1, 0.3, 0.8, 3.2), 0.0) << t;
  }
}

TEST(NumericHelpers, InterpolateCrossingDetectsOverlappingParallels) {
  struct Case { double p[4], q[4]; bool want; const char* why; };
  const Case cases[] = {
      {{0, 0, 2, 1}, {1, 0.5, 3, 1.5}, true, "q lies on p and starts inside it"},
      {{0, 0, 2, 1}, {1, 0.6, 3, 1.6}, false, "parallel but offset by more than 1% of |p|"},
      {{0, 0, 2, 1}, {1, 0.5, 3, 2.5}, false, "not parallel"},
      {{0, 0, 2, 1}, {3, 1.5, 4, 2}, false, "collinear but wholly beyond p's x range"},
      {{0, 0, 1, 10}, {0.5, 5, 0.6, 6}, true, "steep segments use the x-over-y slope"},
      {{0, 0, 1, 10}, {0.5, 5, kNaN, 6}, false, "NaN end"},
      // By a signed comparison (0 < -1 is false) a leftward p's slope would be -inf.
      {{1, 0, 0, 0}, {0.5, 0, 0.25, 0}, true, "leftward horizontal p"},
      {{0, 0, 1, 0}, {0.5, 0, 0.25, 0}, true, "rightward horizontal p"},
      {{1, 0, 0, 0.1}, {0.5, 0.05, 0.25, 0.075}, true, "leftward, slightly rising"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(InterpolateCrossing(c.p[0], c.p[1], c.p[2], c.p[3], c.q[0], c.q[1], c.q[2], c.q[3]), c.want)
        << c.why;
  }
}

TEST(NumericHelpers, InterpolateCrossing2Intersections) {
  // Hand-computed; out[0] is left NaN.
  struct Case { double p[4], q[4]; bool meets; double x, y; const char* why; };
  const Case cases[] = {
      {{0, 0, 1, 1}, {0, 1, 1, 0}, true, 0.5, 0.5, "diagonals"},
      {{0.25, -1, 0.25, 1}, {0, 0, 1, 1}, true, 0.25, 0.25, "vertical p"},
      {{0, 0, 1, 1}, {0.75, -1, 0.75, 1}, true, 0.75, 0.75, "vertical q"},
      {{0, 0, 0, 1}, {1, 0, 1, 1}, false, 0, 0, "both vertical"},
      {{0, 0, 1, 1}, {0, 1, 1, 2}, false, 0, 0, "parallel"},
      {{0, 0, 1, 1}, {2, 0, 3, -1}, false, 0, 0, "lines meet outside"},
      {{0, 0, 0, 0}, {0, 1, 1, 0}, false, 0, 0, "degenerate p"},
      {{0, 0, 1, kNaN}, {0, 1, 1, 0}, false, 0, 0, "NaN end"},
  };
  for (const Case& c : cases) {
    double out[3] = {0, 0, 0};
    EXPECT_EQ(InterpolateCrossing2(c.p[0], c.p[1], c.p[2], c.p[3], c.q[0], c.q[1], c.q[2], c.q[3], out), c.meets)
        << c.why;
    if (!c.meets) continue;
    EXPECT_TRUE(std::isnan(out[0])) << c.why;
    EXPECT_EQ(out[1], c.x) << c.why;
    EXPECT_EQ(out[2], c.y) << c.why;
  }
}

struct ClipCase {
  double x0, y0, x1, y1;
  double w0x, w0y, w1x, w1y;
  const char* why;
};

TEST(NumericHelpers, ClipSegmentToCircleGoldens) {
  // Unit circle at the origin; hand-computed.
  const ClipCase cases[] = {
      {-2, 0, 2, 0, -1, 0, 1, 0, "through the centre"},
      {-0.5, 0.1, 0.5, -0.1, -0.5, 0.1, 0.5, -0.1, "both ends inside"},
      {-2, 2, 2, 2, 1, 0, 1, 0, "misses: collapses to (cx + r, cy)"},
      {0, 0, 2, 0, 0, 0, 1, 0, "inner end stays"},
      {2, 0, 0, 0, 1, 0, 0, 0, "order kept"},
      {0, -3, 0, 3, 0, -1, 0, 1, "vertical"},
      {-3, 0, -2, 0, 1, 0, 1, 0, "stops short of the circle"},
      {3, 3, 3, 3, 1, 0, 1, 0, "degenerate outside"},
  };
  for (const ClipCase& c : cases) {
    double x0 = c.x0, y0 = c.y0, x1 = c.x1, y1 = c.y1;
    ClipSegmentToCircle(0, 0, 1, &x0, &y0, &x1, &y1);
    EXPECT_EQ(x0, c.w0x) << c.why;
    EXPECT_EQ(y0, c.w0y) << c.why;
    EXPECT_EQ(x1, c.w1x) << c.why;
    EXPECT_EQ(y1, c.w1y) << c.why;
  }
  // Off-centre circle through the alias: centre (10, 5), radius 2.
  double x0 = 5, y0 = 5, x1 = 15, y1 = 5;
  IntersectSegmentWithLine(10, 5, 2, &x0, &y0, &x1, &y1);
  EXPECT_EQ(x0, 8.0);
  EXPECT_EQ(x1, 12.0);
  EXPECT_EQ(y0, 5.0);
  EXPECT_EQ(y1, 5.0);
  // NaN ends collapse rather than propagate.
  x0 = kNaN, y0 = 0, x1 = 2, y1 = 0;
  ClipSegmentToCircle(0, 0, 1, &x0, &y0, &x1, &y1);
  EXPECT_EQ(x0, 1.0);
  EXPECT_EQ(x1, 1.0);
}

struct RectCase {
  double x0, y0, x1, y1;
  bool want;
  const char* why;
};

TEST(NumericHelpers, SegmentMeetsRectGoldens) {
  // Open rectangle [-1, 1] x [-1, 1] (left, right, top, bottom = -1, 1, 1, -1).
  const RectCase cases[] = {
      {-2, -2, 2, 2, true, "diagonal through both corners"},
      {-3, 0, -2, 0.5, false, "wholly left"},
      {0.5, -3, 0.5, 3, true, "vertical through the inside"},
      {1, -3, 1, 3, false, "vertical along the right edge"},
      {0, 0, 5, 5, true, "one end inside"},
      {0, 2, 2, 0, false, "touches the corner (1, 1) only"},
      {0, 1.9, 1.9, 0, true, "cuts the corner"},
      {-2, 1, 2, 1, false, "along the top edge"},
      {-2, 0, 2, 0.5, true, "across, both ends outside"},
      {0, 2, 3, 0.5, false, "passes above the corner"},
      {0.5, 2, -0.5, -2, true, "steep, both x inside"},
      // Neither the line at the left or right edge nor both x inside: still through (-0.25, 0).
      {-1.5, -5, 0.5, 3, true, "steep, lower end left of the rectangle"},
      {kNaN, 0, 2, 0, false, "NaN end"},
  };
  for (const RectCase& c : cases) {
    EXPECT_EQ(SegmentMeetsRect(c.x0, c.y0, c.x1, c.y1, -1, 1, 1, -1), c.want) << c.why;
    EXPECT_EQ(SegmentIntersectsRect(c.x0, c.y0, c.x1, c.y1, -1, 1, 1, -1), c.want) << c.why;
  }
}

}  // namespace
