// Complex-interval arithmetic: golden rectangles (hand-computed), comparisons of values real only
// at points, the real-only family at the real points of a rectangle, exactly real results over
// real boxes, and the containment property: for random rectangles (degenerate, on and across the
// negative real axis, around 0, at and past overflow, with a wrapped or unbounded part) every
// finite point value, to 113 bits with libquadmath's complex functions, lies in the result.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>
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
      {"0^[-1,1]", ValueOf(ComplexIntervalPower, Real(0, 0), Real(-1, 1)), Real(0, kPositiveInfinity)},
      // On the real axis the point root is exactly (0, sqrt(-x)); cos(pi/2) is not 0.
      {"sqrt of [-4,-1] with -0", ValueOf(ComplexIntervalSqrt, {{-4, -1}, {-0.0, -0.0}}), {{0, 0}, {1, 2}}},
      {"sqrt of [-4,16]", ValueOf(ComplexIntervalSqrt, Real(-4, 16)), {{0, 4}, {0, 2}}},
      // Small whole powers multiply as at a point: i^3 and (2 i)^4 are exact.
      {"i^3", ValueOf(ComplexIntervalPower, {{0, 0}, {1, 1}}, Real(3, 3)), {{0, 0}, {-1, -1}}},
      {"(2 i)^4", ValueOf(ComplexIntervalPower, {{0, 0}, {2, 2}}, Real(4, 4)), Real(16, 16)},
      {"i^101 by the exact fix-up", {ValueOf(ComplexIntervalPower, {{0, 0}, {1, 1}}, Real(101, 101)).re, kZero}, Real(0, 0)},
      {"undefined in, undefined out", ValueOf(ComplexIntervalExp, {{kUndefinedReal, 1}, kZero}), undefined},
      // Real-only operations have values at the real points of a rectangle that crosses the axis.
      {"floor across the axis", ValueOf(ComplexIntervalFloor, {{1.5, 2.5}, {0, 0.1}}), Real(1, 2)},
      {"floor off the axis", ValueOf(ComplexIntervalFloor, {{1.5, 2.5}, {0.05, 0.1}}), undefined},
  };
  for (const Case& c : cases) EXPECT_TRUE(Same(c.got, c.want)) << c.what;
  const CI square = ValueOf(ComplexIntervalPower, Real(-2, 3), Real(2, 2));
  EXPECT_TRUE(Encloses(square.re, {0, 9}) && SameValue(square.im, kZero)) << Show(square);  // stays real
  // pi itself lies above kPi: angles on the negative axis step up to the next double.
  const Interval pi{kPi, 3.1415926535897936};
  EXPECT_TRUE(Same(ValueOf(ComplexIntervalArg, {{-2, -1}, {-0.0, -0.0}}), {pi, kZero}));
  EXPECT_TRUE(Same(ValueOf(ComplexIntervalLn, {{-1, -1}, {-0.0, -0.0}}), {kZero, pi}));
  EXPECT_TRUE(Encloses(ValueOf(ComplexIntervalArg, {{-2, -1}, {-1, 1}}).re, {-kPi, kPi}, 1));
  // Around 0, ln |z| reaches -infinity; dividing by the real ln 10 keeps the rectangle.
  const CI around0 = ValueOf(ComplexIntervalLog10, {{-1, 1}, {-1, 1}});
  EXPECT_EQ(around0.re.lo, -kPositiveInfinity);
  EXPECT_TRUE(Encloses({0, around0.re.hi}, {0, 0.15051499783199060}, 16));  // log10(sqrt 2), by hand
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
  // A real-only operation over a rectangle that only crosses the axis notes a partial domain.
  IntervalResetPartialDomain();
  ValueOf(ComplexIntervalFloor, product);
  EXPECT_TRUE(IntervalPartialDomainSeen());
}

std::string At(const CI& z, const Complex& p) { return Show(z) + " at " + Show(p); }

// The reference of a real-only operation: the real one's 113-bit value at real points.
template <typename R>
QuadComplex AtRealPoints(R real, const Complex& a, const Complex& b = {0, 0}) {
  return a.im == 0 && b.im == 0 ? MakeQuad(real(a.re, b.re), 0) : MakeQuad(nanq(""), 0);
}

template <Quad (*F)(Quad, Quad)>
QuadComplex RealOnlyAt(const Complex& a, const Complex& b, const Complex&) { return AtRealPoints(F, a, b); }
Quad QuadAngle(Quad y, Quad x) { return atan2q(y, x) < 0 ? atan2q(y, x) + 2 * kQuadPi : atan2q(y, x); }
Quad QuadBessel(Quad n, Quad x) { return QuadBesselJ(double(n), double(x)); }

// z^w to 113 bits: a real power where it is real (a real base with a whole or a real exponent
// and a base >= 0), repeated products for other small whole exponents (exact on the axes, as
// i^2 = -1), exp(w ln z) for the rest, on the side of the cut the point power took.
QuadComplex QuadPower(const Complex& z, const Complex& w, const Complex& point) {
  if (z.im == 0 && w.im == 0 && (z.re >= 0 || IsWholeNumber(w.re))) return MakeQuad(powq(z.re, w.re), 0);
  if (w.im == 0 && IsWholeNumber(w.re) && std::fabs(w.re) <= kComplexLargestRepeatedExponent) {
    QuadComplex r = MakeQuad(1, 0);
    for (int k = 0; k < std::fabs(w.re); ++k) r = r * MakeQuad(z.re, z.im);
    return w.re < 0 ? QuadReciprocal(r) : r;
  }
  return QuadAt([&](QuadComplex b) { return cpowq(b, MakeQuad(w.re, w.im)); }, z, point);
}

struct ContainmentCase {
  const char* name;
  void (*box)(CI&, const CI&);
  void (*point)(Complex&, const Complex&);
  QuadComplex (*reference)(QuadComplex);        // a complex function (on the real axis, where
  Quad (*real)(Quad) = nullptr;                 // its value is real, this real one), or
  Quad (*realOnly)(Quad) = nullptr;             // the real function of a real-only operation
  void (*realBox)(Interval&, const Interval&) = nullptr;  // the real machine's operation, if any
  bool total = false;                             // defined on every moderate rectangle
};

// Besides containment: a real rectangle whose points all have real values gives an exactly real
// result wherever the real machine's operation is defined (as at a point), and a real-only
// operation is that real one at the real points and undefined on a rectangle without any.
TEST(ComplexIntervalContainment, EveryUnaryOperationEnclosesThePointFunction) {
  std::vector<ContainmentCase> cases = {
      {"negate", ComplexIntervalNegate, [](Complex& o, const Complex& z) { o = {-z.re, -z.im}; }, [](QuadComplex z) { return -z; }, nullptr, nullptr, nullptr, true},
      {"sign", ComplexIntervalSign, ComplexSign, nullptr, nullptr, [](Quad x) { return Quad(Sign(double(x))); }, IntervalSign},
      {"floor", ComplexIntervalFloor, ComplexFloor, nullptr, nullptr, floorq, IntervalFloor},
      {"ceil", ComplexIntervalCeil, ComplexCeil, nullptr, nullptr, ceilq, IntervalCeil},
      {"factorial", ComplexIntervalFactorial, ComplexFactorial, nullptr, nullptr, [](Quad x) { return tgammaq(x + 1); }, IntervalFactorial},
  };
  for (const ComplexUnary& c : kComplexUnary) cases.push_back({c.name, c.box, c.point, c.quadComplex, c.quad, nullptr, c.realBox, c.total});
  BoxSampler s(77);
  std::vector<Complex> zs;
  for (const ContainmentCase& c : cases) {
    ContainmentChecker check{c.name};
    for (int i = 0; i < 700 && check.failures == 0; ++i) {
      const CI z = s.Rectangle();
      const CI r = ValueOf(c.box, z);
      s.Points(z, 6, zs);
      IntervalResetPartialDomain();
      bool realValues = ComplexIntervalIsReal(z) && c.realBox && !IntervalIsUndefined(ValueOf(c.realBox, z.re)) &&
                        !IntervalPartialDomainSeen();
      for (const Complex& p : zs) {
        const Complex v = ValueOf(c.point, p);
        realValues = realValues && v.im == 0.0;
        const bool onAxis = c.real && p.im == 0 && v.im == 0 && finiteq(c.real(p.re));
        const QuadComplex want = c.realOnly ? AtRealPoints([&](Quad x, Quad) { return c.realOnly(x); }, p)
                                 : onAxis   ? MakeQuad(c.real(p.re), 0)
                                            : QuadAt(c.reference, p, v);
        check.Expect(r, want, [&] { return At(z, p); });
      }
      if (c.total && Moderate(z) && ComplexIntervalIsUndefined(r)) check.Fail([&] { return Show(z); }, ": undefined");
      if (realValues && !zs.empty() && (ComplexIntervalIsUndefined(r) || !ComplexIntervalIsReal(r))) {
        check.Fail([&] { return Show(z) + " gives " + Show(r); }, ": not exactly real");
      }
      if (!c.realOnly) continue;
      const CI want = Holds(z.im, 0.0) ? CI{ValueOf(c.realBox, z.re), kZero} : kUndefinedComplexInterval;
      if (!Same(r, want)) check.Fail([&] { return Show(z); }, Same(r, want).message());
    }
    EXPECT_GT(check.defined, 0) << c.name << " never gave a defined result";
  }
}

// A rectangle holding a cut point holds the value the point function takes there (its formula's
// side of the cut), whether it is that point, reaches the cut from either side or straddles it;
// and the points a step beside the cut on either side. The point itself gives a narrow rectangle
// (the logarithmic forms cancel where the point functions do not). Goldens: kCutGoldens.
TEST(ComplexIntervalContainment, RectanglesOnAndAtEveryCutHoldTheCutValues) {
  const struct { const char* name; void (*f)(CI&, const CI&); } functions[] = {
      {"asin", ComplexIntervalAsin},   {"acos", ComplexIntervalAcos},   {"atan", ComplexIntervalAtan},
      {"asinh", ComplexIntervalAsinh}, {"acosh", ComplexIntervalAcosh}, {"atanh", ComplexIntervalAtanh},
      {"acsc", ComplexIntervalAcsc},   {"asec", ComplexIntervalAsec},   {"acot", ComplexIntervalAcot},
      {"acsch", ComplexIntervalAcsch}, {"asech", ComplexIntervalAsech}, {"acoth", ComplexIntervalAcoth},
  };
  const auto holds = [](const CI& r, double re, double im) { return Holds(r.re, re) && Holds(r.im, im); };
  for (const CutGolden& c : kCutGoldens) {
    void (*f)(CI&, const CI&) = nullptr;
    for (const auto& named : functions) f = std::string(named.name) == c.name ? named.f : f;
    ASSERT_NE(f, nullptr) << c.name;
    const bool realCut = c.y == 0.0;
    const auto box = [&](double lo, double hi) {
      return realCut ? CI{{c.x, c.x}, {lo, hi}} : CI{{lo, hi}, {c.y, c.y}};
    };
    const CI point = ValueOf(f, box(0, 0));
    const auto tight = [](const Interval& r, double v) { return r.hi - r.lo <= 1e-12 * std::max(1.0, std::fabs(v)); };
    EXPECT_TRUE(tight(point.re, c.re) && tight(point.im, c.im)) << c.name << Show(point);
    for (const CI& z : {box(-0.0, -0.0), box(0, c.step), box(-c.step, 0), box(-c.step, c.step)}) {
      const CI r = ValueOf(f, z);
      EXPECT_TRUE(holds(r, c.re, c.im)) << c.name << " " << Show(z) << " gives " << Show(r);
      const Interval across = realCut ? z.im : z.re;
      EXPECT_TRUE(across.hi == 0 || holds(r, c.plusRe, c.plusIm)) << c.name << " " << Show(z);
      EXPECT_TRUE(across.lo == 0 || holds(r, c.minusRe, c.minusIm)) << c.name << " " << Show(z);
    }
  }
}

template <typename Relation>
void PointCompare(Complex& out, const Complex& a, const Complex& b) {
  out = {a.im == 0 && b.im == 0 && Relation()(a.re, b.re) ? 1.0 : 0.0, 0.0};
}

TEST(ComplexIntervalContainment, EveryBinaryOperationEnclosesThePointFunction) {
  using Reference = QuadComplex (*)(const Complex&, const Complex&, const Complex&);  // (a, b, point value)
  struct Case {
    const char* name;
    void (*box)(CI&, const CI&, const CI&);
    void (*point)(Complex&, const Complex&, const Complex&);
    Reference reference;
    bool total;
    void (*realOnly)(Interval&, const Interval&, const Interval&) = nullptr;  // as in the unary sweep
  };
  const auto value = [](const Complex&, const Complex&, const Complex& v) { return MakeQuad(v.re, v.im); };  // exact
  const Case cases[] = {
      {"add", ComplexIntervalAdd, [](Complex& o, const Complex& a, const Complex& b) { o = {a.re + b.re, a.im + b.im}; },
       [](const Complex& a, const Complex& b, const Complex&) { return MakeQuad(Quad(a.re) + b.re, Quad(a.im) + b.im); }, true},
      {"multiply", ComplexIntervalMultiply, ComplexMultiply, [](const Complex& a, const Complex& b, const Complex&) {
         return MakeQuad(Quad(a.re) * b.re - Quad(a.im) * b.im, Quad(a.re) * b.im + Quad(a.im) * b.re); }, true},
      {"divide", ComplexIntervalDivide, ComplexDivide, [](const Complex& a, const Complex& b, const Complex&) {
         return a.im == 0 && b.im == 0 ? MakeQuad(Quad(a.re) / b.re, 0) : MakeQuad(a.re, a.im) * QuadReciprocal(MakeQuad(b.re, b.im)); }, false},
      {"power", ComplexIntervalPower, ComplexPower, QuadPower, false},
      {"atan2 (y, x)", ComplexIntervalAtan2, ComplexAtan2, RealOnlyAt<QuadAngle>, false, IntervalAtan2},
      {"hypot", ComplexIntervalHypot, ComplexHypot, RealOnlyAt<hypotq>, false, IntervalHypot},
      {"min", ComplexIntervalMin, ComplexMin, value, false, IntervalMin},
      {"max", ComplexIntervalMax, ComplexMax, value, false, IntervalMax},
      {"mod", ComplexIntervalMod, ComplexMod, RealOnlyAt<QuadFlooredMod>, false, IntervalMod},
      {"besselj (n, x)", ComplexIntervalBesselJ, ComplexBesselJ, RealOnlyAt<QuadBessel>, false, IntervalBesselJ},
      {"less", ComplexIntervalLess, PointCompare<std::less<double>>, value, true},
      {"greater", ComplexIntervalGreater, PointCompare<std::greater<double>>, value, true},
      {"less equal", ComplexIntervalLessEqual, PointCompare<std::less_equal<double>>, value, true},
      {"greater equal", ComplexIntervalGreaterEqual, PointCompare<std::greater_equal<double>>, value, true},
      {"equal", ComplexIntervalEqual, PointCompare<std::equal_to<double>>, value, true},
  };
  BoxSampler s(78);
  std::vector<Complex> pa, pb;
  for (const Case& c : cases) {
    ContainmentChecker check{c.name};
    for (int i = 0; i < 500 && check.failures == 0; ++i) {
      const CI a = s.Rectangle(), b = s.Rectangle();
      const CI r = ValueOf(c.box, a, b);
      s.Points(a, 4, pa);
      s.Points(b, 4, pb);
      for (const Complex& p : pa) {
        for (const Complex& t : pb) check.Expect(r, c.reference(p, t, ValueOf(c.point, p, t)), [&] { return At(a, p) + " ; " + At(b, t); });
      }
      if (c.total && Moderate(a) && Moderate(b) && ComplexIntervalIsUndefined(r)) {
        check.Fail([&] { return Show(a) + " ; " + Show(b); }, ": undefined on bounded rectangles");
      }
      if (!c.realOnly) continue;
      const CI want = Holds(a.im, 0.0) && Holds(b.im, 0.0) ? CI{ValueOf(c.realOnly, a.re, b.re), kZero} : kUndefinedComplexInterval;
      if (!Same(r, want)) check.Fail([&] { return Show(a) + " ; " + Show(b); }, Same(r, want).message());
    }
    EXPECT_GT(check.defined, 0) << c.name << " never gave a defined result";
  }
}

// Whole exponents, where the point power multiplies repeatedly (or takes the real power of a
// real base): the rectangle holds each point value, and a real base stays exactly real.
TEST(ComplexIntervalContainment, WholePowersEncloseTheRepeatedProducts) {
  BoxSampler s(79);
  ContainmentChecker check{"whole power"};
  std::vector<Complex> zs;
  for (int i = 0; i < 600 && check.failures == 0; ++i) {
    const CI z = s.Rectangle();
    const double n = i % 5 == 0 ? static_cast<double>(s.Index(61)) + 60.0  // past repeated products
                                : static_cast<double>(s.Index(13)) - 6.0;
    const CI r = ValueOf(ComplexIntervalPower, z, Real(n, n));
    EXPECT_TRUE(!ComplexIntervalIsReal(z) || ComplexIntervalIsUndefined(r) || ComplexIntervalIsReal(r)) << Show(r);
    s.Points(z, 8, zs);
    for (const Complex& p : zs) {
      const QuadComplex want = QuadPower(p, {n, 0}, ValueOf(ComplexPower, p, Complex{n, 0}));
      check.Expect(r, want, [&] { return At(z, p) + " ^ " + Fmt(n); });
    }
  }
}

// Point rectangles where a part of the value is a double while e^re(w ln z), e^re, |z| or cosh is
// not: each holds the 113-bit value, with two finite bounds on each part below 2^1022 in size.
TEST(ComplexIntervalContainment, PowersAndExpNearOverflowBoundEveryPartThatIsADouble) {
  std::mt19937_64 rng(20261209);
  std::uniform_real_distribution<double> unit(0, 1);
  int failures = 0, checked = 0;
  const auto expect = [&](const CI& r, QuadComplex want, const std::string& what) {
    const auto bounded = [](const Interval& part, Quad v) {
      return !(fabsq(v) < Quad(0x1p1022)) || (std::isfinite(part.lo) && std::isfinite(part.hi));
    };
    checked += (fabsq(__real__ want) < Quad(0x1p1022)) != (fabsq(__imag__ want) < Quad(0x1p1022));
    const bool ok = !ComplexIntervalIsUndefined(r) && Holds(r.re, __real__ want) && Holds(r.im, __imag__ want) &&
                    bounded(r.re, __real__ want) && bounded(r.im, __imag__ want);
    if (!ok && failures++ < 5) ADD_FAILURE() << what << " = " << Show(r) << ", exact (" << Fmt(__real__ want) << ", " << Fmt(__imag__ want) << ")";
  };
  for (int i = 0; i < 6000; ++i) {
    PowerCase c;
    if (!PowerNearLimits(rng, c)) continue;
    const CI z{{c.z.re, c.z.re}, {c.z.im, c.z.im}}, w{{c.w.re, c.w.re}, {c.w.im, c.w.im}};
    expect(ValueOf(ComplexIntervalPower, z, w), QuadPolarPower(c.z, c.w), Show(c.z) + "^" + Show(c.w));
    const Complex e{705 + 15 * unit(rng), 20 * unit(rng) - 10};
    expect(ValueOf(ComplexIntervalExp, {{e.re, e.re}, {e.im, e.im}}), cexpq(MakeQuad(e.re, e.im)), "exp" + Show(e));
    const Complex big{DBL_MAX * (unit(rng) - 0.5) * 2, DBL_MAX * (0.6 + 0.4 * unit(rng))};
    const CI b{{big.re, big.re}, {big.im, big.im}};
    expect(ValueOf(ComplexIntervalLn, b), clogq(MakeQuad(big.re, big.im)), "ln" + Show(big));
    expect(ValueOf(ComplexIntervalSqrt, b), csqrtq(MakeQuad(big.re, big.im)), "sqrt" + Show(big));
  }
  // A part where cosh and sinh overflow on the way (products past 711 overflow themselves).
  const std::string products[] = {"sin", "cos", "sinh", "cosh"};
  const std::string quotients[] = {"tan", "cot", "sec", "csc", "tanh", "coth", "sech", "csch"};
  for (const ComplexUnary& f : kComplexUnary) {
    const std::string name = f.name;
    const bool product = std::find(std::begin(products), std::end(products), name) != std::end(products);
    if (!product && std::find(std::begin(quotients), std::end(quotients), name) == std::end(quotients)) continue;
    const bool circular = name.back() != 'h';  // the hyperbolic names end in h
    for (int i = 0; i < 400; ++i) {
      const double size = product ? 708 + 3 * unit(rng) : 300 + 500 * unit(rng);
      const double large = (unit(rng) < 0.5 ? -1 : 1) * size, small = 20 * unit(rng) - 10;
      const Complex p = circular ? Complex{small, large} : Complex{large, small};
      expect(ValueOf(f.box, CI{{p.re, p.re}, {p.im, p.im}}), f.quadComplex(MakeQuad(p.re, p.im)), name + Show(p));
    }
  }
  EXPECT_GT(checked, 500) << "the sweep should find finite parts beside overflowing ones";
}

}  // namespace
