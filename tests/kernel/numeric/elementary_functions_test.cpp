// Elementary real functions and the greatest common divisor: golden values (hand-computed or
// from closed forms such as Gamma(1.5) = sqrt(pi)/2), sign and range rules, and the boundaries
// of the whole-number tests at 2^52 and 2^53.
#include <gtest/gtest.h>

#include <cmath>

#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/interval.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/numeric/value_of.h"

namespace {

TEST(ElementaryFunctions, ReciprocalFunctionsAndSignMatchClosedForms) {
  // tanh ln 3 = 0.8, sinh ln 2 = 0.75, cosh ln 2 = 1.25.
  const double ln2 = std::log(2.0), ln3 = std::log(3.0);
  struct Case { double (*f)(double); double x; double want; };
  const Case cases[] = {
      {Cot, kPi / 4, 1},         {Csc, kPi / 6, 2},         {Sec, kPi / 3, 2},
      {Coth, ln3, 1.25},         {Csch, ln2, 4.0 / 3},      {Sech, ln2, 0.8},
      {Arccsc, 2, kPi / 6},      {Arcsec, 2, kPi / 3},      {Arccsch, 4.0 / 3, ln2},
      {Arcsech, 0.8, ln2},       {Arccoth, 1.25, ln3},      {Arccot, 1, kPi / 4},
      {Arccot, -1, 3 * kPi / 4}, {Arccot, -0.0, kPi / 2},   {Arccot, -kPositiveInfinity, kPi},
      {Sign, 3.5, 1},            {Sign, -1e-300, -1},       {Sign, kPositiveInfinity, 1},
  };
  for (const Case& c : cases) EXPECT_NEAR(c.f(c.x), c.want, 4e-16 * std::fmax(1.0, std::fabs(c.want))) << c.x;
  EXPECT_TRUE(std::isnan(Arccot(kUndefinedReal)) && std::isnan(Sign(kUndefinedReal)) && std::isnan(Arcsec(0.5)));
  EXPECT_TRUE(Sign(-0.0) == 0.0 && std::signbit(Sign(-0.0)));
}

TEST(ElementaryFunctions, FactorialIsExactBelowThirtyAndGammaElsewhere) {
  double product = 1.0;  // 29!, multiplied out in the same order
  for (int k = 2; k <= 29; ++k) product *= k;
  const double exact[][2] = {{0, 1}, {1, 1}, {5, 120}, {20, 2432902008176640000.0}, {29, product}};
  for (const auto& c : exact) EXPECT_EQ(Factorial(c[0]), c[1]) << c[0];
  EXPECT_NEAR(Factorial(0.5), std::sqrt(kPi) / 2, 1e-15);
  EXPECT_NEAR(Factorial(-0.5), std::sqrt(kPi), 1e-15);
  EXPECT_NEAR(Factorial(30.0) / 2.6525285981219103e32, 1.0, 1e-14);  // 30! by hand
  EXPECT_FALSE(std::isfinite(Factorial(-1.0)));  // the pole of Gamma at 0
}

TEST(ElementaryFunctions, WholeEvenAndInt32TestsAtTheirBoundaries) {
  struct Case { double x; bool whole, even, int32; };
  const Case cases[] = {
      {0.0, true, true, true},           {-0.0, true, true, true},     {3, true, false, true},
      {-4, true, true, true},            {-2.5, false, false, false},  {1e-300, false, false, false},
      {0x1p52 - 0.5, false, false, false},  // the largest fraction below 2^52
      {0x1p52 + 1, true, false, false},     // odd, just above 2^52
      {0x1p53 - 1, true, false, false},     // the largest odd integer a double holds
      {0x1p60, true, true, false},       {2147483647.0, true, false, true}, {2147483648.0, true, true, false},
      {-2147483648.0, true, true, true}, {-2147483649.0, true, false, false},
      {kPositiveInfinity, true, true, false},         {kUndefinedReal, false, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsWholeNumber(c.x), c.whole) << c.x;
    EXPECT_EQ(IsEvenNumber(c.x), c.even) << c.x;
    EXPECT_EQ(IsWholeInt32(c.x), c.int32) << c.x;
  }
}

// Golden values in whole numbers, by hand: 10 leaves 1 modulo 3, so 1e17 and 1e20 (exact doubles)
// leave 1, and so does 2^70. The double 0.1 exceeds 1/10, so 1 holds nine of it and leaves
// 1 - 9 (0.1), exact in doubles (one fused multiply-add). A remainder within half an ulp of y
// stays one ulp inside [0, y).
TEST(ElementaryFunctions, FlooredModIsExactAtAnySizeAndTheIntervalModHoldsIt) {
  struct Case { double x, y, want; };
  const Case cases[] = {
      {-1, 3, 2},      {1, -3, -2},          {7, 3, 1},         {-7, -3, -1},      {6, 3, 0},
      {5.5, 2, 1.5},   {1e17, 3, 1},         {-1e20, 3, 2},     {1e20, -3, -2},    {-1e20, -3, -1},
      {0x1p70, 3, 1},  {1, 0.1, std::fma(-9.0, 0.1, 1.0)},     {-1e-20, 3, std::nextafter(3.0, 0.0)},
      {1e-20, -3, std::nextafter(-3.0, 0.0)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FlooredMod(c.x, c.y), c.want) << c.x << " mod " << c.y;
    const Interval box = ValueOf(IntervalMod, Interval{c.x, c.x}, Interval{c.y, c.y});
    EXPECT_TRUE(box.lo <= c.want && c.want <= box.hi) << c.x << " mod " << c.y;
  }
  // A box over many branches keeps to [0, y] and holds every point.
  const Interval wide = ValueOf(IntervalMod, Interval{1e17, 1e17 + 4096}, Interval{3, 3});
  EXPECT_TRUE(wide.lo >= 0.0 && wide.hi <= 3.0);
  for (double x = 1e17; x <= 1e17 + 4096; x += 16) {
    EXPECT_TRUE(wide.lo <= FlooredMod(x, 3) && FlooredMod(x, 3) <= wide.hi) << x;
  }
  const double undefined[][2] = {{1, 0}, {kUndefinedReal, 2}, {kPositiveInfinity, 2}, {5, kPositiveInfinity}};
  for (const auto& c : undefined) EXPECT_TRUE(std::isnan(FlooredMod(c[0], c[1]))) << c[0] << " mod " << c[1];
}

TEST(ElementaryFunctions, RationalPowerTakesRealRootsOfNegatives) {
  struct Case { double x, q, p, want; };
  const Case cases[] = {
      {-8, 3, 1, -2}, {-8, 3, 2, 4}, {-8, -3, 1, -0.5}, {-8, 3, -1, -0.5}, {-32, 5, 3, -8},
      {-8, 6, 2, -2},  // 2/6 reduces to 1/3
      {8, 3, 1, 2},   {-1, 7, 7, -1}, {4, 2, 1, 2},
  };
  for (const Case& c : cases) {
    EXPECT_NEAR(RationalPower(c.x, c.q, c.p), c.want, 1e-15 * std::fabs(c.want)) << c.x << "^(" << c.p << "/" << c.q << ")";
  }
  // Even denominator (also 2/4 reduced), not a fraction of integers, gcd 0, beyond 32 bits: pow.
  const double undefined[][2] = {{2, 1}, {4, 2}, {3.5, 1}, {0, 0}, {3e9, 1e9}};
  for (const auto& c : undefined) EXPECT_TRUE(std::isnan(RationalPower(-8, c[0], c[1]))) << c[1] << "/" << c[0];
  // The sign rule the GPU programs share: by the parities of the reduced fraction (hand-reduced).
  const double signs[][3] = {{3, 1, -1}, {3, 2, 1}, {6, 2, -1}, {-3, 4, 1}, {4, 2, 0}, {0, 5, 0}, {3.5, 1, 0}};
  for (const auto& c : signs) EXPECT_EQ(RealRootSign(c[0], c[1]), c[2]) << c[1] << "/" << c[0];
}

TEST(GreatestCommonDivisor, EuclidOnWholeDoubles) {
  struct Case { double a, b, want; };
  const Case cases[] = {
      {12, 18, 6}, {-4, 6, 2}, {4, -6, 2}, {0, 7, 7}, {7, 0, 7}, {0, 0, 0}, {17, 5, 1}, {2.5, 5, 1},
      {kUndefinedReal, 3, 1}, {kPositiveInfinity, 3, 1}, {0x1p80, 0x3p70, 0x1p70},  // beyond 64-bit integers
  };
  for (const Case& c : cases) EXPECT_EQ(GreatestCommonDivisor(c.a, c.b), c.want) << c.a << ", " << c.b;
}

}  // namespace
