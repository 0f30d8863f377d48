// The interval value: two doubles with the wrapped, undefined and truth-value readings the
// interval arithmetic gives them, and the thread's partial-domain register; kept apart from the
// operations so that the inline fast paths (interval_core.h) need not include them.
#pragma once

#include <cmath>

#include "kernel/numeric/numeric_constants.h"

struct Interval {
  double lo;
  double hi;
};

inline constexpr Interval kUndefinedInterval{kUndefinedReal, kUndefinedReal};
inline constexpr Interval kWholeLine{-kPositiveInfinity, kPositiveInfinity};
inline constexpr Interval kTruthFalse{0.0, 0.0};
inline constexpr Interval kTruthTrue{1.0, 1.0};
inline constexpr Interval kTruthUndecided{0.0, 1.0};

inline bool IntervalIsUndefined(const Interval& a) { return std::isnan(a.lo) || std::isnan(a.hi); }
inline bool IntervalIsWrapped(const Interval& a) { return a.lo > a.hi; }
inline bool IntervalIsExactly(const Interval& a, double lo, double hi) { return a.lo == lo && a.hi == hi; }
// v lies in a (a wrapped a holds x >= lo and x <= hi); never in an undefined a.
inline bool IntervalHolds(const Interval& a, double v) {
  return IntervalIsWrapped(a) ? (a.lo <= v || v <= a.hi) : (a.lo <= v && v <= a.hi);
}

// Partial domains: an operand partly outside a function's domain gives the range over the part
// inside, and the operation notes it in this thread's register, so that a machine run can tell
// that some point of its box has no value (its comparisons are then never decided true). Inline:
// the block machines read it after every operation at every box.
struct IntervalRunState {
  bool partialDomain;
};
extern constinit thread_local IntervalRunState gIntervalRunState;
inline void IntervalMarkPartialDomain() { gIntervalRunState.partialDomain = true; }
inline bool IntervalPartialDomainSeen() { return gIntervalRunState.partialDomain; }
inline void IntervalResetPartialDomain() { gIntervalRunState = IntervalRunState{}; }  // each run, and tests
