// Complex arithmetic written out from the defining formulas (not std::complex, whose division
// scaling, branch handling and signed-zero rules differ); inverse functions take the principal
// cuts of their logarithmic forms. Where a real argument has a real value, the real library
// function gives it with imaginary part exactly 0: the formulas would leave ulps (ln|q| of a
// |q| = 1 + 1e-16) or NaN (infinity times sin 0), and real-only operations refuse either.
#include "kernel/numeric/complex.h"

#include <cmath>

#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/numeric/special_functions.h"

namespace {

constexpr double kLn10 = 2.302585092994046;
constexpr double kNaN = kUndefinedReal;
constexpr double kInf = kPositiveInfinity;

inline void Set(Complex& out, double re, double im) {
  out.re = re;
  out.im = im;
}

inline Complex Plus(const Complex& a, const Complex& b) { return {a.re + b.re, a.im + b.im}; }

// A value of the real function at a real argument: imaginary part exactly 0, NaN outside its
// domain made the undefined pair.
inline void SetReal(Complex& out, double value) {
  if (std::isnan(value)) {
    out = kUndefinedComplex;
  } else {
    Set(out, value, 0.0);
  }
}

}  // namespace

void ComplexMultiply(Complex& out, const Complex& a, const Complex& b) {
  const double re = std::fma(a.re, b.re, -(a.im * b.im));
  // Reals multiply to a real even when one is infinite (the formula's would be infinity * 0).
  const double im = ComplexIsReal(a) && ComplexIsReal(b) ? 0.0 : std::fma(a.re, b.im, a.im * b.re);
  Set(out, re, im);
}

void ComplexDivide(Complex& out, const Complex& a, const Complex& b) {
  // A real quotient, whose divisor's square would underflow or overflow first. An exact zero
  // divisor keeps the unscaled rule below: undefined, not infinite.
  if (ComplexIsReal(a) && ComplexIsReal(b) && b.re != 0.0) {
    SetReal(out, a.re / b.re);
    return;
  }
  const double d = b.re * b.re + b.im * b.im;
  const double re = (a.re * b.re + a.im * b.im) / d;
  const double im = (a.im * b.re - a.re * b.im) / d;
  Set(out, re, im);
}

void ComplexRealOver(Complex& out, double c, const Complex& z) {
  if (ComplexIsReal(z) && z.re != 0.0) {  // 1 / 1e-200 is 1e200, not infinity
    SetReal(out, c / z.re);
    return;
  }
  const double d = z.re * z.re + z.im * z.im;
  Set(out, c * z.re / d, -c * z.im / d);
}

void ComplexSquare(Complex& out, const Complex& z) { ComplexMultiply(out, z, z); }

void ComplexExp(Complex& out, const Complex& z) {
  if (ComplexIsReal(z)) {  // an overflowing e^re would turn sin 0 into NaN
    SetReal(out, std::exp(z.re));
    return;
  }
  const double m = std::exp(z.re);
  Set(out, m * std::cos(z.im), m * std::sin(z.im));
}

void ComplexLn(Complex& out, const Complex& z) {
  // +0.0 turns a -0 imaginary part (left by negation) into +0: ln(-1) is i pi, not -i pi.
  Set(out, std::log(std::hypot(z.re, z.im)), std::atan2(z.im + 0.0, z.re));
}

void ComplexLog10(Complex& out, const Complex& z) {
  if (ComplexIsReal(z) && z.re >= 0.0) {  // log10 1000 is exactly 3, as floor needs
    SetReal(out, std::log10(z.re));
    return;
  }
  Complex l;
  ComplexLn(l, z);
  Set(out, l.re / kLn10, l.im / kLn10);
}

void ComplexSqrt(Complex& out, const Complex& z) {
  if (z.im == 0.0) {
    if (z.re >= 0.0) {
      Set(out, std::sqrt(z.re), 0.0);
    } else {
      Set(out, 0.0, std::sqrt(-z.re));
    }
    return;
  }
  const double r = std::sqrt(std::hypot(z.re, z.im));
  const double t = std::atan2(z.im, z.re);
  Set(out, r * std::cos(t / 2.0), r * std::sin(t / 2.0));
}

void ComplexAbs(Complex& out, const Complex& z) { Set(out, std::hypot(z.re, z.im), 0.0); }
void ComplexArg(Complex& out, const Complex& z) { Set(out, std::atan2(z.im + 0.0, z.re), 0.0); }

void ComplexPower(Complex& out, const Complex& z, const Complex& w) {
  // exp(w ln z) is undefined for an undefined operand; the exact branches below must not turn
  // NaN^0 into 1.
  if (ComplexIsUndefined(z) || ComplexIsUndefined(w)) {
    out = kUndefinedComplex;
    return;
  }
  const bool wReal = ComplexIsReal(w);
  if (z.re == 0.0 && z.im == 0.0 && wReal) {
    if (w.re > 0.0) {
      Set(out, 0.0, 0.0);
      return;
    }
    if (w.re == 0.0) {
      Set(out, 1.0, 0.0);
      return;
    }
    if (w.re < 0.0) {
      Set(out, kInf, 0.0);
      return;
    }
  }
  const bool wWhole = wReal && IsWholeNumber(w.re);
  if (wReal && ComplexIsReal(z) && (z.re > 0.0 || wWhole)) {
    // The principal power is real here; exp(w ln z) would lose |w ln z| ulps.
    SetReal(out, std::pow(z.re, w.re));
    return;
  }
  if (wWhole && std::fabs(w.re) <= kComplexLargestRepeatedExponent) {
    double n = std::fabs(w.re);
    Complex base = z, result{1.0, 0.0};
    while (n > 0.0) {
      if (std::fmod(n, 2.0) == 1.0) ComplexMultiply(result, result, base);
      n = std::floor(n / 2.0);
      if (n > 0.0) ComplexSquare(base, base);
    }
    if (w.re < 0.0) ComplexRealOver(result, 1.0, result);
    out = result;
    return;
  }
  Complex l, e;
  ComplexLn(l, z);
  ComplexMultiply(e, w, l);
  ComplexExp(e, e);
  if (wWhole && z.re == 0.0 && std::fabs(z.im) == 1.0) {  // powers of i and -i
    if (IsEvenNumber(w.re)) {
      e.im = 0.0;
    } else {
      e.re = 0.0;
    }
  }
  out = e;
}

void ComplexSin(Complex& out, const Complex& z) {
  Set(out, std::sin(z.re) * std::cosh(z.im), std::cos(z.re) * std::sinh(z.im));
}

void ComplexCos(Complex& out, const Complex& z) {
  Set(out, std::cos(z.re) * std::cosh(z.im), -std::sin(z.re) * std::sinh(z.im));
}

void ComplexSinh(Complex& out, const Complex& z) {
  if (ComplexIsReal(z)) {  // an overflowing cosh would turn sin 0 into NaN
    SetReal(out, std::sinh(z.re));
    return;
  }
  Set(out, std::sinh(z.re) * std::cos(z.im), std::cosh(z.re) * std::sin(z.im));
}

void ComplexCosh(Complex& out, const Complex& z) {
  if (ComplexIsReal(z)) {
    SetReal(out, std::cosh(z.re));
    return;
  }
  Set(out, std::cosh(z.re) * std::cos(z.im), std::sinh(z.re) * std::sin(z.im));
}

void ComplexTan(Complex& out, const Complex& z) {
  if (ComplexIsReal(z)) {  // cos 2x + 1 cancels near the poles
    SetReal(out, std::tan(z.re));
    return;
  }
  const double x = 2.0 * z.re, y = 2.0 * z.im;
  const double d = std::cos(x) + std::cosh(y);
  Set(out, std::sin(x) / d, std::sinh(y) / d);
}

void ComplexTanh(Complex& out, const Complex& z) {
  if (ComplexIsReal(z)) {  // sinh 2x / cosh 2x overflows to NaN past |x| = 355
    SetReal(out, std::tanh(z.re));
    return;
  }
  const double x = 2.0 * z.re, y = 2.0 * z.im;
  const double d = std::cosh(x) + std::cos(y);
  Set(out, std::sinh(x) / d, std::sin(y) / d);
}

namespace {

// 1 / f(z) for the reciprocal trigonometric and hyperbolic functions.
template <void (*F)(Complex&, const Complex&)>
void Reciprocal(Complex& out, const Complex& z) {
  Complex f;
  F(f, z);
  ComplexRealOver(out, 1.0, f);
}

// f(1 / z) for the inverse reciprocal functions.
template <void (*F)(Complex&, const Complex&)>
void OfReciprocal(Complex& out, const Complex& z) {
  Complex r;
  ComplexRealOver(r, 1.0, z);
  F(out, r);
}

// ln(z + sqrt(z^2 + c)), shared by asinh (c = 1) and acos, acosh (c = -1).
Complex LnOfZPlusRoot(const Complex& z, double c) {
  Complex s;
  ComplexSquare(s, z);
  s.re += c;
  ComplexSqrt(s, s);
  Complex l;
  ComplexLn(l, Plus(z, s));
  return l;
}

}  // namespace

void ComplexCot(Complex& out, const Complex& z) { Reciprocal<ComplexTan>(out, z); }
void ComplexCsc(Complex& out, const Complex& z) { Reciprocal<ComplexSin>(out, z); }
void ComplexSec(Complex& out, const Complex& z) { Reciprocal<ComplexCos>(out, z); }
void ComplexCoth(Complex& out, const Complex& z) { Reciprocal<ComplexTanh>(out, z); }
void ComplexCsch(Complex& out, const Complex& z) { Reciprocal<ComplexSinh>(out, z); }
void ComplexSech(Complex& out, const Complex& z) { Reciprocal<ComplexCosh>(out, z); }

void ComplexAsin(Complex& out, const Complex& z) {
  if (ComplexIsReal(z) && std::fabs(z.re) <= 1.0) {  // ln|i z + sqrt(1 - z^2)| is ulps, not 0
    SetReal(out, std::asin(z.re));
    return;
  }
  Complex s;
  ComplexSquare(s, z);
  s = {1.0 - s.re, -s.im};
  ComplexSqrt(s, s);
  Complex l;
  ComplexLn(l, Complex{-z.im + s.re, z.re + s.im});  // i z + sqrt(1 - z^2)
  Set(out, l.im, -l.re);
}

void ComplexAcos(Complex& out, const Complex& z) {
  if (ComplexIsReal(z) && std::fabs(z.re) <= 1.0) {
    SetReal(out, std::acos(z.re));
    return;
  }
  const Complex l = LnOfZPlusRoot(z, -1.0);
  if (l.im < 0.0) {  // keeps the real part in [0, pi]
    Set(out, -l.im, l.re);
  } else {
    Set(out, l.im, -l.re);
  }
}

void ComplexAtan(Complex& out, const Complex& z) {
  if (ComplexIsReal(z)) {  // |q| is 1 only up to rounding, so ln|q| would be a few ulps
    SetReal(out, std::atan(z.re));
    return;
  }
  Complex q, l;
  ComplexDivide(q, Complex{1.0 - z.im, z.re}, Complex{1.0 + z.im, -z.re});  // (1 + iz) / (1 - iz)
  ComplexLn(l, q);
  Set(out, l.im / 2.0, -l.re / 2.0);
}

void ComplexAsinh(Complex& out, const Complex& z) {
  if (ComplexIsReal(z)) {  // z + sqrt(z^2 + 1) cancels to 0 for large negative z
    SetReal(out, std::asinh(z.re));
    return;
  }
  out = LnOfZPlusRoot(z, 1.0);
}

void ComplexAcosh(Complex& out, const Complex& z) {
  if (ComplexIsReal(z) && z.re >= 1.0) {  // z^2 - 1 cancels near 1 and overflows far out
    SetReal(out, std::acosh(z.re));
    return;
  }
  const Complex l = LnOfZPlusRoot(z, -1.0);
  if (l.re < 0.0) {
    Set(out, -l.re, -l.im);
  } else {
    out = l;
  }
}

void ComplexAtanh(Complex& out, const Complex& z) {
  if (ComplexIsReal(z) && std::fabs(z.re) <= 1.0) {  // 1 + z loses a small z entirely
    SetReal(out, std::atanh(z.re));
    return;
  }
  Complex q, l;
  ComplexDivide(q, Complex{1.0 + z.re, z.im}, Complex{1.0 - z.re, -z.im});
  ComplexLn(l, q);
  Set(out, l.re / 2.0, l.im / 2.0);
}

void ComplexAcsc(Complex& out, const Complex& z) { OfReciprocal<ComplexAsin>(out, z); }
void ComplexAsec(Complex& out, const Complex& z) { OfReciprocal<ComplexAcos>(out, z); }
void ComplexAcot(Complex& out, const Complex& z) {
  // On the real axis 1 / 0 is taken as infinite, so acot 0 is pi/2 as for the reals (and -0,
  // the end of the negative reals, gives -pi/2 as boxes reaching 0 from below do).
  if (ComplexIsReal(z)) {
    SetReal(out, std::atan(1.0 / z.re));
    return;
  }
  OfReciprocal<ComplexAtan>(out, z);
}
void ComplexAcsch(Complex& out, const Complex& z) { OfReciprocal<ComplexAsinh>(out, z); }
void ComplexAsech(Complex& out, const Complex& z) { OfReciprocal<ComplexAcosh>(out, z); }
void ComplexAcoth(Complex& out, const Complex& z) { OfReciprocal<ComplexAtanh>(out, z); }

namespace {

inline void RealResult(Complex& out, bool real, double value) {
  if (real && !std::isnan(value)) {
    Set(out, value, 0.0);
  } else {
    out = kUndefinedComplex;
  }
}

inline bool BothReal(const Complex& a, const Complex& b) { return ComplexIsReal(a) && ComplexIsReal(b); }

}  // namespace

// The top b when it is below (above) the lower value a, else a; an undefined operand gives
// undefined in either place rather than the other operand.
void ComplexMin(Complex& out, const Complex& a, const Complex& b) {
  RealResult(out, BothReal(a, b), b.re < a.re || std::isnan(b.re) ? b.re : a.re);
}

void ComplexMax(Complex& out, const Complex& a, const Complex& b) {
  RealResult(out, BothReal(a, b), b.re > a.re || std::isnan(b.re) ? b.re : a.re);
}

void ComplexMod(Complex& out, const Complex& a, const Complex& b) {
  RealResult(out, BothReal(a, b), BothReal(a, b) ? FlooredMod(a.re, b.re) : kNaN);
}

void ComplexHypot(Complex& out, const Complex& a, const Complex& b) {
  RealResult(out, BothReal(a, b), std::hypot(a.re, b.re));
}

void ComplexAtan2(Complex& out, const Complex& y, const Complex& x) {
  const double t = std::atan2(y.re, x.re);
  RealResult(out, BothReal(y, x), t < 0.0 ? t + 2.0 * kPi : t);
}

void ComplexBesselJ(Complex& out, const Complex& n, const Complex& x) {
  RealResult(out, BothReal(n, x), BothReal(n, x) ? BesselJv(n.re, x.re) : kNaN);
}

void ComplexSign(Complex& out, const Complex& z) { RealResult(out, ComplexIsReal(z), Sign(z.re)); }
void ComplexFloor(Complex& out, const Complex& z) { RealResult(out, ComplexIsReal(z), std::floor(z.re)); }
void ComplexCeil(Complex& out, const Complex& z) { RealResult(out, ComplexIsReal(z), std::ceil(z.re)); }

void ComplexFactorial(Complex& out, const Complex& z) {
  RealResult(out, ComplexIsReal(z), ComplexIsReal(z) ? Factorial(z.re) : kNaN);
}
