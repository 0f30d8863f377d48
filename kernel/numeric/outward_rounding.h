// Directed rounding of interval bounds without touching the FPU's rounding mode: a bound computed
// in round-to-nearest moves outward by whole representable steps, as integer steps on its bits,
// branch-free where exactness varies from box to box. Invariant: the true value never lies beyond
// a bound; exact results stay put; an overflowing lower bound becomes the largest double.
// QV_INTERVAL_ROUND_TO_NEAREST (defined only by the benchmark's comparison build) turns steps off.
#pragma once

#include <bit>
#include <cstdint>
#include <limits>

#include "kernel/numeric/numeric_constants.h"

inline constexpr double kLargestDouble = std::numeric_limits<double>::max();
inline constexpr uint64_t kFractionBits = (uint64_t{1} << 52) - 1;

// A finite double of magnitude at least the smallest normal one: its neighbours are one integer
// step away on its bits, and a product or quotient there rounded once (no underflow).
constexpr bool IsNormalDouble(double x) { return ((std::bit_cast<uint64_t>(x) >> 52) & 0x7FF) - 1 < 0x7FE; }

// x stepped one double towards -infinity when `step` is 1 (x normal, or +infinity, whose step is
// to the largest double); x itself when 0. Pure integer arithmetic on the bits, so no branch.
constexpr double StepBelowIf(double x, uint64_t step) {
#ifdef QV_INTERVAL_ROUND_TO_NEAREST
  static_cast<void>(step);
  return x;
#else
  const uint64_t bits = std::bit_cast<uint64_t>(x);
  const uint64_t down = (bits >> 63) * 2 - 1;  // -1 (mod 2^64) on a positive x's bits, +1 on a negative's
  return std::bit_cast<double>(bits + (down & (0 - step)));
#endif
}

// The next double above x: +0 and -0 step to the smallest subnormal, -infinity to -largest;
// +infinity and NaN stay.
constexpr double NextAbove(double x) {
#ifdef QV_INTERVAL_ROUND_TO_NEAREST
  return x;
#else
  if (!(x < kPositiveInfinity)) return x;
  if (x == 0.0) return std::numeric_limits<double>::denorm_min();
  const uint64_t bits = std::bit_cast<uint64_t>(x);
  return std::bit_cast<double>(x > 0.0 ? bits + 1 : bits - 1);  // a negative one shrinks
#endif
}

constexpr double NextBelow(double x) { return -NextAbove(-x); }

// Lower bound of s = a + b: one step down, unless s is 0 (a zero sum is exact) or -infinity;
// +infinity (an overflow) becomes the largest double. An exact nonzero sum steps too, a one-ulp
// loss that keeps the step a few integer operations on s alone.
constexpr double SumBelow(double s) {
  const uint64_t bits = std::bit_cast<uint64_t>(s);
  return StepBelowIf(s, ((bits << 1) != 0) & (bits != std::bit_cast<uint64_t>(-kPositiveInfinity)));
}
constexpr double SumAbove(double s) { return -SumBelow(-s); }

// The same, exact wherever the sum is: Knuth's TwoSum error tells whether s lies above the true
// sum (a NaN error, from an infinity, steps). For sums that must stay exact, such as counters.
constexpr double ExactSumBelow(double s, double a, double b) {
  const double bb = s - a;
  const uint64_t error = std::bit_cast<uint64_t>((a - (s - bb)) + (b - bb));
  const uint64_t below = (error >> 63) | ((error << 1) > (uint64_t{0x7FF} << 53));  // < 0 or NaN
  return StepBelowIf(s, below & (std::bit_cast<uint64_t>(s) != std::bit_cast<uint64_t>(-kPositiveInfinity)));
}
constexpr double ExactSumAbove(double s, double a, double b) { return -ExactSumBelow(-s, -a, -b); }

// Bounds of p = a * b (the caller makes 0 times anything exactly 0): exact with a zero factor
// or, with p normal, a power-of-two one. A zero, subnormal or infinite p steps the slow way.
constexpr bool FactorsMultiplyExactly(double a, double b) {
  return (std::bit_cast<uint64_t>(a) & kFractionBits) == 0 || (std::bit_cast<uint64_t>(b) & kFractionBits) == 0;
}
constexpr double ProductBelow(double p, double a, double b) {
  if (!IsNormalDouble(p)) [[unlikely]] return a == 0.0 || b == 0.0 ? p : NextBelow(p);
  return StepBelowIf(p, !FactorsMultiplyExactly(a, b));
}
constexpr double ProductAbove(double p, double a, double b) { return -ProductBelow(-p, a, b); }

// Bounds of q = 1 / x for x != 0: exact when x is a power of two (or infinite) and q finite.
constexpr double ReciprocalBelow(double q, double x) {
  const bool powerOfTwo = (std::bit_cast<uint64_t>(x) & kFractionBits) == 0;
  if (!IsNormalDouble(q)) [[unlikely]] return powerOfTwo && q - q == 0.0 ? q : NextBelow(q);
  return StepBelowIf(q, !powerOfTwo);
}
constexpr double ReciprocalAbove(double q, double x) { return -ReciprocalBelow(-q, x); }

// A library function's value v, moved outward by the library's error bound (2 ulps) unless the
// caller knows it exact. An infinite lower bound from finite arguments is an overflow: the true
// value lies beyond the largest double, which is therefore the bound (and the mirror above).
constexpr double LibraryBelow(double v, bool exact = false) {
  if (exact) return v;
  if (v == kPositiveInfinity) return kLargestDouble;
  return NextBelow(NextBelow(v));
}
constexpr double LibraryAbove(double v, bool exact = false) { return -LibraryBelow(-v, exact); }

// pi lies between kPi and kPiAbove; so do its exact scalings (pi / 2, 2 pi) between theirs.
inline constexpr double kPiAbove = 3.1415926535897936;
static_assert(kPiAbove == std::bit_cast<double>(std::bit_cast<uint64_t>(kPi) + 1), "kPi is pi rounded down");
