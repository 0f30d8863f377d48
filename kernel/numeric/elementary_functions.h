// Real elementary functions beyond the system math library: reciprocal trigonometric and
// hyperbolic functions and their inverses, sign, real factorial, whole/even tests, floored modulo
// and real rational powers of negative numbers. All are pure functions of doubles; NaN in gives
// NaN out except where a test answers false.
#pragma once

double Cot(double x);   // 1 / tan x
double Csc(double x);   // 1 / sin x
double Sec(double x);   // 1 / cos x
double Coth(double x);  // 1 / tanh x
double Csch(double x);  // 1 / sinh x
double Sech(double x);  // 1 / cosh x
double Arccsc(double x);   // asin(1 / x)
double Arcsec(double x);   // acos(1 / x)
double Arccsch(double x);  // asinh(1 / x)
double Arcsech(double x);  // acosh(1 / x)
double Arccoth(double x);  // atanh(1 / x)

// Inverse cotangent with range 0..pi: pi/2 at 0, pi + atan(1/x) for x < 0.
double Arccot(double x);

// 1 for x > 0, -1 for x < 0, otherwise x itself (signed zero and NaN pass through).
double Sign(double x);

// x!: 1 at 0; the exact product 1*2*...*x for whole 0 < x < 30; Gamma(x + 1) otherwise.
double Factorial(double x);

// True when x is an integer; every double of magnitude 2^52 or more counts as one.
bool IsWholeNumber(double x);

// True when x is whole and within the 32-bit integer range: the exponents a fraction can be
// written with.
bool IsWholeInt32(double x);

// True when x is an even integer; every double of magnitude 2^53 or more counts as one.
bool IsEvenNumber(double x);

// The floored modulo x - y floor(x / y), exact for operands of any size: in [0, y) for y > 0
// and in (y, 0] for y < 0 (a remainder within half an ulp of y stays one ulp inside); a zero
// result is +0. A zero or infinite y, or a non-finite x, gives NaN.
double FlooredMod(double x, double y);

// x^(p/q). When p and q are whole 32-bit values and the reduced denominator is odd, a negative x
// gives the real root (-8^(1/3) = -2); an even reduced denominator with negative x gives NaN.
double RationalPower(double x, double q, double p);
// How x^(p/q) treats a negative x: 1 when p and q are whole 32-bit values whose reduced
// denominator is odd and reduced numerator even (the root's magnitude |x|^(p/q)), -1 when the
// reduced numerator is odd (-|x|^(p/q)), 0 when there is no real root (the plain power applies).
int RealRootSign(double q, double p);

// Greatest common divisor of two doubles holding integers, never negative; gcd(0, 0) = 0 and
// gcd(0, b) = |b|. Either argument not an integer (fraction, infinity, NaN) gives 1.0. Works
// with fmod throughout, so magnitudes beyond the integer types are exact.
double GreatestCommonDivisor(double a, double b);
