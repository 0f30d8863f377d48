// Interval arithmetic: the rules the containment property cannot see (tight bounds, wrapped
// operands and gaps, signed zeros, poles, when a result is undefined or decided). Exact values
// are libm results of a bound (e.g. sin 1) or hand-computed; turning points of the factorial and
// of Bessel functions come from a 30-digit arbitrary-precision reference (roots of the digamma
// function and of J1).
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/interval.h"
#include "kernel/numeric/special_functions.h"
#include "tests/kernel/numeric/interval_test_support.h"

namespace {

using namespace interval_test;

struct Case {
  const char* what;
  Interval got;
  Interval want;
};

void ExpectAll(std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_TRUE(Same(c.got, c.want)) << c.what;
}

TEST(IntervalArithmetic, ReciprocalsSumsProductsAndHullsOfWrappedIntervals) {
  ExpectAll({
      {"1/[-1,2] wraps", ValueOf(IntervalReciprocal, {-1, 2}), {0.5, -1}},
      {"1/[-2,-0]: a zero bound is approached from inside", ValueOf(IntervalReciprocal, {-2, -0.0}), {-kPositiveInfinity, -0.5}},
      {"1/[-0,2]", ValueOf(IntervalReciprocal, {-0.0, 2}), {0.5, kPositiveInfinity}},
      {"1/[0.5,-1] round trip", ValueOf(IntervalReciprocal, {0.5, -1}), {-1, 2}},
      {"1/wrapped [3,0]", ValueOf(IntervalReciprocal, {3, 0}), {-kPositiveInfinity, 1.0 / 3}},
      {"[2,3]+[0.5,-1]", ValueOf(IntervalAdd, {2, 3}, {0.5, -1}), {2.5, 2}},
      {"[-3,3]+[0.5,-1] closes the gap", ValueOf(IntervalAdd, {-3, 3}, {0.5, -1}), kWholeLine},
      {"inf - inf", ValueOf(IntervalAdd, {kPositiveInfinity, kPositiveInfinity}, {-kPositiveInfinity, -kPositiveInfinity}), kWholeLine},
      {"a NaN bound is undefined", ValueOf(IntervalAdd, {0, 1}, {1, kUndefinedReal}), kUndefinedInterval},
      {"0 times infinity", ValueOf(IntervalMultiply, {0, 1}, {-kPositiveInfinity, 2}), kUndefinedInterval},
      {"[-1,2]x[-3,4]", ValueOf(IntervalMultiply, {-1, 2}, {-3, 4}), {-6, 8}},
      {"by wrapped", ValueOf(IntervalMultiply, {-2, -1}, {0.5, -1}), {1, -0.5}},
      {"wrapped by 0-straddling", ValueOf(IntervalMultiply, {-1, 1}, {0.5, -1}), kUndefinedInterval},
      {"hull keeps the gap", ValueOf(IntervalHull, {1, kPositiveInfinity}, {-kPositiveInfinity, -0.5}), {1, -0.5}},
      {"hull of undefined first", ValueOf(IntervalHull, kUndefinedInterval, {4, 5}), kUndefinedInterval},
      {"hull of undefined second", ValueOf(IntervalHull, {4, 5}, kUndefinedInterval), {4, 5}},
      {"hull wrapped with the middle of its gap", ValueOf(IntervalHull, {3, 1}, {1.5, 2}), {3, 2}},
      {"hull wrapped covering the gap", ValueOf(IntervalHull, {3, 1}, {0, 4}), kWholeLine},
      {"hull of two wrapped", ValueOf(IntervalHull, {3, 1}, {4, 2}), {3, 2}},
  });
  Interval h;
  IntervalHull4(h, {1, 2}, {-1, 0}, {5, 6}, {3, kUndefinedReal});
  EXPECT_TRUE(IntervalIsUndefined(h));
}

TEST(IntervalArithmetic, TrigonometryFindsExtremaAndPoles) {
  ExpectAll({
      {"sin [0,1]", ValueOf(IntervalSin, {0, 1}), {0, 0.8414709848078965}},
      {"sin [0,2] reaches 1", ValueOf(IntervalSin, {0, 2}), {0, 1}},
      {"cos [2,4] crosses pi", ValueOf(IntervalCos, {2, 4}), {-1, std::cos(2.0)}},
      {"tan [1,2] holds a pole", ValueOf(IntervalTan, {1, 2}), kWholeLine},
      {"tan with pi/2 as a bound", ValueOf(IntervalTan, {1, kPi / 2}), kWholeLine},
      {"cot [1,2]", ValueOf(IntervalCot, {1, 2}), {-0.45765755436028577, 0.6420926159343306}},
      {"cot [0,1] pole at a bound", ValueOf(IntervalCot, {0, 1}), kWholeLine},
      {"sin of a huge bound", ValueOf(IntervalSin, {1e300, 1e300}), {-1, 1}},
      {"tan of a huge bound", ValueOf(IntervalTan, {1e300, 1e300}), kWholeLine},
      {"csc [-1,1] wraps round its pole", ValueOf(IntervalCsc, {-1, 1}), {1 / 0.8414709848078965, -1 / 0.8414709848078965}},
  });
  // Far from 0 the period index carries rounding; the result must still hold both ends.
  const Interval big = ValueOf(IntervalSin, {1e15, 1e15 + 1});
  EXPECT_TRUE(Holds(big, std::sin(1e15)) && Holds(big, std::sin(1e15 + 1))) << Show(big);
}

TEST(IntervalArithmetic, MonotoneFunctionsOfWrappedOperandsAndTheirDomains) {
  ExpectAll({
      {"exp wrapped", ValueOf(IntervalExp, {1, -1}), {std::exp(1.0), std::exp(-1.0)}},
      // exp(900) and exp(800) both overflow: the image of the gap's two sides covers (0, inf).
      {"exp of a saturated gap", ValueOf(IntervalExp, {900, 800}), kWholeLine},
      {"floor of a narrow gap", ValueOf(IntervalFloor, {1.5, 1.2}), kWholeLine},
      {"floor wrapped", ValueOf(IntervalFloor, {2.5, 1.2}), {2, 1}},
      {"atan wrapped", ValueOf(IntervalAtan, {1, -1}), {-kPi / 2, kPi / 2}},
      {"acot [-1,1]", ValueOf(IntervalAcot, {-1, 1}), {kPi / 4, 3 * kPi / 4}},
      {"ln wrapped", ValueOf(IntervalLn, {1, -1}), kUndefinedInterval},
      {"sqrt across 0", ValueOf(IntervalSqrt, {-1, 4}), kUndefinedInterval},
      {"log10 from 0", ValueOf(IntervalLog10, {0, 100}), {-kPositiveInfinity, 2}},
      {"asin past 1", ValueOf(IntervalAsin, {0, 1.5}), kUndefinedInterval},
      {"acosh below 1", ValueOf(IntervalAcosh, {0.5, 2}), kUndefinedInterval},
      {"asec wrapped", ValueOf(IntervalAsec, {1, -1}), {0, kPi}},
      {"asec inside (-1,1)", ValueOf(IntervalAsec, {-2, 0.5}), kUndefinedInterval},
      {"acoth wrapped", ValueOf(IntervalAcoth, {2, -2}), {Arccoth(-2.0), Arccoth(2.0)}},
      {"acsch of the whole line", ValueOf(IntervalAcsch, kWholeLine), kWholeLine},
      {"cosh across 0", ValueOf(IntervalCosh, {-2, 1}), {1, std::cosh(2.0)}},
      {"cosh wrapped, gap holding 0", ValueOf(IntervalCosh, {1, -2}), {std::cosh(1.0), kPositiveInfinity}},
      {"sech wrapped", ValueOf(IntervalSech, {1, -2}), {0, Sech(1.0)}},
      {"coth [0,1]", ValueOf(IntervalCoth, {0, 1}), {1 / std::tanh(1.0), kPositiveInfinity}},
      {"abs wrapped, gap holding 0", ValueOf(IntervalAbs, {2, -3}), {2, kPositiveInfinity}},
      {"square wrapped", ValueOf(IntervalSquare, {2, -3}), {4, kPositiveInfinity}},
      {"sign from 0", ValueOf(IntervalSign, {0, 3}), {0, 1}},
      {"sign to 0", ValueOf(IntervalSign, {-3, 0}), {-1, 0}},
      {"min of a wrapped one counts it whole", ValueOf(IntervalMin, {3, 2}, {0, 1}), {-kPositiveInfinity, 1}},
      {"hypot", ValueOf(IntervalHypot, {-3, 3}, {4, 5}), {4, std::hypot(3.0, 5.0)}},
  });
}

TEST(IntervalArithmetic, PowersAndRealRoots) {
  const auto rational = [](Interval x, double q, double p) { return ValueOf(IntervalRationalPower, x, Interval{q, q}, Interval{p, p}); };
  ExpectAll({
      {"cube root of [-8,-1]", rational({-8, -1}, 3, 1), {-2, -1}},
      {"[-8,8]^(-1/3)", rational({-8, 8}, 3, -1), {0.5, -0.5}},
      {"[-8,8]^(1/-3)", rational({-8, 8}, -3, 1), {0.5, -0.5}},
      {"[-8,-1]^(2/3)", rational({-8, -1}, 3, 2), {1, std::pow(8.0, 2.0 / 3.0)}},
      {"even denominator", rational({-8, -1}, 2, 1), kUndefinedInterval},
      {"[-1,2]^-2", ValueOf(IntervalPower, {-1, 2}, {-2, -2}), {0.25, kPositiveInfinity}},
      {"[-2,-1]^3", ValueOf(IntervalPower, {-2, -1}, {3, 3}), {-8, -1}},
      {"[-2,-1]^-1", ValueOf(IntervalPower, {-2, -1}, {-1, -1}), {-1, -0.5}},
      {"[-1,2]^-1 pole", ValueOf(IntervalPower, {-1, 2}, {-1, -1}), kWholeLine},
      {"anything^0", ValueOf(IntervalPower, {-5, 2}, {0, 0}), {1, 1}},
      {"[0.5,2]^[-1,1]", ValueOf(IntervalPower, {0.5, 2}, {-1, 1}), {0.5, 2}},
      {"[0,0]^[-1,1]", ValueOf(IntervalPower, {0, 0}, {-1, 1}), {0, kPositiveInfinity}},
      {"[-2,-1]^0.5", ValueOf(IntervalPower, {-2, -1}, {0.5, 0.5}), kUndefinedInterval},
      {"negative base, interval exponent", ValueOf(IntervalPower, {-2, -1}, {1, 2}), kUndefinedInterval},
  });
  // 1/x over [-1, 2] is the wrapped [0.5, -1]; its real roots on both halves: [0.5^(1/3), -1]
  // and, for x^(2/3), [0.5^(2/3), inf], with 0.5^(1/3) = 0.7937005259840997 and 0.5^(2/3) =
  // 0.6299605249474366 (hand-computed).
  const Interval root = rational({0.5, -1}, 3, 1), square = rational({0.5, -1}, 3, 2);
  EXPECT_TRUE(std::fabs(root.lo - 0.79370052598409974) <= 2e-16 && root.hi == -1.0) << Show(root);
  EXPECT_TRUE(std::fabs(square.lo - 0.62996052494743658) <= 2e-16 && square.hi == kPositiveInfinity) << Show(square);
}

TEST(IntervalArithmetic, ComparisonsDecideWhereTheyCanAndTruthCombines) {
  ExpectAll({
      {"[1,2]<[3,4]", ValueOf(IntervalLess, {1, 2}, {3, 4}), kTruthTrue},
      {"[1,3]<[2,4]", ValueOf(IntervalLess, {1, 3}, {2, 4}), kTruthUndecided},
      {"[3,4]<[1,3] touching", ValueOf(IntervalLess, {3, 4}, {1, 3}), kTruthFalse},
      {"[3,4]<=[3,5]", ValueOf(IntervalLessEqual, {3, 4}, {3, 5}), kTruthUndecided},
      {"[1,3]<=[3,5] touching", ValueOf(IntervalLessEqual, {1, 3}, {3, 5}), kTruthTrue},
      {"[1,3]>[3,5] touching", ValueOf(IntervalGreater, {1, 3}, {3, 5}), kTruthFalse},
      {"[3,5]>=[1,3] touching", ValueOf(IntervalGreaterEqual, {3, 5}, {1, 3}), kTruthTrue},
      {"[2,2]==[2,2]", ValueOf(IntervalEqual, {2, 2}, {2, 2}), kTruthTrue},
      {"[1,3]==[2,4]", ValueOf(IntervalEqual, {1, 3}, {2, 4}), kTruthUndecided},
      {"[5,6] inside the gap of [7,4]", ValueOf(IntervalEqual, {5, 6}, {7, 4}), kTruthFalse},
      {"wrapped <", ValueOf(IntervalLess, {7, 4}, {100, 200}), kTruthUndecided},
      {"NaN compare", ValueOf(IntervalLess, {kUndefinedReal, 1}, {1, 2}), kUndefinedInterval},
      // And: false before undefined; Or never undefined.
      {"and F NaN", ValueOf(IntervalTruthAnd, kTruthFalse, kUndefinedInterval), kTruthFalse},
      {"and T NaN", ValueOf(IntervalTruthAnd, kTruthTrue, kUndefinedInterval), kUndefinedInterval},
      {"and T U", ValueOf(IntervalTruthAnd, kTruthTrue, kTruthUndecided), kTruthUndecided},
      {"or NaN T", ValueOf(IntervalTruthOr, kUndefinedInterval, kTruthTrue), kTruthTrue},
      {"or NaN F", ValueOf(IntervalTruthOr, kUndefinedInterval, kTruthFalse), kTruthUndecided},
  });
}

TEST(IntervalArithmetic, AnglesAndModuloOfBoxes) {
  ExpectAll({  // atan2 takes (y, x)
      {"left of the origin", ValueOf(IntervalAtan2, {-1, 1}, {-2, -1}), {2.356194490192345, 3.9269908169872414}},
      {"around the origin", ValueOf(IntervalAtan2, {-1, 1}, {-1, 1}), {0, 2 * kPi}},
      // Towards +x infinity below the axis the angle tends to 2 pi, not 0.
      {"below, to the right without end", ValueOf(IntervalAtan2, {-2, -1}, {1, kPositiveInfinity}), {2 * kPi - 1.1071487177940904, 2 * kPi}},
      {"on the x axis", ValueOf(IntervalAtan2, {0, 0}, {-1, 1}), {0, kPi}},
      {"signed, around the origin", ValueOf(IntervalAtan2Signed, {-1, 1}, {-1, 1}), {-kPi, kPi}},
      {"signed, y = -0 on the negative axis", ValueOf(IntervalAtan2Signed, {-0.0, -0.0}, {-2, -1}), {kPi, kPi}},
      {"mod over many branches: the divisor's range", ValueOf(IntervalMod, {0, 10}, {3, 3}), {0, 3}},
      {"mod over one branch: the corners", ValueOf(IntervalMod, {3.5, 5}, {3, 3}), {0.5, 2}},
      // 49 * (1/49) rounds below 1; the floored quotient of 49/49 is 1 and the modulo 0.
      {"mod of an exact quotient", ValueOf(IntervalMod, {49, 49}, {49, 49}), {0, 0}},
      {"mod by a negative divisor", ValueOf(IntervalMod, {7, 7}, {-3, -3}), {-2, -2}},
      {"mod by a divisor across 0", ValueOf(IntervalMod, {1, 2}, {-1, 1}), kUndefinedInterval},
      {"mod of a wrapped operand", ValueOf(IntervalMod, {3, 1}, {2, 2}), kWholeLine},
  });
}

TEST(IntervalArithmetic, FactorialIncludesEveryTurningPoint) {
  // Minimum of x! on (-1, inf): 0.8856031944108887 at 0.46163214496836234.
  EXPECT_TRUE(Same(ValueOf(IntervalFactorial, {0, 1}), {0.8856031944108887, 1}));
  // On the branches (-2,-1), (-3,-2), (-4,-3) the extremes -3.5446436111550050 (at
  // -1.5040830082644554; the midpoint's -3.5449077018110320 would miss it), 2.3024072583396801
  // and -0.88813635840124192.
  const Interval b1 = ValueOf(IntervalFactorial, {-1.9, -1.1}), b2 = ValueOf(IntervalFactorial, {-2.9, -2.1});
  const Interval b3 = ValueOf(IntervalFactorial, {-3.7, -3.5});
  EXPECT_TRUE(b1.hi >= -3.5446436111550051 && b1.hi <= -3.54464361115) << Show(b1);
  EXPECT_TRUE(b2.lo <= 2.3024072583396801 && b2.lo >= 2.30240725833) << Show(b2);
  EXPECT_TRUE(b3.hi >= -0.88813635840124193 && b3.hi <= -0.88813635840) << Show(b3);
  EXPECT_TRUE(Holds(ValueOf(IntervalFactorial, {-300.9, -300.1}), 0.0));  // far branches underflow
  ExpectAll({
      {"pole inside", ValueOf(IntervalFactorial, {-1.5, -0.5}), kWholeLine},
      {"pole at a bound", ValueOf(IntervalFactorial, {-2, -1.5}), kWholeLine},
      {"from -1", ValueOf(IntervalFactorial, {-1, 0}), {1, kPositiveInfinity}},
      {"huge negative degenerate", ValueOf(IntervalFactorial, {-1e300, -1e300}), kWholeLine},
  });
}

TEST(IntervalArithmetic, BesselIncludesTurningPointsAndEnvelope) {
  // J0 peaks at 0, where the corners alone give 0.9384698072408129 twice.
  EXPECT_TRUE(Same(ValueOf(IntervalBesselJ, {0, 0}, {-0.5, 0.5}), {BesselJv(0, 0.5), 1}));
  EXPECT_TRUE(Same(ValueOf(IntervalBesselJ, {0, 0}, {1, 2}), {BesselJv(0, 2.0), BesselJv(0, 1.0)}));
  // J0's minimum -0.40275939570255297 at 3.8317059702075123; J5's peak 0.37409290154514225
  // (x = 6.4156), above sqrt(2 / (6 pi)) = 0.3257, which is no envelope.
  const Interval dip = ValueOf(IntervalBesselJ, {0, 0}, {3, 4.5}), orders = ValueOf(IntervalBesselJ, {4, 6}, {6, 7});
  EXPECT_TRUE(dip.lo <= -0.40275939570255297 && dip.lo >= -1.0) << Show(dip);
  EXPECT_TRUE(orders.hi >= 0.37409290154514225 && orders.lo <= -0.37409290154514225) << Show(orders);
  EXPECT_TRUE(Same(ValueOf(IntervalBesselJ, {0, 3}, {-1, 2}), {-1, 1}));
  // Negative non-whole orders grow without bound near 0: J_-0.65(0.001) = 54.93.
  EXPECT_TRUE(Holds(ValueOf(IntervalBesselJ, {-0.7, -0.6}, {0.001, 1}), 54.926979477718933));
  EXPECT_TRUE(IntervalIsUndefined(ValueOf(IntervalBesselJ, {kUndefinedReal, 1}, {0, 1})));
}

}  // namespace
