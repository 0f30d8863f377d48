// Complex-interval arithmetic: golden rectangles (hand-computed), the undecided comparison of
// values that are real only at some points of a box, the real-only family on real rectangles,
// and the containment property: for random rectangles (degenerate, on and across the negative
// real axis, around 0, with a wrapped or unbounded part) every finite point value of the complex
// function lies in the result, and operations built from total ones stay defined.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kernel/numeric/complex.h"
#include "kernel/numeric/complex_interval.h"
#include "tests/kernel/numeric/interval_test_support.h"

namespace {

using interval_test::Call;
using interval_test::ContainmentChecker;
using interval_test::Fmt;
using interval_test::Same;
using interval_test::Show;

using CI = ComplexInterval;
constexpr double kPi = 3.141592653589793;
constexpr double kInf = std::numeric_limits<double>::infinity();

CI Real(double lo, double hi) { return {{lo, hi}, {0, 0}}; }

TEST(ComplexIntervalArithmetic, GoldenRectangles) {
  const CI undefined = kUndefinedComplexInterval;
  struct Case { const char* what; CI got; CI want; };
  const Case cases[] = {
      {"square of [1,2]", Call(ComplexIntervalSquare, Real(1, 2)), Real(1, 4)},
      {"square of i", Call(ComplexIntervalSquare, {{0, 0}, {1, 1}}), Real(-1, -1)},
      {"floor off the axis", Call(ComplexIntervalFloor, {{1.5, 2.5}, {0, 0.1}}), undefined},
      // The rest of the real-only family is held to the interval operations further down.
      {"floor on the axis", Call(ComplexIntervalFloor, Real(1.5, 2.5)), Real(1, 2)},
      {"exp of i[0,pi]", Call(ComplexIntervalExp, {{0, 0}, {0, kPi}}), {{-1, 1}, {0, 1}}},
      {"(-1)^2 stays real", Call(ComplexIntervalPower, Real(-1, -1), Real(2, 2)), Real(1, 1)},
      {"[-2,3]^2 stays real", Call(ComplexIntervalPower, Real(-2, 3), Real(2, 2)), Real(0, 9)},
      {"0^0", Call(ComplexIntervalPower, Real(0, 0), Real(0, 0)), Real(1, 1)},
      {"0^[1,2]", Call(ComplexIntervalPower, Real(0, 0), Real(1, 2)), Real(0, 0)},
      {"0^-1", Call(ComplexIntervalPower, Real(0, 0), Real(-1, -1)), Real(kInf, kInf)},
      {"0^[-1,1]", Call(ComplexIntervalPower, Real(0, 0), Real(-1, 1)), Real(0, kInf)},
      {"abs", Call(ComplexIntervalAbs, {{3, 3}, {4, 4}}), Real(5, 5)},
      {"arg of the negative axis with -0", Call(ComplexIntervalArg, {{-2, -1}, {-0.0, -0.0}}), Real(kPi, kPi)},
      {"arg across the negative axis", Call(ComplexIntervalArg, {{-2, -1}, {-1, 1}}), Real(-kPi, kPi)},
      {"ln(-1) with -0", Call(ComplexIntervalLn, {{-1, -1}, {-0.0, -0.0}}), {{0, 0}, {kPi, kPi}}},
      {"sqrt(4)", Call(ComplexIntervalSqrt, Real(4, 4)), Real(2, 2)},
      // On the real axis the point root is exactly (0, sqrt(-x)); cos(pi/2) is not 0.
      {"sqrt of [-4,-1]", Call(ComplexIntervalSqrt, Real(-4, -1)), {{0, 0}, {1, 2}}},
      {"sqrt of [-4,9]", Call(ComplexIntervalSqrt, Real(-4, 9)), {{0, 3}, {0, 2}}},
      {"sqrt of [-4,-1] with -0", Call(ComplexIntervalSqrt, {{-4, -1}, {-0.0, -0.0}}), {{0, 0}, {1, 2}}},
      // Small whole powers multiply as at a point: i^2 and (x i)^4 are exactly real.
      {"i^2 by the power", Call(ComplexIntervalPower, {{0, 0}, {1, 1}}, Real(2, 2)), Real(-1, -1)},
      {"i^3 by the power", Call(ComplexIntervalPower, {{0, 0}, {1, 1}}, Real(3, 3)), {{0, 0}, {-1, -1}}},
      {"(x i)^4", Call(ComplexIntervalPower, {{0, 0}, {1, 2}}, Real(4, 4)), Real(1, 16)},
      {"i^-1", Call(ComplexIntervalPower, {{0, 0}, {1, 1}}, Real(-1, -1)), {{0, 0}, {-1, -1}}},
      {"i^101 by the exact fix-up", {Call(ComplexIntervalPower, {{0, 0}, {1, 1}}, Real(101, 101)).re, {0, 0}},
       Real(0, 0)},
      {"undefined in, undefined out", Call(ComplexIntervalExp, {{std::nan(""), 1}, {0, 0}}), undefined},
      {"min off the axis", Call(ComplexIntervalMin, Real(1, 5), {{2, 3}, {0, 1}}), undefined},
  };
  for (const Case& c : cases) EXPECT_TRUE(Same(c.got, c.want)) << c.what;
  const CI e = Call(ComplexIntervalLog10, Real(100, 100));
  EXPECT_NEAR(e.re.lo, 2, 1e-15);
  EXPECT_NEAR(e.re.hi, 2, 1e-15);
  // A rectangle reaching the negative real axis holds the point roots there, (0, sqrt(-x)).
  EXPECT_EQ(Call(ComplexIntervalSqrt, {{-4, -1}, {0, 1}}).re.lo, 0.0);
  EXPECT_EQ(Call(ComplexIntervalSqrt, {{-4, -1}, {-1, 0}}).re.lo, 0.0);
  // Around 0, ln |z| reaches -infinity; dividing by the real ln 10 keeps the rectangle.
  const CI around0 = Call(ComplexIntervalLog10, {{-1, 1}, {-1, 1}});
  EXPECT_EQ(around0.re.lo, -kInf);
  EXPECT_NEAR(around0.re.hi, 0.15051499783199060, 1e-16);  // log10(sqrt 2), hand-computed
  EXPECT_NEAR(around0.im.lo, -kPi / std::log(10.0), 1e-15);
  EXPECT_NEAR(around0.im.hi, kPi / std::log(10.0), 1e-15);
}

TEST(ComplexIntervalArithmetic, ComparisonIsUndecidedWhereTheValueIsRealOnlyAtPoints) {
  // (x+i)(x-i) = x^2 + 1 over x in [1,2]: the imaginary part is [-1, 1] over the box, 0 at
  // every point.
  CI product;
  ComplexIntervalMultiply(product, {{1, 2}, {1, 1}}, {{1, 2}, {-1, -1}});
  ASSERT_LE(product.im.lo, 0);
  ASSERT_GE(product.im.hi, 0);
  const CI zero = Real(0, 0);
  struct Case { const char* what; CI got; Interval want; };
  const Case cases[] = {
      {"(x+i)(x-i) > 0", Call(ComplexIntervalGreater, product, zero), kTruthUndecided},
      {"(x+i)(x-i) < 0: false on the real parts", Call(ComplexIntervalLess, product, zero), kTruthFalse},
      {"(x+i)(x-i) == 3", Call(ComplexIntervalEqual, product, Real(3, 3)), kTruthUndecided},
      {"off the axis", Call(ComplexIntervalGreater, {{1, 2}, {1, 2}}, zero), kTruthFalse},
      {"both real", Call(ComplexIntervalLessEqual, Real(1, 2), Real(2, 3)), kTruthTrue},
      {"both real, undecided", Call(ComplexIntervalGreaterEqual, Real(1, 2), Real(1.5, 3)), kTruthUndecided},
      {"-0 counts as real", Call(ComplexIntervalLess, {{1, 2}, {-0.0, 0}}, Real(3, 4)), kTruthTrue},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Same(c.got, CI{c.want, {0, 0}})) << c.what;
  }
  EXPECT_TRUE(ComplexIntervalIsUndefined(Call(ComplexIntervalLess, kUndefinedComplexInterval, zero)));
}

TEST(ComplexIntervalArithmetic, RealOnlyOperationsOnRealRectanglesEqualTheIntervalOperations) {
  using Unary = void (*)(Interval&, const Interval&);
  using Binary = void (*)(Interval&, const Interval&, const Interval&);
  using CUnary = void (*)(CI&, const CI&);
  using CBinary = void (*)(CI&, const CI&, const CI&);
  const std::pair<CUnary, Unary> unary[] = {{ComplexIntervalSign, IntervalSign},
                                            {ComplexIntervalFloor, IntervalFloor},
                                            {ComplexIntervalCeil, IntervalCeil},
                                            {ComplexIntervalFactorial, IntervalFactorial}};
  const std::pair<CBinary, Binary> binary[] = {
      {ComplexIntervalAtan2, IntervalAtan2}, {ComplexIntervalHypot, IntervalHypot},
      {ComplexIntervalMin, IntervalMin},     {ComplexIntervalMax, IntervalMax},
      {ComplexIntervalMod, IntervalMod},     {ComplexIntervalBesselJ, IntervalBesselJ}};
  const Interval boxes[] = {{-2.5, -1.5}, {0, 1}, {-1, 1}, {3, 3}, {0.5, 4}, {-0.5, -0.5}};
  for (const Interval& a : boxes) {
    for (const auto& [c, f] : unary) {
      Interval want;
      f(want, a);
      CI got;
      c(got, CI{a, {0, 0}});
      EXPECT_TRUE(Same(got, CI{want, {0, 0}}));  // undefined alike when want is
      c(got, CI{a, {0, 1e-300}});
      EXPECT_TRUE(ComplexIntervalIsUndefined(got));
    }
    for (const Interval& b : boxes) {
      for (const auto& [c, f] : binary) {
        Interval want;
        f(want, a, b);
        CI got;
        c(got, CI{a, {0, 0}}, CI{b, {0, 0}});
        EXPECT_TRUE(Same(got, CI{want, {0, 0}}));
        c(got, CI{a, {0, 0}}, CI{b, {-1, 0}});
        EXPECT_TRUE(ComplexIntervalIsUndefined(got));
      }
    }
  }
}

TEST(ComplexIntervalArithmetic, CopyFourDoublesKeepsTheLayout) {
  CI b{};
  CopyFourDoubles(b, CI{{1, 2}, {3, 4}});
  CopyFourDoubles(b, b);
  const double want[4] = {1, 2, 3, 4};  // re.lo, re.hi, im.lo, im.hi
  EXPECT_EQ(std::memcmp(&b, want, sizeof want), 0);
}

class RectangleSampler {
 public:
  explicit RectangleSampler(uint64_t seed) : rng_(seed) {}

  double Uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng_); }
  size_t Index(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

  // Small and large rectangles on, across and off the axes; a few have a wrapped part (as a
  // quotient leaves them) or an unbounded one.
  CI Rectangle() {
    static const double kHalfWidths[] = {0, 0, 1e-9, 1e-3, 0.05, 0.3, 1};
    const size_t kind = Index(10);
    double cr = Uniform(-3, 3), ci = Uniform(-3, 3);
    if (kind == 0) ci = 0;                 // on the real axis
    if (kind == 1) {  // across or on the negative real axis
      cr = -Uniform(0.5, 3);
      ci = 0;
    }
    if (kind == 2) cr = ci = 0;  // around 0
    if (kind == 5) ci = 0;       // across the real axis, the points on it included
    const double wr = kHalfWidths[Index(std::size(kHalfWidths))];
    const double wi = kHalfWidths[Index(std::size(kHalfWidths))];
    CI z{{cr - wr, cr + wr}, {ci - wi, ci + wi}};
    if (kind == 0 || kind == 3) z.im = {0, 0};  // exactly real
    if (kind == 4) z.im = {-0.0, -0.0};         // real with the zero a negation leaves
    Interval& part = Index(2) == 0 ? z.re : z.im;
    if (kind == 8) part = {part.hi + 0.5, part.lo - 0.5};  // wrapped
    if (kind == 9) part = Index(2) == 0 ? Interval{part.lo, kInf} : Interval{-kInf, part.hi};
    return z;
  }

  static bool Bounded(const CI& z) {
    return !IntervalIsWrapped(z.re) && !IntervalIsWrapped(z.im) && std::isfinite(z.re.lo) &&
           std::isfinite(z.re.hi) && std::isfinite(z.im.lo) && std::isfinite(z.im.hi);
  }

  // The corners, points on the real axis when the rectangle reaches it, and random points.
  void Points(const CI& z, int count, std::vector<Complex>& points) {
    points.clear();
    for (double re : {z.re.lo, z.re.hi}) {
      for (double im : {z.im.lo, z.im.hi}) {
        if (std::isfinite(re) && std::isfinite(im)) points.push_back({re, im});
      }
    }
    const bool reachesAxis = IntervalIsWrapped(z.im) ? (z.im.lo <= 0 || z.im.hi >= 0) : (z.im.lo <= 0 && 0 <= z.im.hi);
    for (int i = 0; i < count; ++i) {
      Complex p{Inside(z.re, i), Inside(z.im, i / 2)};
      if (reachesAxis && i % 4 == 0) p.im = (i % 8 == 0) ? 0.0 : -0.0;
      points.push_back(p);
    }
  }

 private:
  // A point of one part: both halves of a wrapped part in turn, far points towards infinity.
  double Inside(const Interval& part, int i) {
    Interval b = part;
    if (IntervalIsWrapped(part)) b = i % 2 == 0 ? Interval{part.lo, kInf} : Interval{-kInf, part.hi};
    const double far = std::pow(10.0, Uniform(-1, 6));
    if (std::isinf(b.lo) && std::isinf(b.hi)) return i % 2 == 0 ? far : -far;
    if (std::isinf(b.lo)) return b.hi - far;
    if (std::isinf(b.hi)) return b.lo + far;
    const double u = Uniform(0, 1);
    return std::min(std::max(b.lo * (1 - u) + b.hi * u, b.lo), b.hi);
  }

  std::mt19937_64 rng_;
};

std::string At(const CI& z, const Complex& p) {
  return Show(z) + " at (" + Fmt(p.re) + ", " + Fmt(p.im) + ")";
}

struct UnaryCase {
  const char* name;
  void (*f)(CI&, const CI&);
  void (*point)(Complex&, const Complex&);
  bool total = false;  // defined on every bounded rectangle
};

TEST(ComplexIntervalContainment, EveryUnaryOperationEnclosesThePointFunction) {
  const UnaryCase cases[] = {
      {"exp", ComplexIntervalExp, ComplexExp, true},
      {"ln", ComplexIntervalLn, ComplexLn, true},
      {"log10", ComplexIntervalLog10, ComplexLog10, true},
      {"sqrt", ComplexIntervalSqrt, ComplexSqrt, true},
      {"square", ComplexIntervalSquare, ComplexSquare, true},
      {"abs", ComplexIntervalAbs, ComplexAbs, true},
      {"arg", ComplexIntervalArg, ComplexArg, true},
      {"negate", ComplexIntervalNegate, [](Complex& o, const Complex& z) { o = {-z.re, -z.im}; }, true},
      {"sin", ComplexIntervalSin, ComplexSin, true},
      {"cos", ComplexIntervalCos, ComplexCos, true},
      {"tan", ComplexIntervalTan, ComplexTan},
      {"cot", ComplexIntervalCot, ComplexCot},
      {"sec", ComplexIntervalSec, ComplexSec},
      {"csc", ComplexIntervalCsc, ComplexCsc},
      {"asin", ComplexIntervalAsin, ComplexAsin, true},
      {"acos", ComplexIntervalAcos, ComplexAcos, true},
      {"atan", ComplexIntervalAtan, ComplexAtan},
      {"acot", ComplexIntervalAcot, ComplexAcot},
      {"asec", ComplexIntervalAsec, ComplexAsec},
      {"acsc", ComplexIntervalAcsc, ComplexAcsc},
      {"sinh", ComplexIntervalSinh, ComplexSinh, true},
      {"cosh", ComplexIntervalCosh, ComplexCosh, true},
      {"tanh", ComplexIntervalTanh, ComplexTanh},
      {"coth", ComplexIntervalCoth, ComplexCoth},
      {"sech", ComplexIntervalSech, ComplexSech},
      {"csch", ComplexIntervalCsch, ComplexCsch},
      {"asinh", ComplexIntervalAsinh, ComplexAsinh, true},
      {"acosh", ComplexIntervalAcosh, ComplexAcosh, true},
      {"atanh", ComplexIntervalAtanh, ComplexAtanh},
      {"acoth", ComplexIntervalAcoth, ComplexAcoth},
      {"asech", ComplexIntervalAsech, ComplexAsech},
      {"acsch", ComplexIntervalAcsch, ComplexAcsch},
      {"sign", ComplexIntervalSign, ComplexSign},
      {"floor", ComplexIntervalFloor, ComplexFloor},
      {"ceil", ComplexIntervalCeil, ComplexCeil},
      {"factorial", ComplexIntervalFactorial, ComplexFactorial},
  };
  RectangleSampler s(77);
  std::vector<Complex> points;
  for (const UnaryCase& c : cases) {
    ContainmentChecker check{c.name, 1e-12, 1e-12};
    for (int i = 0; i < 600 && check.failures == 0; ++i) {
      const CI z = s.Rectangle();
      const CI r = Call(c.f, z);
      s.Points(z, 12, points);
      for (const Complex& p : points) {
        Complex v;
        c.point(v, p);
        check.Expect(r, v, [&] { return At(z, p); });
      }
      if (c.total && RectangleSampler::Bounded(z)) check.ExpectDefined(r, [&] { return Show(z); });
    }
    EXPECT_GT(check.defined, 0) << c.name << " never gave a defined result";
  }
}

struct BinaryCase {
  const char* name;
  void (*f)(CI&, const CI&, const CI&);
  void (*point)(Complex&, const Complex&, const Complex&);
  bool total = false;
};

template <bool (*Rel)(double, double)>
void PointCompare(Complex& out, const Complex& a, const Complex& b) {
  const bool holds = a.im == 0 && b.im == 0 && Rel(a.re, b.re);
  out = {holds ? 1.0 : 0.0, 0.0};
}

bool LessRel(double a, double b) { return a < b; }
bool GreaterRel(double a, double b) { return a > b; }
bool LessEqualRel(double a, double b) { return a <= b; }
bool GreaterEqualRel(double a, double b) { return a >= b; }
bool EqualRel(double a, double b) { return a == b; }

TEST(ComplexIntervalContainment, EveryBinaryOperationEnclosesThePointFunction) {
  const BinaryCase cases[] = {
      {"add", ComplexIntervalAdd, [](Complex& o, const Complex& a, const Complex& b) { o = {a.re + b.re, a.im + b.im}; }, true},
      {"multiply", ComplexIntervalMultiply, ComplexMultiply, true},
      {"divide", ComplexIntervalDivide, ComplexDivide},
      {"power", ComplexIntervalPower, ComplexPower},
      {"atan2 (y, x)", ComplexIntervalAtan2, ComplexAtan2},
      {"hypot", ComplexIntervalHypot, ComplexHypot},
      {"min", ComplexIntervalMin, ComplexMin},
      {"max", ComplexIntervalMax, ComplexMax},
      {"mod", ComplexIntervalMod, ComplexMod},
      {"besselj (n, x)", ComplexIntervalBesselJ, ComplexBesselJ},
      {"less", ComplexIntervalLess, PointCompare<LessRel>, true},
      {"greater", ComplexIntervalGreater, PointCompare<GreaterRel>, true},
      {"less equal", ComplexIntervalLessEqual, PointCompare<LessEqualRel>, true},
      {"greater equal", ComplexIntervalGreaterEqual, PointCompare<GreaterEqualRel>, true},
      {"equal", ComplexIntervalEqual, PointCompare<EqualRel>, true},
  };
  RectangleSampler s(78);
  std::vector<Complex> pa, pb;
  for (const BinaryCase& c : cases) {
    ContainmentChecker check{c.name, 1e-12, 1e-12};
    for (int i = 0; i < 600 && check.failures == 0; ++i) {
      const CI a = s.Rectangle(), b = s.Rectangle();
      const CI r = Call(c.f, a, b);
      s.Points(a, 6, pa);
      s.Points(b, 6, pb);
      for (const Complex& p : pa) {
        for (const Complex& q : pb) {
          Complex v;
          c.point(v, p, q);
          check.Expect(r, v, [&] { return At(a, p) + " ; " + At(b, q); });
        }
      }
      if (c.total && RectangleSampler::Bounded(a) && RectangleSampler::Bounded(b)) {
        check.ExpectDefined(r, [&] { return Show(a) + " ; " + Show(b); });
      }
    }
    EXPECT_GT(check.defined, 0) << c.name << " never gave a defined result";
  }
}

// Whole exponents, where the point power multiplies repeatedly (or takes the real power of a
// real base): the rectangle holds each point value, and a real base stays exactly real.
TEST(ComplexIntervalContainment, WholePowersEncloseTheRepeatedProducts) {
  RectangleSampler s(79);
  ContainmentChecker check{"whole power", 1e-12, 1e-12};
  std::vector<Complex> points;
  for (int i = 0; i < 600 && check.failures == 0; ++i) {
    const CI z = s.Rectangle();
    const double n = i % 5 == 0 ? static_cast<double>(s.Index(61)) + 60.0  // past repeated products
                                : static_cast<double>(s.Index(13)) - 6.0;
    const CI r = Call(ComplexIntervalPower, z, Real(n, n));
    if (ComplexIntervalIsReal(z) && !ComplexIntervalIsUndefined(r)) {
      EXPECT_TRUE(ComplexIntervalIsReal(r)) << Show(r);
    }
    s.Points(z, 8, points);
    for (const Complex& p : points) {
      Complex v;
      ComplexPower(v, p, {n, 0});
      check.Expect(r, v, [&] { return At(z, p) + " ^ " + Fmt(n); });
    }
  }
}

}  // namespace
