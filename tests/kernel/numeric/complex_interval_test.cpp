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

#include "kernel/numeric/complex.h"
#include "kernel/numeric/complex_interval.h"
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
      {"[-2,3]^2 stays real", ValueOf(ComplexIntervalPower, Real(-2, 3), Real(2, 2)), Real(0, 9)},
      {"0^[-1,1]", ValueOf(ComplexIntervalPower, Real(0, 0), Real(-1, 1)), Real(0, kPositiveInfinity)},
      {"arg of the negative axis with -0", ValueOf(ComplexIntervalArg, {{-2, -1}, {-0.0, -0.0}}), Real(kPi, kPi)},
      {"arg across the negative axis", ValueOf(ComplexIntervalArg, {{-2, -1}, {-1, 1}}), Real(-kPi, kPi)},
      {"ln(-1) with -0", ValueOf(ComplexIntervalLn, {{-1, -1}, {-0.0, -0.0}}), {{0, 0}, {kPi, kPi}}},
      // On the real axis the point root is exactly (0, sqrt(-x)); cos(pi/2) is not 0.
      {"sqrt of [-4,-1] with -0", ValueOf(ComplexIntervalSqrt, {{-4, -1}, {-0.0, -0.0}}), {{0, 0}, {1, 2}}},
      {"sqrt of [-4,9]", ValueOf(ComplexIntervalSqrt, Real(-4, 9)), {{0, 3}, {0, 2}}},
      // Small whole powers multiply as at a point: i^3 and (x i)^4 are exact.
      {"i^3", ValueOf(ComplexIntervalPower, {{0, 0}, {1, 1}}, Real(3, 3)), {{0, 0}, {-1, -1}}},
      {"(x i)^4", ValueOf(ComplexIntervalPower, {{0, 0}, {1, 2}}, Real(4, 4)), Real(1, 16)},
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

std::string At(const CI& z, const Complex& p) { return Show(z) + " at " + Show(p); }



struct ContainmentCase {
  const char* name;
  void (*box)(CI&, const CI&);
  void (*point)(Complex&, const Complex&);
  void (*realBox)(Interval&, const Interval&);  // the real machine's operation, if any
  bool total;                                     // defined on every moderate rectangle
  bool realOnly = false;                          // the real operation on real rectangles alone
};

// Besides containment: a real rectangle whose points all have real values gives an exactly real
// result wherever the real machine's operation is defined (as at a point), and a real-only
// operation is that real one there and undefined on any other rectangle.
TEST(ComplexIntervalContainment, EveryUnaryOperationEnclosesThePointFunction) {
  std::vector<ContainmentCase> cases = {
      {"negate", ComplexIntervalNegate, [](Complex& o, const Complex& z) { o = {-z.re, -z.im}; }, nullptr, true},
      {"sign", ComplexIntervalSign, ComplexSign, IntervalSign, false, true},
      {"floor", ComplexIntervalFloor, ComplexFloor, IntervalFloor, false, true},
      {"ceil", ComplexIntervalCeil, ComplexCeil, IntervalCeil, false, true},
      {"factorial", ComplexIntervalFactorial, ComplexFactorial, IntervalFactorial, false, true},
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
      if (!c.realOnly) continue;
      const CI want = ComplexIntervalIsReal(z) ? CI{ValueOf(c.realBox, z.re), kZero} : kUndefinedComplexInterval;
      if (!Same(r, want)) check.Fail([&] { return Show(z); }, Same(r, want).message());
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
    void (*realOnly)(Interval&, const Interval&, const Interval&) = nullptr;  // as in the unary sweep
  };
  const Case cases[] = {
      {"add", ComplexIntervalAdd, [](Complex& o, const Complex& a, const Complex& b) { o = {a.re + b.re, a.im + b.im}; }, true},
      {"multiply", ComplexIntervalMultiply, ComplexMultiply, true},
      {"divide", ComplexIntervalDivide, ComplexDivide, false},
      {"power", ComplexIntervalPower, ComplexPower, false},
      {"atan2 (y, x)", ComplexIntervalAtan2, ComplexAtan2, false, IntervalAtan2},
      {"hypot", ComplexIntervalHypot, ComplexHypot, false, IntervalHypot},
      {"min", ComplexIntervalMin, ComplexMin, false, IntervalMin},
      {"max", ComplexIntervalMax, ComplexMax, false, IntervalMax},
      {"mod", ComplexIntervalMod, ComplexMod, false, IntervalMod},
      {"besselj (n, x)", ComplexIntervalBesselJ, ComplexBesselJ, false, IntervalBesselJ},
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
      if (!c.realOnly) continue;
      const bool real = ComplexIntervalIsReal(a) && ComplexIntervalIsReal(b);
      const CI want = real ? CI{ValueOf(c.realOnly, a.re, b.re), kZero} : kUndefinedComplexInterval;
      if (!Same(r, want)) check.Fail([&] { return Show(a) + " ; " + Show(b); }, Same(r, want).message());
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
