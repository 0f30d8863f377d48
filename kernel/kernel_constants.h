// Process-wide numeric constants (NaN, +infinity, pi) and the kernel's half of the one-time typesetting start-up, which creates the node pools.
// The constants are constant-initialised, so they hold before any start-up code runs; graph code
// compares with kPositiveInfinity exactly and tests NaN by self-comparison.
#pragma once

#include <limits>

inline constexpr double kUndefinedReal = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kPositiveInfinity = std::numeric_limits<double>::infinity();
inline constexpr double kPi = 3.141592653589793;
// The undefined values of the other kinds (kUndefinedComplex, kUndefinedInterval,
// kUndefinedComplexInterval) are built from kUndefinedReal in their own headers.

// The kernel's share of InitTypesetting: creates the node pools. Runs once; returns true only on
// the call that did the work. The editor's InitTypesetting calls it beside its font set-up.
bool InitTypesettingKernel();

// Test seam: lets InitTypesettingKernel run again (after DestroyNodePools).
void ResetTypesettingKernelForTest();
