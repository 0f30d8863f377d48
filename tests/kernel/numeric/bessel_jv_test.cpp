// BesselJv in every region its algorithm switches between, its sign rules, its edge values with
// the error each records, and two independent cross-checks: the closed forms of half orders and
// the standard library's cyl_bessel_j. Golden values: mpmath 1.3 besselj at 50 digits.
#include <gtest/gtest.h>

#include <cmath>

#include "kernel/numeric/numeric_constants.h"
#include "kernel/numeric/special_functions.h"

namespace {

TEST(BesselJv, MatchesArbitraryPrecisionInEveryRegion) {
  constexpr double kModerate = 1e-12, kLargeOrder = 1e-9;
  struct Case { double order, x, want, relTol; const char* region; };
  const Case cases[] = {
      {0.5, 2, 5.1301613656182775e-1, kModerate, "recurrence from a larger order"},
      {-2.5, 3, 3.690407300737979e-1, kModerate, "series, negative order"},
      {10.3, 5.7, 3.1251276457563498e-3, kModerate, "recurrence down to order 2.3"},
      {45, 3, 6.6840711289233932e-49, kModerate, "power series"},
      {2.5, 30, 1.4120285879928212e-1, kModerate, "Hankel"},
      {100, 100, 9.636667329586156e-2, kModerate, "whole order down to J0/J1"},
      {2.5, 20.999, -1.3117543353362469e-1, kModerate, "just below the Hankel switch"},
      {2.5, 21.001, -1.3093962260315805e-1, kModerate, "just above the Hankel switch"},
      {21.5, 16.69, 9.5775558732719783e-3, kModerate, "just inside the series switch"},
      {21.5, 16.7, 9.6592938018639562e-3, kModerate, "just outside the series switch"},
      {30.7, 60, 1.0935254362474489e-1, kModerate, "recurrence to 3/4 of 3.6 sqrt x"},
      {120.3, 300, -4.4676630649017579e-2, kModerate, "recurrence, 3.6 sqrt x >= 90"},
      {-30.3, 20, 1.2323640679050113e+2, kModerate, "negative order recurrence"},
      // The series at x near 12 cancels terms of size e^12: the published accuracy.
      {-9.604, 12.18, 1.6633799265166507e-1, 2e-11, "negative order, series after recurrence"},
      {0.001, 7.5, 2.6652359792904228e-1, kModerate, "order near zero"},
      {499.5, 400, 1.9318786540995188e-22, kModerate, "last order of the recurrence"},
      {500.5, 400, 9.6328147265467511e-23, kLargeOrder, "first order of the uniform form"},
      {600, 600, 5.3034008697371392e-2, kLargeOrder, "transition region"},
      {600, 605.9, 7.9099738907798888e-2, kLargeOrder, "transition region edge"},
      {600, 605.92, 7.913032462107236e-2, kLargeOrder, "uniform, just past the edge"},
      {600, 594.0, 2.276057924501001e-2, kLargeOrder, "uniform, below the turning point"},
      {600, 700, -3.5809913239637261e-2, kLargeOrder, "uniform, above the turning point"},
      {500, 74990, 1.412066575585904e-3, kLargeOrder, "uniform, x / n^2 just below 0.3"},
      {500, 75010, -1.7492765718527535e-3, kLargeOrder, "Hankel, x / n^2 just above 0.3"},
      // Far beyond the order the fraction J_n / J_n-1 needs about x terms; a cap of 1000 gave
      // J_400(12000) = 5.5e-4.
      {400, 12000, 2.0522676376214049e-3, 1e-9, "long continued fraction"},
      {450.25, 15000, -1.5324858626407002e-3, 1e-9, "long continued fraction, non-whole order"},
      // Leading term (x/2)^n / n!: J_3(1e-9) = (5e-10)^3 / 6 (hand-computed).
      {3, 1e-9, 2.0833333333333333e-29, 1e-15, "tiny argument"},
      {-3, 1e-9, -2.0833333333333333e-29, 1e-15, "tiny argument, negated whole order"},
  };
  for (const Case& c : cases) {
    EXPECT_LE(std::fabs(BesselJv(c.order, c.x) - c.want), c.relTol * std::fabs(c.want))
        << "J_" << c.order << "(" << c.x << ") [" << c.region << "] got " << BesselJv(c.order, c.x);
  }
}

TEST(BesselJv, WholeOrderSignRules) {
  // J_-n = (-1)^n J_n and J_n(-x) = (-1)^n J_n(x), also for orders beyond 2^14 (whose parity is
  // taken modulo 16384) and in the uniform region.
  struct Case { double n1, x1, n2, x2, sign; };
  const Case cases[] = {
      {-3, 2, 3, 2, -1},  {3, -2, 3, 2, -1},     {-3, -2, 3, 2, 1},          {-4, 2, 4, 2, 1},
      {4, -2, 4, 2, 1},   {-16385, 17000, 16385, 17000, -1}, {16386, -17000, 16386, 17000, 1},
      {-41, 30.5, 41, 30.5, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(BesselJv(c.n1, c.x1), c.sign * BesselJv(c.n2, c.x2)) << c.n1 << ", " << c.x1;
  EXPECT_TRUE(BesselJv(-1, 0.7) == -BesselJ1(0.7) && BesselJv(0, -0.7) == BesselJ0(0.7));
}

constexpr int kAnyError = -1;

// Exact answers at the edges, and the error record each call leaves (reset before each).
TEST(BesselJv, EdgeValuesAndTheErrorTheyRecord) {
  struct Case { double order, x, want; int error; const char* why; };
  const Case cases[] = {
      {0.5, -1, 0, kMathDomain, "negative x with a non-whole order"},
      {-600.5, 1000, 0, kMathTotalLoss, "large negative non-whole order outside the series"},
      // Where the series applies the value is simply huge (J_-600.5(10) = 3.2e986,
      // J_-601.5(10) = -3.8e988): the published overflow value, signed.
      {-600.5, 10, kSpecialMaxNumber, kMathOverflow, "series overflow"},
      {-601.5, 10, -kSpecialMaxNumber, kMathOverflow, "series overflow, negative"},
      // log 2^1022 = 708.396..., not the largest double's, is the limit: J_-100.5(0.0622) =
      // 8.9e307 is a double, yet reported as the overflow value.
      {-100.5, 0.0622, kSpecialMaxNumber, kMathOverflow, "past the library's largest logarithm"},
      {7, 0, 0, 0, "whole order at 0"},
      {2.5, 0, 0, 0, "positive order at 0"},
      {-4, 0, 0, 0, "negative whole order at 0"},
      // (x/2)^v / Gamma(v+1) with v < 0: Gamma(0.5) > 0 and Gamma(-0.5) < 0.
      {-0.5, 0, kPositiveInfinity, kAnyError, "order -0.5 at 0"},
      {-1.5, 0, -kPositiveInfinity, kAnyError, "order -1.5 at 0"},
      // The binary exponent of (x/2)^v is far beyond int for v = 1e20 and the leading term is
      // inf / inf there; the true value underflows to 0.
      {1e20, 10, 0, 0, "huge order"},
      {1e15 + 0.5, 10, 0, 0, "huge non-whole order"},
      {1e18, 1e-3, 0, 0, "huge order, tiny x"},
      // J_1500(1200) is 2.8e-63; the uniform form needs Ai beyond 25.77 and gets 0.
      {1500, 1200, 0, 0, "past the Airy limit"},
      {kUndefinedReal, 1, kUndefinedReal, kAnyError, "NaN order"},
      {2, kUndefinedReal, kUndefinedReal, kAnyError, "NaN x, whole order"},
      {2.5, kUndefinedReal, kUndefinedReal, kAnyError, "NaN x"},
      {-kPositiveInfinity, 1, kUndefinedReal, kMathDomain, "infinite order"},
      {3, -kPositiveInfinity, 0, kAnyError, "negative infinite x"},
      {2.5, kPositiveInfinity, 0, kAnyError, "infinite x, non-whole order"},
      {600.5, kPositiveInfinity, 0, kAnyError, "infinite x, large order"},
  };
  for (const Case& c : cases) {
    ResetMathError();
    const double got = BesselJv(c.order, c.x);
    EXPECT_TRUE(std::isnan(c.want) ? std::isnan(got) : got == c.want) << c.why << ": " << got;
    EXPECT_TRUE(c.error == kAnyError || MathErrorCode() == c.error) << c.why;
  }
  // Just below that limit the value comes through: J_-100.5(0.06287) = 3.0357222118984518e307.
  ResetMathError();
  EXPECT_LE(std::fabs(BesselJv(-100.5, 0.06287) - 3.0357222118984518e307), 1e-12 * 3.0357222118984518e307);
  EXPECT_EQ(MathErrorCode(), 0);
}

TEST(BesselJv, HalfOrdersMatchTheirClosedForms) {
  // J_1/2(x) = sqrt(2/(pi x)) sin x and J_-1/2(x) = sqrt(2/(pi x)) cos x, measured against the
  // envelope because the values cross zero. The negative order uses the plain series up to x
  // near 13, which cancels terms of size e^x / x: a few 1e-12 there.
  for (int i = 1; i <= 5000; ++i) {
    const double x = 0.01 * i, envelope = std::sqrt(2.0 / (kPi * x));
    EXPECT_LE(std::fabs(BesselJv(0.5, x) - envelope * std::sin(x)), 1e-13 * envelope) << x;
    EXPECT_LE(std::fabs(BesselJv(-0.5, x) - envelope * std::cos(x)), 1e-11 * envelope) << x;
  }
}

TEST(BesselJv, AgreesWithTheStandardLibraryOverOrdersToFiftyAndXToHundred) {
  // libstdc++'s cyl_bessel_j is an independent implementation; it takes v >= 0 only.
  int failures = 0;
  for (int i = 0; i <= 200; ++i) {
    for (int j = 0; j <= 400; ++j) {
      const double v = 0.25 * i, x = 0.25 * j, want = std::cyl_bessel_j(v, x), got = BesselJv(v, x);
      if (!(std::fabs(got - want) <= 1e-10) && ++failures <= 10) ADD_FAILURE() << "J_" << v << "(" << x << ") = " << got << ", library " << want;
    }
  }
}

}  // namespace
