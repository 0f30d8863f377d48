// Shared helpers of the interval, complex and complex-interval tests: exact comparison that
// treats every undefined value alike, membership of a possibly wrapped interval, ulp distance,
// number text, the one table of complex functions with their box, real, library and 113-bit
// (libquadmath) forms, and the sampler and the no-slack checker of the containment sweeps.
#pragma once

#include <gtest/gtest.h>
#include <quadmath.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kernel/numeric/complex.h"
#include "kernel/numeric/complex_interval.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/interval.h"
#include "kernel/numeric/special_functions.h"
#include "kernel/numeric/value_of.h"

namespace interval_test {

using Std = std::complex<double>;
using Quad = __float128;
using QuadComplex = __complex128;

inline std::string Fmt(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

inline std::string Fmt(Quad v) {
  char buf[64];
  quadmath_snprintf(buf, sizeof buf, "%.36Qg", v);
  return buf;
}

// Appended piece by piece: GCC 12 warns wrongly on a literal prepended to a temporary string.
inline std::string Pair(char open, const std::string& a, const std::string& b, char close) {
  std::string out(1, open);
  out.append(a).append(", ").append(b).push_back(close);
  return out;
}
inline std::string Show(const Interval& a) { return Pair('[', Fmt(a.lo), Fmt(a.hi), ']'); }
inline std::string Show(const Complex& z) { return Pair('(', Fmt(z.re), Fmt(z.im), ')'); }
inline std::string Show(const ComplexInterval& z) { return Pair('(', Show(z.re), Show(z.im), ')'); }

// x in the set r stands for: lo <= x <= hi, or x >= lo or x <= hi when r is wrapped.
template <typename T>
inline bool Holds(const Interval& r, T v) {
  return IntervalIsWrapped(r) ? (v >= r.lo || v <= r.hi) : (r.lo <= v && v <= r.hi);
}

// Equal bound for bound (so 0 == -0), or undefined both.
inline bool SameValue(const Interval& got, const Interval& want) {
  if (IntervalIsUndefined(got) || IntervalIsUndefined(want)) return IntervalIsUndefined(got) && IntervalIsUndefined(want);
  return got.lo == want.lo && got.hi == want.hi;
}

inline ::testing::AssertionResult Same(const Interval& got, const Interval& want) {
  if (SameValue(got, want)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "got " << Show(got) << ", want " << Show(want);
}

inline ::testing::AssertionResult Same(const ComplexInterval& got, const ComplexInterval& want) {
  const bool gotUndefined = ComplexIntervalIsUndefined(got), wantUndefined = ComplexIntervalIsUndefined(want);
  if (gotUndefined || wantUndefined ? gotUndefined && wantUndefined : SameValue(got.re, want.re) && SameValue(got.im, want.im)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "got " << Show(got) << ", want " << Show(want);
}

// Distance in representable doubles of two values of one sign (0 and -0, and equal infinities,
// are 0 apart); values of opposite signs are far apart.
inline uint64_t UlpsApart(double a, double b) {
  if (a == b) return 0;
  if (std::signbit(a) != std::signbit(b)) return UINT64_MAX;
  uint64_t ia, ib;
  std::memcpy(&ia, &a, sizeof ia);
  std::memcpy(&ib, &b, sizeof ib);
  return ia > ib ? ia - ib : ib - ia;
}

// An outward-rounded result against the exact one: it holds want and each bound lies at most
// `ulps` doubles outside it (an infinite bound exactly).
inline ::testing::AssertionResult Encloses(const Interval& got, const Interval& want, uint64_t ulps = 4) {
  const auto near = [ulps](double g, double w) { return g == w || (std::isfinite(w) && UlpsApart(g, w) <= ulps); };
  if (got.lo <= want.lo && want.hi <= got.hi && near(got.lo, want.lo) && near(got.hi, want.hi)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "got " << Show(got) << ", want " << Show(want) << " enclosed within " << ulps << " ulps";
}

// A 113-bit constant from its digits (the Q literal suffix needs the GNU dialect).
inline Quad QuadOf(const char* digits) { return strtoflt128(digits, nullptr); }
inline const Quad kQuadPi = QuadOf("3.14159265358979323846264338327950288");

// The floored modulo x - y floor(x / y), exactly: fmod is exact and so is moving it by one y.
inline Quad QuadFlooredMod(Quad x, Quad y) {
  if (isinfq(y) || y == 0) return nanq("");
  const Quad r = fmodq(x, y);
  return r != 0 && (r < 0) != (y < 0) ? r + y : r;
}

// J_v(x) to 113 bits: jnq for whole orders; the power series for others (|x| <= 20, where it
// loses under 10 of its 34 digits); past these the routine's own value. A non-whole order at
// x < 0 is the real function's domain rule: 0.
inline Quad QuadBesselJ(double v, double x) {
  if (IsWholeNumber(v)) return std::fabs(v) < 1e6 ? jnq(static_cast<int>(v), x) : Quad(BesselJv(v, x));
  if (x < 0) return 0;
  if (x > 20) return BesselJv(v, x);
  const Quad h = Quad(x) / 2;
  Quad term = powq(h, v) / tgammaq(Quad(v) + 1), sum = 0;
  for (int k = 0; k < 200 && term != 0; ++k) {
    sum += term;
    term *= -h * h / ((k + 1) * (k + 1 + Quad(v)));
  }
  return sum;
}

inline QuadComplex MakeQuad(Quad re, Quad im) { return QuadComplex{re, im}; }

// 1/z as conj(z) / |z|^2, so 1/(x + 0i) = 1/x - 0i: the side the point functions take.
inline QuadComplex QuadReciprocal(QuadComplex z) {
  const Quad re = __real__ z, im = __imag__ z, d = re * re + im * im;
  return MakeQuad(re / d, -im / d);
}

// z^w = e^(w ln z) at 113 bits on the principal branch (__float128 holds it while |w ln z| < 11000).
inline QuadComplex QuadPolarPower(const Complex& z, const Complex& w) {
  const QuadComplex e = MakeQuad(w.re, w.im) * clogq(MakeQuad(z.re, z.im));
  return expq(__real__ e) * MakeQuad(cosq(__imag__ e), sinq(__imag__ e));
}

struct PowerCase {
  Complex z, w;
};

// A power near the largest double or near and below the least: w = a + bi, a non-whole, and
// re(w ln z) in [703, 717] or [-750, -730]; arg z uniform or 1e-20 to 1e-2 off the real axis
// (parts of unlike sizes). False when a part of z would leave the doubles.
inline bool PowerNearLimits(std::mt19937_64& rng, PowerCase& out) {
  std::uniform_real_distribution<double> unit(0, 1);
  double a = 0.25 + 3.5 * unit(rng);
  if (unit(rng) < 0.2) a = std::floor(a) + 0.5;
  const double b = unit(rng) < 0.2 ? 0.0 : 4 * unit(rng) - 2;
  const double sign = unit(rng) < 0.3 ? -1 : 1;
  double theta = kPi * (2 * unit(rng) - 1);
  if (unit(rng) < 0.3) {  // beside the real axis, on either side of either half
    const double offset = std::pow(10.0, -20 + 18 * unit(rng)) * (unit(rng) < 0.5 ? -1 : 1);
    theta = unit(rng) < 0.5 ? offset : std::copysign(kPi, offset) - offset;
  }
  const double target = unit(rng) < 0.7 ? 703 + 14 * unit(rng) : -750 + 20 * unit(rng);
  const double lnModulus = sign * (target + sign * b * theta) / a;  // sign a ln|z| - sign b theta = target
  // Each part formed as one exponential, so |z| may pass the largest double while its parts do not.
  const auto part = [&](double unit) { return std::copysign(std::exp(lnModulus + std::log(std::fabs(unit))), unit); };
  out.z = {part(std::cos(theta)) + 0.0, part(std::sin(theta)) + 0.0};  // a zero part counts as +0
  if (!std::isfinite(out.z.re) || !std::isfinite(out.z.im) || std::fabs(lnModulus) > 740) return false;
  out.w = {sign * a, sign * b};
  return true;
}

// A complex function of one operand: point and rectangle forms, the real function it agrees with
// on the real axis (NaN outside its domain) and the real machine's interval operation, the C++
// library's form and tolerance (of max(1, |value|)) to check the point form off the cuts, the
// 113-bit real and complex references, and whether every bounded rectangle has a value.
struct ComplexUnary {
  const char* name;
  void (*point)(Complex&, const Complex&);
  void (*box)(ComplexInterval&, const ComplexInterval&);
  double (*real)(double);
  void (*realBox)(Interval&, const Interval&);
  Std (*library)(Std);
  double tolerance;
  Quad (*quad)(Quad);
  QuadComplex (*quadComplex)(QuadComplex);
  bool total;
};

inline void IntervalArgOfReal(Interval& out, const Interval& a) {
  out = a.hi < 0.0 ? Interval{kPi, kPi} : a.lo >= 0.0 ? Interval{0.0, 0.0} : Interval{0.0, kPi};
}

// Tolerances of the point forms, measured over 200,000 points with room: a few ulps without
// cancellation; ln |z| loses relative accuracy as |z| nears 1; the tangents divide by
// cos 2x + cosh 2y, which cancels near their poles; the reciprocal inverses round 1 / z next to
// the branch points +-1.
constexpr double kFewUlps = 1e-15;
constexpr double kThroughLn = 1e-14;
constexpr double kTangent = 2e-12;

inline QuadComplex Real(Quad v) { return MakeQuad(v, 0); }
#define QV_Q(expr) [](Quad x) -> Quad { return expr; }
#define QV_C(expr) [](QuadComplex z) -> QuadComplex { return expr; }

// acot is atan(1 / z): on the negative reals pi below the real inverse cotangent, so its real
// reference is atan(1 / x) while the real machine's interval operation stays the real one.
inline const ComplexUnary kComplexUnary[] = {
    {"exp", ComplexExp, ComplexIntervalExp, [](double x) { return std::exp(x); }, IntervalExp, [](Std z) { return std::exp(z); }, kFewUlps, QV_Q(expq(x)), QV_C(cexpq(z)), true},
    {"ln", ComplexLn, ComplexIntervalLn, [](double x) { return std::log(x); }, IntervalLn, [](Std z) { return std::log(z); }, kThroughLn, QV_Q(logq(x)), QV_C(clogq(z)), true},
    {"log10", ComplexLog10, ComplexIntervalLog10, [](double x) { return std::log10(x); }, IntervalLog10, [](Std z) { return std::log10(z); }, kThroughLn, QV_Q(log10q(x)), QV_C(clog10q(z)), true},
    {"sqrt", ComplexSqrt, ComplexIntervalSqrt, [](double x) { return std::sqrt(x); }, IntervalSqrt, [](Std z) { return std::sqrt(z); }, kFewUlps, QV_Q(sqrtq(x)), QV_C(csqrtq(z)), true},
    {"square", ComplexSquare, ComplexIntervalSquare, [](double x) { return x * x; }, IntervalSquare, [](Std z) { return z * z; }, kFewUlps, QV_Q(x * x), QV_C(z * z), true},
    {"abs", ComplexAbs, ComplexIntervalAbs, [](double x) { return std::fabs(x); }, IntervalAbs, [](Std z) { return Std(std::abs(z)); }, kFewUlps, QV_Q(fabsq(x)), QV_C(Real(cabsq(z))), true},
    {"arg", ComplexArg, ComplexIntervalArg, [](double x) { return x < 0.0 ? kPi : 0.0; }, IntervalArgOfReal, [](Std z) { return Std(std::arg(z)); }, kFewUlps, QV_Q(x < 0 ? kQuadPi : 0), QV_C(Real(cargq(z))), true},
    {"sin", ComplexSin, ComplexIntervalSin, [](double x) { return std::sin(x); }, IntervalSin, [](Std z) { return std::sin(z); }, kFewUlps, QV_Q(sinq(x)), QV_C(csinq(z)), true},
    {"cos", ComplexCos, ComplexIntervalCos, [](double x) { return std::cos(x); }, IntervalCos, [](Std z) { return std::cos(z); }, kFewUlps, QV_Q(cosq(x)), QV_C(ccosq(z)), true},
    {"tan", ComplexTan, ComplexIntervalTan, [](double x) { return std::tan(x); }, IntervalTan, [](Std z) { return std::tan(z); }, kTangent, QV_Q(tanq(x)), QV_C(ctanq(z)), false},
    {"cot", ComplexCot, ComplexIntervalCot, Cot, IntervalCot, [](Std z) { return 1.0 / std::tan(z); }, kTangent, QV_Q(1 / tanq(x)), QV_C(QuadReciprocal(ctanq(z))), false},
    {"sec", ComplexSec, ComplexIntervalSec, Sec, IntervalSec, [](Std z) { return 1.0 / std::cos(z); }, kFewUlps, QV_Q(1 / cosq(x)), QV_C(QuadReciprocal(ccosq(z))), false},
    {"csc", ComplexCsc, ComplexIntervalCsc, Csc, IntervalCsc, [](Std z) { return 1.0 / std::sin(z); }, kFewUlps, QV_Q(1 / sinq(x)), QV_C(QuadReciprocal(csinq(z))), false},
    {"asin", ComplexAsin, ComplexIntervalAsin, [](double x) { return std::asin(x); }, IntervalAsin, [](Std z) { return std::asin(z); }, kFewUlps, QV_Q(asinq(x)), QV_C(casinq(z)), true},
    {"acos", ComplexAcos, ComplexIntervalAcos, [](double x) { return std::acos(x); }, IntervalAcos, [](Std z) { return std::acos(z); }, kFewUlps, QV_Q(acosq(x)), QV_C(cacosq(z)), true},
    {"atan", ComplexAtan, ComplexIntervalAtan, [](double x) { return std::atan(x); }, IntervalAtan, [](Std z) { return std::atan(z); }, kFewUlps, QV_Q(atanq(x)), QV_C(catanq(z)), false},
    {"acot", ComplexAcot, ComplexIntervalAcot, [](double x) { return std::atan(1.0 / x); }, IntervalAcot, [](Std z) { return std::atan(1.0 / z); }, kFewUlps, QV_Q(atanq(1 / x)), QV_C(catanq(QuadReciprocal(z))), false},
    {"asec", ComplexAsec, ComplexIntervalAsec, Arcsec, IntervalAsec, [](Std z) { return std::acos(1.0 / z); }, kThroughLn, QV_Q(acosq(1 / x)), QV_C(cacosq(QuadReciprocal(z))), false},
    {"acsc", ComplexAcsc, ComplexIntervalAcsc, Arccsc, IntervalAcsc, [](Std z) { return std::asin(1.0 / z); }, kThroughLn, QV_Q(asinq(1 / x)), QV_C(casinq(QuadReciprocal(z))), false},
    {"sinh", ComplexSinh, ComplexIntervalSinh, [](double x) { return std::sinh(x); }, IntervalSinh, [](Std z) { return std::sinh(z); }, kFewUlps, QV_Q(sinhq(x)), QV_C(csinhq(z)), true},
    {"cosh", ComplexCosh, ComplexIntervalCosh, [](double x) { return std::cosh(x); }, IntervalCosh, [](Std z) { return std::cosh(z); }, kFewUlps, QV_Q(coshq(x)), QV_C(ccoshq(z)), true},
    {"tanh", ComplexTanh, ComplexIntervalTanh, [](double x) { return std::tanh(x); }, IntervalTanh, [](Std z) { return std::tanh(z); }, kTangent, QV_Q(tanhq(x)), QV_C(ctanhq(z)), false},
    {"coth", ComplexCoth, ComplexIntervalCoth, Coth, IntervalCoth, [](Std z) { return 1.0 / std::tanh(z); }, kTangent, QV_Q(1 / tanhq(x)), QV_C(QuadReciprocal(ctanhq(z))), false},
    {"sech", ComplexSech, ComplexIntervalSech, Sech, IntervalSech, [](Std z) { return 1.0 / std::cosh(z); }, kFewUlps, QV_Q(1 / coshq(x)), QV_C(QuadReciprocal(ccoshq(z))), false},
    {"csch", ComplexCsch, ComplexIntervalCsch, Csch, IntervalCsch, [](Std z) { return 1.0 / std::sinh(z); }, kFewUlps, QV_Q(1 / sinhq(x)), QV_C(QuadReciprocal(csinhq(z))), false},
    {"asinh", ComplexAsinh, ComplexIntervalAsinh, [](double x) { return std::asinh(x); }, IntervalAsinh, [](Std z) { return std::asinh(z); }, kFewUlps, QV_Q(asinhq(x)), QV_C(casinhq(z)), true},
    {"acosh", ComplexAcosh, ComplexIntervalAcosh, [](double x) { return std::acosh(x); }, IntervalAcosh, [](Std z) { return std::acosh(z); }, kFewUlps, QV_Q(acoshq(x)), QV_C(cacoshq(z)), true},
    {"atanh", ComplexAtanh, ComplexIntervalAtanh, [](double x) { return std::atanh(x); }, IntervalAtanh, [](Std z) { return std::atanh(z); }, kFewUlps, QV_Q(atanhq(x)), QV_C(catanhq(z)), false},
    {"acoth", ComplexAcoth, ComplexIntervalAcoth, Arccoth, IntervalAcoth, [](Std z) { return std::atanh(1.0 / z); }, kThroughLn, QV_Q(atanhq(1 / x)), QV_C(catanhq(QuadReciprocal(z))), false},
    {"asech", ComplexAsech, ComplexIntervalAsech, Arcsech, IntervalAsech, [](Std z) { return std::acosh(1.0 / z); }, kThroughLn, QV_Q(acoshq(1 / x)), QV_C(cacoshq(QuadReciprocal(z))), false},
    {"acsch", ComplexAcsch, ComplexIntervalAcsch, Arccsch, IntervalAcsch, [](Std z) { return std::asinh(1.0 / z); }, kThroughLn, QV_Q(asinhq(1 / x)), QV_C(casinhq(QuadReciprocal(z))), false},
};
#undef QV_Q
#undef QV_C

// The inverse functions on and beside their cuts. On a cut each takes the value its logarithmic
// formula gives evaluated exactly (the root of a negative real is +i times a root, the angle of
// one is pi, acosh negated only for a negative real part, a zero part counting as 0 whatever its
// sign); beside it, the principal value on each side. Goldens: those formulas in 60-digit
// arithmetic (mpmath 1.3) at each cut point (x, y) and a step of 1e-9 |z| across the cut to
// either side (plus and minus: above and below a real cut, right and left of an imaginary one).
struct CutGolden {
  const char* name;
  double x, y, re, im, step, plusRe, plusIm, minusRe, minusIm;
};
inline const CutGolden kCutGoldens[] = {
    {"asin", 1.5, 0.0, 1.5707963267948966, -0.9624236501192069, 1.5e-09, 1.5707963254532558, 0.9624236501192069, 1.5707963254532558, -0.9624236501192069},
    {"asin", 2.0, 0.0, 1.5707963267948966, -1.3169578969248168, 2e-09, 1.570796325640196, 1.3169578969248168, 1.570796325640196, -1.3169578969248168},
    {"asin", -2.0, 0.0, -1.5707963267948966, 1.3169578969248168, 2e-09, -1.570796325640196, 1.3169578969248168, -1.570796325640196, -1.3169578969248168},
    {"asin", 10.0, 0.0, 1.5707963267948966, -2.993222846126381, 1e-08, 1.5707963257898587, 2.993222846126381, 1.5707963257898587, -2.993222846126381},
    {"asin", -10000000000.0, 0.0, -1.5707963267948966, 23.7189981105004, 10.0, -1.5707963257948967, 23.7189981105004, -1.5707963257948967, -23.7189981105004},
    {"acos", 2.0, 0.0, 0.0, -1.3169578969248168, 2e-09, 1.1547005383792515e-09, -1.3169578969248168, 1.1547005383792515e-09, 1.3169578969248168},
    {"acos", -2.0, 0.0, 3.141592653589793, 1.3169578969248168, 2e-09, 3.141592652435093, -1.3169578969248168, 3.141592652435093, 1.3169578969248168},
    {"acos", -1.5, 0.0, 3.141592653589793, 0.9624236501192069, 1.5e-09, 3.1415926522481525, -0.9624236501192069, 3.1415926522481525, 0.9624236501192069},
    {"acos", 10000000000.0, 0.0, 0.0, -23.7189981105004, 10.0, 1e-09, -23.7189981105004, 1e-09, 23.7189981105004},
    {"atanh", 2.0, 0.0, 0.5493061443340549, 1.5707963267948966, 2e-09, 0.5493061443340549, 1.57079632612823, 0.5493061443340549, -1.57079632612823},
    {"atanh", -2.0, 0.0, -0.5493061443340549, 1.5707963267948966, 2e-09, -0.5493061443340549, 1.57079632612823, -0.5493061443340549, -1.57079632612823},
    {"atanh", 1.25, 0.0, 1.0986122886681098, 1.5707963267948966, 1.25e-09, 1.0986122886681098, 1.5707963245726744, 1.0986122886681098, -1.5707963245726744},
    {"atanh", -10000000000.0, 0.0, -1e-10, 1.5707963267948966, 10.0, -1e-10, 1.5707963267948966, -1e-10, -1.5707963267948966},
    {"acosh", -2.0, 0.0, 1.3169578969248168, -3.141592653589793, 2e-09, 1.3169578969248168, 3.141592652435093, 1.3169578969248168, -3.141592652435093},
    {"acosh", -1.0, 0.0, 0.0, 3.141592653589793, 1e-09, 3.162277660431902e-05, 3.141561030813194, 3.162277660431902e-05, -3.141561030813194},
    {"acosh", -0.5, 0.0, 0.0, 2.0943951023931957, 5e-10, 5.773502691896258e-10, 2.0943951023931957, 5.773502691896258e-10, -2.0943951023931957},
    {"acosh", 0.0, 0.0, 0.0, 1.5707963267948966, 1e-09, 1e-09, 1.5707963267948966, 1e-09, -1.5707963267948966},
    {"acosh", 0.7, 0.0, 0.0, 0.7953988301841436, 7e-10, 9.801960588196069e-10, 0.7953988301841436, 9.801960588196069e-10, -0.7953988301841436},
    {"acosh", -10000000000.0, 0.0, 23.7189981105004, -3.141592653589793, 10.0, 23.7189981105004, 3.141592652589793, 23.7189981105004, -3.141592652589793},
    {"atan", 0.0, 2.0, 1.5707963267948966, 0.5493061443340549, 2e-09, 1.57079632612823, 0.5493061443340549, -1.57079632612823, 0.5493061443340549},
    {"atan", 0.0, -2.0, 1.5707963267948966, -0.5493061443340549, 2e-09, 1.57079632612823, -0.5493061443340549, -1.57079632612823, -0.5493061443340549},
    {"atan", 0.0, 1.5, 1.5707963267948966, 0.8047189562170501, 1.5e-09, 1.5707963255948967, 0.8047189562170501, -1.5707963255948967, 0.8047189562170501},
    {"atan", 0.0, -10000000000.0, 1.5707963267948966, -1e-10, 10.0, 1.5707963267948966, -1e-10, -1.5707963267948966, -1e-10},
    {"asinh", 0.0, 2.0, 1.3169578969248168, 1.5707963267948966, 2e-09, 1.3169578969248168, 1.570796325640196, -1.3169578969248168, 1.570796325640196},
    {"asinh", 0.0, -2.0, -1.3169578969248168, -1.5707963267948966, 2e-09, 1.3169578969248168, -1.570796325640196, -1.3169578969248168, -1.570796325640196},
    {"asinh", 0.0, -1.5, -0.9624236501192069, -1.5707963267948966, 1.5e-09, 0.9624236501192069, -1.5707963254532558, -0.9624236501192069, -1.5707963254532558},
    {"asinh", 0.0, 10000000000.0, 23.7189981105004, 1.5707963267948966, 10.0, 23.7189981105004, 1.5707963257948967, -23.7189981105004, 1.5707963257948967},
    {"acsc", 0.5, 0.0, 1.5707963267948966, -1.3169578969248168, 5e-10, 1.570796325640196, -1.3169578969248168, 1.570796325640196, 1.3169578969248168},
    {"acsc", -0.5, 0.0, -1.5707963267948966, 1.3169578969248168, 5e-10, -1.570796325640196, -1.3169578969248168, -1.570796325640196, 1.3169578969248168},
    {"acsc", 0.25, 0.0, 1.5707963267948966, -2.0634370688955603, 2.5e-10, 1.5707963257621012, -2.0634370688955603, 1.5707963257621012, 2.0634370688955603},
    {"asec", 0.5, 0.0, 0.0, -1.3169578969248168, 5e-10, 1.1547005383792515e-09, 1.3169578969248168, 1.1547005383792515e-09, -1.3169578969248168},
    {"asec", -0.5, 0.0, 3.141592653589793, 1.3169578969248168, 5e-10, 3.141592652435093, 1.3169578969248168, 3.141592652435093, -1.3169578969248168},
    {"asec", 0.8, 0.0, 0.0, -0.6931471805599453, 8e-10, 1.6666666666666667e-09, 0.6931471805599453, 1.6666666666666667e-09, -0.6931471805599453},
    {"acoth", 0.5, 0.0, 0.5493061443340549, 1.5707963267948966, 5e-10, 0.5493061443340549, -1.57079632612823, 0.5493061443340549, 1.57079632612823},
    {"acoth", -0.5, 0.0, -0.5493061443340549, 1.5707963267948966, 5e-10, -0.5493061443340549, -1.57079632612823, -0.5493061443340549, 1.57079632612823},
    {"acoth", 0.1, 0.0, 0.10033534773107558, 1.5707963267948966, 1e-10, 0.10033534773107558, -1.5707963266938865, 0.10033534773107558, 1.5707963266938865},
    {"asech", 1.355, 0.0, 0.0, 0.7406836932565322, 1.355e-09, 1.0936802453972887e-09, -0.7406836932565322, 1.0936802453972887e-09, 0.7406836932565322},
    {"asech", 2.0, 0.0, 0.0, 1.0471975511965979, 2e-09, 5.773502691896258e-10, -1.0471975511965979, 5.773502691896258e-10, 1.0471975511965979},
    {"asech", -2.0, 0.0, 0.0, 2.0943951023931957, 2e-09, 5.773502691896258e-10, -2.0943951023931957, 5.773502691896258e-10, 2.0943951023931957},
    {"asech", -0.5, 0.0, 1.3169578969248168, -3.141592653589793, 5e-10, 1.3169578969248168, -3.141592652435093, 1.3169578969248168, 3.141592652435093},
    {"asech", -1.5, 0.0, 0.0, 2.300523983021863, 1.5e-09, 8.944271909999159e-10, -2.300523983021863, 8.944271909999159e-10, 2.300523983021863},
    {"acot", 0.0, 0.5, 1.5707963267948966, -0.5493061443340549, 5e-10, 1.57079632612823, -0.5493061443340549, -1.57079632612823, -0.5493061443340549},
    {"acot", 0.0, -0.5, 1.5707963267948966, 0.5493061443340549, 5e-10, 1.57079632612823, 0.5493061443340549, -1.57079632612823, 0.5493061443340549},
    {"acsch", 0.0, 0.5, -1.3169578969248168, -1.5707963267948966, 5e-10, 1.3169578969248168, -1.570796325640196, -1.3169578969248168, -1.570796325640196},
    {"acsch", 0.0, -0.5, 1.3169578969248168, 1.5707963267948966, 5e-10, 1.3169578969248168, 1.570796325640196, -1.3169578969248168, 1.570796325640196},
    {"acsch", 0.0, 0.25, -2.0634370688955603, -1.5707963267948966, 2.5e-10, 2.0634370688955603, -1.5707963257621012, -2.0634370688955603, -1.5707963257621012},
};

// The 113-bit value of a complex point function at z. On a cut the point forms take one side by
// the sign of a zero part: z with +0 parts, unless another sign of its zero parts lands nearer
// the double-precision point value, measured in doubles (so values that underflow tie).
template <typename F>
QuadComplex QuadAt(F f, const Complex& z, const Complex& point) {
  const bool choose = std::isfinite(point.re) && std::isfinite(point.im);
  QuadComplex best = f(MakeQuad(z.re + 0.0, z.im + 0.0));
  if (!choose) return best;
  const auto distance = [&](QuadComplex v) { return std::hypot(double(__real__ v) - point.re, double(__imag__ v) - point.im); };
  double bestDistance = distance(best);
  for (const double re : {0.0, -0.0}) {
    for (const double im : {0.0, -0.0}) {
      const QuadComplex v = f(MakeQuad(z.re == 0.0 ? re : z.re, z.im == 0.0 ? im : z.im));
      if (distance(v) < bestDistance) bestDistance = distance(v), best = v;  // NaN distances lose
    }
  }
  return best;
}

// Checks results against the 113-bit values of their operands' points with no slack: a bound
// must hold the value itself. At most five failures are reported per operation, and their
// descriptions are built only then, so the sweeps stay quick.
struct ContainmentChecker {
  const char* name;
  int failures = 0;
  int defined = 0;              // values checked against a defined result
  bool pointUndefined = false;  // some point of the current operands has no value
  int points = 0;               // points of the current operands

  void Start() {
    pointUndefined = false;
    points = 0;
  }

  template <typename Describe>
  void Fail(Describe describe, const std::string& what) {
    if (++failures <= 5) ADD_FAILURE() << name << " " << describe() << what;
  }

  // A value past the largest double is finite here: only a bound of infinity holds it.
  template <typename Describe>
  void Expect(const Interval& r, Quad v, Describe describe) {
    ++points;
    if (isnanq(v)) pointUndefined = true;
    if (!finiteq(v) || IntervalIsUndefined(r)) return;
    ++defined;
    if (!Holds(r, v)) Fail(describe, ": value outside " + Fmt(v) + " " + Show(r));
  }

  template <typename Describe>
  void Expect(const ComplexInterval& r, QuadComplex v, Describe describe) {
    ++points;
    const Quad re = __real__ v, im = __imag__ v;
    if (!finiteq(re) || !finiteq(im) || ComplexIntervalIsUndefined(r)) return;
    ++defined;
    if (!Holds(r.re, re) || !Holds(r.im, im)) Fail(describe, ": value outside (" + Fmt(re) + ", " + Fmt(im) + ") " + Show(r));
  }

  // After the points of one operand set: undefined only where a point is, or a rule allows it.
  template <typename Describe>
  void ExpectEarnedUndefined(const Interval& r, bool ruleRefuses, Describe describe) {
    if (IntervalIsUndefined(r) && points > 0 && !pointUndefined && !ruleRefuses) {
      Fail(describe, ": undefined although every sampled point has a value");
    }
  }
};

// Rectangles whose functions may not overflow anywhere, where a total function has a value.
inline bool Moderate(const ComplexInterval& z) {
  const auto within = [](const Interval& a) { return !IntervalIsWrapped(a) && std::fabs(a.lo) <= 700 && std::fabs(a.hi) <= 700; };
  return within(z.re) && within(z.im);
}

// Random operands for the containment sweeps: ordinary boxes of every width (degenerate, with
// corners exactly on the zeros, extrema, poles and domain edges of the functions, at and beyond
// overflow, +-infinity), wrapped ones, and rectangles of two boxes.
class BoxSampler {
 public:
  explicit BoxSampler(uint64_t seed) : rng_(seed) {}

  double Uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng_); }
  size_t Index(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
  bool Chance(double p) { return Uniform(0, 1) < p; }

  // Exact zeros and extrema (0, +-1, +-0.5, 2, 3, 10: sqrt, ln, log10, asin, acos, acosh, atanh,
  // cosh, x^2, sin, cos, tan, x!, J0), poles, turning points (of x!, J0), the overflow thresholds
  // of exp and of squares, or a random magnitude.
  double Value() {
    static const double kAnchors[] = {0.0, -0.0, 1, -1, 0.5, -0.5, 2, -2, 3, -3, 10, -10, 100, 1e-300, 1e-8,
                                      kPi / 2, -kPi / 2, kPi, -kPi, 2 * kPi, 4.71238898038469,
                                      0.46163214496836234, -1.5, -2.5, -1.5040830082644554, 3.8317059702075123,
                                      709.782712893384, 710, -710, -745.2, 1.3407807929942596e154, 1e10, -1e10,
                                      1e15, 1e300, DBL_MAX, -DBL_MAX, kPositiveInfinity, -kPositiveInfinity};
    if (Chance(0.55)) return kAnchors[Index(std::size(kAnchors))];
    return (Chance(0.5) ? 1 : -1) * std::pow(10.0, Uniform(-3, 3));
  }

  // Ordinary boxes of every width and wrapped ones, about one in five.
  Interval Box(bool ordinaryOnly = false) {
    const size_t kind = Index(10);
    if (kind == 0) return Degenerate(Value());
    if (kind <= 6 || ordinaryOnly) {
      static const double kWidths[] = {1e-9, 1e-3, 0.1, 0.5, 1, 2, 5, 50, 1e6, kPositiveInfinity};
      const double a = Value(), w = kWidths[Index(std::size(kWidths))];
      if (std::isinf(a)) return a > 0 ? Interval{Value(), kPositiveInfinity} : Interval{-kPositiveInfinity, Value()};
      Interval b = Chance(0.5) ? Interval{a, a + w} : Interval{a - w, a};
      if (b.lo > b.hi) std::swap(b.lo, b.hi);
      return b;
    }
    double a = Value(), b = Value();
    if (a > b) std::swap(a, b);
    // Wrapped: x >= b or x <= a. An infinite end would leave one half without real points, a
    // form no operation produces from ordinary operands.
    if (kind == 7 || a == b || std::isinf(a) || std::isinf(b)) return {a, b};
    return {b, a};
  }

  // Rectangles of two such boxes, half of them exactly real (with either zero).
  ComplexInterval Rectangle() {
    const size_t kind = Index(4);
    return {Box(), kind == 0 ? Interval{0.0, 0.0} : kind == 1 ? Interval{-0.0, -0.0} : Box()};
  }

  // Points of a rectangle: its parts' first points paired (corners, and the real axis with
  // either zero when the rectangle reaches it), then random pairs.
  void Points(const ComplexInterval& z, int count, std::vector<Complex>& points) {
    Points(z.re, count, re_);
    Points(z.im, count, im_);
    points.clear();
    for (size_t i = 0; i < std::min<size_t>(re_.size(), 4); ++i) {
      for (size_t j = 0; j < std::min<size_t>(im_.size(), 4); ++j) points.push_back({re_[i], im_[j]});
    }
    if (re_.empty() || im_.empty()) return;
    for (int k = 0; k < count; ++k) points.push_back({re_[Index(re_.size())], im_[Index(im_.size())]});
  }

  // Points of the set the box stands for: its finite bounds (a zero bound approached from
  // inside: +0 at the low end, -0 at the high end), both zeros when 0 lies inside or the box is
  // [0, 0], and random points of each half of a wrapped box.
  void Points(const Interval& box, int count, std::vector<double>& points) {
    points.clear();
    if (std::isfinite(box.lo)) points.push_back(box.lo == 0.0 ? 0.0 : box.lo);
    if (std::isfinite(box.hi)) points.push_back(box.hi == 0.0 ? -0.0 : box.hi);
    if (Holds(box, 0.0) && box.lo != 0.0 && box.hi != 0.0) {
      points.push_back(0.0);
      points.push_back(-0.0);
    }
    // An unbounded side reaches well past its finite end (and past 0) for sure.
    const bool wrapped = IntervalIsWrapped(box);
    const double below = box.hi - 10 * (1 + std::fabs(box.hi)), above = box.lo + 10 * (1 + std::fabs(box.lo));
    if (std::isfinite(below) && (wrapped || box.lo == -kPositiveInfinity)) points.push_back(below);
    if (std::isfinite(above) && (wrapped || box.hi == kPositiveInfinity)) points.push_back(above);
    for (int i = 0; i < count; ++i) {
      Interval part = box;
      if (wrapped) part = i % 2 == 0 ? Interval{box.lo, kPositiveInfinity} : Interval{-kPositiveInfinity, box.hi};
      const double v = Inside(part);
      if (std::isfinite(v)) points.push_back(v);  // [inf, inf] has no real points
    }
  }

 private:
  double Inside(const Interval& b) {
    // Towards an infinite end the points lie near the finite one or run far past it, across 0
    // if it lies there.
    const double finiteEnd = std::isfinite(b.lo) ? b.lo : std::isfinite(b.hi) ? b.hi : 0.0;
    const double scale = Chance(0.5) ? 1.0 : 1 + std::fabs(finiteEnd);
    const double spread = std::pow(10.0, Uniform(-3, 12)) * scale;
    const double u = Uniform(0, 1);
    const double v = std::isinf(b.lo) && std::isinf(b.hi) ? (Chance(0.5) ? spread : -spread)
                     : std::isinf(b.lo)                   ? b.hi - spread
                     : std::isinf(b.hi)                   ? b.lo + spread
                                                          : b.lo * (1 - u) + b.hi * u;
    return std::min(std::max(v, b.lo), b.hi);
  }

  static Interval Degenerate(double v) { return {v, v}; }

  std::mt19937_64 rng_;
  std::vector<double> re_, im_;
};

}  // namespace interval_test
