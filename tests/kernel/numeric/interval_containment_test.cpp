// The contract of interval arithmetic as a property: for random ordinary and wrapped boxes
// (degenerate, touching 0 with either sign, poles, +-1, +-infinity), every finite value of the
// real point function at sampled (finite) points of the operands lies in the result, allowing a
// few ulps for the rounding of the bounds. An undefined result must be earned: some sampled point
// has no value, or a stated rule (0 times an unbounded operand) refuses the box.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/interval.h"
#include "kernel/numeric/special_functions.h"
#include "tests/kernel/numeric/interval_test_support.h"

namespace {

using interval_test::ContainmentChecker;
using interval_test::Fmt;
using interval_test::Holds;
using interval_test::Show;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.141592653589793;

bool Unbounded(const Interval& a) {
  return IntervalIsWrapped(a) || std::isinf(a.lo) || std::isinf(a.hi);
}

// The multiplication rule: an operand holding 0 times an unbounded one has no enclosure.
bool ZeroTimesUnbounded(const Interval& a, const Interval& b) {
  return (Holds(a, 0.0) && Unbounded(b)) || (Holds(b, 0.0) && Unbounded(a));
}

class Sampler {
 public:
  explicit Sampler(uint64_t seed) : rng_(seed) {}

  double Uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng_); }
  size_t Index(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
  bool Chance(double p) { return Uniform(0, 1) < p; }

  double Anchor() {
    static const double kAnchors[] = {0.0, -0.0, 1, -1, 0.5, -0.5, 2, -2, 3, -3, kPi / 2, -kPi / 2, kPi,
                                      -kPi, 2 * kPi, 4.71238898038469, 0.46163214496836234, -1.5, -2.5,
                                      -1.5040830082644554, 3.8317059702075123, 1e-300, 1e-8, 10, -10,
                                      100, 710, -710, 1e10, -1e10, 1e15, kInf, -kInf};
    return kAnchors[Index(std::size(kAnchors))];
  }

  double Value() {
    if (Chance(0.55)) return Anchor();
    const double magnitude = std::pow(10.0, Uniform(-3, 3));
    return Chance(0.5) ? magnitude : -magnitude;
  }

  // Ordinary boxes of every width and wrapped ones, about one in five.
  Interval Box(bool ordinaryOnly = false) {
    const size_t kind = Index(10);
    if (kind == 0) {
      const double v = Value();
      return {v, v};
    }
    if (kind <= 6 || ordinaryOnly) {
      static const double kWidths[] = {1e-9, 1e-3, 0.1, 0.5, 1, 2, 5, 50, 1e6, kInf};
      const double a = Value(), w = kWidths[Index(std::size(kWidths))];
      if (std::isinf(a)) return a > 0 ? Interval{Value(), kInf} : Interval{-kInf, Value()};
      Interval b = Chance(0.5) ? Interval{a, a + w} : Interval{a - w, a};
      if (b.lo > b.hi) std::swap(b.lo, b.hi);
      return b;
    }
    double a = Value(), b = Value();
    if (a > b) std::swap(a, b);
    // Wrapped: x >= b or x <= a. An infinite end would leave one half without real points, a
    // form no operation produces from ordinary operands.
    if (kind == 7 || a == b || std::isinf(a) || std::isinf(b)) return {a, b};
    return {b, a};
  }

  // Points of the set the box stands for: its finite bounds, both zeros when it holds 0, and
  // random points of each half of a wrapped box.
  void Points(const Interval& box, int count, std::vector<double>& points) {
    points.clear();
    if (std::isfinite(box.lo)) points.push_back(box.lo);
    if (std::isfinite(box.hi)) points.push_back(box.hi);
    if (Holds(box, 0.0)) {
      points.push_back(0.0);
      points.push_back(-0.0);
    }
    // An unbounded side reaches well past its finite end (and past 0) for sure.
    const bool wrapped = IntervalIsWrapped(box);
    if (std::isfinite(box.hi) && (wrapped || box.lo == -kInf)) points.push_back(box.hi - 10 * (1 + std::fabs(box.hi)));
    if (std::isfinite(box.lo) && (wrapped || box.hi == kInf)) points.push_back(box.lo + 10 * (1 + std::fabs(box.lo)));
    for (int i = 0; i < count; ++i) {
      Interval part = box;
      if (wrapped) part = i % 2 == 0 ? Interval{box.lo, kInf} : Interval{-kInf, box.hi};
      const double v = Inside(part);
      if (std::isfinite(v)) points.push_back(v);  // [inf, inf] has no real points
    }
  }

 private:
  double Inside(const Interval& b) {
    // Towards an infinite end the points lie near the finite one or run far past it, across 0
    // if it lies there.
    const double finiteEnd = std::isfinite(b.lo) ? b.lo : std::isfinite(b.hi) ? b.hi : 0.0;
    const double scale = Chance(0.5) ? 1.0 : 1 + std::fabs(finiteEnd);
    const double spread = std::pow(10.0, Uniform(-3, 12)) * scale;
    double v;
    if (std::isinf(b.lo) && std::isinf(b.hi)) {
      v = Chance(0.5) ? spread : -spread;
    } else if (std::isinf(b.lo)) {
      v = b.hi - spread;
    } else if (std::isinf(b.hi)) {
      v = b.lo + spread;
    } else {
      const double u = Uniform(0, 1);
      v = b.lo * (1 - u) + b.hi * u;
    }
    return std::min(std::max(v, b.lo), b.hi);
  }

  std::mt19937_64 rng_;
};

struct UnaryCase {
  const char* name;
  void (*f)(Interval&, const Interval&);
  double (*point)(double);
  double relative = 1e-15;
};

double PositiveAngle(double y, double x) {
  const double t = std::atan2(y, x);
  return t < 0 ? t + 2 * kPi : t;
}

TEST(IntervalContainment, EveryUnaryOperationEnclosesItsPointValues) {
  const UnaryCase cases[] = {
      {"negate", IntervalNegate, [](double x) { return -x; }},
      {"reciprocal", IntervalReciprocal, [](double x) { return 1 / x; }},
      {"exp", IntervalExp, [](double x) { return std::exp(x); }},
      {"ln", IntervalLn, [](double x) { return std::log(x); }},
      {"log10", IntervalLog10, [](double x) { return std::log10(x); }},
      {"sqrt", IntervalSqrt, [](double x) { return std::sqrt(x); }},
      {"sin", IntervalSin, [](double x) { return std::sin(x); }},
      {"cos", IntervalCos, [](double x) { return std::cos(x); }},
      {"tan", IntervalTan, [](double x) { return std::tan(x); }},
      {"cot", IntervalCot, Cot},
      {"sec", IntervalSec, Sec},
      {"csc", IntervalCsc, Csc},
      {"asin", IntervalAsin, [](double x) { return std::asin(x); }},
      {"acos", IntervalAcos, [](double x) { return std::acos(x); }},
      {"atan", IntervalAtan, [](double x) { return std::atan(x); }},
      {"acot", IntervalAcot, Arccot},
      {"asec", IntervalAsec, Arcsec},
      {"acsc", IntervalAcsc, Arccsc},
      {"sinh", IntervalSinh, [](double x) { return std::sinh(x); }},
      {"cosh", IntervalCosh, [](double x) { return std::cosh(x); }},
      {"tanh", IntervalTanh, [](double x) { return std::tanh(x); }},
      {"coth", IntervalCoth, Coth},
      {"sech", IntervalSech, Sech},
      {"csch", IntervalCsch, Csch},
      {"asinh", IntervalAsinh, [](double x) { return std::asinh(x); }},
      {"acosh", IntervalAcosh, [](double x) { return std::acosh(x); }},
      {"atanh", IntervalAtanh, [](double x) { return std::atanh(x); }},
      {"acoth", IntervalAcoth, Arccoth},
      {"asech", IntervalAsech, Arcsech},
      {"acsch", IntervalAcsch, Arccsch},
      {"abs", IntervalAbs, [](double x) { return std::fabs(x); }},
      {"square", IntervalSquare, [](double x) { return x * x; }},
      {"sign", IntervalSign, Sign},
      {"floor", IntervalFloor, [](double x) { return std::floor(x); }},
      {"ceil", IntervalCeil, [](double x) { return std::ceil(x); }},
      {"factorial", IntervalFactorial, Factorial, 1e-13},
  };
  Sampler s(20261206);
  std::vector<double> xs;
  for (const UnaryCase& c : cases) {
    ContainmentChecker check{c.name, c.relative};
    for (int i = 0; i < 1500 && check.failures == 0; ++i) {
      const Interval box = s.Box();
      Interval r;
      c.f(r, box);
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

bool DivisionRefuses(const Interval& a, const Interval& b) {
  Interval r;
  IntervalReciprocal(r, b);
  return ZeroTimesUnbounded(a, r);
}

TEST(IntervalContainment, EveryBinaryOperationEnclosesItsPointValues) {
  const BinaryCase cases[] = {
      {"add", IntervalAdd, [](double x, double y) { return x + y; }},
      {"multiply", IntervalMultiply, [](double x, double y) { return x * y; }, ZeroTimesUnbounded},
      {"multiply ordinary", IntervalMultiplyOrdinary, [](double x, double y) { return x * y; },
       ZeroTimesUnbounded, true},
      {"divide", IntervalDivide, [](double x, double y) { return x / y; }, DivisionRefuses},
      {"power", IntervalPower, [](double x, double y) { return std::pow(x, y); }},
      {"power ordinary", IntervalPowerOrdinary, [](double x, double y) { return std::pow(x, y); },
       nullptr, true},
      {"min", IntervalMin, [](double x, double y) { return y >= x ? x : y; }},
      {"max", IntervalMax, [](double x, double y) { return y <= x ? x : y; }},
      {"mod", IntervalMod, FlooredMod},
      {"hypot", IntervalHypot, [](double x, double y) { return std::hypot(x, y); }},
      {"atan2 (y, x)", IntervalAtan2, PositiveAngle},
      {"atan2 signed (y, x)", IntervalAtan2Signed, [](double y, double x) { return std::atan2(y + 0.0, x); }},
      {"less", IntervalLess, [](double x, double y) { return x < y ? 1.0 : 0.0; }},
      {"greater", IntervalGreater, [](double x, double y) { return x > y ? 1.0 : 0.0; }},
      {"less equal", IntervalLessEqual, [](double x, double y) { return x <= y ? 1.0 : 0.0; }},
      {"greater equal", IntervalGreaterEqual, [](double x, double y) { return x >= y ? 1.0 : 0.0; }},
      {"equal", IntervalEqual, [](double x, double y) { return x == y ? 1.0 : 0.0; }},
  };
  Sampler s(7);
  std::vector<double> xs, ys;
  for (const BinaryCase& c : cases) {
    ContainmentChecker check{c.name};
    for (int i = 0; i < 800 && check.failures == 0; ++i) {
      const Interval a = s.Box(c.ordinaryOnly), b = s.Box(c.ordinaryOnly);
      Interval r;
      c.f(r, a, b);
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
  Sampler s(11);
  ContainmentChecker check{"hull"};
  std::vector<double> points;
  for (int i = 0; i < 1500 && check.failures == 0; ++i) {
    const Interval a = s.Box(), b = s.Box();
    Interval r;
    IntervalHull(r, a, b);
    for (const Interval& operand : {a, b}) {
      s.Points(operand, 6, points);
      for (double x : points) check.Expect(r, x, [&] { return Show(a) + " ; " + Show(b) + " at " + Fmt(x); });
    }
    // Four ordinary intervals, as the two-wrapped products give them.
    const Interval q[4] = {s.Box(true), s.Box(true), s.Box(true), s.Box(true)};
    IntervalHull4(r, q[0], q[1], q[2], q[3]);
    for (const Interval& operand : q) {
      s.Points(operand, 3, points);
      for (double x : points) check.Expect(r, x, [&] { return "hull4 with " + Show(operand) + " at " + Fmt(x); });
    }
  }
}

TEST(IntervalContainment, TruthOperationsEncloseTheirPointValues) {
  const Interval truths[] = {kTruthFalse, kTruthTrue, kTruthUndecided};
  for (const Interval& a : truths) {
    for (const Interval& b : truths) {
      Interval andR, orR;
      IntervalTruthAnd(andR, a, b);
      IntervalTruthOr(orR, a, b);
      for (double x : {a.lo, a.hi}) {
        for (double y : {b.lo, b.hi}) {
          EXPECT_TRUE(Holds(andR, x == 1 && y == 1 ? 1.0 : 0.0));
          EXPECT_TRUE(Holds(orR, x == 1 || y == 1 ? 1.0 : 0.0));
        }
      }
    }
  }
}

TEST(IntervalContainment, RationalPowersEncloseTheRealRoots) {
  Sampler s(3);
  ContainmentChecker check{"rational power"};
  std::vector<double> xs;
  for (int i = 0; i < 3000 && check.failures == 0; ++i) {
    const Interval x = s.Box();
    const double q = static_cast<double>(s.Index(7)) - 3.0, p = static_cast<double>(s.Index(9)) - 4.0;
    Interval r;
    IntervalRationalPower(r, x, {q, q}, {p, p});
    auto describe = [&] { return Show(x) + " p=" + Fmt(p) + " q=" + Fmt(q); };
    s.Points(x, 12, xs);
    check.Start();
    for (double v : xs) check.Expect(r, RationalPower(v, q, p), [&] { return describe() + " at " + Fmt(v); });
    // x^(p/0) takes the whole line as exponent; a negative base then has no enclosure.
    check.ExpectEarnedUndefined(r, q == 0, describe);
  }
}

TEST(IntervalContainment, BesselEnclosesEveryOrderAndArgument) {
  Sampler s(5);
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
    Interval r;
    IntervalBesselJ(r, n, x);
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
