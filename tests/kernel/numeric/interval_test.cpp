// Interval arithmetic: golden values and edge cases. Exact values are libm results of the bound
// (e.g. sin 1) or hand-computed; turning points of the factorial and of Bessel functions come
// from a 30-digit arbitrary-precision reference (roots of the digamma function and of J1).
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <string>

#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/interval.h"
#include "kernel/numeric/special_functions.h"
#include "tests/kernel/numeric/interval_test_support.h"

namespace {

using interval_test::Call;
using interval_test::Holds;
using interval_test::Same;
using interval_test::Show;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = 3.141592653589793;

struct Case {
  const char* what;
  Interval got;
  Interval want;
};

void ExpectAll(std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_TRUE(Same(c.got, c.want)) << c.what;
}

TEST(IntervalArithmetic, WrappedReciprocalsAndSums) {
  ExpectAll({
      {"1/[-1,2]", Call(IntervalReciprocal, {-1, 2}), {0.5, -1}},
      {"1/[0,2]", Call(IntervalReciprocal, {0, 2}), {0.5, kInf}},
      {"1/[-2,0]", Call(IntervalReciprocal, {-2, 0}), {-kInf, -0.5}},
      {"1/[-2,-0]", Call(IntervalReciprocal, {-2, -0.0}), {-kInf, -0.5}},
      {"1/[-0,2]", Call(IntervalReciprocal, {-0.0, 2}), {0.5, kInf}},
      {"1/whole", Call(IntervalReciprocal, kWholeLine), kWholeLine},
      {"1/[0.5,-1] round trip", Call(IntervalReciprocal, {0.5, -1}), {-1, 2}},
      {"1/wrapped [3,0]", Call(IntervalReciprocal, {3, 0}), {-kInf, 1.0 / 3}},
      {"[2,3]+[0.5,-1]", Call(IntervalAdd, {2, 3}, {0.5, -1}), {2.5, 2}},
      {"[-3,3]+[0.5,-1] closes the gap", Call(IntervalAdd, {-3, 3}, {0.5, -1}), kWholeLine},
      {"two wrapped", Call(IntervalAdd, {1, -1}, {2, -2}), kWholeLine},
      {"inf - inf", Call(IntervalAdd, {kInf, kInf}, {-kInf, -kInf}), kWholeLine},
      {"NaN upper bound is undefined", Call(IntervalAdd, {1, kNaN}, {0, 1}), kUndefinedInterval},
      {"NaN upper bound right", Call(IntervalAdd, {0, 1}, {1, kNaN}), kUndefinedInterval},
  });
}

TEST(IntervalArithmetic, MultiplicationAndHulls) {
  ExpectAll({
      {"0 times infinity", Call(IntervalMultiply, {0, 1}, {-kInf, 2}), kUndefinedInterval},
      {"[1,2]x[-3,4]", Call(IntervalMultiply, {1, 2}, {-3, 4}), {-6, 8}},
      {"[-1,2]x[-3,4]", Call(IntervalMultiply, {-1, 2}, {-3, 4}), {-6, 8}},
      {"[-2,-1]x[-3,-2]", Call(IntervalMultiply, {-2, -1}, {-3, -2}), {2, 6}},
      {"by wrapped", Call(IntervalMultiply, {-2, -1}, {0.5, -1}), {1, -0.5}},
      {"wrapped by 0-straddling", Call(IntervalMultiply, {-1, 1}, {0.5, -1}), kUndefinedInterval},
      {"hull keeps gap", Call(IntervalHull, {1, kInf}, {-kInf, -0.5}), {1, -0.5}},
      {"hull ordinary", Call(IntervalHull, {1, 2}, {4, 5}), {1, 5}},
      {"hull undefined first", Call(IntervalHull, kUndefinedInterval, {4, 5}), kUndefinedInterval},
      {"hull undefined second", Call(IntervalHull, {4, 5}, kUndefinedInterval), {4, 5}},
      {"hull wrapped with piece of gap", Call(IntervalHull, {3, 1}, {0.5, 2}), {3, 2}},
      {"hull wrapped with middle of gap", Call(IntervalHull, {3, 1}, {1.5, 2}), {3, 2}},
      {"hull wrapped covering gap", Call(IntervalHull, {3, 1}, {0, 4}), kWholeLine},
      {"hull two wrapped", Call(IntervalHull, {3, 1}, {4, 2}), {3, 2}},
  });
  Interval h;
  IntervalHull4(h, {1, 2}, {-1, 0}, {5, 6}, {3, kNaN});
  EXPECT_TRUE(IntervalIsUndefined(h));
  IntervalHull4(h, {1, 2}, {-1, 0}, {5, 6}, {3, 4});
  EXPECT_TRUE(Same(h, {-1, 6}));
}

TEST(IntervalArithmetic, TrigonometryGoldenValues) {
  ExpectAll({
      {"sin [0,1]", Call(IntervalSin, {0, 1}), {0, 0.8414709848078965}},
      {"sin [0,2]", Call(IntervalSin, {0, 2}), {0, 1}},
      {"sin [0,7]", Call(IntervalSin, {0, 7}), {-1, 1}},
      {"cos [-1,1]", Call(IntervalCos, {-1, 1}), {0.5403023058681398, 1}},
      {"cos [2,4] crosses pi", Call(IntervalCos, {2, 4}), {-1, std::cos(2.0)}},
      {"tan [1,2] pole", Call(IntervalTan, {1, 2}), kWholeLine},
      {"tan [-1,1]", Call(IntervalTan, {-1, 1}), {-1.5574077246549023, 1.5574077246549023}},
      {"cot [1,2]", Call(IntervalCot, {1, 2}), {-0.45765755436028577, 0.6420926159343306}},
      {"cot [0,1] pole at a bound", Call(IntervalCot, {0, 1}), kWholeLine},
      {"tan at pi/2 bound", Call(IntervalTan, {1, kPi / 2}), kWholeLine},
      {"sin wrapped", Call(IntervalSin, {1, -1}), {-1, 1}},
      {"sin infinite", Call(IntervalSin, {0, kInf}), {-1, 1}},
      {"sin [1e300]", Call(IntervalSin, {1e300, 1e300}), {-1, 1}},
      {"tan huge", Call(IntervalTan, {1e300, 1e300}), kWholeLine},
      {"sec [-1,1]", Call(IntervalSec, {-1, 1}), {1, 1 / 0.5403023058681398}},
      {"csc [-1,1] holds a pole", Call(IntervalCsc, {-1, 1}), {1 / 0.8414709848078965, -1 / 0.8414709848078965}},
  });
  // Far from 0 the period index carries rounding; the result must still hold both ends.
  const Interval big = Call(IntervalSin, {1e15, 1e15 + 1});
  EXPECT_TRUE(Holds(big, std::sin(1e15)) && Holds(big, std::sin(1e15 + 1))) << Show(big);
}

TEST(IntervalArithmetic, MonotoneFunctionsOfWrappedOperands) {
  ExpectAll({
      {"exp wrapped", Call(IntervalExp, {1, -1}), {std::exp(1.0), std::exp(-1.0)}},
      // exp(900) and exp(800) both overflow: the image of the gap's two sides covers (0, inf).
      {"exp saturated gap", Call(IntervalExp, {900, 800}), kWholeLine},
      {"floor of a narrow gap", Call(IntervalFloor, {1.5, 1.2}), kWholeLine},
      {"floor wrapped", Call(IntervalFloor, {2.5, 1.2}), {2, 1}},
      {"ceil", Call(IntervalCeil, {1.2, 2.5}), {2, 3}},
      {"sinh wrapped", Call(IntervalSinh, {1, -1}), {std::sinh(1.0), std::sinh(-1.0)}},
      {"atan wrapped", Call(IntervalAtan, {1, -1}), {-kPi / 2, kPi / 2}},
      {"tanh wrapped", Call(IntervalTanh, {1, -1}), {-1, 1}},
      {"acot", Call(IntervalAcot, {-1, 1}), {kPi / 4, 3 * kPi / 4}},
      {"acot wrapped", Call(IntervalAcot, {1, -1}), {0, kPi}},
      {"ln wrapped", Call(IntervalLn, {1, -1}), kUndefinedInterval},
      {"sqrt across 0 stays undefined", Call(IntervalSqrt, {-1, 4}), kUndefinedInterval},
      {"sqrt", Call(IntervalSqrt, {4, 9}), {2, 3}},
      {"log10", Call(IntervalLog10, {0, 100}), {-kInf, 2}},
      {"asin outside", Call(IntervalAsin, {0, 1.5}), kUndefinedInterval},
      {"acos", Call(IntervalAcos, {-1, 1}), {0, kPi}},
      {"acosh", Call(IntervalAcosh, {1, 1}), {0, 0}},
      {"acosh below 1", Call(IntervalAcosh, {0.5, 2}), kUndefinedInterval},
      {"asec wrapped", Call(IntervalAsec, {1, -1}), {0, kPi}},
      {"asec inside (-1,1)", Call(IntervalAsec, {-2, 0.5}), kUndefinedInterval},
      {"acsc", Call(IntervalAcsc, {1, 2}), {Arccsc(2.0), kPi / 2}},
      {"acoth wrapped", Call(IntervalAcoth, {2, -2}), {Arccoth(-2.0), Arccoth(2.0)}},
      {"asech", Call(IntervalAsech, {0.5, 1}), {0, Arcsech(0.5)}},
      {"acsch whole", Call(IntervalAcsch, kWholeLine), kWholeLine},
      {"cosh across 0", Call(IntervalCosh, {-2, 1}), {1, std::cosh(2.0)}},
      {"cosh wrapped gap holds 0", Call(IntervalCosh, {1, -2}), {std::cosh(1.0), kInf}},
      {"cosh wrapped", Call(IntervalCosh, {3, 2}), {1, kInf}},
      {"sech across 0", Call(IntervalSech, {-2, 1}), {Sech(2.0), 1}},
      {"sech wrapped", Call(IntervalSech, {1, -2}), {0, Sech(1.0)}},
      {"coth [0,1]", Call(IntervalCoth, {0, 1}), {1 / std::tanh(1.0), kInf}},
  });
}

TEST(IntervalArithmetic, AbsSquareSignMinMax) {
  ExpectAll({
      {"abs across", Call(IntervalAbs, {-3, 2}), {0, 3}},
      {"abs negative", Call(IntervalAbs, {-3, -2}), {2, 3}},
      {"abs wrapped gap holds 0", Call(IntervalAbs, {2, -3}), {2, kInf}},
      {"abs wrapped", Call(IntervalAbs, {3, 2}), {0, kInf}},
      {"square across", Call(IntervalSquare, {-3, 2}), {0, 9}},
      {"square wrapped", Call(IntervalSquare, {2, -3}), {4, kInf}},
      {"sign positive", Call(IntervalSign, {2, 3}), {1, 1}},
      {"sign zero", Call(IntervalSign, {0, 0}), {0, 0}},
      {"sign from 0", Call(IntervalSign, {0, 3}), {0, 1}},
      {"sign negative", Call(IntervalSign, {-3, -2}), {-1, -1}},
      {"sign to 0", Call(IntervalSign, {-3, 0}), {-1, 0}},
      {"sign across", Call(IntervalSign, {-3, 2}), {-1, 1}},
      {"sign wrapped with positive lo", Call(IntervalSign, {3, 2}), {-1, 1}},
      {"min", Call(IntervalMin, {1, 5}, {2, 3}), {1, 3}},
      {"max", Call(IntervalMax, {1, 5}, {2, 3}), {2, 5}},
      {"min wrapped counts as whole", Call(IntervalMin, {3, 2}, {0, 1}), {-kInf, 1}},
      {"hypot", Call(IntervalHypot, {-3, 3}, {4, 5}), {4, std::hypot(3.0, 5.0)}},
  });
}

TEST(IntervalArithmetic, PowersAndRationalPowers) {
  auto rational = [](Interval x, double q, double p) {
    Interval r;
    IntervalRationalPower(r, x, {q, q}, {p, p});
    return r;
  };
  ExpectAll({
      {"cube root of [-8,-1]", rational({-8, -1}, 3, 1), {-2, -1}},
      {"cube root of [1,8]", rational({1, 8}, 3, 1), {1, 2}},
      {"[-8,8]^(-1/3)", rational({-8, 8}, 3, -1), {0.5, -0.5}},
      {"[-8,8]^(1/-3)", rational({-8, 8}, -3, 1), {0.5, -0.5}},
      {"[-8,-1]^(2/3)", rational({-8, -1}, 3, 2), {1, std::pow(8.0, 2.0 / 3.0)}},
      {"even denominator", rational({-8, -1}, 2, 1), kUndefinedInterval},
      {"[-1,2]^2", Call(IntervalPower, {-1, 2}, {2, 2}), {0, 4}},
      {"[-1,2]^-2", Call(IntervalPower, {-1, 2}, {-2, -2}), {0.25, kInf}},
      {"[-2,-1]^3", Call(IntervalPower, {-2, -1}, {3, 3}), {-8, -1}},
      {"[-2,-1]^-1", Call(IntervalPower, {-2, -1}, {-1, -1}), {-1, -0.5}},
      {"[-2,-1]^2", Call(IntervalPower, {-2, -1}, {2, 2}), {1, 4}},
      {"[-1,2]^-1 pole", Call(IntervalPower, {-1, 2}, {-1, -1}), kWholeLine},
      {"anything^0", Call(IntervalPower, {-5, 2}, {0, 0}), {1, 1}},
      {"[0.5,2]^[-1,1]", Call(IntervalPower, {0.5, 2}, {-1, 1}), {0.5, 2}},
      {"[2,3]^[1,2]", Call(IntervalPower, {2, 3}, {1, 2}), {2, 9}},
      {"[0,0]^[-1,1]", Call(IntervalPower, {0, 0}, {-1, 1}), {0, kInf}},
      {"[4,9]^0.5", Call(IntervalPower, {4, 9}, {0.5, 0.5}), {2, 3}},
      {"[-2,-1]^0.5", Call(IntervalPower, {-2, -1}, {0.5, 0.5}), kUndefinedInterval},
      {"negative base, interval exponent", Call(IntervalPower, {-2, -1}, {1, 2}), kUndefinedInterval},
  });
  // 1/x over [-1, 2] is the wrapped [0.5, -1]; its cube root is real on both halves:
  // [0.5^(1/3), -1] with 0.5^(1/3) = 0.79370052598409973737... (hand-computed).
  const Interval wrappedRoot = rational({0.5, -1}, 3, 1);
  EXPECT_NEAR(wrappedRoot.lo, 0.79370052598409974, 2e-16);
  EXPECT_EQ(wrappedRoot.hi, -1.0);
  // x^(2/3) on both halves: [1, inf] from x <= -1 and [0.5^(2/3), inf] from x >= 0.5, with
  // 0.5^(2/3) = 0.62996052494743658238... (hand-computed).
  const Interval wrappedSquareRoot = rational({0.5, -1}, 3, 2);
  EXPECT_NEAR(wrappedSquareRoot.lo, 0.62996052494743658, 2e-16);
  EXPECT_EQ(wrappedSquareRoot.hi, kInf);
  const Interval r = rational({-8, 27}, 3, 2);  // 27^(2/3) is 8.999999999999998 through pow
  EXPECT_EQ(r.lo, 0.0);
  EXPECT_NEAR(r.hi, 9.0, 4e-15);
}

TEST(IntervalArithmetic, ComparisonsAndTruth) {
  ExpectAll({
      {"[1,2]<[3,4]", Call(IntervalLess, {1, 2}, {3, 4}), kTruthTrue},
      {"[1,3]<[2,4]", Call(IntervalLess, {1, 3}, {2, 4}), kTruthUndecided},
      {"[3,4]<[1,3]", Call(IntervalLess, {3, 4}, {1, 3}), kTruthFalse},
      {"[3,4]<=[3,5]", Call(IntervalLessEqual, {3, 4}, {3, 5}), kTruthUndecided},
      {"[1,3]<=[3,5]", Call(IntervalLessEqual, {1, 3}, {3, 5}), kTruthTrue},
      {"[4,5]<=[1,3]", Call(IntervalLessEqual, {4, 5}, {1, 3}), kTruthFalse},
      {"[4,5]>[1,3]", Call(IntervalGreater, {4, 5}, {1, 3}), kTruthTrue},
      {"[1,3]>[3,5]", Call(IntervalGreater, {1, 3}, {3, 5}), kTruthFalse},
      {"[3,5]>=[1,3]", Call(IntervalGreaterEqual, {3, 5}, {1, 3}), kTruthTrue},
      {"[1,2]>=[3,5]", Call(IntervalGreaterEqual, {1, 2}, {3, 5}), kTruthFalse},
      {"[2,2]==[2,2]", Call(IntervalEqual, {2, 2}, {2, 2}), kTruthTrue},
      {"[1,2]==[3,4]", Call(IntervalEqual, {1, 2}, {3, 4}), kTruthFalse},
      {"[1,3]==[2,4]", Call(IntervalEqual, {1, 3}, {2, 4}), kTruthUndecided},
      {"[5,6]== gap of [7,4]", Call(IntervalEqual, {5, 6}, {7, 4}), kTruthFalse},
      {"[3,6]== [7,4]", Call(IntervalEqual, {3, 6}, {7, 4}), kTruthUndecided},
      {"wrapped <", Call(IntervalLess, {7, 4}, {100, 200}), kTruthUndecided},
      {"NaN compare", Call(IntervalLess, {kNaN, 1}, {1, 2}), kUndefinedInterval},
      // And: true before false before NaN; Or never yields NaN.
      {"and TT", Call(IntervalTruthAnd, kTruthTrue, kTruthTrue), kTruthTrue},
      {"and F NaN", Call(IntervalTruthAnd, kTruthFalse, kUndefinedInterval), kTruthFalse},
      {"and T NaN", Call(IntervalTruthAnd, kTruthTrue, kUndefinedInterval), kUndefinedInterval},
      {"and T U", Call(IntervalTruthAnd, kTruthTrue, kTruthUndecided), kTruthUndecided},
      {"or FF", Call(IntervalTruthOr, kTruthFalse, kTruthFalse), kTruthFalse},
      {"or NaN T", Call(IntervalTruthOr, kUndefinedInterval, kTruthTrue), kTruthTrue},
      {"or NaN F", Call(IntervalTruthOr, kUndefinedInterval, kTruthFalse), kTruthUndecided},
      {"or U F", Call(IntervalTruthOr, kTruthUndecided, kTruthFalse), kTruthUndecided},
  });
}

TEST(IntervalArithmetic, AnglesOfBoxes) {
  // atan2 takes (y, x).
  ExpectAll({
      {"left of origin", Call(IntervalAtan2, {-1, 1}, {-2, -1}), {2.356194490192345, 3.9269908169872414}},
      {"around origin", Call(IntervalAtan2, {-1, 1}, {-1, 1}), {0, 2 * kPi}},
      {"first quadrant", Call(IntervalAtan2, {1, 2}, {1, 2}), {0.4636476090008061, 1.1071487177940904}},
      {"below origin", Call(IntervalAtan2, {-2, -1}, {-1, 1}), {5 * kPi / 4, 7 * kPi / 4}},
      // Towards +x infinity below the axis the angle tends to 2 pi, not 0.
      {"below, to the right without end", Call(IntervalAtan2, {-2, -1}, {1, kInf}),
       {2 * kPi - 1.1071487177940904, 2 * kPi}},
      {"on the x axis", Call(IntervalAtan2, {0, 0}, {-1, 1}), {0, kPi}},
      {"signed around origin", Call(IntervalAtan2Signed, {-1, 1}, {-1, 1}), {-kPi, kPi}},
      {"signed, y=-0 on the negative axis", Call(IntervalAtan2Signed, {-0.0, -0.0}, {-2, -1}), {kPi, kPi}},
      {"signed first quadrant", Call(IntervalAtan2Signed, {1, 2}, {1, 2}), {0.4636476090008061, 1.1071487177940904}},
  });
}

TEST(IntervalArithmetic, ModuloEnclosesTheFlooredModulo) {
  ExpectAll({
      {"many branches: the range of the divisor", Call(IntervalMod, {0, 10}, {3, 3}), {0, 3}},
      {"one branch: the corners", Call(IntervalMod, {3.5, 5}, {3, 3}), {0.5, 2}},
      // 49 * (1/49) rounds below 1; the floored quotient of 49/49 is 1 and the modulo 0.
      {"exact quotient", Call(IntervalMod, {49, 49}, {49, 49}), {0, 0}},
      {"negative divisor", Call(IntervalMod, {7, 7}, {-3, -3}), {-2, -2}},
      {"divisor across 0", Call(IntervalMod, {1, 2}, {-1, 1}), kUndefinedInterval},
      {"wrapped operand", Call(IntervalMod, {3, 1}, {2, 2}), kWholeLine},
  });
  EXPECT_EQ(FlooredMod(49, 49), 0.0);
}

TEST(IntervalArithmetic, FactorialIncludesEveryTurningPoint) {
  // Minimum of x! on (-1, inf): 0.8856031944108887 at 0.46163214496836234.
  EXPECT_TRUE(Same(Call(IntervalFactorial, {0, 1}), {0.8856031944108887, 1}));
  EXPECT_TRUE(Same(Call(IntervalFactorial, {0.5, 1}), {Factorial(0.5), 1}));
  EXPECT_TRUE(Same(Call(IntervalFactorial, {2, 4}), {2, 24}));
  // Branch (-2,-1): maximum -3.5446436111550050 at -1.5040830082644554; the midpoint value
  // -3.5449077018110320 would miss it.
  const Interval b1 = Call(IntervalFactorial, {-1.9, -1.1});
  EXPECT_GE(b1.hi, -3.5446436111550051);
  EXPECT_LE(b1.hi, -3.54464361115);
  // Branch (-3,-2): minimum 2.3024072583396801 at -2.5734984731623905.
  const Interval b2 = Call(IntervalFactorial, {-2.9, -2.1});
  EXPECT_LE(b2.lo, 2.3024072583396801);
  EXPECT_GE(b2.lo, 2.30240725833);
  // Branch (-4,-3): maximum -0.88813635840124192 at -3.6107208684441447.
  const Interval b3 = Call(IntervalFactorial, {-3.7, -3.5});
  EXPECT_GE(b3.hi, -0.88813635840124193);
  EXPECT_LE(b3.hi, -0.88813635840);
  // Far branches underflow; 0 stands in for the extremum.
  const Interval far = Call(IntervalFactorial, {-300.9, -300.1});
  EXPECT_TRUE(Holds(far, 0.0)) << Show(far);
  ExpectAll({
      {"pole inside", Call(IntervalFactorial, {-1.5, -0.5}), kWholeLine},
      {"pole at lower bound", Call(IntervalFactorial, {-2, -1.5}), kWholeLine},
      {"pole at upper bound", Call(IntervalFactorial, {-1.5, -1}), kWholeLine},
      {"wrapped", Call(IntervalFactorial, {2, 1}), kWholeLine},
      {"from -1", Call(IntervalFactorial, {-1, 0}), {1, kInf}},
      {"huge negative degenerate", Call(IntervalFactorial, {-1e300, -1e300}), kWholeLine},
  });
}

TEST(IntervalArithmetic, BesselIncludesTurningPointsAndEnvelope) {
  auto j = [](Interval n, Interval x) {
    Interval r;
    IntervalBesselJ(r, n, x);
    return r;
  };
  // J0 peaks at 0: the corners alone give 0.9384698072408129 twice.
  const Interval peak = j({0, 0}, {-0.5, 0.5});
  EXPECT_TRUE(Same(peak, {BesselJv(0, 0.5), 1}));
  EXPECT_NEAR(peak.lo, 0.9384698072408129, 3e-16);
  // Monotone stretch: the corner values exactly.
  EXPECT_TRUE(Same(j({0, 0}, {1, 2}), {BesselJv(0, 2.0), BesselJv(0, 1.0)}));
  // J0 minimum -0.40275939570255297 at 3.8317059702075123.
  const Interval dip = j({0, 0}, {3, 4.5});
  EXPECT_LE(dip.lo, -0.40275939570255297);
  EXPECT_GE(dip.lo, -1.0);
  // J5 peaks at 0.37409290154514225 (x = 6.4156); sqrt(2 / (6 pi)) = 0.3257 is not an envelope.
  const Interval orders = j({4, 6}, {6, 7});
  EXPECT_GE(orders.hi, 0.37409290154514225);
  EXPECT_LE(orders.lo, -0.37409290154514225);
  EXPECT_TRUE(Same(j({0, 3}, {-1, 2}), {-1, 1}));
  // Negative non-whole orders grow without bound near 0: J_{-0.65}(0.001) = 54.93.
  EXPECT_TRUE(Holds(j({-0.7, -0.6}, {0.001, 1}), 54.926979477718933));
  // A non-whole order at negative x takes the real function's domain value 0.
  EXPECT_TRUE(Holds(j({0.5, 0.5}, {-1, -0.5}), 0.0));
  EXPECT_TRUE(IntervalIsUndefined(j({kNaN, 1}, {0, 1})));
}

}  // namespace
