// The interval sum and product in their common case, inline for the machines' loops, and the
// bound-stepping pieces they and interval.cpp share. Invariant: interval.cpp's IntervalAdd and
// IntervalMultiplyOrdinary take these same paths first, so a machine that calls these directly
// gets their results bit for bit.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "kernel/numeric/interval_value.h"
#include "kernel/numeric/outward_rounding.h"

namespace interval_core {

// One 16-byte store where the machine has one: the caller reads the result back as one 16-byte
// value, which two 8-byte stores cannot forward to (a stall of a dozen cycles at every operation).
inline void Set(Interval& out, double lo, double hi) {
#if defined(__SSE2__)
  _mm_storeu_pd(&out.lo, _mm_set_pd(hi, lo));
#else
  out.lo = lo;
  out.hi = hi;
#endif
}

#if defined(__SSE2__) && !defined(QV_INTERVAL_ROUND_TO_NEAREST)
// v = [lo, hi] with lo moved down and hi up by the step counts in `steps` (0, 1 or 2 a lane);
// `signs` has each bound's sign bit (a caller that knows it before the bound, from a product's
// factors, shortens the wait). One vector step for both bounds: the machine waits on this
// result, and a scalar step on each bound costs twice as long. On the bits, down by k is +k
// below 0 and -k above, up the reverse: (k ^ m) - m with m all ones where the step is -k.
[[gnu::always_inline]] inline __m128d StepOutward(__m128d v, __m128i steps, __m128i signs) {
  const __m128i negative = _mm_shuffle_epi32(_mm_srai_epi32(signs, 31), 0xF5);
  const __m128i m = _mm_xor_si128(negative, _mm_set_epi64x(0, -1));
  return _mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(v), _mm_sub_epi64(_mm_xor_si128(steps, m), m)));
}
#endif

// out = [lo, hi] with lo moved stepsLo doubles down and hi stepsHi up (0, 1 or 2), each bound
// normal and below 2^1023 in magnitude where it moves two; negativeLo and negativeHi carry the
// sign bits of the bounds.
[[gnu::always_inline]] inline void SetStepped(Interval& out, double lo, double hi, uint64_t stepsLo, uint64_t stepsHi,
                       uint64_t negativeLo, uint64_t negativeHi) {
#if defined(__SSE2__) && !defined(QV_INTERVAL_ROUND_TO_NEAREST)
  const __m128i steps = _mm_set_epi64x(static_cast<int64_t>(stepsHi), static_cast<int64_t>(stepsLo));
  const __m128i signs = _mm_set_epi64x(static_cast<int64_t>(negativeHi), static_cast<int64_t>(negativeLo));
  _mm_storeu_pd(&out.lo, StepOutward(_mm_set_pd(hi, lo), steps, signs));
#else
  static_cast<void>(negativeLo);
  static_cast<void>(negativeHi);
  const auto down = [](double x, uint64_t k) { return StepBelowIf(StepBelowIf(x, k > 0), k > 1); };
  Set(out, down(lo, stepsLo), -down(-hi, stepsHi));
#endif
}

inline void SetStepped(Interval& out, double lo, double hi, uint64_t stepsLo, uint64_t stepsHi) {
  SetStepped(out, lo, hi, stepsLo, stepsHi, std::bit_cast<uint64_t>(lo), std::bit_cast<uint64_t>(hi));
}

#if defined(__SSE2__)
// All ones in the lanes of v that hold normal doubles (zeros, subnormals, infinities and NaN do not).
[[gnu::always_inline]] inline __m128d NormalLanes(__m128d v) {
  const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), v);
  return _mm_and_pd(_mm_cmpge_pd(magnitude, _mm_set1_pd(std::numeric_limits<double>::min())),
                    _mm_cmple_pd(magnitude, _mm_set1_pd(kLargestDouble)));
}

// All ones in the lanes of v whose bits past the exponent are all 0: powers of two (and 0 and
// the infinities), by which products are exact.
[[gnu::always_inline]] inline __m128i PowerOfTwoLanes(__m128d v) {
  const __m128i zero = _mm_cmpeq_epi32(_mm_slli_epi64(_mm_castpd_si128(v), 12), _mm_setzero_si128());
  return _mm_and_si128(zero, _mm_shuffle_epi32(zero, 0xB1));  // both halves of a lane zero
}
#endif

// Both bounds normal doubles (zeros, subnormals, infinities and NaN are not), tested at once.
[[gnu::always_inline]] inline bool BothNormal(double lo, double hi) {
#if defined(__SSE2__)
  return _mm_movemask_pd(NormalLanes(_mm_set_pd(hi, lo))) == 3;
#else
  return IsNormalDouble(lo) && IsNormalDouble(hi);
#endif
}

// x has a zero fraction: a power of two (or 0, or infinite), by which products are exact.
inline uint64_t HasFraction(double x) { return (std::bit_cast<uint64_t>(x) << 12) != 0; }

// a + b whose two bound sums are normal: each steps outward, except where an addend is 0 (the
// imaginary part of a real value, a box from 0): that bound is exact.
[[gnu::always_inline]] inline void SetNormalSum(Interval& out, const Interval& a, const Interval& b) {
#if defined(__SSE2__) && !defined(QV_INTERVAL_ROUND_TO_NEAREST)
  const __m128d va = _mm_loadu_pd(&a.lo), vb = _mm_loadu_pd(&b.lo), zero = _mm_setzero_pd();
  const __m128d sum = _mm_add_pd(va, vb);
  const __m128d nonzeroAddends = _mm_and_pd(_mm_cmpneq_pd(va, zero), _mm_cmpneq_pd(vb, zero));
  const __m128i steps = _mm_and_si128(_mm_castpd_si128(nonzeroAddends), _mm_set1_epi64x(1));
  _mm_storeu_pd(&out.lo, StepOutward(sum, steps, _mm_castpd_si128(sum)));
#else
  SetStepped(out, a.lo + b.lo, a.hi + b.hi, (a.lo != 0.0) & (b.lo != 0.0), (a.hi != 0.0) & (b.hi != 0.0));
#endif
}

// x * y with 0 times anything 0: the product of 0 with each finite value an unbounded side holds.
inline double Times(double x, double y) { return x == 0.0 || y == 0.0 ? 0.0 : x * y; }

// out = [xl yl, xh yh] rounded outward: normal products in one vector step, unless a factor is
// a power of two (exact); their signs come from the factors, ahead of the products. Zeros (0
// times infinity included), subnormals and infinities go apart.
[[gnu::always_inline]] inline void SetProduct(Interval& out, double xl, double yl, double xh, double yh) {
#if defined(__SSE2__) && !defined(QV_INTERVAL_ROUND_TO_NEAREST)
  const __m128d x = _mm_set_pd(xh, xl), y = _mm_set_pd(yh, yl), p = _mm_mul_pd(x, y);
  if (_mm_movemask_pd(NormalLanes(p)) == 3) {
    const __m128i steps = _mm_andnot_si128(_mm_or_si128(PowerOfTwoLanes(x), PowerOfTwoLanes(y)), _mm_set1_epi64x(1));
    _mm_storeu_pd(&out.lo, StepOutward(p, steps, _mm_castpd_si128(_mm_xor_pd(x, y))));
    return;
  }
#endif
  Set(out, ProductBelow(Times(xl, yl), xl, yl), ProductAbove(Times(xh, yh), xh, yh));
}

}  // namespace interval_core

// |x| over an ordinary, defined interval: [0, far] when it holds 0, else [near, far].
inline Interval IntervalAbsOfOrdinary(const Interval& a) {
  const double l = std::fabs(a.lo), h = std::fabs(a.hi);
  return {a.lo <= 0.0 && 0.0 <= a.hi ? 0.0 : std::min(l, h), std::max(l, h)};
}

// IntervalSquare for an operand the caller knows ordinary and defined.
inline void IntervalSquareOfOrdinary(Interval& out, const Interval& a) {
  const Interval m = IntervalAbsOfOrdinary(a);
  interval_core::SetProduct(out, m.lo, m.lo, m.hi, m.hi);
}

// IntervalReciprocal of an interval whose reciprocal bounds are normal (so defined, without a
// zero or infinite bound): writes [1/hi, 1/lo], each bound exact where its divisor is a power of
// two and stepped outward otherwise, and answers true. One rule for both readings: an ordinary a
// holding 0 inside gives a wrapped result, a wrapped a an ordinary one. Otherwise writes nothing
// and answers false.
inline bool IntervalReciprocalQuick(Interval& out, const Interval& a) {
  const double lo = 1.0 / a.hi, hi = 1.0 / a.lo;
  if (!interval_core::BothNormal(lo, hi)) return false;
  interval_core::SetStepped(out, lo, hi, interval_core::HasFraction(a.hi), interval_core::HasFraction(a.lo),
                            std::bit_cast<uint64_t>(a.hi), std::bit_cast<uint64_t>(a.lo));
  return true;
}

// IntervalAdd where both operands are ordinary and defined, not both degenerate, and the bound
// sums normal: writes the sum and answers true. Otherwise writes nothing and answers false.
[[gnu::always_inline]] inline bool IntervalAddQuick(Interval& out, const Interval& a, const Interval& b) {
  if (!(a.lo <= a.hi && b.lo <= b.hi) || (a.lo == a.hi && b.lo == b.hi) ||
      !interval_core::BothNormal(a.lo + b.lo, a.hi + b.hi)) {
    return false;
  }
  interval_core::SetNormalSum(out, a, b);
  return true;
}

// IntervalMultiplyOrdinary for operands the caller knows ordinary and defined.
[[gnu::always_inline]] inline void IntervalMultiplyDefinedOrdinary(Interval& out, const Interval& a, const Interval& b) {
  using interval_core::SetProduct;
  // The signs of the operands (non-negative, non-positive, across 0) pick the corners of the
  // least and the greatest product; only across 0 on both sides are there two candidates.
  double xl, yl, xh, yh;
  if (a.lo >= 0.0 && b.lo >= 0.0) {
    xl = a.lo, yl = b.lo, xh = a.hi, yh = b.hi;
  } else if (a.lo >= 0.0) {
    xl = a.hi, yl = b.lo, xh = b.hi <= 0.0 ? a.lo : a.hi, yh = b.hi;
  } else if (a.hi <= 0.0 && b.hi <= 0.0) {
    xl = a.hi, yl = b.hi, xh = a.lo, yh = b.lo;
  } else if (a.hi <= 0.0) {
    xl = a.lo, yl = b.hi, xh = b.lo >= 0.0 ? a.hi : a.lo, yh = b.lo;
  } else if (b.lo >= 0.0) {
    xl = a.lo, yl = b.hi, xh = a.hi, yh = b.hi;
  } else if (b.hi <= 0.0) {
    xl = a.hi, yl = b.lo, xh = a.lo, yh = b.lo;
  } else {
    Interval p, q;
    SetProduct(p, a.lo, b.hi, a.lo, b.lo);
    SetProduct(q, a.hi, b.lo, a.hi, b.hi);
    interval_core::Set(out, std::min(p.lo, q.lo), std::max(p.hi, q.hi));
    return;
  }
  SetProduct(out, xl, yl, xh, yh);
}
