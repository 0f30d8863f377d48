// The contract of interval arithmetic as a property: for random ordinary and wrapped boxes
// (degenerate, touching 0, poles, +-1, +-infinity), every finite value of the real point function
// at sampled points of the operands lies in the result, allowing a few ulps for rounding of the
// bounds. An undefined result is allowed (it says the function is not defined on the whole box).
// Points are real numbers: an infinite bound is approached by ever larger finite points.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

#include "kernel/elementary_functions.h"
#include "kernel/interval.h"
#include "kernel/special_functions.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = 3.141592653589793;

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

  Interval Box() {
    const size_t kind = Index(10);
    if (kind == 0) {
      const double v = Value();
      return {v, v};
    }
    if (kind <= 6) {
      static const double kWidths[] = {1e-9, 1e-3, 0.1, 0.5, 1, 2, 5, 50, 1e6, kInf};
      const double a = Value(), w = kWidths[Index(std::size(kWidths))];
      if (std::isinf(a)) return a > 0 ? Interval{Value(), kInf} : Interval{-kInf, Value()};
      Interval b = Chance(0.5) ? Interval{a, a + w} : Interval{a - w, a};
      if (b.lo > b.hi) std::swap(b.lo, b.hi);
      return b;
    }
    double a = Value(), b = Value();
    if (a > b) std::swap(a, b);
    if (kind == 7 || a == b) return {a, b};
    return {b, a};  // wrapped: x >= b or x <= a
  }

  // Points of the set the box stands for: real numbers, so finite; its finite bounds and both
  // zeros are included.
  std::vector<double> Points(const Interval& box, int count) {
    std::vector<double> points;
    const bool wrapped = IntervalIsWrapped(box);
    if (std::isfinite(box.lo)) points.push_back(box.lo);
    if (std::isfinite(box.hi)) points.push_back(box.hi);
    if (Holds(box, 0.0)) {
      points.push_back(0.0);
      points.push_back(-0.0);
    }
    for (int i = 0; i < count; ++i) {
      Interval part = box;
      if (wrapped) part = Chance(0.5) ? Interval{box.lo, kInf} : Interval{-kInf, box.hi};
      const double v = Inside(part);
      if (std::isfinite(v)) points.push_back(v);  // [inf, inf] has no real points
    }
    return points;
  }

  static bool Holds(const Interval& r, double v) {
    return IntervalIsWrapped(r) ? (v >= r.lo || v <= r.hi) : (r.lo <= v && v <= r.hi);
  }

 private:
  double Inside(const Interval& b) {
    const double spread = std::pow(10.0, Uniform(-3, 12));
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

struct Tolerance {
  double relative = 1e-15;  // about 4.5 ulps
  double absolute = 0.0;
};

struct Checker {
  const char* name;
  Tolerance tol;
  int failures = 0;
  int defined = 0;

  void Expect(const Interval& r, double v, const char* args) {
    if (!std::isfinite(v) || IntervalIsUndefined(r)) return;
    ++defined;
    const double s = tol.relative * std::fabs(v) + tol.absolute + 1e-300;
    const bool inside = IntervalIsWrapped(r) ? (v >= r.lo - s || v <= r.hi + s)
                                             : (r.lo - s <= v && v <= r.hi + s);
    if (!inside && ++failures <= 5) {
      ADD_FAILURE() << name << " " << args << ": value " << Fmt(v) << " outside [" << Fmt(r.lo)
                    << ", " << Fmt(r.hi) << "]";
    }
  }

  static std::string Fmt(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
  }
};

std::string Describe(const Interval& a, double x) {
  return "[" + Checker::Fmt(a.lo) + ", " + Checker::Fmt(a.hi) + "] at " + Checker::Fmt(x);
}

std::string Describe(const Interval& a, const Interval& b, double x, double y) {
  return Describe(a, x) + " ; " + Describe(b, y);
}

struct UnaryCase {
  const char* name;
  void (*f)(Interval&, const Interval&);
  double (*point)(double);
  Tolerance tol{};
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
      {"factorial", IntervalFactorial, Factorial, {1e-13, 0}},
  };
  Sampler s(20261206);
  for (const UnaryCase& c : cases) {
    Checker check{c.name, c.tol};
    for (int i = 0; i < 1500 && check.failures == 0; ++i) {
      const Interval box = s.Box();
      Interval r;
      c.f(r, box);
      for (double x : s.Points(box, 16)) check.Expect(r, c.point(x), Describe(box, x).c_str());
    }
    EXPECT_GT(check.defined, 0) << c.name << " never gave a defined result";
  }
}

struct BinaryCase {
  const char* name;
  void (*f)(Interval&, const Interval&, const Interval&);
  double (*point)(double, double);
  Tolerance tol{};
};

TEST(IntervalContainment, EveryBinaryOperationEnclosesItsPointValues) {
  const BinaryCase cases[] = {
      {"add", IntervalAdd, [](double x, double y) { return x + y; }},
      {"multiply", IntervalMultiply, [](double x, double y) { return x * y; }},
      {"divide", IntervalDivide, [](double x, double y) { return x / y; }},
      {"power", IntervalPower, [](double x, double y) { return std::pow(x, y); }},
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
  for (const BinaryCase& c : cases) {
    Checker check{c.name, c.tol};
    for (int i = 0; i < 800 && check.failures == 0; ++i) {
      const Interval a = s.Box(), b = s.Box();
      Interval r;
      c.f(r, a, b);
      const std::vector<double> xs = s.Points(a, 8), ys = s.Points(b, 8);
      if (ys.empty()) continue;
      for (double x : xs) {
        for (size_t k = 0; k < 3; ++k) {
          const double y = ys[s.Index(ys.size())];
          check.Expect(r, c.point(x, y), Describe(a, b, x, y).c_str());
        }
      }
    }
    EXPECT_GT(check.defined, 0) << c.name << " never gave a defined result";
  }
}

TEST(IntervalContainment, HullHoldsBothOperands) {
  Sampler s(11);
  Checker check{"hull", {}};
  for (int i = 0; i < 3000 && check.failures == 0; ++i) {
    const Interval a = s.Box(), b = s.Box();
    Interval r;
    IntervalHull(r, a, b);
    for (double x : s.Points(a, 6)) check.Expect(r, x, Describe(a, b, x, 0).c_str());
    for (double y : s.Points(b, 6)) check.Expect(r, y, Describe(a, b, 0, y).c_str());
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
          EXPECT_TRUE(Sampler::Holds(andR, x == 1 && y == 1 ? 1.0 : 0.0));
          EXPECT_TRUE(Sampler::Holds(orR, x == 1 || y == 1 ? 1.0 : 0.0));
        }
      }
    }
  }
}

TEST(IntervalContainment, RationalPowersEncloseTheRealRoots) {
  Sampler s(3);
  Checker check{"rational power", {}};
  for (int i = 0; i < 3000 && check.failures == 0; ++i) {
    const Interval x = s.Box();
    const double q = static_cast<double>(s.Index(7)) - 3.0, p = static_cast<double>(s.Index(9)) - 4.0;
    Interval r;
    IntervalRationalPower(r, x, {q, q}, {p, p});
    char args[64];
    std::snprintf(args, sizeof args, " p=%g q=%g", p, q);
    for (double v : s.Points(x, 12)) check.Expect(r, RationalPower(v, q, p), (Describe(x, v) + args).c_str());
  }
}

TEST(IntervalContainment, BesselEnclosesEveryOrderAndArgument) {
  Sampler s(5);
  Checker check{"bessel J", {1e-12, 1e-14}};
  static const double kOrders[] = {0, 1, 2, 3, 5, 10, 0.5, -0.5, -1, -2, 0.25, -0.3, 2.5, 7.5};
  static const double kOrderWidths[] = {0, 0, 0, 0.2, 1, 3};
  for (int i = 0; i < 700 && check.failures == 0; ++i) {
    const double n0 = kOrders[s.Index(std::size(kOrders))];
    const Interval n{n0, n0 + kOrderWidths[s.Index(std::size(kOrderWidths))]};
    Interval x = s.Box();
    if (IntervalIsWrapped(x) || !(std::fabs(x.lo) < 1e4 && std::fabs(x.hi) < 1e4)) {
      const double lo = s.Uniform(-40, 40);  // keep the reference evaluations quick
      x = {lo, lo + s.Uniform(0, 3)};
    }
    Interval r;
    IntervalBesselJ(r, n, x);
    for (double v : s.Points(x, 6)) {
      for (double order : {n.lo, n.hi, s.Uniform(n.lo, n.hi + 1e-300)}) {
        if (order > n.hi) order = n.hi;
        char args[48];
        std::snprintf(args, sizeof args, " order %.17g", order);
        check.Expect(r, BesselJv(order, v), (Describe(x, v) + args).c_str());
      }
    }
  }
}

}  // namespace
