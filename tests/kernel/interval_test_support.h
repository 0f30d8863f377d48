// Shared helpers of the interval, complex and complex-interval tests: calling an operation for
// its result, exact comparison of intervals and rectangles that treats every undefined value
// alike, set membership of a possibly wrapped interval, and round-trip number text for messages.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "kernel/complex.h"
#include "kernel/complex_interval.h"
#include "kernel/interval.h"

namespace interval_test {

inline std::string Fmt(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

inline std::string Show(const Interval& a) { return "[" + Fmt(a.lo) + ", " + Fmt(a.hi) + "]"; }
inline std::string Show(const ComplexInterval& z) { return "(" + Show(z.re) + ", " + Show(z.im) + ")"; }

// The result of an operation written to an out record, for one or two operands.
template <typename R, typename A>
R Call(void (*f)(R&, const A&), const A& a) {
  R r;
  f(r, a);
  return r;
}

template <typename R, typename A>
R Call(void (*f)(R&, const A&, const A&), const A& a, const A& b) {
  R r;
  f(r, a, b);
  return r;
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

}  // namespace interval_test
