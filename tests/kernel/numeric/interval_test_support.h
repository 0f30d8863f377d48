// Shared helpers of the interval, complex and complex-interval tests: exact comparison that
// treats every undefined value alike, membership of a possibly wrapped interval, ulp distance,
// round-trip number text for messages, the one table of complex functions with their box, real
// and library forms, and the sampler and checker of the containment sweeps.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kernel/numeric/complex.h"
#include "kernel/numeric/complex_interval.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/interval.h"
#include "kernel/numeric/value_of.h"

namespace interval_test {

using Std = std::complex<double>;

inline std::string Fmt(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

inline std::string Show(const Interval& a) { return "[" + Fmt(a.lo) + ", " + Fmt(a.hi) + "]"; }
inline std::string Show(const Complex& z) { return "(" + Fmt(z.re) + ", " + Fmt(z.im) + ")"; }
inline std::string Show(const ComplexInterval& z) { return "(" + Show(z.re) + ", " + Show(z.im) + ")"; }

// x in the set r stands for: lo <= x <= hi, or x >= lo or x <= hi when r is wrapped.
inline bool Holds(const Interval& r, double v) {
  return IntervalIsWrapped(r) ? (v >= r.lo || v <= r.hi) : (r.lo <= v && v <= r.hi);
}

// Equal bound for bound (so 0 == -0), or undefined both.
inline bool SameValue(const Interval& got, const Interval& want) {
  if (IntervalIsUndefined(got) || IntervalIsUndefined(want)) return IntervalIsUndefined(got) && IntervalIsUndefined(want);
  return got.lo == want.lo && got.hi == want.hi;
}

inline ::testing::AssertionResult Same(const Interval& got, const Interval& want) {
  if (SameValue(got, want)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << Show(got) << ", want " << Show(want);
}

inline ::testing::AssertionResult Same(const ComplexInterval& got, const ComplexInterval& want) {
  const bool gotUndefined = ComplexIntervalIsUndefined(got), wantUndefined = ComplexIntervalIsUndefined(want);
  if (gotUndefined || wantUndefined ? gotUndefined && wantUndefined : SameValue(got.re, want.re) && SameValue(got.im, want.im)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "got " << Show(got) << ", want " << Show(want);
}

// Distance in representable doubles of two values of one sign (0 and -0, and equal infinities,
// are 0 apart); values of opposite signs are far apart.
inline uint64_t UlpsApart(double a, double b) {
  if (a == b) return 0;
  if (std::signbit(a) != std::signbit(b)) return UINT64_MAX;
  uint64_t ia, ib;
  std::memcpy(&ia, &a, sizeof ia);
  std::memcpy(&ib, &b, sizeof ib);
  return ia > ib ? ia - ib : ib - ia;
}

// A complex function of one operand: its point and rectangle forms, the real function it must
// agree with on the real axis (NaN outside the real domain) and the real machine's interval
// operation, the standard library's form as an independent reference off the cuts with its
// tolerance (relative to max(1, |value|)), and whether every bounded rectangle has a value.
struct ComplexUnary {
  const char* name;
  void (*point)(Complex&, const Complex&);
  void (*box)(ComplexInterval&, const ComplexInterval&);
  double (*real)(double);
  void (*realBox)(Interval&, const Interval&);
  Std (*library)(Std);
  double tolerance;
  bool total;
};

inline void IntervalArgOfReal(Interval& out, const Interval& a) {
  out = a.hi < 0.0 ? Interval{kPi, kPi} : a.lo >= 0.0 ? Interval{0.0, 0.0} : Interval{0.0, kPi};
}

// Tolerances, measured over 200,000 points with room: a few ulps without cancellation; ln |z|
// loses relative accuracy as |z| nears 1; the tangents divide by cos 2x + cosh 2y, which cancels
// near their poles; the reciprocal inverses round 1 / z next to the branch points +-1.
constexpr double kFewUlps = 1e-15;
constexpr double kThroughLn = 1e-14;
constexpr double kTangent = 2e-12;

// acot is atan(1 / z): on the negative reals pi below the real inverse cotangent, so its real
// reference is atan(1 / x) while the real machine's interval operation stays the real one.
inline const ComplexUnary kComplexUnary[] = {
    {"exp", ComplexExp, ComplexIntervalExp, [](double x) { return std::exp(x); }, IntervalExp, [](Std z) { return std::exp(z); }, kFewUlps, true},
    {"ln", ComplexLn, ComplexIntervalLn, [](double x) { return std::log(x); }, IntervalLn, [](Std z) { return std::log(z); }, kThroughLn, true},
    {"log10", ComplexLog10, ComplexIntervalLog10, [](double x) { return std::log10(x); }, IntervalLog10, [](Std z) { return std::log10(z); }, kThroughLn, true},
    {"sqrt", ComplexSqrt, ComplexIntervalSqrt, [](double x) { return std::sqrt(x); }, IntervalSqrt, [](Std z) { return std::sqrt(z); }, kFewUlps, true},
    {"square", ComplexSquare, ComplexIntervalSquare, [](double x) { return x * x; }, IntervalSquare, [](Std z) { return z * z; }, kFewUlps, true},
    {"abs", ComplexAbs, ComplexIntervalAbs, [](double x) { return std::fabs(x); }, IntervalAbs, [](Std z) { return Std(std::abs(z)); }, kFewUlps, true},
    {"arg", ComplexArg, ComplexIntervalArg, [](double x) { return x < 0.0 ? kPi : 0.0; }, IntervalArgOfReal, [](Std z) { return Std(std::arg(z)); }, kFewUlps, true},
    {"sin", ComplexSin, ComplexIntervalSin, [](double x) { return std::sin(x); }, IntervalSin, [](Std z) { return std::sin(z); }, kFewUlps, true},
    {"cos", ComplexCos, ComplexIntervalCos, [](double x) { return std::cos(x); }, IntervalCos, [](Std z) { return std::cos(z); }, kFewUlps, true},
    {"tan", ComplexTan, ComplexIntervalTan, [](double x) { return std::tan(x); }, IntervalTan, [](Std z) { return std::tan(z); }, kTangent, false},
    {"cot", ComplexCot, ComplexIntervalCot, Cot, IntervalCot, [](Std z) { return 1.0 / std::tan(z); }, kTangent, false},
    {"sec", ComplexSec, ComplexIntervalSec, Sec, IntervalSec, [](Std z) { return 1.0 / std::cos(z); }, kFewUlps, false},
    {"csc", ComplexCsc, ComplexIntervalCsc, Csc, IntervalCsc, [](Std z) { return 1.0 / std::sin(z); }, kFewUlps, false},
    {"asin", ComplexAsin, ComplexIntervalAsin, [](double x) { return std::asin(x); }, IntervalAsin, [](Std z) { return std::asin(z); }, kFewUlps, true},
    {"acos", ComplexAcos, ComplexIntervalAcos, [](double x) { return std::acos(x); }, IntervalAcos, [](Std z) { return std::acos(z); }, kFewUlps, true},
    {"atan", ComplexAtan, ComplexIntervalAtan, [](double x) { return std::atan(x); }, IntervalAtan, [](Std z) { return std::atan(z); }, kFewUlps, false},
    {"acot", ComplexAcot, ComplexIntervalAcot, [](double x) { return std::atan(1.0 / x); }, IntervalAcot, [](Std z) { return std::atan(1.0 / z); }, kFewUlps, false},
    {"asec", ComplexAsec, ComplexIntervalAsec, Arcsec, IntervalAsec, [](Std z) { return std::acos(1.0 / z); }, kThroughLn, false},
    {"acsc", ComplexAcsc, ComplexIntervalAcsc, Arccsc, IntervalAcsc, [](Std z) { return std::asin(1.0 / z); }, kThroughLn, false},
    {"sinh", ComplexSinh, ComplexIntervalSinh, [](double x) { return std::sinh(x); }, IntervalSinh, [](Std z) { return std::sinh(z); }, kFewUlps, true},
    {"cosh", ComplexCosh, ComplexIntervalCosh, [](double x) { return std::cosh(x); }, IntervalCosh, [](Std z) { return std::cosh(z); }, kFewUlps, true},
    {"tanh", ComplexTanh, ComplexIntervalTanh, [](double x) { return std::tanh(x); }, IntervalTanh, [](Std z) { return std::tanh(z); }, kTangent, false},
    {"coth", ComplexCoth, ComplexIntervalCoth, Coth, IntervalCoth, [](Std z) { return 1.0 / std::tanh(z); }, kTangent, false},
    {"sech", ComplexSech, ComplexIntervalSech, Sech, IntervalSech, [](Std z) { return 1.0 / std::cosh(z); }, kFewUlps, false},
    {"csch", ComplexCsch, ComplexIntervalCsch, Csch, IntervalCsch, [](Std z) { return 1.0 / std::sinh(z); }, kFewUlps, false},
    {"asinh", ComplexAsinh, ComplexIntervalAsinh, [](double x) { return std::asinh(x); }, IntervalAsinh, [](Std z) { return std::asinh(z); }, kFewUlps, true},
    {"acosh", ComplexAcosh, ComplexIntervalAcosh, [](double x) { return std::acosh(x); }, IntervalAcosh, [](Std z) { return std::acosh(z); }, kFewUlps, true},
    {"atanh", ComplexAtanh, ComplexIntervalAtanh, [](double x) { return std::atanh(x); }, IntervalAtanh, [](Std z) { return std::atanh(z); }, kFewUlps, false},
    {"acoth", ComplexAcoth, ComplexIntervalAcoth, Arccoth, IntervalAcoth, [](Std z) { return std::atanh(1.0 / z); }, kThroughLn, false},
    {"asech", ComplexAsech, ComplexIntervalAsech, Arcsech, IntervalAsech, [](Std z) { return std::acosh(1.0 / z); }, kThroughLn, false},
    {"acsch", ComplexAcsch, ComplexIntervalAcsch, Arccsch, IntervalAcsch, [](Std z) { return std::asinh(1.0 / z); }, kThroughLn, false},
};

// Checks results against the point values of their operands, allowing relative |v| + absolute
// for the rounding of the bounds. At most five failures are reported per operation, and their
// descriptions are built only then, so the sweeps stay quick.
struct ContainmentChecker {
  const char* name;
  double relative = 1e-15;  // about 4.5 ulps
  double absolute = 0.0;
  int failures = 0;
  int defined = 0;              // values checked against a defined result
  bool pointUndefined = false;  // some point of the current operands has no value
  int points = 0;               // points of the current operands

  void Start() {
    pointUndefined = false;
    points = 0;
  }

  bool Encloses(const Interval& r, double v, double scale) const {
    const double s = relative * scale + absolute + 1e-300;
    return IntervalIsWrapped(r) ? (v >= r.lo - s || v <= r.hi + s) : (r.lo - s <= v && v <= r.hi + s);
  }

  template <typename Describe>
  void Fail(Describe describe, const std::string& what) {
    if (++failures <= 5) ADD_FAILURE() << name << " " << describe() << what;
  }

  template <typename Describe>
  void Expect(const Interval& r, double v, Describe describe) {
    ++points;
    if (std::isnan(v)) pointUndefined = true;
    if (!std::isfinite(v) || IntervalIsUndefined(r)) return;
    ++defined;
    if (!Encloses(r, v, std::fabs(v))) Fail(describe, ": value outside " + Fmt(v) + " " + Show(r));
  }

  // A rectangle's parts are formulas of both parts of the operands, so their rounding scales
  // with the largest magnitude in play, which a small part of the value does not show.
  template <typename Describe>
  void Expect(const ComplexInterval& r, const Complex& v, Describe describe) {
    ++points;
    if (!std::isfinite(v.re) || !std::isfinite(v.im) || ComplexIntervalIsUndefined(r)) return;
    ++defined;
    double scale = std::max(std::fabs(v.re), std::fabs(v.im));
    for (double b : {r.re.lo, r.re.hi, r.im.lo, r.im.hi}) {
      if (std::isfinite(b)) scale = std::max(scale, std::fabs(b));
    }
    if (!Encloses(r.re, v.re, scale) || !Encloses(r.im, v.im, scale)) Fail(describe, ": value outside " + Show(v) + " " + Show(r));
  }

  // After the points of one operand set: undefined only where a point is, or a rule allows it.
  template <typename Describe>
  void ExpectEarnedUndefined(const Interval& r, bool ruleRefuses, Describe describe) {
    if (IntervalIsUndefined(r) && points > 0 && !pointUndefined && !ruleRefuses) {
      Fail(describe, ": undefined although every sampled point has a value");
    }
  }
};

// Rectangles whose functions may not overflow anywhere, where a total function has a value.
inline bool Moderate(const ComplexInterval& z) {
  const auto within = [](const Interval& a) { return !IntervalIsWrapped(a) && std::fabs(a.lo) <= 700 && std::fabs(a.hi) <= 700; };
  return within(z.re) && within(z.im);
}

// Random operands for the containment sweeps: ordinary boxes of every width (degenerate, at
// poles, +-1, 0 of either sign, +-infinity), wrapped ones, and rectangles of two boxes.
class BoxSampler {
 public:
  explicit BoxSampler(uint64_t seed) : rng_(seed) {}

  double Uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng_); }
  size_t Index(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
  bool Chance(double p) { return Uniform(0, 1) < p; }

  // Edges of domains, poles, turning points (of x!, J0, J_5) and overflow thresholds, or a
  // random magnitude.
  double Value() {
    static const double kAnchors[] = {0.0, -0.0, 1, -1, 0.5, -0.5, 2, -2, 3, -3, kPi / 2, -kPi / 2, kPi,
                                      -kPi, 2 * kPi, 4.71238898038469, 0.46163214496836234, -1.5, -2.5,
                                      -1.5040830082644554, 3.8317059702075123, 1e-300, 1e-8, 10, -10,
                                      100, 710, -710, 1e10, -1e10, 1e15, kPositiveInfinity, -kPositiveInfinity};
    if (Chance(0.55)) return kAnchors[Index(std::size(kAnchors))];
    return (Chance(0.5) ? 1 : -1) * std::pow(10.0, Uniform(-3, 3));
  }

  // Ordinary boxes of every width and wrapped ones, about one in five.
  Interval Box(bool ordinaryOnly = false) {
    const size_t kind = Index(10);
    if (kind == 0) return Degenerate(Value());
    if (kind <= 6 || ordinaryOnly) {
      static const double kWidths[] = {1e-9, 1e-3, 0.1, 0.5, 1, 2, 5, 50, 1e6, kPositiveInfinity};
      const double a = Value(), w = kWidths[Index(std::size(kWidths))];
      if (std::isinf(a)) return a > 0 ? Interval{Value(), kPositiveInfinity} : Interval{-kPositiveInfinity, Value()};
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

  // Rectangles of two such boxes, half of them exactly real (with either zero); finite bounds
  // stay within 1000, where the rounding of the bounds stays below the checker's slack.
  ComplexInterval Rectangle() {
    const size_t kind = Index(4);
    return {Part(), kind == 0 ? Interval{0.0, 0.0} : kind == 1 ? Interval{-0.0, -0.0} : Part()};
  }

  // Points of a rectangle: its parts' first points paired (corners, and the real axis with
  // either zero when the rectangle reaches it), then random pairs.
  void Points(const ComplexInterval& z, int count, std::vector<Complex>& points) {
    Points(z.re, count, re_);
    Points(z.im, count, im_);
    points.clear();
    for (size_t i = 0; i < std::min<size_t>(re_.size(), 4); ++i) {
      for (size_t j = 0; j < std::min<size_t>(im_.size(), 4); ++j) points.push_back({re_[i], im_[j]});
    }
    if (re_.empty() || im_.empty()) return;
    for (int k = 0; k < count; ++k) points.push_back({re_[Index(re_.size())], im_[Index(im_.size())]});
  }

  // Points of the set the box stands for: its finite bounds (a zero bound approached from
  // inside: +0 at the low end, -0 at the high end), both zeros when 0 lies inside or the box is
  // [0, 0], and random points of each half of a wrapped box.
  void Points(const Interval& box, int count, std::vector<double>& points) {
    points.clear();
    if (std::isfinite(box.lo)) points.push_back(box.lo == 0.0 ? 0.0 : box.lo);
    if (std::isfinite(box.hi)) points.push_back(box.hi == 0.0 ? -0.0 : box.hi);
    if (Holds(box, 0.0) && box.lo != 0.0 && box.hi != 0.0) {
      points.push_back(0.0);
      points.push_back(-0.0);
    }
    // An unbounded side reaches well past its finite end (and past 0) for sure.
    const bool wrapped = IntervalIsWrapped(box);
    if (std::isfinite(box.hi) && (wrapped || box.lo == -kPositiveInfinity)) points.push_back(box.hi - 10 * (1 + std::fabs(box.hi)));
    if (std::isfinite(box.lo) && (wrapped || box.hi == kPositiveInfinity)) points.push_back(box.lo + 10 * (1 + std::fabs(box.lo)));
    for (int i = 0; i < count; ++i) {
      Interval part = box;
      if (wrapped) part = i % 2 == 0 ? Interval{box.lo, kPositiveInfinity} : Interval{-kPositiveInfinity, box.hi};
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
    const double u = Uniform(0, 1);
    const double v = std::isinf(b.lo) && std::isinf(b.hi) ? (Chance(0.5) ? spread : -spread)
                     : std::isinf(b.lo)                   ? b.hi - spread
                     : std::isinf(b.hi)                   ? b.lo + spread
                                                          : b.lo * (1 - u) + b.hi * u;
    return std::min(std::max(v, b.lo), b.hi);
  }

  static Interval Degenerate(double v) { return {v, v}; }
  static bool Small(double v) { return std::fabs(v) <= 1e3 || std::isinf(v); }

  Interval Part() {
    for (;;) {
      const Interval b = Box();
      if (Small(b.lo) && Small(b.hi)) return b;
    }
  }

  std::mt19937_64 rng_;
  std::vector<double> re_, im_;
};

}  // namespace interval_test
