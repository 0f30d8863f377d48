// Interval arithmetic for evaluating a function over a whole box of arguments at once.
// Invariant of every operation: each finite value the real function takes at points of the
// operands lies inside the result, bounds rounded outward; undefined only when no point has one.
// lo > hi is a wrapped interval (x >= lo or x <= hi); a NaN bound means undefined; [0,0], [1,1]
// and [0,1] double as truth values false, true and undecided.
#pragma once

#include "kernel/numeric/interval_value.h"

// Calling convention of every operation below: the result is written to `out` last, so `out`
// may be one of the operands. Two-operand operations take (a, b) with a the lower stack value,
// except where a parameter name says otherwise (atan2 takes y first, the Bessel function the
// order first, the rational power (x, q, p) like the real RationalPower).

void IntervalAdd(Interval& out, const Interval& a, const Interval& b);
void IntervalNegate(Interval& out, const Interval& a);  // [-hi, -lo]; wrapped stays wrapped
void IntervalMultiply(Interval& out, const Interval& a, const Interval& b);
// Both operands ordinary. 0 times an infinite bound counts as 0, the product of 0 with every
// finite value the other operand holds: [0, 1] * [-inf, 2] = [-inf, 2], [0, 0] * [1, inf] = [0, 0].
void IntervalMultiplyOrdinary(Interval& out, const Interval& a, const Interval& b);
// [1/hi, 1/lo]; a zero upper bound gives -infinity and a zero lower bound +infinity whatever the
// sign of the zero, so 1/[0,2] = [0.5, +inf], 1/[-2,0] = [-inf, -0.5], 1/[-1,2] = wrapped [0.5,-1].
void IntervalReciprocal(Interval& out, const Interval& a);
// a * (1/b): [0,h]/[0,h] = [0,inf]; quotient by quotient where 1/b overflows (a subnormal b).
void IntervalDivide(Interval& out, const Interval& a, const Interval& b);
// a^e. A negative base has values only at whole exponents: a non-whole degenerate e takes the
// base's non-negative part; a range of exponents adds |a|^n of both signs for its whole n. An odd
// negative whole e is one-sided at the pole, as the reciprocal: [0, 0.5]^-1 = [2, +inf].
void IntervalPower(Interval& out, const Interval& a, const Interval& b);
void IntervalPowerOrdinary(Interval& out, const Interval& a, const Interval& e);
// x^(p/q) with q the top operand; odd reduced denominators give the real root of negative x,
// on both halves of a wrapped x too. p/q is enclosed, not rounded, unless it is exact. Where p or
// q varies, a negative x has such roots of either sign: |x|^(p/q) of both signs is added.
void IntervalRationalPower(Interval& out, const Interval& x, const Interval& q, const Interval& p);
// Smallest interval, possibly wrapped, holding both; a undefined gives undefined, b undefined a.
void IntervalHull(Interval& out, const Interval& a, const Interval& b);
// Four ordinary intervals: [min lo, max hi]; undefined when any bound is NaN.
void IntervalHull4(Interval& out, const Interval& a, const Interval& b, const Interval& c,
                   const Interval& d);

// Angle of the points (x, y) in [0, 2 pi].
void IntervalAtan2(Interval& out, const Interval& y, const Interval& x);
// atan2(y, x) in [-pi, pi]; a zero y counts as +0, so the negative real axis has angle +pi.
void IntervalAtan2Signed(Interval& out, const Interval& y, const Interval& x);
void IntervalHypot(Interval& out, const Interval& a, const Interval& b);

// [710, 712] gives [largest double, +inf]: an overflowing lower bound is the largest double.
void IntervalExp(Interval& out, const Interval& a);
// The functions with a domain (sqrt, ln, log10 from 0; asin, acos, atanh within [-1, 1]; acosh
// from 1; the reciprocal inverses through 1/x) range over the part of the operand inside it:
// sqrt [-1, 4] = [0, 2], ln [-1, e] = [-inf, 1], asin [0.5, 2] = [asin 0.5, pi/2].
void IntervalLn(Interval& out, const Interval& a);
void IntervalLog10(Interval& out, const Interval& a);
void IntervalSqrt(Interval& out, const Interval& a);

void IntervalSinCos(Interval& out, const Interval& a, bool sine);
void IntervalSin(Interval& out, const Interval& a);  // IntervalSinCos with the sine flag
void IntervalCos(Interval& out, const Interval& a);
// A pole inside gives the whole line; cot's pole at 0 as a bound is approached from inside, so
// one-sided: cot [0, 1] = [cot 1, +inf].
void IntervalTan(Interval& out, const Interval& a);
void IntervalCot(Interval& out, const Interval& a);
void IntervalSec(Interval& out, const Interval& a);
void IntervalCsc(Interval& out, const Interval& a);
void IntervalAsin(Interval& out, const Interval& a);
void IntervalAcos(Interval& out, const Interval& a);
void IntervalAtan(Interval& out, const Interval& a);
void IntervalAcot(Interval& out, const Interval& a);
void IntervalAsec(Interval& out, const Interval& a);
void IntervalAcsc(Interval& out, const Interval& a);
void IntervalSinh(Interval& out, const Interval& a);
void IntervalCosh(Interval& out, const Interval& a);
void IntervalTanh(Interval& out, const Interval& a);
void IntervalCoth(Interval& out, const Interval& a);
void IntervalSech(Interval& out, const Interval& a);
void IntervalCsch(Interval& out, const Interval& a);
void IntervalAsinh(Interval& out, const Interval& a);
void IntervalAcosh(Interval& out, const Interval& a);
void IntervalAtanh(Interval& out, const Interval& a);
void IntervalAcoth(Interval& out, const Interval& a);
void IntervalAsech(Interval& out, const Interval& a);
void IntervalAcsch(Interval& out, const Interval& a);

void IntervalAbs(Interval& out, const Interval& a);
void IntervalSquare(Interval& out, const Interval& a);
void IntervalSign(Interval& out, const Interval& a);
void IntervalFloor(Interval& out, const Interval& a);
void IntervalCeil(Interval& out, const Interval& a);
void IntervalMin(Interval& out, const Interval& a, const Interval& b);
void IntervalMax(Interval& out, const Interval& a, const Interval& b);
// Holds FlooredMod (a, b) at every point: [0, b.hi] for b > 0 and [b.lo, 0] for b < 0, or the
// corner values where floor(a / b) is one whole number over the box; a divisor across 0 gives
// [b.lo, b.hi] (its zero has no value), [0, 0] undefined.
void IntervalMod(Interval& out, const Interval& a, const Interval& b);
// x! (Gamma(x + 1)); includes the turning point of every branch the operand reaches.
void IntervalFactorial(Interval& out, const Interval& x);
// J_n(x), the Bessel function of the first kind of real order n.
void IntervalBesselJ(Interval& out, const Interval& n, const Interval& x);

// Truth intervals of a < b and so on; a NaN bound gives undefined, wrapped operands [0,1]
// unless a rule decides.
void IntervalLess(Interval& out, const Interval& a, const Interval& b);
void IntervalGreater(Interval& out, const Interval& a, const Interval& b);
void IntervalLessEqual(Interval& out, const Interval& a, const Interval& b);
void IntervalGreaterEqual(Interval& out, const Interval& a, const Interval& b);
void IntervalEqual(Interval& out, const Interval& a, const Interval& b);
// And: [1,1] when both are [1,1]; [0,0] when either is [0,0]; undefined when a bound is NaN;
// else [0,1]. Or: [0,0] when both are [0,0]; [1,1] when either is [1,1]; else [0,1].
void IntervalTruthAnd(Interval& out, const Interval& a, const Interval& b);
void IntervalTruthOr(Interval& out, const Interval& a, const Interval& b);
