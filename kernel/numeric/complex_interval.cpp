// Complex-interval operations: the point formulas of the complex kind evaluated with interval
// operations (bounds rounded outward), so every rectangle contains the image of the operands; the
// square root, monotone in each part, encloses the point root at its corners. Where e^x, cosh x
// or |z| of a part would overflow on the way, the same quantities are taken in a scaled form. A real rectangle in
// a function's real domain gets the real interval operation and [0, 0], as its points get real
// values: the formulas lose dependences (|i z + sqrt(1 - z^2)| = 1 as [0.99, 1.01]) or do 0 * inf.
#include "kernel/numeric/complex_interval.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "kernel/numeric/complex.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/outward_rounding.h"
#include "kernel/numeric/value_of.h"

static_assert(sizeof(ComplexInterval) == 4 * sizeof(double) &&
                  std::is_trivially_copyable_v<ComplexInterval>,
              "ComplexInterval must stay four packed doubles: re.lo, re.hi, im.lo, im.hi");

namespace {

using CI = ComplexInterval;

constexpr Interval kZero{0.0, 0.0};
constexpr Interval kOne{1.0, 1.0};
constexpr Interval kHalf{0.5, 0.5};
constexpr Interval kTwo{2.0, 2.0};
constexpr CI kComplexOne{kOne, kZero};
constexpr double kHalfPiAbove = kPiAbove / 2.0;
// ln 10 lies between the neighbours of its rounding.
constexpr Interval kLn10{NextBelow(2.302585092994046), NextAbove(2.302585092994046)};

// Writes the result, collapsing a partly undefined value to all four NaN.
inline void Finish(CI& out, const Interval& re, const Interval& im) {
  if (IntervalIsUndefined(re) || IntervalIsUndefined(im)) {
    out = kUndefinedComplexInterval;
    return;
  }
  out.re = re;
  out.im = im;
}

inline Interval Add(const Interval& a, const Interval& b) { return ValueOf(IntervalAdd, a, b); }
inline Interval Neg(const Interval& a) { return ValueOf(IntervalNegate, a); }
inline Interval Sub(const Interval& a, const Interval& b) { return Add(a, Neg(b)); }
inline Interval Mul(const Interval& a, const Interval& b) { return ValueOf(IntervalMultiply, a, b); }
template <void (*F)(Interval&, const Interval&)>
inline Interval Apply(const Interval& a) {
  return ValueOf(F, a);
}
inline Interval Hypot(const Interval& a, const Interval& b) { return ValueOf(IntervalHypot, a, b); }
inline Interval Angle(const CI& z) { return ValueOf(IntervalAtan2Signed, z.im, z.re); }

inline CI Plus(const CI& a, const CI& b) { return {Add(a.re, b.re), Add(a.im, b.im)}; }
inline CI Minus(const CI& a, const CI& b) { return {Sub(a.re, b.re), Sub(a.im, b.im)}; }
inline CI Times(const CI& a, const CI& b) { return ValueOf(ComplexIntervalMultiply, a, b); }
inline CI Over(const CI& a, const CI& b) { return ValueOf(ComplexIntervalDivide, a, b); }
inline CI Square(const CI& z) { return ValueOf(ComplexIntervalSquare, z); }
inline CI Sqrt(const CI& z) { return ValueOf(ComplexIntervalSqrt, z); }
inline CI Ln(const CI& z) { return ValueOf(ComplexIntervalLn, z); }

// A real rectangle whose real part lies in [lo, hi] (a wrapped one reaches both infinities).
inline bool RealWithin(const CI& z, double lo, double hi) {
  return ComplexIntervalIsReal(z) && !IntervalIsWrapped(z.re) && lo <= z.re.lo && z.re.hi <= hi;
}

// On a real rectangle inside the real domain [lo, hi] of F (the whole line takes wrapped ones
// too) writes F's interval with [0, 0] as imaginary part and answers true; else writes nothing.
template <void (*F)(Interval&, const Interval&)>
inline bool OnRealAxis(CI& out, const CI& z, double lo = -kPositiveInfinity, double hi = kPositiveInfinity) {
  const bool wholeLine = lo == -kPositiveInfinity && hi == kPositiveInfinity;
  if (!ComplexIntervalIsReal(z) || !(wholeLine || RealWithin(z, lo, hi))) return false;
  Finish(out, Apply<F>(z.re), kZero);
  return true;
}

}  // namespace

void CopyFourDoubles(ComplexInterval& dst, const ComplexInterval& src) {
  std::memmove(&dst, &src, sizeof(ComplexInterval));
}

void ComplexIntervalAdd(CI& out, const CI& a, const CI& b) {
  const CI r = Plus(a, b);
  Finish(out, r.re, r.im);
}

void ComplexIntervalNegate(CI& out, const CI& a) { Finish(out, Neg(a.re), Neg(a.im)); }

void ComplexIntervalMultiply(CI& out, const CI& a, const CI& b) {
  if (ComplexIntervalIsReal(a) && ComplexIntervalIsReal(b)) {  // no [0, 0] times an infinite bound
    Finish(out, ValueOf(IntervalMultiply, a.re, b.re), kZero);
    return;
  }
  const Interval re = Sub(Mul(a.re, b.re), Mul(a.im, b.im));
  const Interval im = Add(Mul(a.re, b.im), Mul(a.im, b.re));
  Finish(out, re, im);
}

void ComplexIntervalDivide(CI& out, const CI& a, const CI& b) {
  if (ComplexIntervalIsReal(a) && ComplexIntervalIsReal(b)) {
    // a.re * b.re / sqr b.re would widen the quotient (1 / [1, 1.1] reaching past 1) and give
    // [0, 0] times infinity by a divisor touching 0.
    Finish(out, ValueOf(IntervalDivide, a.re, b.re), kZero);
    return;
  }
  const Interval d = Apply<IntervalReciprocal>(Add(Apply<IntervalSquare>(b.re), Apply<IntervalSquare>(b.im)));
  const Interval re = Mul(Add(Mul(a.re, b.re), Mul(a.im, b.im)), d);
  const Interval im = Mul(Sub(Mul(a.im, b.re), Mul(a.re, b.im)), d);
  Finish(out, re, im);
}

void ComplexIntervalSquare(CI& out, const CI& z) {
  if (OnRealAxis<IntervalSquare>(out, z)) return;
  const Interval re = Sub(Apply<IntervalSquare>(z.re), Apply<IntervalSquare>(z.im));
  const Interval im = Mul(Mul(kTwo, z.re), z.im);
  Finish(out, re, im);
}

void ComplexIntervalAbs(CI& out, const CI& z) { Finish(out, Hypot(z.re, z.im), kZero); }
void ComplexIntervalArg(CI& out, const CI& z) { Finish(out, Angle(z), kZero); }

namespace {

// e^x c enclosed, finite wherever every product is: past 708, where e^x alone may overflow while
// e^x c does not, the exponential is taken in halves, e^(x/2) c e^(x/2), which encloses the same
// products.
Interval ExpTimes(const Interval& x, const Interval& c) {
  if (IntervalIsWrapped(x) || !(x.hi > 708.0)) return Mul(Apply<IntervalExp>(x), c);
  const Interval half = Apply<IntervalExp>(Mul(x, kHalf));
  return Mul(Mul(half, c), half);
}

}  // namespace

void ComplexIntervalExp(CI& out, const CI& z) {
  if (OnRealAxis<IntervalExp>(out, z)) return;
  Finish(out, ExpTimes(z.re, Apply<IntervalCos>(z.im)), ExpTimes(z.re, Apply<IntervalSin>(z.im)));
}

namespace {

// ln 2 lies between the neighbours of its rounding.
constexpr Interval kLn2{NextBelow(0.6931471805599453), NextAbove(0.6931471805599453)};

// ln |z| enclosed. Where a bound passes 2^1000 in size, |z| may overflow though its logarithm is
// small: the parts are scaled by 2^-e first (exact for parts that size) and e ln 2 added back.
Interval LnModulus(const CI& z) {
  const double m = std::max({std::fabs(z.re.lo), std::fabs(z.re.hi), std::fabs(z.im.lo), std::fabs(z.im.hi)});
  if (!(m > 0x1p1000 && m < kPositiveInfinity)) return Apply<IntervalLn>(Hypot(z.re, z.im));
  const int e = std::ilogb(m);
  const Interval scale{std::ldexp(1.0, -e), std::ldexp(1.0, -e)};
  const Interval ln = Apply<IntervalLn>(Hypot(Mul(z.re, scale), Mul(z.im, scale)));
  return Add(ln, Mul(Interval{static_cast<double>(e), static_cast<double>(e)}, kLn2));
}

}  // namespace

void ComplexIntervalLn(CI& out, const CI& z) {
  // A real rectangle with a corner on 0 would get every angle up to pi there.
  if (OnRealAxis<IntervalLn>(out, z, 0.0, kPositiveInfinity)) return;
  Finish(out, LnModulus(z), Angle(z));
}

void ComplexIntervalLog10(CI& out, const CI& z) {
  if (OnRealAxis<IntervalLog10>(out, z, 0.0, kPositiveInfinity)) return;
  // ln z over the real ln 10, part by part as the point function divides: a full complex
  // quotient would multiply an infinite bound of ln |z| by the divisor's zero imaginary part.
  const CI l = Ln(z);
  Finish(out, ValueOf(IntervalDivide, l.re, kLn10), ValueOf(IntervalDivide, l.im, kLn10));
}

namespace {

inline bool HoldsZero(const Interval& a) { return IntervalHolds(a, 0.0); }

// The point root's parts at (x, y) for y >= 0, enclosed: the real part and the magnitude of the
// other, by the point root's own steps t = sqrt((|x| + |z|) / 2) and y / 2t in interval
// arithmetic (exact on the real axis, and no cancellation near the negative one).
CI RootParts(double x, double y) {
  if (y == 0.0) {
    const Interval r = Apply<IntervalSqrt>(Interval{std::fabs(x), std::fabs(x)});
    return x >= 0.0 ? CI{r, kZero} : CI{kZero, r};
  }
  if (std::isinf(y)) return {{0.0, kPositiveInfinity}, {0.0, kPositiveInfinity}};
  // Past 2^1020, |x| + |z| may overflow: as the point root does, the parts are taken at 1/16 and
  // the root put back at 4 times (both exact).
  const bool large = std::max(std::fabs(x), y) > 0x1p1020;
  const double scale = large ? 0x1p-4 : 1.0;
  const Interval ax{std::fabs(x) * scale, std::fabs(x) * scale}, ay{y * scale, y * scale};
  const double unscale = large ? 4.0 : 1.0;
  const Interval t = Mul(Apply<IntervalSqrt>(Mul(kHalf, Add(ax, Hypot(ax, ay)))), Interval{unscale, unscale});
  const Interval other = ValueOf(IntervalDivide, Interval{y, y}, Mul(kTwo, t));
  return x >= 0.0 ? CI{t, other} : CI{other, t};
}

}  // namespace

void ComplexIntervalSqrt(CI& out, const CI& z) {
  if (ComplexIntervalIsUndefined(z)) {
    out = kUndefinedComplexInterval;
    return;
  }
  // The root's real part sqrt((|z| + x) / 2) rises with x and with |y|; the other part's size
  // sqrt((|z| - x) / 2) falls with x and rises with |y|, and takes the sign of y, +0 counting as
  // positive. So corners bound both, each computed as the point root computes it, exactly on the
  // real axis and without the cancellation of a polar form.
  const Interval x = IntervalIsWrapped(z.re) ? kWholeLine : z.re;
  const Interval y = IntervalIsWrapped(z.im) ? kWholeLine : z.im;
  const double yMin = HoldsZero(y) ? 0.0 : std::min(std::fabs(y.lo), std::fabs(y.hi));
  const double yMax = std::max(std::fabs(y.lo), std::fabs(y.hi));
  const Interval re{RootParts(x.lo, yMin).re.lo, RootParts(x.hi, yMax).re.hi};
  const double imLo = y.lo < 0.0 ? -RootParts(x.lo, -y.lo).im.hi : RootParts(x.hi, yMin).im.lo;
  const double imHi = y.hi >= 0.0 ? RootParts(x.lo, y.hi).im.hi : -RootParts(x.hi, -y.hi).im.lo;
  Finish(out, re, Interval{imLo, imHi});
}

void ComplexIntervalPower(CI& out, const CI& z, const CI& w) {
  if (ComplexIntervalIsUndefined(z) || ComplexIntervalIsUndefined(w)) {
    out = kUndefinedComplexInterval;
    return;
  }
  const bool wReal = ComplexIntervalIsReal(w);
  if (wReal && IntervalIsExactly(z.re, 0.0, 0.0) && ComplexIntervalIsReal(z)) {
    // 0^w is 0, 1 or +inf by the sign of w, as at a point; ln 0 would give 0 times infinity.
    const Interval e = IntervalIsWrapped(w.re) ? kWholeLine : w.re;
    const double lo = e.hi > 0.0 ? 0.0 : e.hi == 0.0 ? 1.0 : kPositiveInfinity;
    const double hi = e.lo < 0.0 ? kPositiveInfinity : e.lo == 0.0 ? 1.0 : 0.0;
    Finish(out, Interval{lo, hi}, kZero);
    return;
  }
  if (wReal && RealWithin(z, 0.0, kPositiveInfinity)) {  // a real power, as at a point
    Finish(out, ValueOf(IntervalPower, z.re, w.re), kZero);
    return;
  }
  const bool wholeExponent = wReal && w.re.lo == w.re.hi && IsWholeNumber(w.re.lo);
  if (wholeExponent && ComplexIntervalIsReal(z)) {
    Finish(out, ValueOf(IntervalPowerOrdinary, z.re, w.re), kZero);
    return;
  }
  if (wholeExponent && std::fabs(w.re.lo) <= kComplexLargestRepeatedExponent) {
    // The point power multiplies repeatedly here (so (x i)^4 is exactly real); the same steps
    // on rectangles enclose each of its partial products.
    double n = std::fabs(w.re.lo);
    CI base = z, result = kComplexOne;
    while (n > 0.0) {
      if (std::fmod(n, 2.0) == 1.0) result = Times(result, base);
      n = std::floor(n / 2.0);
      if (n > 0.0) base = Square(base);
    }
    if (w.re.lo < 0.0) result = Over(kComplexOne, result);
    Finish(out, result.re, result.im);
    return;
  }
  CI r;
  ComplexIntervalExp(r, Times(w, Ln(z)));
  if (wholeExponent && IntervalIsExactly(z.re, 0.0, 0.0) &&
      (IntervalIsExactly(z.im, 1.0, 1.0) || IntervalIsExactly(z.im, -1.0, -1.0))) {
    // Large whole powers of i and -i, exact as at a point.
    if (IsEvenNumber(w.re.lo)) {
      r.im = kZero;
    } else {
      r.re = kZero;
    }
  }
  Finish(out, r.re, r.im);
}

namespace {

// Whether b is of one sign, at least 1 in size and somewhere past 40: where cosh b and sinh b may
// overflow while the products and quotients they enter (sin, cos, sinh and cosh, tan and tanh,
// and the reciprocals) are doubles. Those are then taken with s = e^-|b| < 1, e^|b| / 2 split
// off or divided out.
bool LargeOneSigned(const Interval& b) {
  const double small = std::min(std::fabs(b.lo), std::fabs(b.hi)), large = std::max(std::fabs(b.lo), std::fabs(b.hi));
  return !IntervalIsWrapped(b) && (b.lo >= 1.0 || b.hi <= -1.0) && large > 40.0 && small >= 1.0;
}

// e^-|b| for a b of one sign.
Interval ExpOfMinusSize(const Interval& b) { return Apply<IntervalExp>(b.hi < 0.0 ? b : Neg(b)); }

// cosh t c or sinh t c enclosed, finite wherever every product is: where cosh t may overflow (a
// LargeOneSigned t past 708), e^(|t|/2) (c (1 +- s^2) / 2) e^(|t|/2) with s = e^-|t|, sinh's
// sign put on c.
Interval HyperbolicTimes(const Interval& t, const Interval& c, bool cosh) {
  if (!LargeOneSigned(t) || !(std::max(std::fabs(t.lo), std::fabs(t.hi)) > 708.0)) {
    return Mul(ValueOf(cosh ? IntervalCosh : IntervalSinh, t), c);
  }
  const bool negative = t.hi < 0.0;
  const Interval s2 = Apply<IntervalSquare>(ExpOfMinusSize(t));
  const Interval factor = Mul(kHalf, cosh ? Add(kOne, s2) : Sub(kOne, s2));
  const Interval half = Apply<IntervalExp>(Mul(negative ? Neg(t) : t, kHalf));
  return Mul(Mul(half, Mul(!cosh && negative ? Neg(c) : c, factor)), half);
}

}  // namespace

void ComplexIntervalSin(CI& out, const CI& z) {
  if (OnRealAxis<IntervalSin>(out, z)) return;
  Finish(out, HyperbolicTimes(z.im, Apply<IntervalSin>(z.re), true),
         HyperbolicTimes(z.im, Apply<IntervalCos>(z.re), false));
}

void ComplexIntervalCos(CI& out, const CI& z) {
  if (OnRealAxis<IntervalCos>(out, z)) return;
  Finish(out, HyperbolicTimes(z.im, Apply<IntervalCos>(z.re), true),
         Neg(HyperbolicTimes(z.im, Apply<IntervalSin>(z.re), false)));
}

void ComplexIntervalSinh(CI& out, const CI& z) {
  if (OnRealAxis<IntervalSinh>(out, z)) return;
  Finish(out, HyperbolicTimes(z.re, Apply<IntervalCos>(z.im), false),
         HyperbolicTimes(z.re, Apply<IntervalSin>(z.im), true));
}

void ComplexIntervalCosh(CI& out, const CI& z) {
  if (OnRealAxis<IntervalCosh>(out, z)) return;
  Finish(out, HyperbolicTimes(z.re, Apply<IntervalCos>(z.im), true),
         HyperbolicTimes(z.re, Apply<IntervalSin>(z.im), false));
}

namespace {

// The parts sin a / (cos a + cosh b) and sinh b / (cos a + cosh b) of tan and tanh, for a
// LargeOneSigned b: 2 s sin a / f and sign(b) (1 - s^2) / f, f = 1 + s^2 + 2 s cos a >= (1 - s)^2.
struct TangentParts {
  Interval across;
  Interval along;
};

TangentParts SaturatedTangent(const Interval& a, const Interval& b) {
  const bool negative = b.hi < 0.0;
  const Interval s = ExpOfMinusSize(b);
  const Interval s2 = Apply<IntervalSquare>(s);
  const Interval f = Apply<IntervalReciprocal>(Add(Add(kOne, s2), Mul(Mul(kTwo, s), Apply<IntervalCos>(a))));
  const Interval along = Mul(Sub(kOne, s2), f);
  return {Mul(Mul(kTwo, Mul(s, Apply<IntervalSin>(a))), f), negative ? Neg(along) : along};
}

}  // namespace

void ComplexIntervalTan(CI& out, const CI& z) {
  if (OnRealAxis<IntervalTan>(out, z)) return;
  const Interval x = Mul(kTwo, z.re), y = Mul(kTwo, z.im);
  if (LargeOneSigned(y)) {
    const TangentParts t = SaturatedTangent(x, y);
    Finish(out, t.across, t.along);
    return;
  }
  const Interval d = Apply<IntervalReciprocal>(Add(Apply<IntervalCos>(x), Apply<IntervalCosh>(y)));
  Finish(out, Mul(Apply<IntervalSin>(x), d), Mul(Apply<IntervalSinh>(y), d));
}

void ComplexIntervalTanh(CI& out, const CI& z) {
  if (OnRealAxis<IntervalTanh>(out, z)) return;
  const Interval x = Mul(kTwo, z.re), y = Mul(kTwo, z.im);
  if (LargeOneSigned(x)) {
    const TangentParts t = SaturatedTangent(y, x);
    Finish(out, t.along, t.across);
    return;
  }
  const Interval d = Apply<IntervalReciprocal>(Add(Apply<IntervalCosh>(x), Apply<IntervalCos>(y)));
  Finish(out, Mul(Apply<IntervalSinh>(x), d), Mul(Apply<IntervalSin>(y), d));
}

namespace {

// 1 / f(z) for the reciprocal trigonometric and hyperbolic functions; R is the real one, whose
// own bounds stay tight where f crosses 0 inside the rectangle.
template <void (*F)(CI&, const CI&), void (*R)(Interval&, const Interval&)>
void ReciprocalOf(CI& out, const CI& z) {
  if (OnRealAxis<R>(out, z)) return;
  CI f;
  F(f, z);
  ComplexIntervalDivide(out, kComplexOne, f);
}

// atan2(y, x) over points with x >= 0 (a lower bound below 0 is rounding): increasing in y and,
// in x, decreasing above the axis and increasing below it, so two corners bound it, enclosed
// (exactly 0 on the axis).
Interval RightHalfAngle(const Interval& y0, const Interval& x0) {
  if (IntervalIsUndefined(y0) || IntervalIsUndefined(x0)) return kUndefinedInterval;
  const Interval y = IntervalIsWrapped(y0) ? kWholeLine : y0;
  const Interval x = IntervalIsWrapped(x0) ? Interval{0.0, kPositiveInfinity}
                                           : Interval{x0.lo > 0.0 ? x0.lo : 0.0, x0.hi > 0.0 ? x0.hi : 0.0};
  const double lo = std::atan2(y.lo, y.lo >= 0.0 ? x.hi : x.lo), hi = std::atan2(y.hi, y.hi >= 0.0 ? x.lo : x.hi);
  return {std::max(LibraryBelow(lo, y.lo == 0.0), -kHalfPiAbove), std::min(LibraryAbove(hi, y.hi == 0.0), kHalfPiAbove)};
}

// The root forms of the point inverse functions, operation by operation, so each rectangle holds
// the point values; the branch is in the roots, whose rectangles hold both sides of a cut they
// straddle and take the point's +0 side on the axis.
struct RootsAboutOne {
  CI plus;   // sqrt(1 + z)
  CI minus;  // sqrt(1 - z), below the axis for z on a cut: conj(sqrt(1 - conj z))
};

RootsAboutOne RootsOf(const CI& z) {
  const CI m = Sqrt(CI{Sub(kOne, z.re), z.im});
  return {Sqrt(CI{Add(kOne, z.re), z.im}), CI{m.re, Neg(m.im)}};
}

CI AsinCore(const CI& z) {
  const RootsAboutOne r = RootsOf(z);
  return {RightHalfAngle(z.re, Sub(Mul(r.minus.re, r.plus.re), Mul(r.minus.im, r.plus.im))),
          Apply<IntervalAsinh>(Sub(Mul(r.minus.re, r.plus.im), Mul(r.minus.im, r.plus.re)))};
}

CI AcosCore(const CI& z) {
  const RootsAboutOne r = RootsOf(z);
  return {Mul(kTwo, RightHalfAngle(r.minus.re, r.plus.re)),
          Apply<IntervalAsinh>(Sub(Mul(r.plus.re, r.minus.im), Mul(r.plus.im, r.minus.re)))};
}

CI AcoshCore(const CI& z) {
  const CI below = Sqrt(CI{Sub(z.re, kOne), z.im}), above = Sqrt(CI{Add(z.re, kOne), z.im});
  return {Apply<IntervalAsinh>(Add(Mul(below.re, above.re), Mul(below.im, above.im))),
          Mul(kTwo, RightHalfAngle(below.im, above.re))};
}

// What an inverse function gives on each stretch of the real axis, (-inf, -1], [-1, 1] and
// [1, inf): its real function, or the core's value from above, or its conjugate (from below).
enum class Stretch { kReal, kAbove, kBelow };

// [min lo, max hi] of two ordinary intervals, either possibly undefined (no points).
Interval Join(const Interval& a, const Interval& b) {
  if (IntervalIsUndefined(a)) return b;
  if (IntervalIsUndefined(b)) return a;
  return {std::min(a.lo, b.lo), std::max(a.hi, b.hi)};
}

// An inverse function with a cut along the real axis, as the point function takes it: the core's
// rectangle holds the values off the axis and from above on it; the points of the axis, whose
// values follow the stretches, are added by stretch, so a real rectangle gets exactly those.
template <CI (*Core)(const CI&), void (*Real)(Interval&, const Interval&)>
void WithCutStretches(CI& out, const CI& z, Stretch left, Stretch middle, Stretch right) {
  if (ComplexIntervalIsUndefined(z)) {
    out = kUndefinedComplexInterval;
    return;
  }
  const bool real = ComplexIntervalIsReal(z);
  CI r = real ? CI{kUndefinedInterval, kUndefinedInterval} : Core(z);
  if (real || HoldsZero(z.im)) {
    const Interval x = IntervalIsWrapped(z.re) ? kWholeLine : z.re;
    const Stretch how[3] = {left, middle, right};
    const double ends[4] = {-kPositiveInfinity, -1.0, 1.0, kPositiveInfinity};
    for (int k = 0; k < 3; ++k) {
      // An end shared with the real function's stretch is that stretch's (exactly real there), and
      // one between the two sides is the upper side's, as the formulas give (acosh -1 = i pi).
      const auto yields = [&](int neighbour) {
        return how[k] != Stretch::kReal && (how[neighbour] == Stretch::kReal ||
                                            (how[k] == Stretch::kBelow && how[neighbour] == Stretch::kAbove));
      };
      const bool realStretch = how[k] == Stretch::kReal;
      const double lo = k > 0 && yields(k - 1) ? NextAbove(ends[k]) : ends[k];
      const double hi = k < 2 && yields(k + 1) ? NextBelow(ends[k + 1]) : ends[k + 1];
      const Interval part{std::max(x.lo, lo), std::min(x.hi, hi)};
      if (!(part.lo <= part.hi)) continue;
      CI v = realStretch ? CI{Apply<Real>(part), kZero} : Core(CI{part, kZero});
      if (how[k] == Stretch::kBelow) v.im = Neg(v.im);
      if (ComplexIntervalIsUndefined(v)) {  // a value outside the stretch's function
        r = kUndefinedComplexInterval;
        break;
      }
      r = {Join(r.re, v.re), Join(r.im, v.im)};
    }
  }
  Finish(out, r.re, r.im);
}

// f(1 / z) for the inverse reciprocal functions: 1 / z of a z on an axis lies on that axis, where
// f takes its own cut's values, as at a point.
template <void (*F)(CI&, const CI&)>
void OfReciprocal(CI& out, const CI& z) {
  F(out, Over(kComplexOne, z));
}

// sin, cos, sinh or cosh as (u E1(t), v E2(t)), with t the part that may be large (im for the
// circular ones), E1 and E2 each cosh or sinh of it, and u and v the cosine and sine of the other
// part, one of them maybe negated: sin(x + iy) = (sin x cosh y, cos x sinh y), cos(x + iy) =
// (cos x cosh y, -sin x sinh y), sinh(x + iy) = (sinh x cos y, cosh x sin y), cosh(x + iy) =
// (cosh x cos y, sinh x sin y).
struct SineShape {
  bool circular;
  bool uIsCos;
  bool uCosh;  // else E1 is sinh and E2 cosh
  bool negateV;
};
constexpr SineShape kSinShape{true, false, true, false}, kCosShape{true, true, true, true};
constexpr SineShape kSinhShape{false, true, false, false}, kCoshShape{false, true, true, false};

// 1 / f(z) for f of the given shape. For a LargeOneSigned t, where E1 and E2 may overflow: with
// s = e^-|t| and e = 2 s E(|t|), that is 1 + s^2 for cosh and 1 - s^2 for sinh (its sign put on
// u or v), it is 2 s (u e1, -v e2) / (u^2 e1^2 + v^2 e2^2); otherwise ReciprocalOf.
template <void (*F)(CI&, const CI&), void (*R)(Interval&, const Interval&), SineShape kShape>
void ReciprocalOfSine(CI& out, const CI& z) {
  const Interval& t = kShape.circular ? z.im : z.re;
  if (ComplexIntervalIsReal(z) || !LargeOneSigned(t)) return ReciprocalOf<F, R>(out, z);
  const Interval& a = kShape.circular ? z.re : z.im;
  const Interval c = Apply<IntervalCos>(a), sine = Apply<IntervalSin>(a);
  Interval u = kShape.uIsCos ? c : sine, v = kShape.uIsCos ? sine : c;
  if (kShape.negateV) v = Neg(v);
  if (t.hi < 0.0) (kShape.uCosh ? v : u) = Neg(kShape.uCosh ? v : u);
  const Interval s = ExpOfMinusSize(t), s2 = Apply<IntervalSquare>(s);
  const Interval plus = Add(kOne, s2), minus = Sub(kOne, s2);
  const Interval e1 = kShape.uCosh ? plus : minus, e2 = kShape.uCosh ? minus : plus;
  const Interval d = Apply<IntervalReciprocal>(Add(Mul(Apply<IntervalSquare>(u), Apply<IntervalSquare>(e1)),
                                                   Mul(Apply<IntervalSquare>(v), Apply<IntervalSquare>(e2))));
  const Interval scale = Mul(Mul(kTwo, s), d);
  Finish(out, Mul(Mul(u, e1), scale), Neg(Mul(Mul(v, e2), scale)));
}

}  // namespace

void ComplexIntervalCot(CI& out, const CI& z) { ReciprocalOf<ComplexIntervalTan, IntervalCot>(out, z); }
void ComplexIntervalCoth(CI& out, const CI& z) { ReciprocalOf<ComplexIntervalTanh, IntervalCoth>(out, z); }
void ComplexIntervalSec(CI& out, const CI& z) { ReciprocalOfSine<ComplexIntervalCos, IntervalSec, kCosShape>(out, z); }
void ComplexIntervalCsc(CI& out, const CI& z) { ReciprocalOfSine<ComplexIntervalSin, IntervalCsc, kSinShape>(out, z); }
void ComplexIntervalSech(CI& out, const CI& z) { ReciprocalOfSine<ComplexIntervalCosh, IntervalSech, kCoshShape>(out, z); }
void ComplexIntervalCsch(CI& out, const CI& z) { ReciprocalOfSine<ComplexIntervalSinh, IntervalCsch, kSinhShape>(out, z); }

void ComplexIntervalAsin(CI& out, const CI& z) {
  WithCutStretches<AsinCore, IntervalAsin>(out, z, Stretch::kAbove, Stretch::kReal, Stretch::kBelow);
}

void ComplexIntervalAcos(CI& out, const CI& z) {
  WithCutStretches<AcosCore, IntervalAcos>(out, z, Stretch::kBelow, Stretch::kReal, Stretch::kAbove);
}

void ComplexIntervalAtan(CI& out, const CI& z) {
  if (OnRealAxis<IntervalAtan>(out, z)) return;
  const CI q = Over(CI{Sub(kOne, z.im), z.re}, CI{Add(kOne, z.im), Neg(z.re)});
  const CI l = Ln(q);
  Finish(out, Mul(l.im, kHalf), Neg(Mul(l.re, kHalf)));
}

void ComplexIntervalAsinh(CI& out, const CI& z) {
  if (OnRealAxis<IntervalAsinh>(out, z)) return;
  const CI a = ValueOf(ComplexIntervalAsin, CI{Neg(z.im), z.re});  // asinh z = -i asin(i z)
  Finish(out, a.im, Neg(a.re));
}

void ComplexIntervalAcosh(CI& out, const CI& z) {
  WithCutStretches<AcoshCore, IntervalAcosh>(out, z, Stretch::kBelow, Stretch::kAbove, Stretch::kReal);
}

void ComplexIntervalAtanh(CI& out, const CI& z) {
  if (OnRealAxis<IntervalAtanh>(out, z, -1.0, 1.0)) return;
  const CI l = Ln(Over(Plus(kComplexOne, z), Minus(kComplexOne, z)));
  Finish(out, Mul(l.re, kHalf), Mul(l.im, kHalf));
}

void ComplexIntervalAcsc(CI& out, const CI& z) { OfReciprocal<ComplexIntervalAsin>(out, z); }
void ComplexIntervalAsec(CI& out, const CI& z) { OfReciprocal<ComplexIntervalAcos>(out, z); }
void ComplexIntervalAcot(CI& out, const CI& z) { OfReciprocal<ComplexIntervalAtan>(out, z); }
void ComplexIntervalAcsch(CI& out, const CI& z) { OfReciprocal<ComplexIntervalAsinh>(out, z); }
void ComplexIntervalAsech(CI& out, const CI& z) { OfReciprocal<ComplexIntervalAcosh>(out, z); }
void ComplexIntervalAcoth(CI& out, const CI& z) { OfReciprocal<ComplexIntervalAtanh>(out, z); }

namespace {

// The real-only operations have values at the real points of their operands, whose real parts
// lie in the rectangles' real parts: a rectangle that only crosses the real axis has values on
// part of it, which the run notes; one that misses the axis has none.
template <typename... Z>
inline bool AtRealPoints(CI& out, const Z&... z) {
  if (((ComplexIntervalIsUndefined(z) || !HoldsZero(z.im)) || ...)) {
    out = kUndefinedComplexInterval;
    return false;
  }
  if (!(ComplexIntervalIsReal(z) && ...)) IntervalMarkPartialDomain();
  return true;
}

template <void (*F)(Interval&, const Interval&, const Interval&)>
void RealOnly2(CI& out, const CI& a, const CI& b) {
  if (AtRealPoints(out, a, b)) Finish(out, ValueOf(F, a.re, b.re), kZero);
}

template <void (*F)(Interval&, const Interval&)>
void RealOnly1(CI& out, const CI& z) {
  if (AtRealPoints(out, z)) Finish(out, ValueOf(F, z.re), kZero);
}

template <void (*F)(Interval&, const Interval&, const Interval&)>
void CompareRealParts(CI& out, const CI& a, const CI& b) {
  if (ComplexIntervalIsUndefined(a) || ComplexIntervalIsUndefined(b)) {
    out = kUndefinedComplexInterval;
    return;
  }
  Interval r;
  if (ComplexIntervalIsReal(a) && ComplexIntervalIsReal(b)) {
    F(r, a.re, b.re);
  } else if (HoldsZero(a.im) && HoldsZero(b.im)) {
    F(r, a.re, b.re);
    if (!IntervalIsExactly(r, 0.0, 0.0)) r = kTruthUndecided;
  } else {
    r = kTruthFalse;
  }
  Finish(out, r, kZero);
}

}  // namespace

void ComplexIntervalAtan2(CI& out, const CI& y, const CI& x) { RealOnly2<IntervalAtan2>(out, y, x); }
void ComplexIntervalHypot(CI& out, const CI& a, const CI& b) { RealOnly2<IntervalHypot>(out, a, b); }
void ComplexIntervalMin(CI& out, const CI& a, const CI& b) { RealOnly2<IntervalMin>(out, a, b); }
void ComplexIntervalMax(CI& out, const CI& a, const CI& b) { RealOnly2<IntervalMax>(out, a, b); }
void ComplexIntervalMod(CI& out, const CI& a, const CI& b) { RealOnly2<IntervalMod>(out, a, b); }
void ComplexIntervalBesselJ(CI& out, const CI& n, const CI& x) { RealOnly2<IntervalBesselJ>(out, n, x); }
void ComplexIntervalSign(CI& out, const CI& z) { RealOnly1<IntervalSign>(out, z); }
void ComplexIntervalFloor(CI& out, const CI& z) { RealOnly1<IntervalFloor>(out, z); }
void ComplexIntervalCeil(CI& out, const CI& z) { RealOnly1<IntervalCeil>(out, z); }
void ComplexIntervalFactorial(CI& out, const CI& z) { RealOnly1<IntervalFactorial>(out, z); }

void ComplexIntervalLess(CI& out, const CI& a, const CI& b) { CompareRealParts<IntervalLess>(out, a, b); }
void ComplexIntervalGreater(CI& out, const CI& a, const CI& b) { CompareRealParts<IntervalGreater>(out, a, b); }
void ComplexIntervalLessEqual(CI& out, const CI& a, const CI& b) { CompareRealParts<IntervalLessEqual>(out, a, b); }
void ComplexIntervalGreaterEqual(CI& out, const CI& a, const CI& b) { CompareRealParts<IntervalGreaterEqual>(out, a, b); }
void ComplexIntervalEqual(CI& out, const CI& a, const CI& b) { CompareRealParts<IntervalEqual>(out, a, b); }
