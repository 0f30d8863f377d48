// Rounding, level-crossing searches and segment geometry: hand-computed goldens, the exact
// doubles that repeated multiplication by 0.1 produces, and inputs that would make a naive loop
// hang or lie (0, NaN, infinities, subnormals, overflowing scales).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "kernel/numeric/numeric_constants.h"
#include "kernel/numeric/numeric_helpers.h"

namespace {

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

// Same value, sign of zero included, or NaN for NaN.
bool SameDouble(double got, double want) {
  return std::isnan(want) ? std::isnan(got) : got == want && std::signbit(got) == std::signbit(want);
}

TEST(NumericHelpers, RoundingGoldensAndUnusableInputs) {
  // Hand-computed. 10^-2 formed as 0.1 * 0.1 is 0.010000000000000002, so one digit of 123.456
  // is 1 / 0.010000000000000002 = 99.99999999999999, and the step for 250 is 249.99999999999994.
  // A step is one digit, or the leading digit plus one half where that is closer.
  struct Round { double value; int digits; double want; };
  const Round rounds[] = {{123.456, 2, 120.0},   {123.456, 0, 99.99999999999999},  // digits clamped to 1..15
                          {123.456, 40, 123.456}, {-2.5, 1, -2.0},                 // floor(v s + 0.5)
                          {2.0 / 3.0, 15, 0.666666666666667}, {0.00123456, 3, 0.00123}};
  for (const Round& c : rounds) EXPECT_EQ(RoundToSignificantDigits(c.value, c.digits), c.want) << c.value;
  const double steps[][2] = {{0.0037, 0.004}, {0.0035, 0.0035}, {1.4, 1.5}, {1.2, 1.0}, {7, 7}, {250, 249.99999999999994}, {-3, -3}};
  for (const auto& c : steps) EXPECT_EQ(NiceRoundStep(c[0]), c[1]) << c[0];
  // The scale 10^338 of 4.9e-324 overflows; rounding the largest double up would too.
  for (double v : {0.0, -0.0, kUndefinedReal, kPositiveInfinity, -kPositiveInfinity, 4.9e-324}) {
    EXPECT_TRUE(SameDouble(RoundToSignificantDigits(v, 15), v)) << v;
    EXPECT_TRUE(SameDouble(NiceRoundStep(v), v)) << v;
  }
  EXPECT_EQ(RoundToSignificantDigits(1.7976931348623157e308, 1), 1.7976931348623157e308);
  EXPECT_NEAR(RoundToSignificantDigits(1.234e-300, 2), 1.2e-300, 1e-314);
}

TEST(NumericHelpers, SnapInterpolateRemovesRoundingNoiseOnly) {
  struct Case { double a, b, t, want; const char* why; };
  const Case cases[] = {
      {1.0, 3.0, 0.5, 2.0, "plain"},
      {0.1, 0.2, 2.0, 0.3, "the fused form gives 0.30000000000000004, snapped to 0.3"},
      {1.0, -1.0, 0.5 + 1e-17, 0.0, "within rounding noise of zero"},
      {0.0, 0.0, 0.5, 0.0, "both ends zero"},
      {kUndefinedReal, 1.0, 0.5, kUndefinedReal, "NaN end"},
      {1.0, -kPositiveInfinity, 0.25, -kPositiveInfinity, "an infinite value is no noise"},
      {4.9e-324, 4.9e-324, 0.5, 4.9e-324, "the noise bound underflows to 0; the value survives"},
  };
  for (const Case& c : cases) EXPECT_TRUE(SameDouble(SnapInterpolate(c.a, c.b, c.t), c.want)) << c.why;
  // epsilon (|a| + |b|) overflows for these ends; the value is not noise.
  EXPECT_NEAR(SnapInterpolate(1e308, 1.5e308, 0.5), 1.25e308, 1e294);
}

TEST(NumericHelpers, FindRootSecantStepsBisectsAndRefuses) {
  // A line takes one evaluation; out y and z follow, and may be null.
  PlaneFunction line{[](double x, double) { return x - 0.3; }};
  double x = 0, y = 0, z = 0;
  ASSERT_TRUE(FindRootSecant(MakeRealEvaluator(line), 0.0, 0.0, -0.3, 0.7, 0.0, 1.0, 5.0, 7.0, 1.0, 1.0, &x, &y, &z));
  EXPECT_TRUE(x == 0.3 && y == 5.6 && z == 1.0 && line.calls == 1) << x << " " << y << " " << z;
  ASSERT_TRUE(FindRootSecant(MakeRealEvaluator(line), 0.0, 0.0, -0.3, 0.7, 0.0, 1.0, 0, 0, 0, 0, &x, nullptr, nullptr));
  // An end with a zero value is the answer, without evaluating.
  ASSERT_TRUE(FindRootSecant(MakeRealEvaluator(line), 0.0, 0.0, 1.0, 0.0, 2.0, 3.0, 4.0, 5.0, 0, 0, &x, &y, nullptr));
  EXPECT_TRUE(x == 3.0 && y == 5.0 && line.calls == 2);
  // e^(20x) = 2 makes false position creep from one side; bisection ends at ln 2 / 20
  // (0.03465735902799726, hand-computed), and within a tolerance when one is given.
  PlaneFunction skewed{[](double px, double) { return std::exp(20.0 * px); }};
  const RealEvaluator e = MakeRealEvaluator(skewed);
  ASSERT_TRUE(FindRootSecant(e, 2.0, 0.0, -1.0, std::exp(20.0) - 2.0, 0.0, 1.0, 0, 0, 0, 0, &x, nullptr, nullptr));
  EXPECT_NEAR(x, 0.03465735902799726, 1e-15);
  EXPECT_LE(skewed.calls, 16 + 1024);
  ASSERT_TRUE(FindRootSecant(e, 2.0, 1e-6, -1.0, std::exp(20.0) - 2.0, 0.0, 1.0, 0, 0, 0, 0, &x, nullptr, nullptr));
  EXPECT_NEAR(x, 0.03465735902799726, 1e-6);
  // A search passes its point as (x, 0, x, y, z, 0), the box test as (0, 0, x, y, 0, 0).
  struct Recorder {
    double seen[6];
    double operator()(double u, double v, double px, double py, double pz, double w) {
      const double args[6] = {u, v, px, py, pz, w};
      std::copy(args, args + 6, seen);
      return px - 0.5;
    }
  } rec;
  ASSERT_TRUE(FindRootSecant(MakeRealEvaluator(rec), 0.0, 0.0, -0.25, 0.75, 0.25, 1.25, 2.0, 2.0, 3.0, 3.0, &x, &y, &z));
  EXPECT_TRUE(rec.seen[0] == 0.5 && rec.seen[1] == 0 && rec.seen[2] == 0.5 && rec.seen[3] == 2 && rec.seen[4] == 3 && rec.seen[5] == 0);
  LevelCrossesBoxAround(MakeRealEvaluator(rec), 0.0, 7.0, 8.0, 0.0, 0.0);
  EXPECT_TRUE(rec.seen[0] == 0 && rec.seen[2] == 7 && rec.seen[3] == 8 && rec.seen[4] == 0);
  // NaN at an end or on the way fails.
  PlaneFunction hole{[](double px, double) { return px > 0.2 ? kUndefinedReal : -1.0; }};
  EXPECT_FALSE(FindRootSecant(MakeRealEvaluator(hole), 0.0, 0.0, -1.0, 1.0, 0.0, 1.0, 0, 0, 0, 0, &x, nullptr, nullptr));
  EXPECT_FALSE(FindRootSecant(MakeRealEvaluator(hole), 0.0, 0.0, kUndefinedReal, 1.0, 0.0, 1.0, 0, 0, 0, 0, &x, nullptr, nullptr));
}

TEST(NumericHelpers, SegmentAndParameterSearchesFindCrossingsOrRefuse) {
  PlaneFunction circle{CircleSquared};
  const RealEvaluator e = MakeRealEvaluator(circle);
  double x = 0, y = 0, t = 0;
  ASSERT_TRUE(LocateZeroOnSegment(e, 1.0, 0.0, 0.0, 2.0, 2.0, &x, &y));
  EXPECT_TRUE(std::fabs(x - std::sqrt(0.5)) < 1e-15 && std::fabs(y - std::sqrt(0.5)) < 1e-15) << x << " " << y;
  EXPECT_FALSE(LocateZeroOnSegment(e, 1.0, 2.0, 0.0, 3.0, 0.0, &x, &y));  // both ends outside
  PlaneFunction half{[](double px, double) { return px < 0.5 ? 2.0 : kUndefinedReal; }};
  EXPECT_FALSE(LocateZeroOnSegment(MakeRealEvaluator(half), 1.0, 0.0, 0.0, 1.0, 0.0, &x, &y));
  // t^3 = 2 on [0, 2]: the cube root of 2, 1.2599210498948732 by hand, snapped to the ends'
  // precision.
  PlaneFunction cube{[](double p, double) { return p * p * p; }};
  ASSERT_TRUE(LocateZeroOnSegment(MakeRealEvaluator(cube), 2.0, 0.0, 2.0, &t));
  EXPECT_NEAR(t, 1.2599210498948732, 5e-15);
  EXPECT_FALSE(LocateZeroOnSegment(MakeRealEvaluator(cube), 2.0, 2.0, 3.0, &t));
}

TEST(NumericHelpers, LevelCrossesBoxAroundStopsAtTheFirstCrossingAndNeverAtNaN) {
  PlaneFunction circle{CircleSquared};
  const RealEvaluator e = MakeRealEvaluator(circle);
  EXPECT_FALSE(LevelCrossesBoxAround(e, 1.0, 0.0, 0.0, 0.5, 0.5));
  EXPECT_EQ(circle.calls, 9);
  // Centre (0.9, 0) and the corners (0.8, -0.1), (0.8, 0.1) inside, (1.0, 0.1) outside.
  circle.calls = 0;
  EXPECT_TRUE(LevelCrossesBoxAround(e, 1.0, 0.9, 0.0, 0.1, 0.1));
  EXPECT_EQ(circle.calls, 4);
  EXPECT_TRUE(LevelCrossesBoxAround(e, 0.25, 0.0, 0.0, 0.5, 0.0));  // the level is the upper side
  PlaneFunction nanCentre{[](double px, double) { return px == 0.0 ? kUndefinedReal : -1.0; }};
  PlaneFunction nanAround{[](double px, double) { return px == 0.0 ? 1.0 : kUndefinedReal; }};
  EXPECT_FALSE(LevelCrossesBoxAround(MakeRealEvaluator(nanCentre), 0.0, 0.0, 0.0, 1.0, 1.0));
  EXPECT_FALSE(LevelCrossesBoxAround(MakeRealEvaluator(nanAround), 0.0, 0.0, 0.0, 1.0, 1.0));
}

TEST(NumericHelpers, NearestLevelCrossingPicksTheClosestAndShrinksTheBox) {
  PlaneFunction circle{CircleSquared};
  double x = 0, y = 0;
  ASSERT_TRUE(NearestLevelCrossing(MakeRealEvaluator(circle), 1.0, 0.9, 0.0, 0.2, 0.2, 1.0, 0.1, &x, &y));
  EXPECT_TRUE(std::fabs(x * x + y * y - 1.0) < 1e-12 && y > 0.05) << x << " " << y;  // the diagonal wins
  // rho (1 - rho) = 0.1 crosses on no segment of the full box but on the first corner segment of
  // the k = 1 box, at rho = (1 - sqrt 0.6) / 2: x = y = -0.0796921118406907 (hand-computed).
  PlaneFunction ring{[](double px, double py) { return std::hypot(px, py) * (1.0 - std::hypot(px, py)); }};
  ASSERT_TRUE(NearestLevelCrossing(MakeRealEvaluator(ring), 0.1, 0.0, 0.0, 1.0, 1.0, 0.5, 0.5, &x, &y));
  EXPECT_TRUE(std::fabs(x + 0.0796921118406907) < 1e-13 && std::fabs(y + 0.0796921118406907) < 1e-13);
  PlaneFunction flat{[](double, double) { return 3.0; }};
  EXPECT_FALSE(NearestLevelCrossing(MakeRealEvaluator(flat), 0.0, 0.0, 0.0, 1.0, 1.0, 0.0, 0.0, &x, &y));
  // A zero half height still answers the crossing found.
  PlaneFunction line{[](double px, double) { return px; }};
  ASSERT_TRUE(NearestLevelCrossing(MakeRealEvaluator(line), 0.5, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, &x, &y));
  EXPECT_EQ(x, 0.5);
}

TEST(NumericHelpers, DistanceToASegmentAndItsNearestPoint) {
  // Hand-computed: (point, segment a-b, squared distance, nearest point).
  const double cases[][9] = {
      {0, 1, -1, 0, 1, 0, 1, 0, 0},     {0, 1, 2, 0, 3, 0, 5, 2, 0},   {4, 0, 2, 0, 3, 0, 1, 3, 0},
      {1, 1, 2, 2, 2, 2, 2, 2, 2},      {0, 0, -3, 0, 3, 6, 4.5, -1.5, 1.5},
      {3, 0, 0, 0, 2, 2, 4.5, 1.5, 1.5},
  };
  for (const auto& c : cases) {
    double x = kUndefinedReal, y = kUndefinedReal;
    NearestPointOnSegment(c[0], c[1], c[2], c[3], c[4], c[5], &x, &y);
    EXPECT_EQ(PointSegmentDistanceSquared(c[0], c[1], c[2], c[3], c[4], c[5]), c[6]) << c[0] << "," << c[1];
    EXPECT_TRUE(x == c[7] && y == c[8]) << c[0] << "," << c[1];
  }
  EXPECT_TRUE(std::isnan(PointSegmentDistanceSquared(0, 1, kUndefinedReal, 0, 1, 0)));
  EXPECT_EQ(PointSegmentDistanceSquared(0, 1, -1, 0, kPositiveInfinity, 0), kPositiveInfinity);
  // On a slanted line the projection form cancels to a tiny remainder, never below 0.
  for (int i = 1; i < 1000; ++i) EXPECT_GE(PointSegmentDistanceSquared(0.1 + i * 7e-4, 0.3 + i * 2.9e-3, 0.1, 0.3, 0.8, 3.2), 0.0);
}

TEST(NumericHelpers, CrossingsOfTwoSegments) {
  struct Case { double p[4], q[4]; bool overlap; };
  const Case parallels[] = {
      {{0, 0, 2, 1}, {1, 0.5, 3, 1.5}, true},     // q on p, starting inside it
      {{0, 0, 2, 1}, {1, 0.6, 3, 1.6}, false},    // offset by more than 1% of |p|
      {{0, 0, 2, 1}, {3, 1.5, 4, 2}, false},      // collinear, wholly beyond p's x range
      {{0, 0, 1, 10}, {0.5, 5, 0.6, 6}, true},    // steep: the x-over-y slope
      {{0, 0, 1, 10}, {0.5, 5, kUndefinedReal, 6}, false},
      {{1, 0, 0, 0}, {0.5, 0, 0.25, 0}, true},    // leftward p: no slope of -infinity
      {{1, 0, 0, 0.1}, {0.5, 0.05, 0.25, 0.075}, true},
  };
  for (const Case& c : parallels) {
    EXPECT_EQ(InterpolateCrossing(c.p[0], c.p[1], c.p[2], c.p[3], c.q[0], c.q[1], c.q[2], c.q[3]), c.overlap) << c.q[0];
  }
  struct Meet { double p[4], q[4]; bool meets; double x, y; };
  const Meet meets[] = {
      {{0, 0, 1, 1}, {0, 1, 1, 0}, true, 0.5, 0.5},        {{0.25, -1, 0.25, 1}, {0, 0, 1, 1}, true, 0.25, 0.25},
      {{0, 0, 1, 1}, {0.75, -1, 0.75, 1}, true, 0.75, 0.75}, {{0, 0, 0, 1}, {1, 0, 1, 1}, false, 0, 0},
      {{0, 0, 1, 1}, {0, 1, 1, 2}, false, 0, 0},           {{0, 0, 1, 1}, {2, 0, 3, -1}, false, 0, 0},
      {{0, 0, 0, 0}, {0, 1, 1, 0}, false, 0, 0},           {{0, 0, 1, kUndefinedReal}, {0, 1, 1, 0}, false, 0, 0},
  };
  for (const Meet& c : meets) {
    double out[3] = {0, 0, 0};
    ASSERT_EQ(InterpolateCrossing2(c.p[0], c.p[1], c.p[2], c.p[3], c.q[0], c.q[1], c.q[2], c.q[3], out), c.meets) << c.p[0];
    EXPECT_TRUE(!c.meets || (std::isnan(out[0]) && out[1] == c.x && out[2] == c.y)) << c.x;
  }
}

TEST(NumericHelpers, ClipsToACircleAndMeetsARectangle) {
  // Unit circle at the origin: (segment, clipped segment), hand-computed.
  const double clips[][8] = {
      {-2, 0, 2, 0, -1, 0, 1, 0},  {-0.5, 0.1, 0.5, -0.1, -0.5, 0.1, 0.5, -0.1},  // both ends inside
      {-2, 2, 2, 2, 1, 0, 1, 0},   {2, 0, 0, 0, 1, 0, 0, 0},  // a miss collapses to (1, 0); order kept
      {0, -3, 0, 3, 0, -1, 0, 1},  {-3, 0, -2, 0, 1, 0, 1, 0},  {kUndefinedReal, 0, 2, 0, 1, 0, 1, 0},
  };
  for (const auto& c : clips) {
    double x0 = c[0], y0 = c[1], x1 = c[2], y1 = c[3];
    ClipSegmentToCircle(0, 0, 1, &x0, &y0, &x1, &y1);
    EXPECT_TRUE(x0 == c[4] && y0 == c[5] && x1 == c[6] && y1 == c[7]) << c[0] << "," << c[1] << " " << c[2] << "," << c[3];
  }
  // The open rectangle (-1, 1) x (-1, 1): edges and corners touched alone do not count.
  struct Rect { double x0, y0, x1, y1; bool meets; };
  const Rect rects[] = {
      {-2, -2, 2, 2, true},  {-3, 0, -2, 0.5, false}, {1, -3, 1, 3, false},   {0, 0, 5, 5, true},
      {0, 2, 2, 0, false},   {0, 1.9, 1.9, 0, true},  {-2, 1, 2, 1, false},   {0, 2, 3, 0.5, false},
      {0.5, 2, -0.5, -2, true}, {-1.5, -5, 0.5, 3, true},  // steep, lower end left: through (-0.25, 0)
      {kUndefinedReal, 0, 2, 0, false},
  };
  for (const Rect& c : rects) EXPECT_EQ(SegmentMeetsRect(c.x0, c.y0, c.x1, c.y1, -1, 1, 1, -1), c.meets) << c.x0 << "," << c.y0;
}

// The closed rectangle [-1, 1] x [-1, 1]: (segment, clipped segment or a miss), hand-computed, to
// the rounding of the ends' size. An end inside stays bit for bit and the order of the ends is kept.
// Ends whose difference passes the largest double give finite ends inside the rectangle (the line
// itself is then known only to the rounding of 1e308).
TEST(NumericHelpers, ClipsASegmentToARectangle) {
  struct Clip {
    double x0, y0, x1, y1;
    bool meets;
    double cx0, cy0, cx1, cy1, tolerance;
  };
  const Clip clips[] = {
      {-3, 0, 3, 0, true, -1, 0, 1, 0, 0},
      {0.1, 0.3, 0.7, -0.2, true, 0.1, 0.3, 0.7, -0.2, 0},  // inside: unchanged
      {0, 0, 3, 1, true, 0, 0, 1, 1.0 / 3, 1e-15},           // leaves through the right edge
      {0, 0, 1000, 500, true, 0, 0, 1, 0.5, 1e-13},
      {3, 1, 0, 0, true, 1, 1.0 / 3, 0, 0, 1e-15},           // the order kept
      {-2, 3, 2, -1, true, 0, 1, 1, 0, 1e-15},               // through two edges
      {-3, 2, 3, 2, false, -3, 2, 3, 2, 0},                  // a miss: unchanged
      {1, -3, 1, 3, true, 1, -1, 1, 1, 0},                   // along an edge
      {-1e6, -5e5, 1e6, 5e5, true, -1, -0.5, 1, 0.5, 1e-9},
  };
  for (const Clip& c : clips) {
    double x0 = c.x0, y0 = c.y0, x1 = c.x1, y1 = c.y1;
    EXPECT_EQ(ClipSegmentToRect(-1, 1, 1, -1, &x0, &y0, &x1, &y1), c.meets) << c.x0 << "," << c.y0;
    EXPECT_NEAR(x0, c.cx0, c.tolerance) << c.x0 << "," << c.y0;
    EXPECT_NEAR(y0, c.cy0, c.tolerance) << c.x0 << "," << c.y0;
    EXPECT_NEAR(x1, c.cx1, c.tolerance) << c.x0 << "," << c.y0;
    EXPECT_NEAR(y1, c.cy1, c.tolerance) << c.x0 << "," << c.y0;
  }
  for (double far : {1e308, 1.5e308, std::numeric_limits<double>::max()}) {
    double x0 = -far, y0 = -far, x1 = far, y1 = far;
    ASSERT_TRUE(ClipSegmentToRect(-1, 1, 1, -1, &x0, &y0, &x1, &y1)) << far;
    for (double v : {x0, y0, x1, y1}) EXPECT_TRUE(v >= -1 && v <= 1) << far;
  }
}

}  // namespace
