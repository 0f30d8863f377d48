// Complex arithmetic written out from the defining formulas (not std::complex, whose division
// scaling, branch handling and signed-zero rules differ); inverse functions use root forms that
// pick their branch without a sign test. Where a real argument has a real value, the real library
// function gives it with imaginary part exactly 0: the formulas would leave ulps (ln|q| of a
// |q| = 1 + 1e-16) or NaN (infinity times sin 0), and real-only operations refuse either.
#include "kernel/numeric/complex.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/numeric/special_functions.h"
#include "kernel/numeric/value_of.h"

namespace {

constexpr double kLn10 = 2.302585092994046;
constexpr double kLn2 = 0.6931471805599453;

inline void Set(Complex& out, double re, double im) {
  out.re = re;
  out.im = im;
}

// A value of the real function at a real argument: imaginary part exactly 0, NaN outside its
// domain made the undefined pair.
inline void SetReal(Complex& out, double value) {
  if (std::isnan(value)) {
    out = kUndefinedComplex;
  } else {
    Set(out, value, 0.0);
  }
}

// Within this size e^x is a normal double; past it, e^x may overflow or fall into the subnormals.
constexpr double kExpHalfRange = 708.0;

// e^x c, finite wherever the product is: past kExpHalfRange the exponential is taken in two
// halves, so a factor |c| < 1 brings back a product that e^x alone would overflow, and one
// |c| > 1 a product that it would underflow. A zero c gives a zero of its sign.
double ExpTimes(double x, double c) {
  if (c == 0.0) return c;
  if (std::fabs(x) < kExpHalfRange) return std::exp(x) * c;
  const double half = std::exp(0.5 * x);
  return half * c * half;
}

// cosh x c and sinh x c likewise: past kExpHalfRange e^-|x| is below an ulp of e^|x| / 2.
double CoshTimes(double x, double c) {
  return std::fabs(x) < kExpHalfRange ? std::cosh(x) * c : ExpTimes(std::fabs(x), 0.5 * c);
}
double SinhTimes(double x, double c) {
  return std::fabs(x) < kExpHalfRange ? std::sinh(x) * c : std::copysign(1.0, x) * ExpTimes(std::fabs(x), 0.5 * c);
}

// ln |z|, without the overflow of |z| where both parts are near the largest double or the lost
// digits of a subnormal |z|: such parts are scaled by a power of two first.
double LnModulus(const Complex& z) {
  const double m = std::max(std::fabs(z.re), std::fabs(z.im));
  if ((m > 0x1p1000 && m < kPositiveInfinity) || (m < 0x1p-1000 && m > 0.0)) {
    const int e = std::ilogb(m);
    return std::log(std::hypot(std::ldexp(z.re, -e), std::ldexp(z.im, -e))) + e * kLn2;
  }
  return std::log(std::hypot(z.re, z.im));
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
  if (z.re == 0.0 && z.im != 0.0) {  // likewise on the imaginary axis, which it maps to itself
    Set(out, c * z.re, -c / z.im);
    return;
  }
  // |z|^2 would overflow past 2^511 or lose digits below 2^-511: the parts are scaled by a power
  // of two first, and the quotient scaled back.
  const double m = std::max(std::fabs(z.re), std::fabs(z.im));
  if ((m > 0x1p500 && m < kPositiveInfinity) || (m < 0x1p-500 && m > 0.0)) {
    const int e = std::ilogb(m);
    const double re = std::ldexp(z.re, -e), im = std::ldexp(z.im, -e), d = re * re + im * im;
    Set(out, std::ldexp(c * re / d, -e), std::ldexp(-c * im / d, -e));
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
  Set(out, ExpTimes(z.re, std::cos(z.im)), ExpTimes(z.re, std::sin(z.im)));
}

void ComplexLn(Complex& out, const Complex& z) {
  // +0.0 turns a -0 imaginary part (left by negation) into +0: ln(-1) is i pi, not -i pi.
  Set(out, LnModulus(z), std::atan2(z.im + 0.0, z.re));
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
  if (std::isinf(z.im)) {
    Set(out, kPositiveInfinity, z.im);
    return;
  }
  // t = sqrt((|re| + |z|) / 2) adds magnitudes only; the other part is im / 2t. The polar form
  // would lose the small part near the negative axis, where cos(t/2) cancels. Scaling by a
  // power of 4 keeps |re| + |z| from overflowing and tiny operands out of the subnormals.
  double ax = std::fabs(z.re), ay = std::fabs(z.im), unscale = 1.0;
  if (ax > 0x1p1020 || ay > 0x1p1020) {
    ax *= 0x1p-4;
    ay *= 0x1p-4;
    unscale = 0x1p2;
  } else if (ax < 0x1p-1000 && ay < 0x1p-1000) {
    ax *= 0x1p100;
    ay *= 0x1p100;
    unscale = 0x1p-50;
  }
  const double t = std::sqrt(0.5 * (ax + std::hypot(ax, ay))) * unscale;
  if (z.re >= 0.0) {
    Set(out, t, z.im / (2.0 * t));
  } else {
    Set(out, std::fabs(z.im) / (2.0 * t), std::copysign(t, z.im));
  }
}

void ComplexAbs(Complex& out, const Complex& z) { Set(out, std::hypot(z.re, z.im), 0.0); }
void ComplexArg(Complex& out, const Complex& z) { Set(out, std::atan2(z.im + 0.0, z.re), 0.0); }

namespace {

// Parts of a complex number in long double, for powers whose parts leave the doubles' range.
struct WideComplex {
  long double re;
  long double im;
};

inline Complex Product(const Complex& a, const Complex& b) { return ValueOf(ComplexMultiply, a, b); }
inline WideComplex Product(const WideComplex& a, const WideComplex& b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

// base^n for a whole n > 0 by repeated squaring. The first factor is the power of the base
// itself, not 1 times it, which would meet 0 times a part that has overflowed.
template <typename C>
C RepeatedPower(C base, double n) {
  C result = base;
  bool started = false;
  while (n > 0.0) {
    if (std::fmod(n, 2.0) == 1.0) {
      result = started ? Product(result, base) : base;
      started = true;
    }
    n = std::floor(n / 2.0);
    if (n > 0.0) base = Product(base, base);
  }
  return result;
}

// z^n for a whole n, |n| <= kComplexLargestRepeatedExponent, z not 0: undefined only where a
// part of z is infinite and infinity meets infinity. Where a part of a finite z could pass the
// largest double or fall below the least on the way (|z|^2n, the square of |z^n| in 1 / z^n,
// beyond 2^+-960), z is scaled to magnitude below 1 and powered in long double, whose range
// holds both parts of every such power, and the scale 2^(n e) is put back once: a part is then
// infinite exactly where it lies beyond the doubles, with its sign, and a part within them is
// not lost to the overflow or underflow of the other.
static_assert(std::numeric_limits<long double>::max_exponent >= 16 * std::numeric_limits<double>::max_exponent,
              "the scaled powers need long double's wider exponent range");
Complex WholePower(const Complex& z, double n) {
  if (n == 0.0) return {1.0, 0.0};
  const bool finite = std::isfinite(z.re) && std::isfinite(z.im);
  const int e = finite ? std::ilogb(std::max(std::fabs(z.re), std::fabs(z.im))) + 1 : 0;
  if (std::fabs(n) * (std::abs(e) + 1) < 480.0) {  // |z|^n and its square lie within 2^+-960
    Complex result = RepeatedPower(z, std::fabs(n));
    if (n < 0.0) ComplexRealOver(result, 1.0, result);
    return result;
  }
  WideComplex r = RepeatedPower(WideComplex{std::ldexp(static_cast<long double>(z.re), -e),
                                            std::ldexp(static_cast<long double>(z.im), -e)},
                                std::fabs(n));
  if (n < 0.0) {  // |r| lies within 2^+-64 here
    const long double d = r.re * r.re + r.im * r.im;
    r = {r.re / d, -r.im / d};
  }
  const int scale = static_cast<int>(n) * e;  // within 2^17, taken exactly
  return {static_cast<double>(std::ldexp(r.re, scale)), static_cast<double>(std::ldexp(r.im, scale))};
}

// Below this size of re(w ln z), e^(w ln z) in doubles neither overflows nor leaves the normal
// doubles, whatever its angle, and loses no more than it always has to the rounding of w ln z.
constexpr double kPolarDoubleLimit = 512.0;

// e^(w ln z) for finite w and a finite nonzero z, in long double. Its 64 bits keep w ln z exact
// enough for the exponential near the doubles' exponent limits (a real part near 745 costs ten
// bits), and its range holds e^x cos y and e^x sin y for every x that w ln z of doubles reaches
// below 11000, so a part is infinite or 0 only where the exact part lies beyond the doubles,
// whatever the other part does.
static_assert(std::numeric_limits<long double>::digits >= 64, "the polar powers need a 64-bit significand");
Complex PolarPower(const Complex& z, const Complex& w) {
  const long double re = z.re, im = z.im + 0.0;
  const long double lnModulus = std::log(std::hypot(re, im)), angle = std::atan2(im, re);
  const long double x = w.re * lnModulus - w.im * angle, y = w.re * angle + w.im * lnModulus;
  const long double m = std::exp(x);
  if (y == 0.0L) return {static_cast<double>(m), 0.0};  // e^x may be infinite, and sin 0 is 0
  return {static_cast<double>(m * std::cos(y)), static_cast<double>(m * std::sin(y))};
}

}  // namespace

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
      Set(out, kPositiveInfinity, 0.0);
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
    // Infinity minus infinity (parts of an infinite z) falls through to the polar formula.
    const Complex result = WholePower(z, w.re);
    if (!ComplexIsUndefined(result)) {
      out = result;
      return;
    }
  }
  Complex l, e;
  ComplexLn(l, z);
  ComplexMultiply(e, w, l);
  // Infinite parts and ln 0 meet their infinities as the double formula has them meet.
  const bool finite = std::isfinite(z.re) && std::isfinite(z.im) && std::isfinite(w.re) && std::isfinite(w.im);
  if (finite && (z.re != 0.0 || z.im != 0.0) && !(std::fabs(e.re) < kPolarDoubleLimit)) {
    e = PolarPower(z, w);
  } else {
    ComplexExp(e, e);
  }
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
  Set(out, CoshTimes(z.im, std::sin(z.re)), SinhTimes(z.im, std::cos(z.re)));
}

void ComplexCos(Complex& out, const Complex& z) {
  Set(out, CoshTimes(z.im, std::cos(z.re)), SinhTimes(z.im, -std::sin(z.re)));
}

void ComplexSinh(Complex& out, const Complex& z) {
  if (ComplexIsReal(z)) {  // an overflowing cosh would turn sin 0 into NaN
    SetReal(out, std::sinh(z.re));
    return;
  }
  Set(out, SinhTimes(z.re, std::cos(z.im)), CoshTimes(z.re, std::sin(z.im)));
}

void ComplexCosh(Complex& out, const Complex& z) {
  if (ComplexIsReal(z)) {
    SetReal(out, std::cosh(z.re));
    return;
  }
  Set(out, CoshTimes(z.re, std::cos(z.im)), SinhTimes(z.re, std::sin(z.im)));
}

// Past this size of y = 2 im (tan) or of 2 re (tanh), where cosh y and sinh y soon overflow to a
// quotient of infinities, the quotient is 2 e^-|y| sin x in one part and +-1 in the other, each
// to well within an ulp (cos x is below an ulp of cosh y, and tanh reaches 1 at 19).
constexpr double kTangentSaturation = 40.0;

void ComplexTan(Complex& out, const Complex& z) {
  if (ComplexIsReal(z)) {  // cos 2x + 1 cancels near the poles
    SetReal(out, std::tan(z.re));
    return;
  }
  const double x = 2.0 * z.re, y = 2.0 * z.im;
  if (std::fabs(y) > kTangentSaturation) {
    Set(out, ExpTimes(-std::fabs(y), 2.0 * std::sin(x)), std::copysign(1.0, y));
    return;
  }
  const double d = std::cos(x) + std::cosh(y);
  Set(out, std::sin(x) / d, std::sinh(y) / d);
}

void ComplexTanh(Complex& out, const Complex& z) {
  if (ComplexIsReal(z)) {  // sinh 2x / cosh 2x overflows to NaN past |x| = 355
    SetReal(out, std::tanh(z.re));
    return;
  }
  const double x = 2.0 * z.re, y = 2.0 * z.im;
  if (std::fabs(x) > kTangentSaturation) {
    Set(out, std::copysign(1.0, x), ExpTimes(-std::fabs(x), 2.0 * std::sin(y)));
    return;
  }
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

// The cores of the inverse functions below take a zero imaginary part as +0: on a cut along the
// real axis they give the value continuous from above. Each is a form without a logarithm of a
// quantity near 1 and without a sign test for its branch (the square roots pick it), so it stays
// within a few ulps of the principal value near 0, near the cuts and far out. On the cuts
// themselves the functions take the values of their logarithmic formulas evaluated exactly (the
// root of a negative real is +i times the root of its size, the angle of one is pi, a zero part
// counts as 0 whatever its sign): from above on some stretches, from below on others, where the
// value is the conjugate of the core's.
inline Complex FromAbove(const Complex& z) { return {z.re, z.im + 0.0}; }
inline Complex Conjugate(const Complex& z) { return {z.re, 0.0 - z.im}; }

// sqrt(1 + z) and sqrt(1 - z). For z on a cut 1 - z lies below the axis, so its root is the
// conjugate of the root of 1 - conj(z); off the axis that is the same root.
struct RootsAboutOne {
  Complex plus;
  Complex minus;
};

RootsAboutOne RootsOf(const Complex& z) {
  RootsAboutOne r;
  ComplexSqrt(r.plus, Complex{1.0 + z.re, z.im});
  ComplexSqrt(r.minus, Complex{1.0 - z.re, z.im});
  r.minus.im = -r.minus.im;
  return r;
}

// asin z = atan2(re z, re(sqrt(1 - z) sqrt(1 + z))) + i asinh(im(conj(sqrt(1 - z)) sqrt(1 + z))).
Complex AsinCore(const Complex& z) {
  const RootsAboutOne r = RootsOf(z);
  const double re = std::atan2(z.re, r.minus.re * r.plus.re - r.minus.im * r.plus.im + 0.0);
  return {re, std::asinh(r.minus.re * r.plus.im - r.minus.im * r.plus.re)};
}

// acos z = 2 atan2(re sqrt(1 - z), re sqrt(1 + z)) + i asinh(im(conj(sqrt(1 + z)) sqrt(1 - z))).
Complex AcosCore(const Complex& z) {
  const RootsAboutOne r = RootsOf(z);
  const double re = 2.0 * std::atan2(r.minus.re, r.plus.re + 0.0);
  return {re, std::asinh(r.plus.re * r.minus.im - r.plus.im * r.minus.re)};
}

// acosh z = asinh(re(conj(sqrt(z - 1)) sqrt(z + 1))) + 2i atan2(im sqrt(z - 1), re sqrt(z + 1)).
Complex AcoshCore(const Complex& z) {
  Complex below, above;
  ComplexSqrt(below, Complex{z.re - 1.0, z.im});
  ComplexSqrt(above, Complex{z.re + 1.0, z.im});
  return {std::asinh(below.re * above.re + below.im * above.im), 2.0 * std::atan2(below.im, above.re + 0.0)};
}

// atanh z = ln((1 + z) / (1 - z)) / 2: the real part as log1p(4|x| / |1 - |x| + iy|^2) / 4
// (odd in x, so no cancellation), the imaginary part as half the angle of
// (1 + z)(1 - conj z) = (1 - x)(1 + x) - y^2 + 2iy. A zero y keeps its sign here.
Complex AtanhCore(const Complex& z) {
  const double ax = std::fabs(z.re), y = z.im;
  const double d = std::hypot(1.0 - ax, y);
  // Next to +-1, 4|x| / d^2 would overflow; there ln |1 + |x| + iy| - ln d adds two positive terms.
  const double re = d < 1e-150 ? 0.5 * (std::log(std::hypot(1.0 + ax, y)) - std::log(d))
                               : 0.25 * std::log1p(4.0 * (ax / d) / d);
  const double im = 0.5 * std::atan2(y, 0.5 * ((1.0 - z.re) * (1.0 + z.re) - y * y));
  return {std::copysign(re, z.re), im};
}

// f(1 / z) for the inverse reciprocal functions. 1 / z of a z on an axis lies exactly on that
// axis, where f takes its own cut's values (asec 0.5 = acos 2 = -1.317i).
template <void (*F)(Complex&, const Complex&)>
void OfReciprocal(Complex& out, const Complex& z) {
  Complex r;
  ComplexRealOver(r, 1.0, z);
  F(out, r);
}

// Past this |t|, sin and cos of x + it, and sinh and cosh of t + iy, are (e^|t| / 2) u for a unit
// u: the other exponential is below an ulp of the first.
constexpr double kOneExponentialLeft = 20.0;

// 1 / ((e^|t| / 2) u) = 2 e^-|t| conj(u), without forming e^|t|, which may overflow while the
// reciprocal is still a double.
Complex ReciprocalOfLarge(double t, double ure, double uim) {
  return {ExpTimes(-std::fabs(t), 2.0 * ure), ExpTimes(-std::fabs(t), -2.0 * uim)};
}

}  // namespace

void ComplexCot(Complex& out, const Complex& z) { Reciprocal<ComplexTan>(out, z); }
void ComplexCoth(Complex& out, const Complex& z) { Reciprocal<ComplexTanh>(out, z); }

void ComplexCsc(Complex& out, const Complex& z) {
  if (!(std::fabs(z.im) > kOneExponentialLeft)) return Reciprocal<ComplexSin>(out, z);
  out = ReciprocalOfLarge(z.im, std::sin(z.re), std::copysign(1.0, z.im) * std::cos(z.re));
}

void ComplexSec(Complex& out, const Complex& z) {
  if (!(std::fabs(z.im) > kOneExponentialLeft)) return Reciprocal<ComplexCos>(out, z);
  out = ReciprocalOfLarge(z.im, std::cos(z.re), -std::copysign(1.0, z.im) * std::sin(z.re));
}

// A real argument keeps the real quotient, exact as the real machine's.
void ComplexCsch(Complex& out, const Complex& z) {
  if (ComplexIsReal(z) || !(std::fabs(z.re) > kOneExponentialLeft)) return Reciprocal<ComplexSinh>(out, z);
  out = ReciprocalOfLarge(z.re, std::copysign(1.0, z.re) * std::cos(z.im), std::sin(z.im));
}

void ComplexSech(Complex& out, const Complex& z) {
  if (ComplexIsReal(z) || !(std::fabs(z.re) > kOneExponentialLeft)) return Reciprocal<ComplexCosh>(out, z);
  out = ReciprocalOfLarge(z.re, std::cos(z.im), std::copysign(1.0, z.re) * std::sin(z.im));
}

// asin z = -i ln(i z + sqrt(1 - z^2)): on its cut, from below right of 1 (asin 2 = pi/2 - 1.317i)
// and from above left of -1.
void ComplexAsin(Complex& out, const Complex& z) {
  if (ComplexIsReal(z) && std::fabs(z.re) <= 1.0) {
    SetReal(out, std::asin(z.re));
    return;
  }
  const Complex a = AsinCore(FromAbove(z));
  out = ComplexIsReal(z) && z.re > 1.0 ? Conjugate(a) : a;
}

// acos z from ln(z + sqrt(z^2 - 1)), its real part kept >= 0: on its cut, from above right of 1
// (acos 2 = -1.317i) and from below left of -1 (acos -2 = pi + 1.317i). So on the cuts
// asin x + acos x is not pi/2.
void ComplexAcos(Complex& out, const Complex& z) {
  if (ComplexIsReal(z) && std::fabs(z.re) <= 1.0) {
    SetReal(out, std::acos(z.re));
    return;
  }
  const Complex a = AcosCore(FromAbove(z));
  out = ComplexIsReal(z) && z.re < -1.0 ? Conjugate(a) : a;
}

// atan z from ln((1 + i z) / (1 - i z)): on its cut (the imaginary axis past +-i) the value from
// the right, which the core takes for a zero real part of either sign.
void ComplexAtan(Complex& out, const Complex& z) {
  if (ComplexIsReal(z)) {
    SetReal(out, std::atan(z.re));
    return;
  }
  // atan z = -i atanh(i z); i z takes the real part of z as its imaginary part, +0 for a zero.
  const Complex h = AtanhCore(Complex{-z.im, z.re + 0.0});
  Set(out, h.im, -h.re);
}

void ComplexAsinh(Complex& out, const Complex& z) {
  if (ComplexIsReal(z)) {  // z + sqrt(z^2 + 1) cancels to 0 for large negative z
    SetReal(out, std::asinh(z.re));
    return;
  }
  // asinh z = -i asin(i z), also on the cut: ln(z + sqrt(z^2 + 1)) there is the value from the
  // right above i (asinh 2i = 1.317 + i pi/2) and from the left below -i (asinh -2i = -1.317 - i pi/2),
  // as asin's cut sides make it.
  Complex s;
  ComplexAsin(s, Complex{-z.im, z.re});
  Set(out, s.im, -s.re);
}

// acosh z = ln(z + sqrt(z^2 - 1)), negated when its real part is negative: on its cut, from above
// on [-1, 1), where the real part is exactly 0 (i acos x), and from below left of -1
// (acosh -2 = 1.317 - i pi).
void ComplexAcosh(Complex& out, const Complex& z) {
  if (ComplexIsReal(z) && z.re >= 1.0) {  // z^2 - 1 cancels near 1 and overflows far out
    SetReal(out, std::acosh(z.re));
    return;
  }
  const Complex a = AcoshCore(FromAbove(z));
  out = ComplexIsReal(z) && z.re < -1.0 ? Conjugate(a) : a;
}

// atanh z from ln((1 + z) / (1 - z)) / 2: on its cut the value from above on both stretches.
void ComplexAtanh(Complex& out, const Complex& z) {
  if (ComplexIsReal(z) && std::fabs(z.re) <= 1.0) {
    SetReal(out, std::atanh(z.re));
    return;
  }
  out = AtanhCore(FromAbove(z));
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
  RealResult(out, BothReal(a, b), BothReal(a, b) ? FlooredMod(a.re, b.re) : kUndefinedReal);
}

void ComplexHypot(Complex& out, const Complex& a, const Complex& b) {
  RealResult(out, BothReal(a, b), std::hypot(a.re, b.re));
}

void ComplexAtan2(Complex& out, const Complex& y, const Complex& x) {
  const double t = std::atan2(y.re, x.re);
  RealResult(out, BothReal(y, x), t < 0.0 ? t + kTwoPi : t);
}

void ComplexBesselJ(Complex& out, const Complex& n, const Complex& x) {
  RealResult(out, BothReal(n, x), BothReal(n, x) ? BesselJv(n.re, x.re) : kUndefinedReal);
}

void ComplexSign(Complex& out, const Complex& z) { RealResult(out, ComplexIsReal(z), Sign(z.re)); }
void ComplexFloor(Complex& out, const Complex& z) { RealResult(out, ComplexIsReal(z), std::floor(z.re)); }
void ComplexCeil(Complex& out, const Complex& z) { RealResult(out, ComplexIsReal(z), std::ceil(z.re)); }

void ComplexFactorial(Complex& out, const Complex& z) {
  RealResult(out, ComplexIsReal(z), ComplexIsReal(z) ? Factorial(z.re) : kUndefinedReal);
}
