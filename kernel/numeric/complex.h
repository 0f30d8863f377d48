// Complex arithmetic on principal branches for the complex evaluator. Real-only functions give
// (NaN, NaN) unless every imaginary part is exactly 0 (-0 counts as 0). A zero part counts as 0
// whatever its sign: ln(-1) is +i pi, and on its cut each inverse function takes the value of its
// logarithmic formula evaluated exactly, continuous from one side or the other by stretch (see
// each below), so asin x + acos x is not pi/2 there. A real argument inside the real function's
// domain gives the real function's value with imaginary part 0.
#pragma once

#include "kernel/numeric/numeric_constants.h"

struct Complex {
  double re;
  double im;
};

inline constexpr Complex kUndefinedComplex{kUndefinedReal, kUndefinedReal};

inline bool ComplexIsReal(const Complex& z) { return z.im == 0.0; }
inline bool ComplexIsUndefined(const Complex& z) { return z.re != z.re || z.im != z.im; }

// Calling convention: the result is written to `out` last, so `out` may be an operand.
// Two-operand operations take (a, b) with a the lower stack value, except atan2 (y first) and
// the Bessel function (order first).

// (a.re b.re - a.im b.im, a.re b.im + a.im b.re), each part one fused multiply-add that fuses
// the first product: fma(a.re, b.re, -(a.im b.im)) and fma(a.re, b.im, a.im b.re).
void ComplexMultiply(Complex& out, const Complex& a, const Complex& b);
// Unscaled quotient: a divisor of 0 gives NaN or infinite parts.
void ComplexDivide(Complex& out, const Complex& a, const Complex& b);
// c times the conjugate of z over |z|^2, i.e. c / z for a real c.
void ComplexRealOver(Complex& out, double c, const Complex& z);
void ComplexSquare(Complex& out, const Complex& z);
// Whole real exponents up to this size are formed by repeated squaring and multiplication, which
// is exact wherever the parts stay small integers (i^2 = -1, (-2)^3 = -8).
inline constexpr double kComplexLargestRepeatedExponent = 64.0;
// z^w: undefined for an undefined operand; a real base that is positive or has a whole real
// exponent gives the real power; other small whole real exponents multiply repeatedly (in a
// scaled wider form where a part would leave the doubles' range on the way), other powers are
// exp(w ln z) with the exactness fix-up for +-i (in a wider form where the modulus nears the
// doubles' limits). Defined for every finite z and w: a part is infinite or 0 only where the
// exact part lies beyond the doubles, with its sign, whatever the other part does.
void ComplexPower(Complex& out, const Complex& z, const Complex& w);
// e^re (cos im, sin im); like sin, cos, sinh and cosh, finite wherever the exact part is a
// double, though e^re alone overflows.
void ComplexExp(Complex& out, const Complex& z);
void ComplexLn(Complex& out, const Complex& z);  // imaginary part in (-pi, pi]
void ComplexLog10(Complex& out, const Complex& z);
void ComplexSqrt(Complex& out, const Complex& z);
void ComplexAbs(Complex& out, const Complex& z);  // (hypot(re, im), 0)
void ComplexArg(Complex& out, const Complex& z);  // (atan2(im, re), 0) in (-pi, pi]

void ComplexSin(Complex& out, const Complex& z);
void ComplexCos(Complex& out, const Complex& z);
void ComplexTan(Complex& out, const Complex& z);
void ComplexCot(Complex& out, const Complex& z);
void ComplexSec(Complex& out, const Complex& z);
void ComplexCsc(Complex& out, const Complex& z);
void ComplexAsin(Complex& out, const Complex& z);
void ComplexAcos(Complex& out, const Complex& z);
void ComplexAtan(Complex& out, const Complex& z);
// atan(1 / z): on the negative reals its values lie in (-pi/2, 0), pi below the real inverse
// cotangent's; it agrees with that one on the positive reals.
void ComplexAcot(Complex& out, const Complex& z);
void ComplexAsec(Complex& out, const Complex& z);
void ComplexAcsc(Complex& out, const Complex& z);
void ComplexSinh(Complex& out, const Complex& z);
void ComplexCosh(Complex& out, const Complex& z);
void ComplexTanh(Complex& out, const Complex& z);
void ComplexCoth(Complex& out, const Complex& z);
void ComplexSech(Complex& out, const Complex& z);
void ComplexCsch(Complex& out, const Complex& z);
void ComplexAsinh(Complex& out, const Complex& z);
void ComplexAcosh(Complex& out, const Complex& z);
void ComplexAtanh(Complex& out, const Complex& z);
void ComplexAcoth(Complex& out, const Complex& z);
void ComplexAsech(Complex& out, const Complex& z);
void ComplexAcsch(Complex& out, const Complex& z);

// Real-only operations: undefined unless the operands are real-valued; then the real operation
// with imaginary part 0. Min gives a unless b < a; max gives a unless b > a; an undefined
// operand gives undefined.
void ComplexMin(Complex& out, const Complex& a, const Complex& b);
void ComplexMax(Complex& out, const Complex& a, const Complex& b);
void ComplexMod(Complex& out, const Complex& a, const Complex& b);  // floored modulo
void ComplexHypot(Complex& out, const Complex& a, const Complex& b);
void ComplexAtan2(Complex& out, const Complex& y, const Complex& x);  // angle in [0, 2 pi)
void ComplexBesselJ(Complex& out, const Complex& n, const Complex& x);
void ComplexSign(Complex& out, const Complex& z);
void ComplexFloor(Complex& out, const Complex& z);
void ComplexCeil(Complex& out, const Complex& z);
void ComplexFactorial(Complex& out, const Complex& z);
