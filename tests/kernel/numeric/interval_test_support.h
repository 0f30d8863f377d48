// Shared helpers of the interval, complex and complex-interval tests: an operation called for its
// value, exact comparison that treats every undefined value alike, membership of a possibly
// wrapped interval, ulp distance, round-trip number text for messages, the one table of complex
// functions with their box, real and library forms, and the checker of the containment sweeps.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

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

template <typename R, typename... A>
R Call(void (*f)(R&, const A&...), const A&... a) {
  return ValueOf(f, a...);
}

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
  const bool undefinedBoth = ComplexIntervalIsUndefined(got) && ComplexIntervalIsUndefined(want);
  if (undefinedBoth || (!ComplexIntervalIsUndefined(got) && !ComplexIntervalIsUndefined(want) &&
                        SameValue(got.re, want.re) && SameValue(got.im, want.im))) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "got " << Show(got) << ", want " << Show(want);
}

// Distance in representable doubles (same-sign infinities are 0 apart, 0 and -0 too).
inline uint64_t UlpsApart(double a, double b) {
  if (a == b) return 0;
  const auto ordered = [](double v) {
    int64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits < 0 ? INT64_MIN - bits : bits;
  };
  const int64_t ia = ordered(a), ib = ordered(b);
  return ia > ib ? static_cast<uint64_t>(ia) - static_cast<uint64_t>(ib)
                 : static_cast<uint64_t>(ib) - static_cast<uint64_t>(ia);
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

  bool Encloses(const Interval& r, double v) const {
    const double s = relative * std::fabs(v) + absolute + 1e-300;
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
    if (!Encloses(r, v)) Fail(describe, ": value outside " + Fmt(v) + " " + Show(r));
  }

  template <typename Describe>
  void Expect(const ComplexInterval& r, const Complex& v, Describe describe) {
    ++points;
    if (!std::isfinite(v.re) || !std::isfinite(v.im) || ComplexIntervalIsUndefined(r)) return;
    ++defined;
    if (!Encloses(r.re, v.re) || !Encloses(r.im, v.im)) Fail(describe, ": value outside " + Show(v) + " " + Show(r));
  }

  // After the points of one operand set: undefined only where a point is, or a rule allows it.
  template <typename Describe>
  void ExpectEarnedUndefined(const Interval& r, bool ruleRefuses, Describe describe) {
    if (IntervalIsUndefined(r) && points > 0 && !pointUndefined && !ruleRefuses) {
      Fail(describe, ": undefined although every sampled point has a value");
    }
  }
};

}  // namespace interval_test
