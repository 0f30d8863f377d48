// Shared helpers of the interval, complex and complex-interval tests: calling an operation for
// its result, exact comparison of intervals and rectangles that treats every undefined value
// alike, set membership of a possibly wrapped interval, round-trip number text for messages, and
// the checker of the containment sweeps.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "kernel/numeric/complex.h"
#include "kernel/numeric/complex_interval.h"
#include "kernel/numeric/interval.h"
#include "kernel/numeric/value_of.h"

namespace interval_test {

inline std::string Fmt(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

inline std::string Show(const Interval& a) { return "[" + Fmt(a.lo) + ", " + Fmt(a.hi) + "]"; }
inline std::string Show(const Complex& z) { return "(" + Fmt(z.re) + ", " + Fmt(z.im) + ")"; }
inline std::string Show(const ComplexInterval& z) { return "(" + Show(z.re) + ", " + Show(z.im) + ")"; }

// The result of an operation written to an out record: the library's ValueOf, by the tests' name.
template <typename R, typename... A>
R Call(void (*f)(R&, const A&...), const A&... a) {
  return ValueOf(f, a...);
}

// x in the set r stands for: lo <= x <= hi, or x >= lo or x <= hi when r is wrapped.
inline bool Holds(const Interval& r, double v) {
  return IntervalIsWrapped(r) ? (v >= r.lo || v <= r.hi) : (r.lo <= v && v <= r.hi);
}

// Equal bound for bound (so 0 == -0), or undefined both; a NaN in any place counts as undefined.
inline bool SameValue(const Interval& got, const Interval& want) {
  if (IntervalIsUndefined(got) || IntervalIsUndefined(want)) {
    return IntervalIsUndefined(got) && IntervalIsUndefined(want);
  }
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
  void Fail(Describe describe, const char* what, const std::string& detail) {
    if (++failures <= 5) ADD_FAILURE() << name << " " << describe() << what << detail;
  }

  template <typename Describe>
  void Expect(const Interval& r, double v, Describe describe) {
    ++points;
    if (std::isnan(v)) pointUndefined = true;
    if (!std::isfinite(v) || IntervalIsUndefined(r)) return;
    ++defined;
    if (!Encloses(r, v)) Fail(describe, ": value outside ", Fmt(v) + " " + Show(r));
  }

  template <typename Describe>
  void Expect(const ComplexInterval& r, const Complex& v, Describe describe) {
    ++points;
    if (!std::isfinite(v.re) || !std::isfinite(v.im) || ComplexIntervalIsUndefined(r)) return;
    ++defined;
    if (!Encloses(r.re, v.re) || !Encloses(r.im, v.im)) {
      Fail(describe, ": value outside ", "(" + Fmt(v.re) + ", " + Fmt(v.im) + ") " + Show(r));
    }
  }

  // After the points of one operand set: undefined only where a point is, or a rule allows it.
  template <typename Describe>
  void ExpectEarnedUndefined(const Interval& r, bool ruleRefuses, Describe describe) {
    if (IntervalIsUndefined(r) && points > 0 && !pointUndefined && !ruleRefuses) {
      Fail(describe, ": undefined although every sampled point has a value", "");
    }
  }

  // Operations built from total ones have a value on every bounded rectangle.
  template <typename Describe>
  void ExpectDefined(const ComplexInterval& r, Describe describe) {
    if (ComplexIntervalIsUndefined(r)) Fail(describe, ": undefined on a bounded rectangle", "");
  }
};

}  // namespace interval_test
