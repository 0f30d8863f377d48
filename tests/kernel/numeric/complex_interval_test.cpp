// Complex-interval arithmetic: golden rectangles (hand-computed), comparisons of values real only
// at points, the real-only family on real rectangles, exactly real results over real boxes, and
// the containment property: for random rectangles (degenerate, on and across the negative real
// axis, around 0, with a wrapped or unbounded part) every finite point value lies in the result.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/eval/interpreter.h"
#include "kernel/numeric/complex.h"
#include "kernel/numeric/complex_interval.h"
#include "tests/kernel/eval/evaluation_test_support.h"
#include "tests/kernel/numeric/interval_test_support.h"

namespace {

using namespace interval_test;
using CI = ComplexInterval;
constexpr Interval kZero{0, 0};

CI Real(double lo, double hi) { return {{lo, hi}, kZero}; }

TEST(ComplexIntervalArithmetic, GoldenRectangles) {
  const CI undefined = kUndefinedComplexInterval;
  struct Case { const char* what; CI got; CI want; };
  const Case cases[] = {
      {"square of i", ValueOf(ComplexIntervalSquare, {{0, 0}, {1, 1}}), Real(-1, -1)},
      {"exp of i[0,pi]", ValueOf(ComplexIntervalExp, {{0, 0}, {0, kPi}}), {{-1, 1}, {0, 1}}},
      {"[-2,3]^2 stays real", ValueOf(ComplexIntervalPower, Real(-2, 3), Real(2, 2)), Real(0, 9)},
      {"0^[-1,1]", ValueOf(ComplexIntervalPower, Real(0, 0), Real(-1, 1)), Real(0, kPositiveInfinity)},
      {"0^-1", ValueOf(ComplexIntervalPower, Real(0, 0), Real(-1, -1)), Real(kPositiveInfinity, kPositiveInfinity)},
      {"abs", ValueOf(ComplexIntervalAbs, {{3, 3}, {4, 4}}), Real(5, 5)},
      {"arg of the negative axis with -0", ValueOf(ComplexIntervalArg, {{-2, -1}, {-0.0, -0.0}}), Real(kPi, kPi)},
      {"arg across the negative axis", ValueOf(ComplexIntervalArg, {{-2, -1}, {-1, 1}}), Real(-kPi, kPi)},
      {"ln(-1) with -0", ValueOf(ComplexIntervalLn, {{-1, -1}, {-0.0, -0.0}}), {{0, 0}, {kPi, kPi}}},
      // On the real axis the point root is exactly (0, sqrt(-x)); cos(pi/2) is not 0.
      {"sqrt of [-4,-1] with -0", ValueOf(ComplexIntervalSqrt, {{-4, -1}, {-0.0, -0.0}}), {{0, 0}, {1, 2}}},
      {"sqrt of [-4,9]", ValueOf(ComplexIntervalSqrt, Real(-4, 9)), {{0, 3}, {0, 2}}},
      // Small whole powers multiply as at a point: i^3 and (x i)^4 are exact.
      {"i^3", ValueOf(ComplexIntervalPower, {{0, 0}, {1, 1}}, Real(3, 3)), {{0, 0}, {-1, -1}}},
      {"(x i)^4", ValueOf(ComplexIntervalPower, {{0, 0}, {1, 2}}, Real(4, 4)), Real(1, 16)},
      {"i^-1", ValueOf(ComplexIntervalPower, {{0, 0}, {1, 1}}, Real(-1, -1)), {{0, 0}, {-1, -1}}},
      {"i^101 by the exact fix-up", {ValueOf(ComplexIntervalPower, {{0, 0}, {1, 1}}, Real(101, 101)).re, kZero}, Real(0, 0)},
      {"undefined in, undefined out", ValueOf(ComplexIntervalExp, {{kUndefinedReal, 1}, kZero}), undefined},
      {"floor off the axis", ValueOf(ComplexIntervalFloor, {{1.5, 2.5}, {0, 0.1}}), undefined},
  };
  for (const Case& c : cases) EXPECT_TRUE(Same(c.got, c.want)) << c.what;
  // Around 0, ln |z| reaches -infinity; dividing by the real ln 10 keeps the rectangle.
  const CI around0 = ValueOf(ComplexIntervalLog10, {{-1, 1}, {-1, 1}});
  EXPECT_EQ(around0.re.lo, -kPositiveInfinity);
  EXPECT_NEAR(around0.re.hi, 0.15051499783199060, 1e-16);  // log10(sqrt 2), hand-computed
  EXPECT_NEAR(around0.im.hi, kPi / std::log(10.0), 1e-15);
}

TEST(ComplexIntervalArithmetic, ComparisonIsUndecidedWhereTheValueIsRealOnlyAtPoints) {
  // (x+i)(x-i) = x^2 + 1 over x in [1,2]: imaginary part [-1, 1] over the box, 0 at every point.
  const CI product = ValueOf(ComplexIntervalMultiply, {{1, 2}, {1, 1}}, {{1, 2}, {-1, -1}});
  struct Case { const char* what; CI got; Interval want; };
  const Case cases[] = {
      {"(x+i)(x-i) > 0", ValueOf(ComplexIntervalGreater, product, Real(0, 0)), kTruthUndecided},
      {"(x+i)(x-i) < 0: false on the real parts", ValueOf(ComplexIntervalLess, product, Real(0, 0)), kTruthFalse},
      {"(x+i)(x-i) == 3", ValueOf(ComplexIntervalEqual, product, Real(3, 3)), kTruthUndecided},
      {"off the axis", ValueOf(ComplexIntervalGreater, {{1, 2}, {1, 2}}, Real(0, 0)), kTruthFalse},
      {"both real", ValueOf(ComplexIntervalLessEqual, Real(1, 2), Real(2, 3)), kTruthTrue},
      {"-0 counts as real", ValueOf(ComplexIntervalLess, {{1, 2}, {-0.0, 0}}, Real(3, 4)), kTruthTrue},
  };
  for (const Case& c : cases) EXPECT_TRUE(Same(c.got, CI{c.want, kZero})) << c.what;
  EXPECT_TRUE(ComplexIntervalIsUndefined(ValueOf(ComplexIntervalLess, kUndefinedComplexInterval, Real(0, 0))));
}

TEST(ComplexIntervalArithmetic, RealOnlyOperationsOnRealRectanglesEqualTheIntervalOperations) {
  using Unary = std::pair<void (*)(CI&, const CI&), void (*)(Interval&, const Interval&)>;
  using Binary = std::pair<void (*)(CI&, const CI&, const CI&), void (*)(Interval&, const Interval&, const Interval&)>;
  const Unary unary[] = {{ComplexIntervalSign, IntervalSign}, {ComplexIntervalFloor, IntervalFloor},
                         {ComplexIntervalCeil, IntervalCeil}, {ComplexIntervalFactorial, IntervalFactorial}};
  const Binary binary[] = {{ComplexIntervalAtan2, IntervalAtan2}, {ComplexIntervalHypot, IntervalHypot},
                           {ComplexIntervalMin, IntervalMin},     {ComplexIntervalMax, IntervalMax},
                           {ComplexIntervalMod, IntervalMod},     {ComplexIntervalBesselJ, IntervalBesselJ}};
  const Interval boxes[] = {{-2.5, -1.5}, {0, 1}, {-1, 1}, {3, 3}, {0.5, 4}};
  for (const Interval& a : boxes) {
    for (const auto& [c, f] : unary) {
      EXPECT_TRUE(Same(ValueOf(c, CI{a, kZero}), CI{ValueOf(f, a), kZero}));  // undefined alike
      EXPECT_TRUE(ComplexIntervalIsUndefined(ValueOf(c, CI{a, {0, 1e-300}})));
    }
    for (const Interval& b : boxes) {
      for (const auto& [c, f] : binary) {
        EXPECT_TRUE(Same(ValueOf(c, CI{a, kZero}, CI{b, kZero}), CI{ValueOf(f, a, b), kZero}));
        EXPECT_TRUE(ComplexIntervalIsUndefined(ValueOf(c, CI{a, kZero}, CI{b, {-1, 0}})));
      }
    }
  }
  CI copy{};
  CopyFourDoubles(copy, CI{{1, 2}, {3, 4}});
  EXPECT_TRUE(Same(copy, CI{{1, 2}, {3, 4}}));
}

class ComplexMachineRealAxis : public evaltest::EvaluationFixture {};

// A formula that uses i anywhere runs in the complex machines; its real-only steps (clamp, the
// comparison) must still see the real values of atan and acsc.
TEST_F(ComplexMachineRealAxis, RealOnlyStepsAfterInverseFunctionsStayDefined) {
  CompiledFunction* f = evaltest::Function("plus[clamp[2,atan[power[e,x]],5],times[i,y]]");
  CompileFunction(f);
  ASSERT_EQ(f->complex, 1);
  EXPECT_EQ(EvaluateFunction2(f, 0.5548, 0.0), 2.0);
  evaltest::Free(f);

  f = evaltest::Function("plus[greaterthan[acsc[x],0.4],times[i,y]]");
  CompileFunction(f);
  ASSERT_EQ(f->complex, 1);
  EvalCell* slots = EvalScratch();
  slots[kSlotParameter].complexInterval = Real(0, 0);
  slots[kSlotX].complexInterval = Real(2.33, 2.40);
  slots[kSlotY].complexInterval = Real(0, 0);
  CI truth;
  RunComplexIntervalCode(&truth, f->code);
  EXPECT_TRUE(Same(truth, CI{kTruthTrue, kZero}));  // acsc is above 0.4 there
  evaltest::Free(f);
}

std::string At(const CI& z, const Complex& p) { return Show(z) + " at " + Show(p); }



struct ContainmentCase {
  const char* name;
  void (*box)(CI&, const CI&);
  void (*point)(Complex&, const Complex&);
  void (*realBox)(Interval&, const Interval&);  // the real machine's operation, if any
  bool total;                                     // defined on every moderate rectangle
};

// Besides containment: over a real rectangle whose points all have real values the result is
// exactly real wherever the real machine's operation is defined, since a stray imaginary ulp
// would make every real-only operation and comparison downstream undefined.
TEST(ComplexIntervalContainment, EveryUnaryOperationEnclosesThePointFunction) {
  std::vector<ContainmentCase> cases = {
      {"negate", ComplexIntervalNegate, [](Complex& o, const Complex& z) { o = {-z.re, -z.im}; }, nullptr, true},
      {"sign", ComplexIntervalSign, ComplexSign, IntervalSign, false},
      {"floor", ComplexIntervalFloor, ComplexFloor, IntervalFloor, false},
      {"factorial", ComplexIntervalFactorial, ComplexFactorial, IntervalFactorial, false},
  };
  for (const ComplexUnary& c : kComplexUnary) cases.push_back({c.name, c.box, c.point, c.realBox, c.total});
  BoxSampler s(77);
  std::vector<Complex> zs;
  for (const ContainmentCase& c : cases) {
    ContainmentChecker check{c.name, 1e-12, 1e-12};
    for (int i = 0; i < 1000 && check.failures == 0; ++i) {
      const CI z = s.Rectangle();
      const CI r = ValueOf(c.box, z);
      s.Points(z, 12, zs);
      bool realValues = ComplexIntervalIsReal(z) && c.realBox && !IntervalIsUndefined(ValueOf(c.realBox, z.re));
      for (const Complex& p : zs) {
        const Complex v = ValueOf(c.point, p);
        realValues = realValues && v.im == 0.0;
        check.Expect(r, v, [&] { return At(z, p); });
      }
      if (c.total && Moderate(z) && ComplexIntervalIsUndefined(r)) check.Fail([&] { return Show(z); }, ": undefined");
      if (realValues && !zs.empty() && (ComplexIntervalIsUndefined(r) || !ComplexIntervalIsReal(r))) {
        check.Fail([&] { return Show(z) + " gives " + Show(r); }, ": not exactly real");
      }
    }
    EXPECT_GT(check.defined, 0) << c.name << " never gave a defined result";
  }
}

template <typename Relation>
void PointCompare(Complex& out, const Complex& a, const Complex& b) {
  out = {a.im == 0 && b.im == 0 && Relation()(a.re, b.re) ? 1.0 : 0.0, 0.0};
}

TEST(ComplexIntervalContainment, EveryBinaryOperationEnclosesThePointFunction) {
  struct Case {
    const char* name;
    void (*box)(CI&, const CI&, const CI&);
    void (*point)(Complex&, const Complex&, const Complex&);
    bool total;
  };
  const Case cases[] = {
      {"add", ComplexIntervalAdd, [](Complex& o, const Complex& a, const Complex& b) { o = {a.re + b.re, a.im + b.im}; }, true},
      {"multiply", ComplexIntervalMultiply, ComplexMultiply, true},
      {"divide", ComplexIntervalDivide, ComplexDivide, false},
      {"power", ComplexIntervalPower, ComplexPower, false},
      {"atan2 (y, x)", ComplexIntervalAtan2, ComplexAtan2, false},
      {"hypot", ComplexIntervalHypot, ComplexHypot, false},
      {"min", ComplexIntervalMin, ComplexMin, false},
      {"max", ComplexIntervalMax, ComplexMax, false},
      {"mod", ComplexIntervalMod, ComplexMod, false},
      {"besselj (n, x)", ComplexIntervalBesselJ, ComplexBesselJ, false},
      {"less", ComplexIntervalLess, PointCompare<std::less<double>>, true},
      {"greater", ComplexIntervalGreater, PointCompare<std::greater<double>>, true},
      {"less equal", ComplexIntervalLessEqual, PointCompare<std::less_equal<double>>, true},
      {"greater equal", ComplexIntervalGreaterEqual, PointCompare<std::greater_equal<double>>, true},
      {"equal", ComplexIntervalEqual, PointCompare<std::equal_to<double>>, true},
  };
  BoxSampler s(78);
  std::vector<Complex> pa, pb;
  for (const Case& c : cases) {
    ContainmentChecker check{c.name, 1e-12, 1e-12};
    for (int i = 0; i < 600 && check.failures == 0; ++i) {
      const CI a = s.Rectangle(), b = s.Rectangle();
      const CI r = ValueOf(c.box, a, b);
      s.Points(a, 6, pa);
      s.Points(b, 6, pb);
      for (const Complex& p : pa) {
        for (const Complex& q : pb) check.Expect(r, ValueOf(c.point, p, q), [&] { return At(a, p) + " ; " + At(b, q); });
      }
      if (c.total && Moderate(a) && Moderate(b) && ComplexIntervalIsUndefined(r)) {
        check.Fail([&] { return Show(a) + " ; " + Show(b); }, ": undefined on bounded rectangles");
      }
    }
    EXPECT_GT(check.defined, 0) << c.name << " never gave a defined result";
  }
}

// Whole exponents, where the point power multiplies repeatedly (or takes the real power of a
// real base): the rectangle holds each point value, and a real base stays exactly real.
TEST(ComplexIntervalContainment, WholePowersEncloseTheRepeatedProducts) {
  BoxSampler s(79);
  ContainmentChecker check{"whole power", 1e-12, 1e-12};
  std::vector<Complex> zs;
  for (int i = 0; i < 600 && check.failures == 0; ++i) {
    const CI z = s.Rectangle();
    const double n = i % 5 == 0 ? static_cast<double>(s.Index(61)) + 60.0  // past repeated products
                                : static_cast<double>(s.Index(13)) - 6.0;
    const CI r = ValueOf(ComplexIntervalPower, z, Real(n, n));
    EXPECT_TRUE(!ComplexIntervalIsReal(z) || ComplexIntervalIsUndefined(r) || ComplexIntervalIsReal(r)) << Show(r);
    s.Points(z, 8, zs);
    for (const Complex& p : zs) {
      check.Expect(r, ValueOf(ComplexPower, p, Complex{n, 0}), [&] { return At(z, p) + " ^ " + Fmt(n); });
    }
  }
}

}  // namespace
