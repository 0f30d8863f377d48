// Interval arithmetic. The contract as a property: for random ordinary and wrapped boxes every
// finite point value lies in the result up to the rounding of the bounds, and an undefined result
// is earned (a point has no value, or a stated rule refuses). Goldens for what it cannot see:
// tight bounds, wrapped results, signed zeros, poles, decided comparisons; turning points of x!
// and of Bessel functions from a 30-digit reference (roots of the digamma function and of J1).
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

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
      {"sin [0,2] reaches 1", ValueOf(IntervalSin, {0, 2}), {0, 1}},
      {"cos [2,4] crosses pi", ValueOf(IntervalCos, {2, 4}), {-1, std::cos(2.0)}},
      {"tan [1,2] holds a pole", ValueOf(IntervalTan, {1, 2}), kWholeLine},
      {"tan with pi/2 as a bound", ValueOf(IntervalTan, {1, kPi / 2}), kWholeLine},
      {"cot [0,1] pole at a bound", ValueOf(IntervalCot, {0, 1}), kWholeLine},
      {"tan of a huge bound", ValueOf(IntervalTan, {1e300, 1e300}), kWholeLine},
      {"csc [-1,1] wraps round its pole", ValueOf(IntervalCsc, {-1, 1}), {1 / 0.8414709848078965, -1 / 0.8414709848078965}},
  });
}

TEST(IntervalArithmetic, MonotoneFunctionsOfWrappedOperandsAndTheirDomains) {
  ExpectAll({
      {"exp wrapped", ValueOf(IntervalExp, {1, -1}), {std::exp(1.0), std::exp(-1.0)}},
      // exp(900) and exp(800) both overflow: the image of the gap's two sides covers (0, inf).
      {"exp of a saturated gap", ValueOf(IntervalExp, {900, 800}), kWholeLine},
      {"floor of a narrow gap", ValueOf(IntervalFloor, {1.5, 1.2}), kWholeLine},
      {"floor wrapped", ValueOf(IntervalFloor, {2.5, 1.2}), {2, 1}},
      {"ln wrapped", ValueOf(IntervalLn, {1, -1}), kUndefinedInterval},
      {"sqrt across 0", ValueOf(IntervalSqrt, {-1, 4}), kUndefinedInterval},
      {"asin past 1", ValueOf(IntervalAsin, {0, 1.5}), kUndefinedInterval},
      {"acosh below 1", ValueOf(IntervalAcosh, {0.5, 2}), kUndefinedInterval},
      {"asec wrapped", ValueOf(IntervalAsec, {1, -1}), {0, kPi}},
      {"asec inside (-1,1)", ValueOf(IntervalAsec, {-2, 0.5}), kUndefinedInterval},
      {"acoth wrapped", ValueOf(IntervalAcoth, {2, -2}), {Arccoth(-2.0), Arccoth(2.0)}},
      {"cosh wrapped, gap holding 0", ValueOf(IntervalCosh, {1, -2}), {std::cosh(1.0), kPositiveInfinity}},
      {"sech wrapped", ValueOf(IntervalSech, {1, -2}), {0, Sech(1.0)}},
      {"abs wrapped, gap holding 0", ValueOf(IntervalAbs, {2, -3}), {2, kPositiveInfinity}},
      {"square wrapped", ValueOf(IntervalSquare, {2, -3}), {4, kPositiveInfinity}},
      {"sign from 0", ValueOf(IntervalSign, {0, 3}), {0, 1}},
      {"min of a wrapped one counts it whole", ValueOf(IntervalMin, {3, 2}, {0, 1}), {-kPositiveInfinity, 1}},
  });
}

TEST(IntervalArithmetic, PowersAndRealRoots) {
  const auto rational = [](Interval x, double q, double p) { return ValueOf(IntervalRationalPower, x, Interval{q, q}, Interval{p, p}); };
  ExpectAll({
      {"cube root of [-8,-1]", rational({-8, -1}, 3, 1), {-2, -1}},
      {"[-8,8]^(-1/3)", rational({-8, 8}, 3, -1), {0.5, -0.5}},
      {"[-8,-1]^(2/3)", rational({-8, -1}, 3, 2), {1, std::pow(8.0, 2.0 / 3.0)}},
      {"even denominator", rational({-8, -1}, 2, 1), kUndefinedInterval},
      {"[-1,2]^-2", ValueOf(IntervalPower, {-1, 2}, {-2, -2}), {0.25, kPositiveInfinity}},
      {"[-1,2]^-1 pole", ValueOf(IntervalPower, {-1, 2}, {-1, -1}), kWholeLine},
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

// The multiplication rule: an operand holding 0 times an unbounded one has no enclosure.
bool ZeroTimesUnbounded(const Interval& a, const Interval& b) {
  const auto unbounded = [](const Interval& c) { return IntervalIsWrapped(c) || std::isinf(c.lo) || std::isinf(c.hi); };
  return (Holds(a, 0.0) && unbounded(b)) || (Holds(b, 0.0) && unbounded(a));
}

TEST(IntervalContainment, EveryUnaryOperationEnclosesItsPointValues) {
  struct Case {
    const char* name;
    void (*f)(Interval&, const Interval&);
    double (*point)(double);
    double relative;
  };
  std::vector<Case> cases = {
      {"negate", IntervalNegate, [](double x) { return -x; }, 1e-15},
      {"reciprocal", IntervalReciprocal, [](double x) { return 1 / x; }, 1e-15},
      {"acot", IntervalAcot, Arccot, 1e-15},  // the real inverse cotangent, in (0, pi)
      {"sign", IntervalSign, Sign, 1e-15},
      {"floor", IntervalFloor, [](double x) { return std::floor(x); }, 1e-15},
      {"ceil", IntervalCeil, [](double x) { return std::ceil(x); }, 1e-15},
      {"factorial", IntervalFactorial, Factorial, 1e-13},
  };
  // The real machine's forms of the complex functions; arg and the complex acot are not its own.
  for (const ComplexUnary& c : kComplexUnary) {
    if (std::string(c.name) != "arg" && std::string(c.name) != "acot") cases.push_back({c.name, c.realBox, c.real, 1e-15});
  }
  BoxSampler s(20261206);
  std::vector<double> xs;
  for (const Case& c : cases) {
    ContainmentChecker check{c.name, c.relative};
    for (int i = 0; i < 1500 && check.failures == 0; ++i) {
      const Interval box = s.Box();
      const Interval r = ValueOf(c.f, box);
      s.Points(box, 16, xs);
      check.Start();
      for (double x : xs) check.Expect(r, c.point(x), [&] { return Show(box) + " at " + Fmt(x); });
      check.ExpectEarnedUndefined(r, false, [&] { return Show(box); });
    }
    EXPECT_GT(check.defined, 0) << c.name << " never gave a defined result";
  }
}

struct BinaryCase {
  const char* name;
  void (*f)(Interval&, const Interval&, const Interval&);
  double (*point)(double, double);
  bool (*refuses)(const Interval&, const Interval&) = nullptr;  // a rule's undefined boxes
  bool ordinaryOnly = false;  // the operation's caller guarantees ordinary operands
};

bool DivisionRefuses(const Interval& a, const Interval& b) { return ZeroTimesUnbounded(a, ValueOf(IntervalReciprocal, b)); }

// A negative base with exponents of a whole range: its points with whole exponents have values
// (every double past 2^53 is whole), yet the operation has no enclosure for the range.
bool PowerRefuses(const Interval& a, const Interval& b) {
  return (IntervalIsWrapped(a) || a.lo < 0.0) && !(b.lo == b.hi);
}

TEST(IntervalContainment, EveryBinaryOperationEnclosesItsPointValues) {
  const BinaryCase cases[] = {
      {"add", IntervalAdd, [](double x, double y) { return x + y; }},
      {"multiply", IntervalMultiply, [](double x, double y) { return x * y; }, ZeroTimesUnbounded},
      {"multiply ordinary", IntervalMultiplyOrdinary, [](double x, double y) { return x * y; },
       ZeroTimesUnbounded, true},
      {"divide", IntervalDivide, [](double x, double y) { return x / y; }, DivisionRefuses},
      {"power", IntervalPower, [](double x, double y) { return std::pow(x, y); }, PowerRefuses},
      {"power ordinary", IntervalPowerOrdinary, [](double x, double y) { return std::pow(x, y); }, PowerRefuses, true},
      {"min", IntervalMin, [](double x, double y) { return y >= x ? x : y; }},
      {"max", IntervalMax, [](double x, double y) { return y <= x ? x : y; }},
      {"mod", IntervalMod, FlooredMod},
      {"hypot", IntervalHypot, [](double x, double y) { return std::hypot(x, y); }},
      {"atan2 (y, x)", IntervalAtan2, [](double y, double x) { return std::atan2(y, x) < 0 ? std::atan2(y, x) + 2 * kPi : std::atan2(y, x); }},
      {"atan2 signed (y, x)", IntervalAtan2Signed, [](double y, double x) { return std::atan2(y + 0.0, x); }},
      {"less", IntervalLess, [](double x, double y) { return x < y ? 1.0 : 0.0; }},
      {"greater", IntervalGreater, [](double x, double y) { return x > y ? 1.0 : 0.0; }},
      {"less equal", IntervalLessEqual, [](double x, double y) { return x <= y ? 1.0 : 0.0; }},
      {"greater equal", IntervalGreaterEqual, [](double x, double y) { return x >= y ? 1.0 : 0.0; }},
      {"equal", IntervalEqual, [](double x, double y) { return x == y ? 1.0 : 0.0; }},
  };
  BoxSampler s(7);
  std::vector<double> xs, ys;
  for (const BinaryCase& c : cases) {
    ContainmentChecker check{c.name};
    for (int i = 0; i < 800 && check.failures == 0; ++i) {
      const Interval a = s.Box(c.ordinaryOnly), b = s.Box(c.ordinaryOnly);
      const Interval r = ValueOf(c.f, a, b);
      s.Points(a, 8, xs);
      s.Points(b, 8, ys);
      if (ys.empty()) continue;
      check.Start();
      for (double x : xs) {
        for (double y : ys) {
          check.Expect(r, c.point(x, y), [&] { return Show(a) + " at " + Fmt(x) + " ; " + Show(b) + " at " + Fmt(y); });
        }
      }
      check.ExpectEarnedUndefined(r, c.refuses && c.refuses(a, b), [&] { return Show(a) + " ; " + Show(b); });
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
    for (double v : xs) check.Expect(r, RationalPower(v, q, p), [&] { return describe() + " at " + Fmt(v); });
    // x^(p/0) takes the whole line as exponent; a negative base then has no enclosure.
    check.ExpectEarnedUndefined(r, q == 0, describe);
  }
}

TEST(IntervalContainment, BesselEnclosesEveryOrderAndArgument) {
  BoxSampler s(5);
  ContainmentChecker check{"bessel J", 1e-12, 1e-14};
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
        check.Expect(r, BesselJv(order, v), [&] { return Show(x) + " at " + Fmt(v) + " order " + Fmt(order); });
      }
    }
    check.ExpectEarnedUndefined(r, false, [&] { return Show(n) + " ; " + Show(x); });
  }
}

}  // namespace
