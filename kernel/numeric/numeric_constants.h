// Process-wide numeric constants: NaN, +infinity, pi, e and the machine epsilon. They are
// constant-initialised, so they hold before any start-up code runs; graph code compares with
// kPositiveInfinity exactly and tests NaN by self-comparison.
#pragma once

#include <limits>

inline constexpr double kUndefinedReal = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kPositiveInfinity = std::numeric_limits<double>::infinity();
inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 2.0 * kPi;  // exact: a doubling
inline constexpr double kHalfPi = kPi / 2.0;  // exact: a halving
inline constexpr double kE = 2.718281828459045;
// The undefined values of the other kinds (kUndefinedComplex, kUndefinedInterval,
// kUndefinedComplexInterval) are built from kUndefinedReal in their own headers.

// 2^-52, the spacing of doubles at 1.0; the numeric helpers scale tolerances by it.
inline constexpr double kMachineEpsilon = 0x1p-52;

static_assert(kUndefinedReal != kUndefinedReal, "NaN must not equal itself");
static_assert(kPositiveInfinity > std::numeric_limits<double>::max());
