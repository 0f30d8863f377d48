// Interval arithmetic with wrapped intervals and truth intervals. Every result encloses the
// values of the real function (the interpreters' point functions) over the operands, up to the
// rounding of the bounds. Where a plain corner rule would miss an interior extremum (factorial,
// Bessel J, sine near multiples of pi at large magnitudes) the enclosure is widened on purpose.
#include "kernel/numeric/interval.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/special_functions.h"

namespace {

constexpr double kTwoPi = 2.0 * kPi;
constexpr double kHalfPi = kPi / 2.0;
constexpr double kThreeHalvesPi = 4.71238898038469;
constexpr double kInversePi = 0.3183098861837907;
constexpr double kTwoTo52 = 4503599627370496.0;

inline void Set(Interval& out, double lo, double hi) {
  out.lo = lo;
  out.hi = hi;
}

// Writes the undefined interval and answers true when any operand is undefined: the first step
// of most operations.
template <typename... I>
inline bool RefuseUndefined(Interval& out, const I&... operands) {
  if (!(IntervalIsUndefined(operands) || ...)) return false;
  out = kUndefinedInterval;
  return true;
}

inline bool ContainsZero(const Interval& a) { return a.lo <= 0.0 && 0.0 <= a.hi; }
inline bool HasInfiniteBound(const Interval& a) { return std::isinf(a.lo) || std::isinf(a.hi); }
inline Interval TreatWrappedAsWhole(const Interval& a) { return IntervalIsWrapped(a) ? kWholeLine : a; }

// The two ordinary halves of a wrapped interval: [-inf, hi] and [lo, +inf].
inline Interval LowerHalf(const Interval& a) { return {-kPositiveInfinity, a.hi}; }
inline Interval UpperHalf(const Interval& a) { return {a.lo, kPositiveInfinity}; }

// Hull that refuses to drop an undefined part: used where the parts are pieces of one operand,
// so an undefined piece means the operation has no enclosure of its own.
void HullStrict(Interval& out, const Interval& a, const Interval& b) {
  if (RefuseUndefined(out, a, b)) return;
  IntervalHull(out, a, b);
}

// f increasing (not necessarily strictly). A wrapped operand maps to a wrapped result, unless
// saturation (exp overflowing, floor of a narrow gap) closes the gap: then nothing is known.
template <typename F>
void Increasing(Interval& out, const Interval& a, F f) {
  if (RefuseUndefined(out, a)) return;
  const double lo = f(a.lo), hi = f(a.hi);
  if (IntervalIsWrapped(a) && !(lo > hi)) {
    out = kWholeLine;
    return;
  }
  Set(out, lo, hi);
}

// floor(t) for t = bound/pi that may carry a relative error of a few ulps: the low end rounds
// down and the high end up by more than that error, so no multiple of pi is missed.
inline double PeriodIndexBelow(double t) { return std::floor(t - (std::fabs(t) + 1.0) * 1e-15); }
inline double PeriodIndexAbove(double t) { return std::floor(t + (std::fabs(t) + 1.0) * 1e-15); }

inline bool IsOdd(double k) { return std::fabs(std::fmod(k, 2.0)) == 1.0; }

// Outside (-1, 1): the domain of asec, acsc and acoth.
inline bool OutsideUnitOpen(const Interval& a) {
  if (IntervalIsWrapped(a)) return a.hi <= -1.0 && a.lo >= 1.0;
  return a.hi <= -1.0 || a.lo >= 1.0;
}

inline bool WithinUnitClosed(const Interval& a) {
  return !IntervalIsWrapped(a) && -1.0 <= a.lo && a.hi <= 1.0;
}

}  // namespace

void IntervalAdd(Interval& out, const Interval& a, const Interval& b) {
  if (RefuseUndefined(out, a, b)) return;
  const bool wa = IntervalIsWrapped(a), wb = IntervalIsWrapped(b);
  if (wa && wb) {
    out = kWholeLine;
    return;
  }
  const double lo = a.lo + b.lo, hi = a.hi + b.hi;
  if (std::isnan(lo) || std::isnan(hi)) {  // infinity - infinity
    out = kWholeLine;
    return;
  }
  if ((wa || wb) && lo <= hi) {  // the gap has closed
    out = kWholeLine;
    return;
  }
  Set(out, lo, hi);
}

void IntervalNegate(Interval& out, const Interval& a) { Set(out, -a.hi, -a.lo); }

void IntervalMultiplyOrdinary(Interval& out, const Interval& a, const Interval& b) {
  if (IntervalIsUndefined(a) || IntervalIsUndefined(b) ||
      (ContainsZero(a) && HasInfiniteBound(b)) || (ContainsZero(b) && HasInfiniteBound(a))) {
    out = kUndefinedInterval;
    return;
  }
  // Without 0 times infinity the four corner products bound the range exactly.
  const double p1 = a.lo * b.lo, p2 = a.lo * b.hi, p3 = a.hi * b.lo, p4 = a.hi * b.hi;
  Set(out, std::min({p1, p2, p3, p4}), std::max({p1, p2, p3, p4}));
}

namespace {

// Applies an operation defined for ordinary operands to possibly wrapped ones: each wrapped
// operand is split into its halves [-inf, hi] and [lo, +inf] and the partial results joined,
// so a gap that the partial results keep apart stays out of the result.
void OverOrdinaryHalves(Interval& out, const Interval& a, const Interval& b,
                        void (*ordinary)(Interval&, const Interval&, const Interval&)) {
  if (RefuseUndefined(out, a, b)) return;
  const bool wa = IntervalIsWrapped(a), wb = IntervalIsWrapped(b);
  if (!wa && !wb) {
    ordinary(out, a, b);
    return;
  }
  if (wa && wb) {
    Interval p[4];
    ordinary(p[0], LowerHalf(a), LowerHalf(b));
    ordinary(p[1], LowerHalf(a), UpperHalf(b));
    ordinary(p[2], UpperHalf(a), LowerHalf(b));
    ordinary(p[3], UpperHalf(a), UpperHalf(b));
    IntervalHull4(out, p[0], p[1], p[2], p[3]);
    return;
  }
  Interval p1, p2;
  ordinary(p1, wa ? LowerHalf(a) : a, wb ? LowerHalf(b) : b);
  ordinary(p2, wa ? UpperHalf(a) : a, wb ? UpperHalf(b) : b);
  HullStrict(out, p1, p2);
}

}  // namespace

void IntervalMultiply(Interval& out, const Interval& a, const Interval& b) {
  OverOrdinaryHalves(out, a, b, IntervalMultiplyOrdinary);
}

void IntervalReciprocal(Interval& out, const Interval& a) {
  if (RefuseUndefined(out, a)) return;
  if (a.lo == -kPositiveInfinity && a.hi == kPositiveInfinity) {
    out = kWholeLine;
    return;
  }
  // A zero bound is approached from inside the set, so its reciprocal is the infinity on that
  // side whatever the sign the zero carries (negation turns [0, 2] into [-2, -0]).
  const double lo = a.hi == 0.0 ? -kPositiveInfinity : 1.0 / a.hi;
  const double hi = a.lo == 0.0 ? kPositiveInfinity : 1.0 / a.lo;
  Set(out, lo, hi);
}

void IntervalDivide(Interval& out, const Interval& a, const Interval& b) {
  Interval r;
  IntervalReciprocal(r, b);
  IntervalMultiply(out, a, r);
}

void IntervalHull(Interval& out, const Interval& a, const Interval& b) {
  if (RefuseUndefined(out, a)) return;
  if (IntervalIsUndefined(b)) {
    out = a;
    return;
  }
  const bool wa = IntervalIsWrapped(a), wb = IntervalIsWrapped(b);
  if (!wa && !wb) {
    const double lo = std::min(a.lo, b.lo), hi = std::max(a.hi, b.hi);
    if (!(lo == -kPositiveInfinity && hi == kPositiveInfinity)) {
      Set(out, lo, hi);
    } else if (a.lo == -kPositiveInfinity && b.hi == kPositiveInfinity && a.hi < b.lo) {
      Set(out, b.lo, a.hi);
    } else if (b.lo == -kPositiveInfinity && a.hi == kPositiveInfinity && b.hi < a.lo) {
      Set(out, a.lo, b.hi);
    } else {
      out = kWholeLine;
    }
    return;
  }
  if (wa && wb) {  // the union keeps only the common part of the two gaps
    const double gapLo = std::max(a.hi, b.hi), gapHi = std::min(a.lo, b.lo);
    if (gapLo >= gapHi) {
      out = kWholeLine;
    } else {
      Set(out, gapHi, gapLo);
    }
    return;
  }
  // One wrapped operand w with the gap (w.hi, w.lo), one ordinary o that may cover part of it.
  const Interval w = wa ? a : b;
  const Interval o = wa ? b : a;
  const double gapLo = w.hi, gapHi = w.lo;
  if (o.hi <= gapLo || o.lo >= gapHi) {
    out = w;
  } else if (o.lo <= gapLo && o.hi >= gapHi) {
    out = kWholeLine;
  } else if (o.lo <= gapLo) {
    Set(out, gapHi, o.hi);
  } else if (o.hi >= gapHi) {
    Set(out, o.lo, gapLo);
  } else if (o.lo - gapLo >= gapHi - o.hi) {  // o splits the gap: keep the wider piece
    Set(out, o.lo, gapLo);
  } else {
    Set(out, gapHi, o.hi);
  }
}

void IntervalHull4(Interval& out, const Interval& a, const Interval& b, const Interval& c,
                   const Interval& d) {
  if (IntervalIsUndefined(a) || IntervalIsUndefined(b) || IntervalIsUndefined(c) ||
      IntervalIsUndefined(d)) {
    out = kUndefinedInterval;
    return;
  }
  Set(out, std::min({a.lo, b.lo, c.lo, d.lo}), std::max({a.hi, b.hi, c.hi, d.hi}));
}

void IntervalPowerOrdinary(Interval& out, const Interval& a, const Interval& e) {
  if (RefuseUndefined(out, a, e)) return;
  if (IntervalIsWrapped(a) || IntervalIsWrapped(e)) {
    IntervalPower(out, a, e);
    return;
  }
  if (e.lo == e.hi) {
    const double n = e.lo;
    if (IsWholeNumber(n)) {  // infinite exponents count as even
      if (n == 0.0) {
        out = kTruthTrue;
      } else if (!IsEvenNumber(n)) {
        if (n > 0.0) {
          Set(out, std::pow(a.lo, n), std::pow(a.hi, n));
        } else if (ContainsZero(a)) {
          out = kWholeLine;
        } else {
          Set(out, std::pow(a.hi, n), std::pow(a.lo, n));
        }
      } else if (ContainsZero(a)) {
        const double far = std::pow(std::max(std::fabs(a.lo), std::fabs(a.hi)), n);
        if (n > 0.0) {
          Set(out, 0.0, far);
        } else {
          Set(out, far, kPositiveInfinity);
        }
      } else if (a.lo > 0.0) {
        if (n > 0.0) {
          Set(out, std::pow(a.lo, n), std::pow(a.hi, n));
        } else {
          Set(out, std::pow(a.hi, n), std::pow(a.lo, n));
        }
      } else if (n > 0.0) {
        Set(out, std::pow(a.hi, n), std::pow(a.lo, n));
      } else {
        Set(out, std::pow(a.lo, n), std::pow(a.hi, n));
      }
      return;
    }
    if (a.lo >= 0.0) {
      if (n >= 0.0) {
        Set(out, std::pow(a.lo, n), std::pow(a.hi, n));
      } else {
        Set(out, std::pow(a.hi, n), std::pow(a.lo, n));
      }
      return;
    }
    out = kUndefinedInterval;
    return;
  }
  if (a.lo >= 0.0) {
    const double lo = a.lo + 0.0;  // pow(-0, negative odd) would be -infinity
    if (lo >= 1.0 && e.lo >= 0.0) {
      Set(out, std::pow(lo, e.lo), std::pow(a.hi, e.hi));
      return;
    }
    // pow = exp(y ln x) is monotone in each argument separately, so corners bound it. When e
    // holds 0 the corners already straddle x^0 = 1 (0^0 included: 0^e.lo >= 1 >= 0^e.hi).
    const double c1 = std::pow(lo, e.lo), c2 = std::pow(lo, e.hi);
    const double c3 = std::pow(a.hi, e.lo), c4 = std::pow(a.hi, e.hi);
    Set(out, std::min({c1, c2, c3, c4}), std::max({c1, c2, c3, c4}));
    return;
  }
  out = kUndefinedInterval;
}

void IntervalPower(Interval& out, const Interval& a, const Interval& b) {
  OverOrdinaryHalves(out, a, b, IntervalPowerOrdinary);
}

namespace {

// x^e for an ordinary x where e = p/q has an odd reduced denominator, so a negative x has the
// real root: |x|^e, negated when the reduced numerator is odd.
void OddRootPower(Interval& out, const Interval& x, const Interval& e, bool oddP) {
  if (x.hi <= 0.0) {
    Interval r;
    IntervalPowerOrdinary(r, Interval{-x.hi, -x.lo}, e);
    if (oddP) IntervalNegate(r, r);
    out = r;
  } else if (x.lo < 0.0) {
    Interval r1, r2;
    IntervalPowerOrdinary(r1, Interval{0.0, x.hi}, e);
    IntervalPowerOrdinary(r2, Interval{0.0, -x.lo}, e);
    if (oddP) IntervalNegate(r2, r2);
    HullStrict(out, r1, r2);
  } else {
    IntervalPowerOrdinary(out, x, e);
  }
}

}  // namespace

void IntervalRationalPower(Interval& out, const Interval& x, const Interval& q, const Interval& p) {
  if (RefuseUndefined(out, x, q, p)) return;
  if (p.lo == p.hi && q.lo == q.hi && IsWholeInt32(p.lo) && IsWholeInt32(q.lo)) {
    const double g = GreatestCommonDivisor(q.lo, p.lo);
    const double reducedQ = q.lo / g;
    if (IsWholeNumber(reducedQ) && !IsEvenNumber(reducedQ)) {  // real odd root, also for q < 0
      const Interval e{p.lo / q.lo, p.lo / q.lo};
      const bool oddP = !IsEvenNumber(p.lo / g);
      if (!IntervalIsWrapped(x)) {
        OddRootPower(out, x, e, oddP);
        return;
      }
      // A wrapped x (say from 1/x) has real roots on both halves too.
      Interval r1, r2;
      OddRootPower(r1, LowerHalf(x), e, oddP);
      OddRootPower(r2, UpperHalf(x), e, oddP);
      HullStrict(out, r1, r2);
      return;
    }
  }
  Interval r, e;
  IntervalReciprocal(r, q);
  IntervalMultiply(e, p, r);
  IntervalPower(out, x, e);
}

namespace {

// atan2 raised into [0, 2 pi).
inline double PositiveAngle(double x, double y) {
  const double t = std::atan2(y, x);
  return t < 0.0 ? t + kTwoPi : t;
}

inline bool NegativeSide(double v) { return v < 0.0 || (v == 0.0 && std::signbit(v)); }

// A zero x bound stands for both zeros: -0 at the low end and +0 at the high end, so the corner
// rules see the point (-0, 0), whose angle is pi, as well as (+0, 0), whose angle is 0.
inline Interval SignedZeroEnds(const Interval& x) {
  return {x.lo == 0.0 ? -0.0 : x.lo, x.hi == 0.0 ? 0.0 : x.hi};
}

}  // namespace

void IntervalAtan2(Interval& out, const Interval& y0, const Interval& x0) {
  if (RefuseUndefined(out, y0, x0)) return;
  const Interval y = TreatWrappedAsWhole(y0), x = SignedZeroEnds(TreatWrappedAsWhole(x0));
  if (y.lo < 0.0 && 0.0 <= y.hi) {
    if (x.hi >= 0.0) {
      Set(out, 0.0, kTwoPi);
    } else {  // across the negative x axis
      Set(out, PositiveAngle(x.hi, y.hi), PositiveAngle(x.hi, y.lo));
    }
    return;
  }
  const bool upperHalf = y.hi > 0.0;
  const double lowX = upperHalf ? x.hi : x.lo;
  const double lowY = NegativeSide(lowX) ? y.hi : y.lo;
  const double highX = upperHalf ? x.lo : x.hi;
  const double highY = NegativeSide(highX) ? y.lo : y.hi;
  double lo = PositiveAngle(lowX, lowY), hi = PositiveAngle(highX, highY);
  if (y.hi < 0.0) {  // strictly below the axis: atan2 gives -0 towards +x infinity, meaning 2 pi
    if (lo == 0.0) lo = kTwoPi;
    if (hi == 0.0) hi = kTwoPi;
  }
  // Only y = [0, 0] with x across 0 puts the two corners in the other order (angles 0 and pi).
  Set(out, std::min(lo, hi), std::max(lo, hi));
}

void IntervalAtan2Signed(Interval& out, const Interval& y0, const Interval& x0) {
  if (RefuseUndefined(out, y0, x0)) return;
  const Interval y = TreatWrappedAsWhole(y0), x = SignedZeroEnds(TreatWrappedAsWhole(x0));
  const double ylo = y.lo + 0.0, yhi = y.hi + 0.0;  // -0 counts as +0: the angle pi, not -pi
  if (ylo < 0.0 && 0.0 <= yhi && NegativeSide(x.lo)) {
    Set(out, -kPi, kPi);
    return;
  }
  const double c1 = std::atan2(ylo, x.lo), c2 = std::atan2(ylo, x.hi);
  const double c3 = std::atan2(yhi, x.lo), c4 = std::atan2(yhi, x.hi);
  Set(out, std::min({c1, c2, c3, c4}), std::max({c1, c2, c3, c4}));
}

void IntervalAbs(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a)) {
    out = kUndefinedInterval;
  } else if (IntervalIsWrapped(a)) {
    Set(out, a.lo > 0.0 && a.hi < 0.0 ? std::min(-a.hi, a.lo) : 0.0, kPositiveInfinity);
  } else if (ContainsZero(a)) {
    Set(out, 0.0, std::max(std::fabs(a.lo), std::fabs(a.hi)));
  } else {
    const double l = std::fabs(a.lo), h = std::fabs(a.hi);
    Set(out, std::min(l, h), std::max(l, h));
  }
}

void IntervalSquare(Interval& out, const Interval& a) {
  Interval m;
  IntervalAbs(m, a);
  if (RefuseUndefined(out, m)) return;
  Set(out, m.lo * m.lo, m.hi * m.hi);
}

void IntervalHypot(Interval& out, const Interval& a, const Interval& b) {
  Interval ma, mb;
  IntervalAbs(ma, a);
  IntervalAbs(mb, b);
  if (RefuseUndefined(out, ma, mb)) return;
  Set(out, std::hypot(ma.lo, mb.lo), std::hypot(ma.hi, mb.hi));
}

void IntervalExp(Interval& out, const Interval& a) { Increasing(out, a, [](double v) { return std::exp(v); }); }
void IntervalSinh(Interval& out, const Interval& a) { Increasing(out, a, [](double v) { return std::sinh(v); }); }
void IntervalAsinh(Interval& out, const Interval& a) { Increasing(out, a, [](double v) { return std::asinh(v); }); }
void IntervalFloor(Interval& out, const Interval& a) { Increasing(out, a, [](double v) { return std::floor(v); }); }
void IntervalCeil(Interval& out, const Interval& a) { Increasing(out, a, [](double v) { return std::ceil(v); }); }

namespace {

// f increasing on [0, +inf): defined only for an ordinary operand with lo >= 0.
template <typename F>
void IncreasingOnNonNegative(Interval& out, const Interval& a, F f) {
  if (IntervalIsUndefined(a) || IntervalIsWrapped(a) || !(a.lo >= 0.0)) {
    out = kUndefinedInterval;
    return;
  }
  Set(out, f(a.lo), f(a.hi));
}

}  // namespace

void IntervalLn(Interval& out, const Interval& a) { IncreasingOnNonNegative(out, a, [](double v) { return std::log(v); }); }
void IntervalLog10(Interval& out, const Interval& a) { IncreasingOnNonNegative(out, a, [](double v) { return std::log10(v); }); }
void IntervalSqrt(Interval& out, const Interval& a) { IncreasingOnNonNegative(out, a, [](double v) { return std::sqrt(v); }); }

void IntervalAsin(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a) || !WithinUnitClosed(a)) {
    out = kUndefinedInterval;
    return;
  }
  Set(out, std::asin(a.lo), std::asin(a.hi));
}

void IntervalAtanh(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a) || !WithinUnitClosed(a)) {
    out = kUndefinedInterval;
    return;
  }
  Set(out, std::atanh(a.lo), std::atanh(a.hi));
}

void IntervalAcos(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a) || !WithinUnitClosed(a)) {
    out = kUndefinedInterval;
    return;
  }
  Set(out, std::acos(a.hi), std::acos(a.lo));
}

void IntervalAtan(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a)) {
    out = kUndefinedInterval;
  } else if (IntervalIsWrapped(a)) {
    Set(out, -kHalfPi, kHalfPi);
  } else {
    Set(out, std::atan(a.lo), std::atan(a.hi));
  }
}

void IntervalTanh(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a)) {
    out = kUndefinedInterval;
  } else if (IntervalIsWrapped(a)) {
    Set(out, -1.0, 1.0);
  } else {
    Set(out, std::tanh(a.lo), std::tanh(a.hi));
  }
}

void IntervalAcot(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a)) {
    out = kUndefinedInterval;
  } else if (IntervalIsWrapped(a)) {
    Set(out, 0.0, kPi);
  } else {  // Arccot decreases from pi at -inf to 0 at +inf
    Set(out, Arccot(a.hi), Arccot(a.lo));
  }
}

void IntervalAcosh(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a) || IntervalIsWrapped(a) || !(a.lo >= 1.0)) {
    out = kUndefinedInterval;
    return;
  }
  Set(out, std::acosh(a.lo), std::acosh(a.hi));
}

// asec increases on each branch and its two branches' ranges are ordered, so the same bounds
// serve ordinary and wrapped operands; acsc and acoth decrease the same way.
void IntervalAsec(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a) || !OutsideUnitOpen(a)) {
    out = kUndefinedInterval;
    return;
  }
  Set(out, Arcsec(a.lo), Arcsec(a.hi));
}

void IntervalAcsc(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a) || !OutsideUnitOpen(a)) {
    out = kUndefinedInterval;
    return;
  }
  Set(out, Arccsc(a.hi), Arccsc(a.lo));
}

void IntervalAcoth(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a) || !OutsideUnitOpen(a)) {
    out = kUndefinedInterval;
    return;
  }
  Set(out, Arccoth(a.hi), Arccoth(a.lo));
}

void IntervalAsech(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a) || IntervalIsWrapped(a) || !(a.lo >= 0.0 && a.hi <= 1.0)) {
    out = kUndefinedInterval;
    return;
  }
  Set(out, Arcsech(a.hi), Arcsech(a.lo + 0.0));  // a zero low end is approached from above: +inf
}

void IntervalAcsch(Interval& out, const Interval& a) {
  Interval r;
  IntervalReciprocal(r, a);
  if (IntervalIsExactly(r, -kPositiveInfinity, kPositiveInfinity)) {
    out = kWholeLine;
    return;
  }
  IntervalAsinh(out, r);
}

void IntervalCosh(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a)) {
    out = kUndefinedInterval;
  } else if (IntervalIsWrapped(a)) {
    Set(out, a.lo > 0.0 && a.hi < 0.0 ? std::cosh(std::min(-a.hi, a.lo)) : 1.0, kPositiveInfinity);
  } else if (a.hi < 0.0) {
    Set(out, std::cosh(a.hi), std::cosh(a.lo));
  } else if (a.lo > 0.0) {
    Set(out, std::cosh(a.lo), std::cosh(a.hi));
  } else {
    Set(out, 1.0, std::cosh(std::max(a.hi, -a.lo)));
  }
}

void IntervalSech(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a)) {
    out = kUndefinedInterval;
  } else if (IntervalIsWrapped(a)) {
    Set(out, 0.0, a.lo > 0.0 && a.hi < 0.0 ? Sech(std::min(-a.hi, a.lo)) : 1.0);
  } else if (a.hi < 0.0) {
    Set(out, Sech(a.lo), Sech(a.hi));
  } else if (a.lo > 0.0) {
    Set(out, Sech(a.hi), Sech(a.lo));
  } else {
    Set(out, Sech(std::max(a.hi, -a.lo)), 1.0);
  }
}

void IntervalSinCos(Interval& out, const Interval& a, bool sine) {
  if (RefuseUndefined(out, a)) return;
  if (IntervalIsWrapped(a) || HasInfiniteBound(a)) {
    Set(out, -1.0, 1.0);
    return;
  }
  // The sine is the cosine shifted by 3 pi / 2; cos has its extrema at the multiples of pi.
  const double shift = sine ? kThreeHalvesPi : 0.0;
  const double tlo = (a.lo + shift) * kInversePi, thi = (a.hi + shift) * kInversePi;
  if (std::fabs(tlo) > kTwoTo52 || std::fabs(thi) > kTwoTo52) {
    Set(out, -1.0, 1.0);
    return;
  }
  const double klo = PeriodIndexBelow(tlo), khi = PeriodIndexAbove(thi);
  if (khi - klo >= 2.0) {
    Set(out, -1.0, 1.0);
    return;
  }
  const double vlo = sine ? std::sin(a.lo) : std::cos(a.lo);
  const double vhi = sine ? std::sin(a.hi) : std::cos(a.hi);
  const double mn = std::min(vlo, vhi), mx = std::max(vlo, vhi);
  if (khi == klo) {
    Set(out, mn, mx);
  } else if (!IsOdd(klo)) {  // crosses an odd multiple of pi: the minimum -1
    Set(out, -1.0, mx);
  } else {
    Set(out, mn, 1.0);
  }
}

void IntervalSin(Interval& out, const Interval& a) { IntervalSinCos(out, a, true); }
void IntervalCos(Interval& out, const Interval& a) { IntervalSinCos(out, a, false); }

namespace {

// tan (poles at pi/2 + k pi, increasing between) and cot (poles at k pi, decreasing between).
void TanOrCot(Interval& out, const Interval& a, bool cot) {
  if (RefuseUndefined(out, a)) return;
  if (IntervalIsWrapped(a) || HasInfiniteBound(a)) {
    out = kWholeLine;
    return;
  }
  const double shift = cot ? 0.0 : kHalfPi;
  const double tlo = (a.lo + shift) * kInversePi, thi = (a.hi + shift) * kInversePi;
  if (std::fabs(tlo) > kTwoTo52 || std::fabs(thi) > kTwoTo52 ||
      PeriodIndexBelow(tlo) != PeriodIndexAbove(thi)) {  // a pole inside or at a bound
    out = kWholeLine;
    return;
  }
  const double lo = cot ? Cot(a.hi) : std::tan(a.lo);
  const double hi = cot ? Cot(a.lo) : std::tan(a.hi);
  if (lo > hi) {
    out = kWholeLine;
  } else {
    Set(out, lo, hi);
  }
}

}  // namespace

void IntervalTan(Interval& out, const Interval& a) { TanOrCot(out, a, false); }
void IntervalCot(Interval& out, const Interval& a) { TanOrCot(out, a, true); }

void IntervalSec(Interval& out, const Interval& a) {
  Interval c;
  IntervalSinCos(c, a, false);
  IntervalReciprocal(out, c);
}

void IntervalCsc(Interval& out, const Interval& a) {
  Interval s;
  IntervalSinCos(s, a, true);
  IntervalReciprocal(out, s);
}

void IntervalCoth(Interval& out, const Interval& a) {
  Interval t;
  IntervalTanh(t, a);
  IntervalReciprocal(out, t);
}

void IntervalCsch(Interval& out, const Interval& a) {
  Interval s;
  IntervalSinh(s, a);
  IntervalReciprocal(out, s);
}

void IntervalSign(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a)) {
    out = kUndefinedInterval;
  } else if (IntervalIsWrapped(a)) {
    Set(out, -1.0, 1.0);
  } else if (a.lo > 0.0) {
    out = kTruthTrue;
  } else if (a.lo == 0.0 && a.hi == 0.0) {
    out = kTruthFalse;
  } else if (a.lo == 0.0) {
    Set(out, 0.0, 1.0);
  } else if (a.hi < 0.0) {
    Set(out, -1.0, -1.0);
  } else if (a.hi == 0.0) {
    Set(out, -1.0, 0.0);
  } else {
    Set(out, -1.0, 1.0);
  }
}

void IntervalMin(Interval& out, const Interval& a0, const Interval& b0) {
  if (RefuseUndefined(out, a0, b0)) return;
  const Interval a = TreatWrappedAsWhole(a0), b = TreatWrappedAsWhole(b0);
  Set(out, std::min(a.lo, b.lo), std::min(a.hi, b.hi));
}

void IntervalMax(Interval& out, const Interval& a0, const Interval& b0) {
  if (RefuseUndefined(out, a0, b0)) return;
  const Interval a = TreatWrappedAsWhole(a0), b = TreatWrappedAsWhole(b0);
  Set(out, std::max(a.lo, b.lo), std::max(a.hi, b.hi));
}

namespace {

// floor(x / y) of the exact quotient at one corner, or NaN where the quotient reaches 2^52 (or
// is not finite) and no single whole number can be told. The rounded quotient q has the exact
// one's floor unless q is itself whole and the exact quotient lies just below it; the sign of
// x - q y, exact by the fused multiply-add, tells which.
double ExactQuotientFloor(double x, double y) {
  const double q = x / y;
  if (!(std::fabs(q) < kTwoTo52)) return kUndefinedReal;
  const double f = std::floor(q);
  if (f != q) return f;
  const double rest = std::fma(-q, y, x);
  return rest == 0.0 || (rest < 0.0) == (y < 0.0) ? f : f - 1.0;
}

}  // namespace

void IntervalMod(Interval& out, const Interval& a, const Interval& b) {
  if (RefuseUndefined(out, a, b)) return;
  if (IntervalIsWrapped(a) || IntervalIsWrapped(b)) {
    out = kWholeLine;
    return;
  }
  if (ContainsZero(b)) {  // the quotient is unbounded: b times floor(a/b) is 0 times infinity
    out = kUndefinedInterval;
    return;
  }
  // Every value lies in [0, y) for y > 0 and in (y, 0] for y < 0.
  const Interval range = b.lo > 0.0 ? Interval{0.0, b.hi} : Interval{b.lo, 0.0};
  // x / y is monotone in each operand over the box, so its floor takes every whole number
  // between the corners' floors. With one floor F throughout, x - y F is bilinear and its
  // corners bound it; each corner rounds once, as the point function does.
  const double corners[4][2] = {{a.lo, b.lo}, {a.lo, b.hi}, {a.hi, b.lo}, {a.hi, b.hi}};
  const double f = ExactQuotientFloor(a.lo, b.lo);
  double lo = kPositiveInfinity, hi = -kPositiveInfinity;
  for (const auto& [x, y] : corners) {
    if (std::isnan(f) || std::isinf(x) || std::isinf(y) || ExactQuotientFloor(x, y) != f) {
      out = range;
      return;
    }
    const double v = std::fma(-y, f, x);
    lo = std::min(lo, v);
    hi = std::max(hi, v);
  }
  // The point function moves a remainder that rounds onto y one ulp inside, towards 0.
  if (b.lo > 0.0) lo = std::min(lo, std::nextafter(b.lo, 0.0));
  if (b.hi < 0.0) hi = std::max(hi, std::nextafter(b.hi, 0.0));
  Set(out, std::max(lo, range.lo), std::min(hi, range.hi));
}

namespace {

// Turning points of x! = Gamma(x + 1). On (-1, inf) the minimum is at kFactorialMinimumAt. On
// each branch (-j-1, -j) between poles, |Gamma| is log-convex with one turning point; its place
// and value are found once by golden-section search. Beyond the table the values underflow and
// 0 stands in for the extremum.
constexpr double kFactorialMinimumAt = 0.46163214496836234;
constexpr double kFactorialMinimum = 0.8856031944108887;
constexpr int kFactorialBranches = 190;
constexpr double kTurningWindow = 1e-6;  // the search places the turning point well inside this

struct FactorialTurningPoints {
  std::array<double, kFactorialBranches + 1> at{};
  std::array<double, kFactorialBranches + 1> magnitude{};  // a lower bound of min |x!|
};

const FactorialTurningPoints& GetFactorialTurningPoints() {
  static const FactorialTurningPoints table = [] {
    FactorialTurningPoints t;
    const double ratio = 0.6180339887498949;
    for (int j = 1; j <= kFactorialBranches; ++j) {
      double lo = -j - 1.0, hi = -static_cast<double>(j);
      auto f = [](double x) { return std::fabs(std::tgamma(x + 1.0)); };
      double x1 = hi - ratio * (hi - lo), x2 = lo + ratio * (hi - lo);
      double f1 = f(x1), f2 = f(x2);
      for (int i = 0; i < 200 && hi - lo > 1e-13; ++i) {
        if (f1 < f2) {
          hi = x2;
          x2 = x1;
          f2 = f1;
          x1 = hi - ratio * (hi - lo);
          f1 = f(x1);
        } else {
          lo = x1;
          x1 = x2;
          f1 = f2;
          x2 = lo + ratio * (hi - lo);
          f2 = f(x2);
        }
      }
      t.at[j] = 0.5 * (lo + hi);
      // The search's best value is an upper bound of the minimum; the flat bottom and the
      // rounding of tgamma stay far inside this margin.
      t.magnitude[j] = std::min(f1, f2) * (1.0 - 1e-12);
    }
    return t;
  }();
  return table;
}

}  // namespace

void IntervalFactorial(Interval& out, const Interval& x) {
  if (RefuseUndefined(out, x)) return;
  if (IntervalIsWrapped(x) || (x.lo < -1.0 && std::floor(x.lo) != std::floor(x.hi))) {
    out = kWholeLine;
    return;
  }
  const double a = Factorial(x.lo), b = Factorial(x.hi);
  if (std::isnan(a) || std::isnan(b)) {
    out = kWholeLine;
    return;
  }
  double lo = std::min(a, b), hi = std::max(a, b);
  if (x.lo >= -1.0) {
    if (x.lo < kFactorialMinimumAt && kFactorialMinimumAt < x.hi) lo = std::min(lo, kFactorialMinimum);
    Set(out, lo, hi);
    return;
  }
  // Branch (-j-1, -j): Gamma(x + 1) has the sign (-1)^j there.
  const double j = -std::floor(x.lo) - 1.0;
  const bool positive = !IsOdd(j);
  double extremum = 0.0;
  bool reached = true;
  if (j <= kFactorialBranches) {
    const FactorialTurningPoints& t = GetFactorialTurningPoints();
    const int k = static_cast<int>(j);
    reached = x.lo <= t.at[k] + kTurningWindow && x.hi >= t.at[k] - kTurningWindow;
    extremum = t.magnitude[k];
  }
  if (reached) {
    if (positive) {
      lo = std::min(lo, extremum);
    } else {
      hi = std::max(hi, -extremum);
    }
  }
  Set(out, lo, hi);
}

namespace {

// Landau's bound |J_v(x)| <= c |x|^(-1/3) for v >= 0, c rounded up.
constexpr double kLandauBound = 0.78575;

// A bound m with |J_v(x)| <= m for every order v in n and every x with |x| >= xAbsMin;
// +infinity when none is known (negative non-whole orders near 0 are unbounded).
double BesselEnvelope(const Interval& n, double xAbsMin) {
  const bool wholeOrder = n.lo == n.hi && IsWholeNumber(n.lo);
  const double vmin = wholeOrder ? std::fabs(n.lo) : n.lo;
  const double vmax = wholeOrder ? std::fabs(n.lo) : n.hi;
  // For |v| <= 1/2, x (J_v^2 + Y_v^2) rises towards 2/pi, so |J_v| <= sqrt(2 / (pi x)).
  const double smallOrderBound =
      xAbsMin > 0.0 ? std::sqrt(2.0 / (kPi * xAbsMin)) * (1.0 + 1e-12) : kPositiveInfinity;
  const bool smallOrder = vmin >= -0.5 && vmax <= 0.5;
  if (vmin < 0.0) return smallOrder ? smallOrderBound : kPositiveInfinity;
  double m = 1.0;
  if (xAbsMin > 0.0) m = std::min(m, kLandauBound / std::cbrt(xAbsMin));
  if (smallOrder) m = std::min(m, smallOrderBound);
  return m;
}

}  // namespace

void IntervalBesselJ(Interval& out, const Interval& n0, const Interval& x0) {
  if (RefuseUndefined(out, n0, x0)) return;
  const Interval n = TreatWrappedAsWhole(n0), x = TreatWrappedAsWhole(x0);
  const bool xHasZero = ContainsZero(x);
  const double xAbsMin = xHasZero ? 0.0 : std::min(std::fabs(x.lo), std::fabs(x.hi));
  const double m = BesselEnvelope(n, xAbsMin);
  const bool wholeOrder = n.lo == n.hi && IsWholeNumber(n.lo);
  // A short x range holds at most one turning point (they lie more than pi/2 apart); the sign of
  // J' = (J_{v-1} - J_{v+1}) / 2 at the two ends tells whether it does. A non-whole order is
  // only evaluated for x >= 0 (below 0 the real function gives 0 by its domain rule).
  if (n.lo == n.hi && std::isfinite(n.lo) && x.hi - x.lo <= kPi * 0.5 &&
      (wholeOrder || x.lo >= 0.0)) {
    const double v = n.lo;
    const double a = BesselJv(v, x.lo), b = BesselJv(v, x.hi);
    if (!std::isnan(a) && !std::isnan(b)) {
      double lo = std::min(a, b), hi = std::max(a, b);
      const double dlo = BesselJv(v - 1.0, x.lo) - BesselJv(v + 1.0, x.lo);
      const double dhi = BesselJv(v - 1.0, x.hi) - BesselJv(v + 1.0, x.hi);
      if (std::isnan(dlo) || std::isnan(dhi)) {
        lo = std::min(lo, -m);
        hi = std::max(hi, m);
      } else if (dlo > 0.0 && dhi < 0.0) {
        hi = std::max(hi, m);
      } else if (dlo < 0.0 && dhi > 0.0) {
        lo = std::min(lo, -m);
      }
      Set(out, lo, hi);
      return;
    }
  }
  if (std::isinf(m)) {
    out = kWholeLine;
  } else {
    Set(out, -m, m);
  }
}

namespace {

enum class Relation { kLess, kGreater, kLessEqual, kGreaterEqual, kEqual };

void Compare(Interval& out, const Interval& a, const Interval& b, Relation r) {
  if (RefuseUndefined(out, a, b)) return;
  const bool wa = IntervalIsWrapped(a), wb = IntervalIsWrapped(b);
  if (r == Relation::kEqual) {
    if (!wa && !wb) {
      if (a.lo == a.hi && b.lo == b.hi && a.lo == b.lo) {
        out = kTruthTrue;
      } else if (b.hi < a.lo || a.hi < b.lo) {
        out = kTruthFalse;
      } else {
        out = kTruthUndecided;
      }
    } else if (wa != wb) {  // disjoint when the ordinary one lies inside the other's gap
      const Interval& w = wa ? a : b;
      const Interval& o = wa ? b : a;
      out = (w.hi < o.lo && o.hi < w.lo) ? kTruthFalse : kTruthUndecided;
    } else {
      out = kTruthUndecided;
    }
    return;
  }
  if (wa || wb) {
    out = kTruthUndecided;
    return;
  }
  bool isTrue = false, isFalse = false;
  switch (r) {
    case Relation::kLess: isTrue = a.hi < b.lo; isFalse = b.hi <= a.lo; break;
    case Relation::kGreater: isTrue = b.hi < a.lo; isFalse = a.hi <= b.lo; break;
    case Relation::kLessEqual: isTrue = a.hi <= b.lo; isFalse = b.hi < a.lo; break;
    case Relation::kGreaterEqual: isTrue = b.hi <= a.lo; isFalse = a.hi < b.lo; break;
    case Relation::kEqual: break;
  }
  out = isTrue ? kTruthTrue : isFalse ? kTruthFalse : kTruthUndecided;
}

}  // namespace

void IntervalLess(Interval& out, const Interval& a, const Interval& b) { Compare(out, a, b, Relation::kLess); }
void IntervalGreater(Interval& out, const Interval& a, const Interval& b) { Compare(out, a, b, Relation::kGreater); }
void IntervalLessEqual(Interval& out, const Interval& a, const Interval& b) { Compare(out, a, b, Relation::kLessEqual); }
void IntervalGreaterEqual(Interval& out, const Interval& a, const Interval& b) { Compare(out, a, b, Relation::kGreaterEqual); }
void IntervalEqual(Interval& out, const Interval& a, const Interval& b) { Compare(out, a, b, Relation::kEqual); }

void IntervalTruthAnd(Interval& out, const Interval& a, const Interval& b) {
  if (IntervalIsExactly(a, 1.0, 1.0) && IntervalIsExactly(b, 1.0, 1.0)) {
    out = kTruthTrue;
  } else if (IntervalIsExactly(a, 0.0, 0.0) || IntervalIsExactly(b, 0.0, 0.0)) {
    out = kTruthFalse;
  } else if (IntervalIsUndefined(a) || IntervalIsUndefined(b)) {
    out = kUndefinedInterval;
  } else {
    out = kTruthUndecided;
  }
}

void IntervalTruthOr(Interval& out, const Interval& a, const Interval& b) {
  if (IntervalIsExactly(a, 0.0, 0.0) && IntervalIsExactly(b, 0.0, 0.0)) {
    out = kTruthFalse;
  } else if (IntervalIsExactly(a, 1.0, 1.0) || IntervalIsExactly(b, 1.0, 1.0)) {
    out = kTruthTrue;
  } else {
    out = kTruthUndecided;
  }
}
