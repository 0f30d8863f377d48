// Complex-interval arithmetic: a rectangle in the complex plane, each operation mapping
// rectangles to rectangles that contain the image of every point (bounds rounded outward), by
// writing the complex formulas with the interval operations. Undefined is four NaN bounds; any NaN bound in a
// result makes all four NaN. A value is real-valued when its imaginary part is exactly [0, 0]; a
// real rectangle inside a function's real domain gives the real interval operation's result.
#pragma once

#include "kernel/numeric/interval.h"

// Layout re.lo, re.hi, im.lo, im.hi: copied as one block of four doubles.
struct ComplexInterval {
  Interval re;
  Interval im;
};

inline constexpr ComplexInterval kUndefinedComplexInterval{kUndefinedInterval, kUndefinedInterval};

inline bool ComplexIntervalIsUndefined(const ComplexInterval& z) {
  return IntervalIsUndefined(z.re) || IntervalIsUndefined(z.im);
}
inline bool ComplexIntervalIsReal(const ComplexInterval& z) { return z.im.lo == 0.0 && z.im.hi == 0.0; }

void CopyFourDoubles(ComplexInterval& dst, const ComplexInterval& src);

// Calling convention: the result is written to `out` last, so `out` may be an operand.
// Two-operand operations take (a, b) with a the lower stack value, except atan2 (y first) and
// the Bessel function (order first).

void ComplexIntervalAdd(ComplexInterval& out, const ComplexInterval& a, const ComplexInterval& b);
void ComplexIntervalNegate(ComplexInterval& out, const ComplexInterval& a);
void ComplexIntervalMultiply(ComplexInterval& out, const ComplexInterval& a, const ComplexInterval& b);
void ComplexIntervalDivide(ComplexInterval& out, const ComplexInterval& a, const ComplexInterval& b);
void ComplexIntervalSquare(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalAbs(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalArg(ComplexInterval& out, const ComplexInterval& z);  // within [-pi, pi]
void ComplexIntervalExp(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalLn(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalLog10(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalSqrt(ComplexInterval& out, const ComplexInterval& z);
// exp(w ln z); a real z with a degenerate whole real w, or a positive real z with a real w, gives
// the real power with [0, 0] as imaginary part, and z = exactly 0 with a real w gives 0, 1 or
// +inf as the point power does.
void ComplexIntervalPower(ComplexInterval& out, const ComplexInterval& z, const ComplexInterval& w);

void ComplexIntervalSin(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalCos(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalTan(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalCot(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalSec(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalCsc(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalAsin(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalAcos(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalAtan(ComplexInterval& out, const ComplexInterval& z);
// atan(1 / z), as at a point: pi below the real inverse cotangent on the negative reals.
void ComplexIntervalAcot(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalAsec(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalAcsc(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalSinh(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalCosh(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalTanh(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalCoth(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalSech(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalCsch(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalAsinh(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalAcosh(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalAtanh(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalAcoth(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalAsech(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalAcsch(ComplexInterval& out, const ComplexInterval& z);

// Real-only operations: the interval operation on the real parts with [0, 0] as imaginary part
// when every operand's imaginary part holds 0 (its real points have values; a rectangle that is
// not exactly real notes a partial domain); otherwise undefined.
void ComplexIntervalAtan2(ComplexInterval& out, const ComplexInterval& y, const ComplexInterval& x);
void ComplexIntervalHypot(ComplexInterval& out, const ComplexInterval& a, const ComplexInterval& b);
void ComplexIntervalMin(ComplexInterval& out, const ComplexInterval& a, const ComplexInterval& b);
void ComplexIntervalMax(ComplexInterval& out, const ComplexInterval& a, const ComplexInterval& b);
void ComplexIntervalMod(ComplexInterval& out, const ComplexInterval& a, const ComplexInterval& b);
void ComplexIntervalBesselJ(ComplexInterval& out, const ComplexInterval& n, const ComplexInterval& x);
void ComplexIntervalSign(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalFloor(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalCeil(ComplexInterval& out, const ComplexInterval& z);
void ComplexIntervalFactorial(ComplexInterval& out, const ComplexInterval& z);

// Comparisons of the real parts, giving a truth interval with [0, 0] as imaginary part. At a
// point the comparison holds only where both imaginary parts are exactly 0, so: both exactly
// [0, 0] compares the real parts; both containing 0 (e.g. (x+i)(x-i) over a box) is undecided
// [0, 1] unless the real parts already compare false; an imaginary part without 0 is false.
void ComplexIntervalLess(ComplexInterval& out, const ComplexInterval& a, const ComplexInterval& b);
void ComplexIntervalGreater(ComplexInterval& out, const ComplexInterval& a, const ComplexInterval& b);
void ComplexIntervalLessEqual(ComplexInterval& out, const ComplexInterval& a, const ComplexInterval& b);
void ComplexIntervalGreaterEqual(ComplexInterval& out, const ComplexInterval& a, const ComplexInterval& b);
void ComplexIntervalEqual(ComplexInterval& out, const ComplexInterval& a, const ComplexInterval& b);
