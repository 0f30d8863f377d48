// Interval arithmetic. The contract as a property: for random ordinary and wrapped boxes (across
// domain edges, cornered on zeros and extrema, at and past overflow) every finite point value, to
// 113 bits (libquadmath), lies in the result with no slack; undefined results are earned. Goldens:
// tight bounds, wrapped results, signed zeros, poles, decided comparisons, the partial-domain
// rulings, turning points of x! and of J (30-digit roots of the digamma function and of J1).
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/interval.h"
#include "kernel/numeric/special_functions.h"
#include "tests/kernel/eval/evaluation_test_support.h"
#include "tests/kernel/numeric/interval_test_support.h"

namespace {

using namespace interval_test;
constexpr double kInf = kPositiveInfinity;

struct Case {
  const char* what;
  Interval got;
  Interval want;
  bool exact = true;  // else: encloses want within a few ulps (outward rounding)
};

void ExpectAll(std::initializer_list<Case> cases) {
  for (const Case& c : cases) EXPECT_TRUE(c.exact ? Same(c.got, c.want) : Encloses(c.got, c.want, 8)) << c.what;
}

TEST(IntervalArithmetic, ReciprocalsSumsProductsAndHullsOfWrappedIntervals) {
  ExpectAll({
      {"1/[-1,2] wraps", ValueOf(IntervalReciprocal, {-1, 2}), {0.5, -1}},
      {"1/[-2,-0]: a zero bound is approached from inside", ValueOf(IntervalReciprocal, {-2, -0.0}), {-kInf, -0.5}},
      {"1/[-0,2]", ValueOf(IntervalReciprocal, {-0.0, 2}), {0.5, kInf}},
      {"1/wrapped [3,0]", ValueOf(IntervalReciprocal, {3, 0}), {-kInf, 1.0 / 3}, false},
      {"[2,3]+[0.5,-1]", ValueOf(IntervalAdd, {2, 3}, {0.5, -1}), {2.5, 2}, false},
      {"[-3,3]+[0.5,-1] closes the gap", ValueOf(IntervalAdd, {-3, 3}, {0.5, -1}), kWholeLine},
      {"inf - inf", ValueOf(IntervalAdd, {kInf, kInf}, {-kInf, -kInf}), kWholeLine},
      {"a NaN bound is undefined", ValueOf(IntervalAdd, {0, 1}, {1, kUndefinedReal}), kUndefinedInterval},
      // 0.1 + 0.2 rounds to 0.30000000000000004, above the exact sum: the lower bound steps below.
      {"0.1 + 0.2 on the sides of the exact sum", ValueOf(IntervalAdd, {0.1, 0.1}, {0.2, 0.2}), {0.3, 0.30000000000000004}},
      {"[1, 2] * [-3, 4]", ValueOf(IntervalMultiply, {1, 2}, {-3, 4}), {-6, 8}},
      {"0 times an infinite bound: the finite products", ValueOf(IntervalMultiply, {0, 1}, {-kInf, 2}), {-kInf, 2}},
      {"[0,0] times [1, inf]", ValueOf(IntervalMultiply, {0, 0}, {1, kInf}), {0, 0}},
      {"[0,h]/[0,h]", ValueOf(IntervalDivide, {0, 0.25}, {0, 0.25}), {0, kInf}},
      {"overflow: the lower bound is the largest double", ValueOf(IntervalMultiply, {1e200, 1e201}, {1e200, 1e200}), {DBL_MAX, kInf}},
      {"by wrapped", ValueOf(IntervalMultiply, {-2, -1}, {0.5, -1}), {1, -0.5}},
      {"wrapped by 0-straddling", ValueOf(IntervalMultiply, {-1, 1}, {0.5, -1}), kWholeLine},
      {"hull keeps the gap", ValueOf(IntervalHull, {1, kInf}, {-kInf, -0.5}), {1, -0.5}},
      {"hull of undefined first", ValueOf(IntervalHull, kUndefinedInterval, {4, 5}), kUndefinedInterval},
      {"hull of undefined second", ValueOf(IntervalHull, {4, 5}, kUndefinedInterval), {4, 5}},
      {"hull wrapped with the middle of its gap", ValueOf(IntervalHull, {3, 1}, {1.5, 2}), {3, 2}},
      {"hull wrapped covering the gap", ValueOf(IntervalHull, {3, 1}, {0, 4}), kWholeLine},
      {"hull of two wrapped", ValueOf(IntervalHull, {3, 1}, {4, 2}), {3, 2}},
  });
}

// Outward rounding: the bound holds the true value even where round-to-nearest misses it.
// sin^2 x + cos^2 y over a box cornered on y = -x reaches 1, which rounding put just below.
TEST(IntervalArithmetic, BoundsHoldTheTrueValueWhereRoundingToNearestMissesIt) {
  const double x = 0.14;  // the sum is 1 at (x, -x)
  const Interval s = ValueOf(IntervalSquare, ValueOf(IntervalSin, {x, x + 1e-9}));
  const Interval c = ValueOf(IntervalSquare, ValueOf(IntervalCos, {-x - 1e-9, -x}));
  EXPECT_GE(ValueOf(IntervalAdd, s, c).hi, 1.0);
  EXPECT_LT(std::sin(x) * std::sin(x) + std::cos(-x) * std::cos(-x), 1.0);  // what nearest gives
  EXPECT_TRUE(Same(ValueOf(IntervalExp, {710, 712}), {DBL_MAX, kInf}));
  EXPECT_TRUE(Same(ValueOf(IntervalExp, {-kInf, 0}), {0, 1}));  // exp 0 = 1 exactly
}

TEST(IntervalArithmetic, TrigonometryFindsExtremaAndPoles) {
  ExpectAll({
      {"sin [0,2] reaches 1", ValueOf(IntervalSin, {0, 2}), {0, 1}},
      {"cos [2,4] crosses pi", ValueOf(IntervalCos, {2, 4}), {-1, std::cos(2.0)}, false},
      {"tan [1,2] holds a pole", ValueOf(IntervalTan, {1, 2}), kWholeLine},
      {"tan with pi/2 as a bound", ValueOf(IntervalTan, {1, kPi / 2}), kWholeLine},
      {"cot [0,1] pole at a bound", ValueOf(IntervalCot, {0, 1}), kWholeLine},
      {"tan of a huge bound", ValueOf(IntervalTan, {1e300, 1e300}), kWholeLine},
      {"csc [-1,1] wraps round its pole", ValueOf(IntervalCsc, {-1, 1}), {1 / 0.8414709848078965, -1 / 0.8414709848078965}, false},
  });
}

// Near a pole, bound by bound: an operand whose ends lie within 12 doubles of a pole of tan
// (pi/2 + k pi) or cot (k pi) holds the 113-bit values at its ends and midpoint, and is the whole
// line exactly when it holds the pole (placed with the 113-bit pi); an operand that stops two
// doubles short of pi/2 on either side is bounded: the pole test adds no margin of its own, so a
// search can close in on the pole.
TEST(IntervalContainment, TanAndCotNearTheirPoles) {
  auto step = [](double x, int n) {
    for (; n > 0; --n) x = std::nextafter(x, kInf);
    for (; n < 0; ++n) x = std::nextafter(x, -kInf);
    return x;
  };
  const double halfPi = kPi / 2;
  // k: the pole is k pi + pi/2 (tan) or k pi (cot). At k = 3522457 a rounded period index puts
  // the doubles just past the pole in the period before it.
  const struct { bool tan; int32_t k; } cases[] = {{true, 0}, {true, -1}, {true, 1}, {true, 100}, {true, 3522457},
                                                   {false, 1}, {false, -2}};
  for (const auto& c : cases) {
    const Quad pole = c.k * kQuadPi + (c.tan ? kQuadPi / 2 : 0);
    auto reference = [&](double x) { return c.tan ? tanq(x) : 1 / tanq(x); };
    ContainmentChecker check{c.tan ? "tan" : "cot"};
    for (int i = -12; i <= 12; ++i) {
      for (int j = i; j <= 12; ++j) {
        for (double width : {0.0, 1e-3, 1.0}) {  // the lower end beside the pole, or farther off
          const Interval box{step(static_cast<double>(pole), i) - (i == j ? width : 0.0),
                             step(static_cast<double>(pole), j)};
          const Interval r = ValueOf(c.tan ? IntervalTan : IntervalCot, box);
          for (double x : {box.lo, box.hi, box.lo + (box.hi - box.lo) / 2}) {
            check.Expect(r, reference(x), [&] { return Show(box) + " at " + Fmt(x); });
          }
          const bool holdsPole = box.lo <= pole && pole <= box.hi;
          EXPECT_TRUE(!holdsPole || Same(r, kWholeLine)) << c.k << " " << Show(box) << " gave " << Show(r);
        }
      }
    }
    EXPECT_EQ(check.failures, 0) << c.k;
  }
  const Interval below = ValueOf(IntervalTan, {1.5, step(halfPi, -2)}), above = ValueOf(IntervalTan, {step(halfPi, 2), 1.6});
  EXPECT_TRUE(below.hi > 1e15 && below.hi < kInf && above.lo < -1e15 && above.lo > -kInf) << Show(below) << Show(above);
  // Nearly a period long: the ends' period indexes cannot be trusted, so nothing is known.
  EXPECT_TRUE(Same(ValueOf(IntervalTan, {-halfPi + 1e-9, halfPi - 1e-9}), kWholeLine));
}

// The rulings on partial domains: the range over the part of the operand inside the domain,
// undefined only with no point inside, and the partial domain noted for the machine's truths.
TEST(IntervalArithmetic, PartialDomainsGiveTheRangeOverThePartInside) {
  const double e = 2.718281828459045;
  ExpectAll({
      {"sqrt [-1, 4]", ValueOf(IntervalSqrt, {-1, 4}), {0, 2}},
      {"ln [-1, e]", ValueOf(IntervalLn, {-1, e}), {-kInf, 1}, false},
      {"asin [0.5, 2]", ValueOf(IntervalAsin, {0.5, 2}), {std::asin(0.5), kPi / 2}, false},
      {"acos [-2, 0.5]", ValueOf(IntervalAcos, {-2, 0.5}), {std::acos(0.5), kPi}, false},
      {"acosh [0.5, 2]", ValueOf(IntervalAcosh, {0.5, 2}), {0, std::acosh(2.0)}, false},
      {"atanh [0, 3]", ValueOf(IntervalAtanh, {0, 3}), {0, kInf}},
      {"asec [-2, 0.5]", ValueOf(IntervalAsec, {-2, 0.5}), {std::acos(-0.5), kPi}, false},
      {"acoth [0.5, 2]", ValueOf(IntervalAcoth, {0.5, 2}), {Arccoth(2.0), kInf}, false},
      {"asech [-1, 0.5]", ValueOf(IntervalAsech, {-1, 0.5}), {std::acosh(2.0), kInf}, false},
      {"ln of a wrapped set", ValueOf(IntervalLn, {1, -1}), {0, kInf}},
      {"[-4, 9]^0.5", ValueOf(IntervalPower, {-4, 9}, {0.5, 0.5}), {0, 3}, false},
      {"[-2,-1]^[1,2]: whole exponents only", ValueOf(IntervalPower, {-2, -1}, {1, 2}), {-4, 4}, false},
      {"mod by a divisor across 0", ValueOf(IntervalMod, {1, 2}, {-1, 1}), {-1, 1}},
      {"no point inside: sqrt [-2, -1]", ValueOf(IntervalSqrt, {-2, -1}), kUndefinedInterval},
      {"no point inside: [-2,-1]^0.5", ValueOf(IntervalPower, {-2, -1}, {0.5, 0.5}), kUndefinedInterval},
  });
  EXPECT_GE(ValueOf(IntervalAsin, {0.5, 2}).hi, kPi / 2 + 1e-16);  // above the true pi/2, not kPi/2
  // Noted only where some point has no value: a real power of a positive base has one everywhere.
  const auto sqrt = [](const Interval& a) { return ValueOf(IntervalSqrt, a); };
  const auto root = [](const Interval& a) { return ValueOf(IntervalPower, a, Interval{0.5, 0.5}); };
  const struct { Interval (*f)(const Interval&); Interval box; bool partial; } noted[] = {
      {sqrt, {0, 4}, false}, {sqrt, {-1, 4}, true}, {sqrt, {2, 1}, true}, {root, {1, 4}, false}, {root, {-1, 4}, true}};
  for (const auto& c : noted) {
    IntervalResetPartialDomain();
    c.f(c.box);
    EXPECT_EQ(IntervalPartialDomainSeen(), c.partial) << Show(c.box);
  }
}

// The same rulings through the interval machine, on the graphs that lost pixels: each relation
// holds at some point of its box, so its truth there is not false (nor undefined); a comparison
// over a partly undefined operand is undecided, not true.
class IntervalMachineRulings : public evaltest::EvaluationFixture {};

TEST_F(IntervalMachineRulings, RelationsAreNeverFalseWhereTheyHold) {
  struct Case { const char* what; const char* tree; Interval x, y, want; };
  const char* const circle = "geq[sqrt[plus[1,minus[power[x,2]],minus[power[y,2]]]],0]";
  const Case cases[] = {
      {"sin^2 x + cos^2 y = 1 cornered on y = -x", "equal[plus[power[sin[x],2],power[cos[y],2]],1]", {0.14, 0.14 + 1e-9}, {-0.14 - 1e-9, -0.14}, kTruthUndecided},
      {"exp x > 2 exp y past overflow", "greaterthan[exp[x],times[2,exp[y]]]", {711, 712}, {710, 710.5}, kTruthUndecided},
      {"x / x = 1 with 0 at an end", "equal[over[x,x],1]", {0, 0.25}, {0, 0}, kTruthUndecided},
      {"sqrt(1 - x^2 - y^2) >= 0 across the circle", circle, {0.5, 1}, {0.5, 1}, kTruthUndecided},
      {"sqrt(1 - x^2 - y^2) >= 0 inside it", circle, {0, 0.5}, {0, 0.5}, kTruthTrue},
      {"(x + i)(x - i) > 0, real at every point", "greaterthan[times[plus[x,i],plus[x,minus[i]]],0]", {1, 2}, {0, 0}, kTruthUndecided},
  };
  for (const Case& c : cases) {
    CompiledFunction* f = evaltest::Function(c.tree);
    CompileFunction(f);
    Interval r;
    EvaluateIntervalXY(f, c.x.lo, c.x.hi, c.y.lo, c.y.hi, &r.lo, &r.hi);
    evaltest::Free(f);
    EXPECT_TRUE(Same(r, c.want)) << c.what;
  }
}

TEST(IntervalArithmetic, MonotoneFunctionsOfWrappedOperands) {
  ExpectAll({
      {"exp wrapped", ValueOf(IntervalExp, {1, -1}), {std::exp(1.0), std::exp(-1.0)}, false},
      // exp(900) and exp(800) both overflow: the image of the gap's two sides covers (0, inf).
      {"exp of a saturated gap", ValueOf(IntervalExp, {900, 800}), kWholeLine},
      {"floor of a narrow gap", ValueOf(IntervalFloor, {1.5, 1.2}), kWholeLine},
      {"floor wrapped", ValueOf(IntervalFloor, {2.5, 1.2}), {2, 1}},
      {"acoth wrapped", ValueOf(IntervalAcoth, {2, -2}), {Arccoth(-2.0), Arccoth(2.0)}, false},
      {"cosh wrapped, gap holding 0", ValueOf(IntervalCosh, {1, -2}), {std::cosh(1.0), kInf}, false},
      {"sech wrapped", ValueOf(IntervalSech, {1, -2}), {0, Sech(1.0)}, false},
      {"abs wrapped, gap holding 0", ValueOf(IntervalAbs, {2, -3}), {2, kInf}},
      {"square wrapped", ValueOf(IntervalSquare, {2, -3}), {4, kInf}},
      {"min of a wrapped one counts it whole", ValueOf(IntervalMin, {3, 2}, {0, 1}), {-kInf, 1}},
  });
}

TEST(IntervalArithmetic, PowersAndRealRoots) {
  const auto rational = [](Interval x, double q, double p) { return ValueOf(IntervalRationalPower, x, Interval{q, q}, Interval{p, p}); };
  ExpectAll({
      {"cube root of [-8,-1]", rational({-8, -1}, 3, 1), {-2, -1}, false},
      {"[-8,8]^(-1/3)", rational({-8, 8}, 3, -1), {0.5, -0.5}, false},
      {"[-8,-1]^(2/3)", rational({-8, -1}, 3, 2), {1, 4}, false},
      {"[-8,-1]^(6/3): p/q exact", rational({-8, -1}, 3, 6), {1, 64}, false},
      {"even denominator", rational({-8, -1}, 2, 1), kUndefinedInterval},
      {"[-1,2]^-2", ValueOf(IntervalPower, {-1, 2}, {-2, -2}), {0.25, kInf}, false},
      {"[-1,2]^-1 pole", ValueOf(IntervalPower, {-1, 2}, {-1, -1}), kWholeLine},
      {"[0.5,2]^[-1,1]", ValueOf(IntervalPower, {0.5, 2}, {-1, 1}), {0.5, 2}, false},
      {"[0,0]^[-1,1]", ValueOf(IntervalPower, {0, 0}, {-1, 1}), {0, kInf}},
  });
  // 1/x over [-1, 2] is the wrapped [0.5, -1]; its real roots on both halves: [0.5^(1/3), -1]
  // and, for x^(2/3), [0.5^(2/3), inf] (0.7937005259840997 and 0.6299605249474366, by hand).
  EXPECT_TRUE(Encloses(rational({0.5, -1}, 3, 1), {0.79370052598409974, -1}));
  EXPECT_TRUE(Encloses(rational({0.5, -1}, 3, 2), {0.62996052494743658, kInf}));
}

TEST(IntervalArithmetic, ComparisonsDecideWhereTheyCanAndTruthCombines) {
  ExpectAll({
      {"[1,2]<[3,4]", ValueOf(IntervalLess, {1, 2}, {3, 4}), kTruthTrue},
      {"[1,3]<[2,4]", ValueOf(IntervalLess, {1, 3}, {2, 4}), kTruthUndecided},
      {"[3,4]<[1,3] touching", ValueOf(IntervalLess, {3, 4}, {1, 3}), kTruthFalse},
      {"[1,3]<=[3,5] touching", ValueOf(IntervalLessEqual, {1, 3}, {3, 5}), kTruthTrue},
      {"[1,3]>[3,5] touching", ValueOf(IntervalGreater, {1, 3}, {3, 5}), kTruthFalse},
      {"[2,2]==[2,2]", ValueOf(IntervalEqual, {2, 2}, {2, 2}), kTruthTrue},
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
      {"left of the origin", ValueOf(IntervalAtan2, {-1, 1}, {-2, -1}), {2.356194490192345, 3.9269908169872414}, false},
      {"around the origin", ValueOf(IntervalAtan2, {-1, 1}, {-1, 1}), {0, 2 * kPi}, false},
      // Towards +x infinity below the axis the angle tends to 2 pi, not 0.
      {"below, to the right without end", ValueOf(IntervalAtan2, {-2, -1}, {1, kInf}), {2 * kPi - 1.1071487177940904, 2 * kPi}, false},
      {"on the x axis", ValueOf(IntervalAtan2, {0, 0}, {-1, 1}), {0, kPi}, false},
      {"signed, around the origin", ValueOf(IntervalAtan2Signed, {-1, 1}, {-1, 1}), {-kPi, kPi}, false},
      {"signed, y = -0 on the negative axis", ValueOf(IntervalAtan2Signed, {-0.0, -0.0}, {-2, -1}), {kPi, kPi}, false},
      {"mod over many branches: the divisor's range", ValueOf(IntervalMod, {0, 10}, {3, 3}), {0, 3}},
      {"mod over one branch: the corners", ValueOf(IntervalMod, {3.5, 5}, {3, 3}), {0.5, 2}, false},
      // 49 * (1/49) rounds below 1; the floored quotient of 49/49 is 1 and the modulo 0.
      {"mod of an exact quotient", ValueOf(IntervalMod, {49, 49}, {49, 49}), {0, 0}},
      {"mod by a negative divisor", ValueOf(IntervalMod, {7, 7}, {-3, -3}), {-2, -2}, false},
      {"mod of a wrapped operand", ValueOf(IntervalMod, {3, 1}, {2, 2}), kWholeLine},
  });
}

TEST(IntervalArithmetic, FactorialIncludesEveryTurningPoint) {
  // Minimum of x! on (-1, inf): 0.88560319441088870 at 0.46163214496836234.
  const Interval unit = ValueOf(IntervalFactorial, {0, 1});
  EXPECT_TRUE(Holds(unit, QuadOf("0.88560319441088870027881590058258873")) && Holds(unit, 1.0) && unit.lo > 0.88560319) << Show(unit);
  // On the branches (-2,-1), (-3,-2), (-4,-3) the extremes -3.5446436111550050 (at
  // -1.5040830082644554; the midpoint's -3.5449077018110320 would miss it), 2.3024072583396801
  // and -0.88813635840124192.
  const Interval b1 = ValueOf(IntervalFactorial, {-1.9, -1.1}), b2 = ValueOf(IntervalFactorial, {-2.9, -2.1});
  const Interval b3 = ValueOf(IntervalFactorial, {-3.7, -3.5});
  EXPECT_TRUE(b1.hi >= -3.5446436111550051 && b1.hi <= -3.54464361115) << Show(b1);
  EXPECT_TRUE(b2.lo <= 2.3024072583396801 && b2.lo >= 2.30240725833) << Show(b2);
  EXPECT_TRUE(b3.hi >= -0.88813635840124193 && b3.hi <= -0.88813635840) << Show(b3);
  EXPECT_TRUE(Holds(ValueOf(IntervalFactorial, {-300.9, -300.1}), 0.0));  // far branches underflow
  const Interval fromMinusOne = ValueOf(IntervalFactorial, {-1, 0});
  EXPECT_TRUE(fromMinusOne.hi == kInf && fromMinusOne.lo <= 1.0 && fromMinusOne.lo > 0.999999) << Show(fromMinusOne);
  ExpectAll({
      {"pole inside", ValueOf(IntervalFactorial, {-1.5, -0.5}), kWholeLine},
      {"pole at a bound", ValueOf(IntervalFactorial, {-2, -1.5}), kWholeLine},
      {"huge negative degenerate", ValueOf(IntervalFactorial, {-1e300, -1e300}), kWholeLine},
  });
}

TEST(IntervalArithmetic, BesselIncludesTurningPointsAndEnvelope) {
  // J0 peaks at 0, where the corners alone give 0.9384698072408129 twice.
  const Interval peak = ValueOf(IntervalBesselJ, {0, 0}, {-0.5, 0.5});
  EXPECT_TRUE(Holds(peak, 1.0) && Holds(peak, QuadOf("0.93846980724081290422840467359971575")) && peak.lo > 0.93846980) << Show(peak);
  // J0's minimum -0.40275939570255297 at 3.8317059702075123; J5's peak 0.37409290154514225
  // (x = 6.4156), above sqrt(2 / (6 pi)) = 0.3257, which is no envelope.
  const Interval dip = ValueOf(IntervalBesselJ, {0, 0}, {3, 4.5}), orders = ValueOf(IntervalBesselJ, {4, 6}, {6, 7});
  EXPECT_TRUE(dip.lo <= -0.40275939570255297 && dip.lo >= -1.0) << Show(dip);
  EXPECT_TRUE(orders.hi >= 0.37409290154514225 && orders.lo <= -0.37409290154514225) << Show(orders);
  EXPECT_TRUE(Same(ValueOf(IntervalBesselJ, {0, 3}, {-1, 2}), {-1, 1}));
  // Negative non-whole orders grow without bound near 0: J_-0.65(0.001) = 54.93.
  EXPECT_TRUE(Holds(ValueOf(IntervalBesselJ, {-0.7, -0.6}, {0.001, 1}), 54.926979477718933));
}

Quad QuadArccot(Quad x) { return x > 0 ? atanq(1 / x) : x < 0 ? kQuadPi + atanq(1 / x) : kQuadPi / 2; }

TEST(IntervalContainment, EveryUnaryOperationEnclosesItsPointValues) {
  struct Case { const char* name; void (*f)(Interval&, const Interval&); Quad (*reference)(Quad); };
  std::vector<Case> cases = {
      {"negate", IntervalNegate, [](Quad x) { return -x; }},
      {"reciprocal", IntervalReciprocal, [](Quad x) { return 1 / x; }},
      {"acot", IntervalAcot, QuadArccot},  // the real inverse cotangent, in (0, pi)
      {"sign", IntervalSign, [](Quad x) { return static_cast<Quad>(Sign(static_cast<double>(x))); }},
      {"floor", IntervalFloor, floorq},
      {"ceil", IntervalCeil, ceilq},
      {"factorial", IntervalFactorial, [](Quad x) { return tgammaq(x + 1); }},
  };
  // The real machine's forms of the complex functions; arg and the complex acot are not its own.
  for (const ComplexUnary& c : kComplexUnary) {
    if (std::string(c.name) != "arg" && std::string(c.name) != "acot") cases.push_back({c.name, c.realBox, c.quad});
  }
  BoxSampler s(20261206);
  std::vector<double> xs;
  for (const Case& c : cases) {
    ContainmentChecker check{c.name};
    for (int i = 0; i < 1500 && check.failures == 0; ++i) {
      const Interval box = s.Box();
      const Interval r = ValueOf(c.f, box);
      s.Points(box, 12, xs);
      check.Start();
      for (double x : xs) check.Expect(r, c.reference(x), [&] { return Show(box) + " at " + Fmt(x); });
      check.ExpectEarnedUndefined(r, false, [&] { return Show(box); });
    }
    EXPECT_GT(check.defined, 0) << c.name << " never gave a defined result";
  }
}

TEST(IntervalContainment, EveryBinaryOperationEnclosesItsPointValues) {
  struct BinaryCase {
    const char* name;
    void (*f)(Interval&, const Interval&, const Interval&);
    Quad (*reference)(Quad, Quad);
    bool ordinaryOnly = false;  // the operation's caller guarantees ordinary operands
  };
  const BinaryCase cases[] = {
      {"add", IntervalAdd, [](Quad x, Quad y) { return x + y; }},
      {"multiply", IntervalMultiply, [](Quad x, Quad y) { return x * y; }},
      {"multiply ordinary", IntervalMultiplyOrdinary, [](Quad x, Quad y) { return x * y; }, true},
      {"divide", IntervalDivide, [](Quad x, Quad y) { return x / y; }},
      {"power", IntervalPower, powq},
      {"power ordinary", IntervalPowerOrdinary, powq, true},
      {"min", IntervalMin, [](Quad x, Quad y) { return y >= x ? x : y; }},
      {"max", IntervalMax, [](Quad x, Quad y) { return y <= x ? x : y; }},
      {"mod", IntervalMod, QuadFlooredMod},
      {"hypot", IntervalHypot, hypotq},
      {"atan2 (y, x)", IntervalAtan2, [](Quad y, Quad x) { return atan2q(y, x) < 0 ? atan2q(y, x) + 2 * kQuadPi : atan2q(y, x); }},
      {"atan2 signed (y, x)", IntervalAtan2Signed, [](Quad y, Quad x) { return atan2q(y + 0, x); }},
      {"less", IntervalLess, [](Quad x, Quad y) { return Quad(x < y); }},
      {"greater", IntervalGreater, [](Quad x, Quad y) { return Quad(x > y); }},
      {"less equal", IntervalLessEqual, [](Quad x, Quad y) { return Quad(x <= y); }},
      {"greater equal", IntervalGreaterEqual, [](Quad x, Quad y) { return Quad(x >= y); }},
      {"equal", IntervalEqual, [](Quad x, Quad y) { return Quad(x == y); }},
  };
  BoxSampler s(7);
  std::vector<double> xs, ys;
  for (const BinaryCase& c : cases) {
    ContainmentChecker check{c.name};
    for (int i = 0; i < 800 && check.failures == 0; ++i) {
      const Interval a = s.Box(c.ordinaryOnly), b = s.Box(c.ordinaryOnly);
      const Interval r = ValueOf(c.f, a, b);
      s.Points(a, 6, xs);
      s.Points(b, 6, ys);
      if (ys.empty()) continue;
      check.Start();
      for (double x : xs) {
        for (double y : ys) {
          check.Expect(r, c.reference(x, y), [&] { return Show(a) + " at " + Fmt(x) + " ; " + Show(b) + " at " + Fmt(y); });
        }
      }
      check.ExpectEarnedUndefined(r, false, [&] { return Show(a) + " ; " + Show(b); });
    }
    EXPECT_GT(check.defined, 0) << c.name << " never gave a defined result";
  }
}

TEST(IntervalContainment, HullsHoldEveryOperand) {
  BoxSampler s(11);
  ContainmentChecker check{"hull"};
  std::vector<double> points;
  for (int i = 0; i < 1500 && check.failures == 0; ++i) {
    const Interval a = s.Box(), b = s.Box();
    const Interval r = ValueOf(IntervalHull, a, b);
    for (const Interval& operand : {a, b}) {
      s.Points(operand, 6, points);
      for (double x : points) check.Expect(r, x, [&] { return Show(a) + " ; " + Show(b) + " at " + Fmt(x); });
    }
  }
}

// The real root sign |x|^(p/q) of the exact fraction, and the point function's own power with
// p/q rounded to a double: the result holds both.
TEST(IntervalContainment, RationalPowersEncloseTheRealRoots) {
  BoxSampler s(3);
  ContainmentChecker check{"rational power"};
  std::vector<double> xs;
  for (int i = 0; i < 3000 && check.failures == 0; ++i) {
    const Interval x = s.Box();
    const double q = static_cast<double>(s.Index(7)) - 3.0, p = static_cast<double>(s.Index(9)) - 4.0;
    const Interval r = ValueOf(IntervalRationalPower, x, Interval{q, q}, Interval{p, p});
    auto describe = [&] { return Show(x) + " p=" + Fmt(p) + " q=" + Fmt(q); };
    s.Points(x, 12, xs);
    check.Start();
    for (double v : xs) {
      const double point = RationalPower(v, q, p);  // its sign and its domain
      for (const Quad e : {Quad(p) / q, Quad(p / q)}) {
        check.Expect(r, std::isnan(point) ? nanq("") : copysignq(powq(fabsq(v), e), point), [&] { return describe() + " at " + Fmt(v); });
      }
    }
    check.ExpectEarnedUndefined(r, false, describe);
  }
}

TEST(IntervalContainment, BesselEnclosesEveryOrderAndArgument) {
  BoxSampler s(5);
  ContainmentChecker check{"bessel J"};
  static const double kOrders[] = {0, 1, 2, 3, 5, 10, 0.5, -0.5, -1, -2, 0.25, -0.3, 2.5, 7.5};
  static const double kOrderWidths[] = {0, 0, 0, 0.2, 1, 3};
  std::vector<double> xs;
  for (int i = 0; i < 700 && check.failures == 0; ++i) {
    const double n0 = kOrders[s.Index(std::size(kOrders))];
    const Interval n{n0, n0 + kOrderWidths[s.Index(std::size(kOrderWidths))]};
    Interval x = s.Box();
    if (i % 4 != 0 && !IntervalIsWrapped(x) && !(std::fabs(x.lo) < 1e4 && std::fabs(x.hi) < 1e4)) {
      const double lo = s.Uniform(-40, 40);  // mostly short boxes, where turning points matter
      x = {lo, lo + s.Uniform(0, 3)};
    }
    const Interval r = ValueOf(IntervalBesselJ, n, x);
    s.Points(x, 6, xs);
    check.Start();
    for (double v : xs) {
      for (double order : {n.lo, n.hi, s.Uniform(n.lo, n.hi + 1e-300)}) {
        if (order > n.hi) order = n.hi;
        check.Expect(r, QuadBesselJ(order, v), [&] { return Show(x) + " at " + Fmt(v) + " order " + Fmt(order); });
      }
    }
    check.ExpectEarnedUndefined(r, false, [&] { return Show(n) + " ; " + Show(x); });
  }
}

}  // namespace
