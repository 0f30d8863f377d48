// Interval arithmetic with wrapped intervals and truth intervals. Every result encloses the real
// function's values (the interpreters' point functions) wherever the operands have one: bounds
// step outward after each rounding (outward_rounding.h) and a domain clips its operand. Where a
// corner rule would miss an interior extremum (factorial, Bessel J, sine near multiples of pi at
// large magnitudes) the enclosure is widened on purpose.
#include "kernel/numeric/interval.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/interval_core.h"
#include "kernel/numeric/outward_rounding.h"
#include "kernel/numeric/special_functions.h"
#include "kernel/numeric/value_of.h"

namespace {

using namespace interval_core;

constexpr double kInf = kPositiveInfinity;
constexpr double kHalfPiAbove = kPiAbove / 2.0;
constexpr double kTwoPiAbove = 2.0 * kPiAbove;
constexpr double kThreeHalvesPi = 4.71238898038469;
constexpr double kInversePi = 0.3183098861837907;
constexpr double kTwoTo52 = 4503599627370496.0;

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
inline Interval LowerHalf(const Interval& a) { return {-kInf, a.hi}; }
inline Interval UpperHalf(const Interval& a) { return {a.lo, kInf}; }

// The images of two pieces of one operand joined: a piece without values only narrows the
// domain, so the other stands alone and the run learns that some point has no value.
void JoinPieces(Interval& out, const Interval& a, const Interval& b) {
  const bool noA = IntervalIsUndefined(a), noB = IntervalIsUndefined(b);
  if (noA || noB) {
    if (!(noA && noB)) IntervalMarkPartialDomain();
    out = noA ? b : a;
    return;
  }
  IntervalHull(out, a, b);
}

// The part of a inside the domain [dlo, dhi] as one ordinary interval (the hull, when a wrapped
// a meets it on both sides); false when no point of a lies in it. Notes a partial domain.
bool InsideDomain(Interval& part, const Interval& a, double dlo, double dhi) {
  double lo, hi;
  if (IntervalIsWrapped(a)) {  // both halves are unbounded, so some point always lies outside
    const bool upper = std::max(a.lo, dlo) <= dhi, lower = dlo <= std::min(a.hi, dhi);
    if (!upper && !lower) return false;
    lo = lower ? dlo : std::max(a.lo, dlo);
    hi = upper ? dhi : std::min(a.hi, dhi);
    IntervalMarkPartialDomain();
  } else {
    lo = std::max(a.lo, dlo);
    hi = std::min(a.hi, dhi);
    if (lo > hi) return false;
    if (a.lo < dlo || a.hi > dhi) IntervalMarkPartialDomain();
  }
  Set(part, lo, hi);
  return true;
}

// A double whose two neighbours either side are normal and finite: 2^-1022 <= |v| < 2^1023.
inline bool SteppableTwice(double v) { return ((std::bit_cast<uint64_t>(v) >> 52) & 0x7FF) - 1 < 0x7FD; }

// out = the library values [lo, hi] moved outward by the library's error bound unless exact.
inline void SetLibrary(Interval& out, double lo, double hi, bool exactLo, bool exactHi) {
  if (SteppableTwice(lo) && SteppableTwice(hi)) {
    SetStepped(out, lo, hi, exactLo ? 0 : 2, exactHi ? 0 : 2);
  } else {
    Set(out, LibraryBelow(lo, exactLo), LibraryAbove(hi, exactHi));
  }
}

// Bounds of a library function f over [lo, hi] where it rises: each value moved outward unless
// taken at exactAt (where f is exact), the lower one kept at or above floor and the upper at or
// below ceiling, the ends of f's range.
template <typename F>
inline Interval Rising(F f, double lo, double hi, double exactAt, double floor = -kInf, double ceiling = kInf) {
  Interval r;
  SetLibrary(r, f(lo), f(hi), lo == exactAt, hi == exactAt);
  return {std::max(r.lo, floor), std::min(r.hi, ceiling)};
}

// The same where f falls.
template <typename F>
inline Interval Falling(F f, double lo, double hi, double exactAt, double floor = -kInf, double ceiling = kInf) {
  return Rising(f, hi, lo, exactAt, floor, ceiling);
}

// r = [f(lo), f(hi)] of an increasing f: a wrapped operand maps to a wrapped result, unless
// saturation (exp overflowing, floor of a narrow gap) closes the gap: then nothing is known.
inline void SetIncreasing(Interval& out, const Interval& a, const Interval& r) {
  out = IntervalIsWrapped(a) && !(r.lo > r.hi) ? kWholeLine : r;
}

// f rising over its domain [dlo, dhi]: the range over the operand's part inside it.
template <typename F>
void RisingOnDomain(Interval& out, const Interval& a, double dlo, double dhi, F f, double exactAt,
                    double floor = -kInf, double ceiling = kInf) {
  Interval p;
  if (RefuseUndefined(out, a) || !InsideDomain(p, a, dlo, dhi)) {
    out = kUndefinedInterval;
    return;
  }
  out = Rising(f, p.lo, p.hi, exactAt, floor, ceiling);
}

// floor(t) for t = bound/pi that may carry a relative error of a few ulps: the low end rounds
// down and the high end up by more than that error, so no multiple of pi is missed.
inline double PeriodIndexBelow(double t) { return std::floor(t - (std::fabs(t) + 1.0) * 1e-15); }
inline double PeriodIndexAbove(double t) { return std::floor(t + (std::fabs(t) + 1.0) * 1e-15); }

inline bool IsOdd(double k) { return std::fabs(std::fmod(k, 2.0)) == 1.0; }

// v widened by a margin for routines less accurate than the library's 2 ulps (tgamma, the Bessel
// series): relative to |v| plus an absolute part, then one step outward.
Interval WidenBy(double v, double relative, double absolute) {
  if (std::isinf(v)) return v > 0.0 ? Interval{kLargestDouble, kInf} : Interval{-kInf, -kLargestDouble};
  const double m = std::fabs(v) * relative + absolute;
  return {NextBelow(v - m), NextAbove(v + m)};
}

}  // namespace

constinit thread_local IntervalRunState gIntervalRunState{};

void IntervalAdd(Interval& out, const Interval& a, const Interval& b) {
  if (RefuseUndefined(out, a, b)) return;
  const bool wa = IntervalIsWrapped(a), wb = IntervalIsWrapped(b);
  if (wa && wb) {
    out = kWholeLine;
    return;
  }
  // Normal sums step outward, except where an addend is 0 (the imaginary part of a real value,
  // a box from 0): that bound is exact. Degenerate operands (constants, a sum's index and its
  // step) add exactly where they can. Zero and subnormal sums are exact; infinities go apart.
  if (IntervalAddQuick(out, a, b)) return;
  const double sumLo = a.lo + b.lo, sumHi = a.hi + b.hi;
  if (a.lo == a.hi && b.lo == b.hi && sumLo == sumLo) {  // one sum, one TwoSum error: its side
    const double bb = sumLo - a.lo, error = (a.lo - (sumLo - bb)) + (b.lo - bb);
    if (IsNormalDouble(sumLo) && error == error) {
      SetStepped(out, sumLo, sumLo, error < 0.0, error > 0.0);
    } else {
      Set(out, ExactSumBelow(sumLo, a.lo, b.lo), ExactSumAbove(sumHi, a.hi, b.hi));
    }
  } else if (BothNormal(sumLo, sumHi)) {  // a wrapped operand: the normal sums as above
    SetNormalSum(out, a, b);
  } else if (std::isnan(sumLo) || std::isnan(sumHi)) {  // infinity - infinity
    out = kWholeLine;
    return;
  } else {
    Set(out, a.lo == 0.0 || b.lo == 0.0 ? sumLo : SumBelow(sumLo), a.hi == 0.0 || b.hi == 0.0 ? sumHi : SumAbove(sumHi));
  }
  if ((wa || wb) && out.lo <= out.hi) out = kWholeLine;  // the gap has closed
}

void IntervalNegate(Interval& out, const Interval& a) { Set(out, -a.hi, -a.lo); }

void IntervalMultiplyOrdinary(Interval& out, const Interval& a, const Interval& b) {
  if (RefuseUndefined(out, a, b)) return;
  IntervalMultiplyDefinedOrdinary(out, a, b);
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
    JoinPieces(p[0], p[0], p[1]);
    JoinPieces(p[2], p[2], p[3]);
    JoinPieces(out, p[0], p[2]);
    return;
  }
  Interval p1, p2;
  ordinary(p1, wa ? LowerHalf(a) : a, wb ? LowerHalf(b) : b);
  ordinary(p2, wa ? UpperHalf(a) : a, wb ? UpperHalf(b) : b);
  JoinPieces(out, p1, p2);
}

}  // namespace

void IntervalMultiply(Interval& out, const Interval& a, const Interval& b) {
  if (a.lo <= a.hi && b.lo <= b.hi) {  // ordinary and defined, the machines' common case
    IntervalMultiplyDefinedOrdinary(out, a, b);
    return;
  }
  OverOrdinaryHalves(out, a, b, IntervalMultiplyOrdinary);
}

void IntervalReciprocal(Interval& out, const Interval& a) {
  if (IntervalReciprocalQuick(out, a) || RefuseUndefined(out, a)) return;
  if (a.lo == -kInf && a.hi == kInf) {
    out = kWholeLine;
    return;
  }
  // A zero bound is approached from inside the set, so its reciprocal is the infinity on that
  // side whatever the sign the zero carries (negation turns [0, 2] into [-2, -0]).
  const double lo = 1.0 / a.hi, hi = 1.0 / a.lo;
  Set(out, a.hi == 0.0 ? -kInf : ReciprocalBelow(lo, a.hi), a.lo == 0.0 ? kInf : ReciprocalAbove(hi, a.lo));
}

namespace {

// Bounds of the quotient x / y of finite doubles, y != 0, rounded once: the exact quotient when
// the division remainder is 0, else the rounded one and its neighbour on the exact one's side. A
// subnormal y is scaled by 2^600 first (exactly, both operands), so that the remainder, formed by
// one fused multiply-add, is exact; where it could not be (an x too small for the scaled pair),
// both bounds step.
Interval QuotientBounds(double x, double y) {
  if (x == 0.0) return {0.0, 0.0};
  constexpr double kScale = 0x1p600;
  const bool scale = !IsNormalDouble(y);  // y is finite and not 0: subnormal
  // A subnormal divisor makes every quotient of an x past 2^423 overflow.
  const Interval overflow = (x > 0.0) == (y > 0.0) ? Interval{kLargestDouble, kInf} : Interval{-kInf, -kLargestDouble};
  if (scale && std::fabs(x) >= 0x1p423) return overflow;
  const double xs = scale ? x * kScale : x, ys = scale ? y * kScale : y;
  const double q = xs / ys;
  if (std::isinf(q)) return overflow;
  if (!IsNormalDouble(q) || std::fabs(xs) < 0x1p-969) return {NextBelow(q), NextAbove(q)};
  const double r = std::fma(-q, ys, xs);  // exact: xs - q ys
  if (r == 0.0) return {q, q};
  return (r > 0.0) == (ys > 0.0) ? Interval{q, NextAbove(q)} : Interval{NextBelow(q), q};
}

// a / b quotient by quotient, for finite ordinary operands with b away from 0: where 1 / b
// overflows (b subnormal), a * (1 / b) would lose every finite bound it meets.
void DivideDirectly(Interval& out, const Interval& a, const Interval& b) {
  const bool positive = b.lo > 0.0;
  const double near = positive ? b.lo : b.hi, far = positive ? b.hi : b.lo;  // by magnitude
  // The least quotient is a's lower end over b (its upper end when b < 0), divided by b's end
  // farthest from 0 where that quotient is not negative and by the nearest where it is; the
  // greatest quotient mirrors it.
  const double xLo = positive ? a.lo : a.hi, xHi = positive ? a.hi : a.lo;
  const double yLo = (xLo >= 0.0) == positive ? far : near, yHi = (xHi >= 0.0) == positive ? near : far;
  Set(out, QuotientBounds(xLo, yLo).lo, QuotientBounds(xHi, yHi).hi);
}

inline bool IsFiniteOrdinary(const Interval& a) { return a.lo <= a.hi && std::isfinite(a.lo) && std::isfinite(a.hi); }

}  // namespace

void IntervalDivide(Interval& out, const Interval& a, const Interval& b) {
  Interval r;
  if (!IntervalReciprocalQuick(r, b)) {  // not the common case: a zero, subnormal or infinite end
    if (IsFiniteOrdinary(a) && IsFiniteOrdinary(b) && (b.lo > 0.0 || b.hi < 0.0) &&
        !BothNormal(b.lo, b.hi)) {  // finite and not 0: a subnormal end
      DivideDirectly(out, a, b);
      return;
    }
    IntervalReciprocal(r, b);
  }
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

namespace {

// pow is exact at these: x^0 = 1, 1^y = 1, x^1 = x, and the limits 0^y, inf^y and x^(+-inf).
inline bool PowIsExact(double x, double y) {
  return y == 0.0 || x == 1.0 || y == 1.0 || x == 0.0 || std::isinf(x) || std::isinf(y);
}
inline double PowBelow(double x, double y) { return LibraryBelow(std::pow(x, y), PowIsExact(x, y)); }
inline double PowAbove(double x, double y) { return LibraryAbove(std::pow(x, y), PowIsExact(x, y)); }

// a^n for a whole n: every base has a value.
Interval WholePower(const Interval& a, double n) {
  if (n == 0.0) return {1.0, 1.0};
  if (!IsEvenNumber(n)) {  // odd: monotone, with a pole at 0 for n < 0
    if (n > 0.0) return {PowBelow(a.lo, n), PowAbove(a.hi, n)};
    if (n == -1.0) return ValueOf(IntervalReciprocal, a);  // exact where the quotient is
    // One-sided at the pole, as the reciprocal: a zero bound is approached from inside, so it
    // gives the infinity on that side whatever its sign, and 0 inside wraps the result round it.
    if (a.lo == -kInf && a.hi == kInf) return kWholeLine;
    if (a.lo == 0.0 && a.hi == 0.0) return kWholeLine;
    return {a.hi == 0.0 ? -kInf : PowBelow(a.hi, n), a.lo == 0.0 ? kInf : PowAbove(a.lo, n)};
  }
  // Even (infinite exponents count as even): a function of |a|.
  const double far = std::max(std::fabs(a.lo), std::fabs(a.hi));
  const double near = ContainsZero(a) ? 0.0 : std::min(std::fabs(a.lo), std::fabs(a.hi));
  if (n > 0.0) return {std::max(PowBelow(near, n), 0.0), PowAbove(far, n)};
  return {std::max(PowBelow(far, n), 0.0), PowAbove(near, n)};
}

// p^e for a base p within [0, inf] (a zero bound taken as +0, so 0^-odd is +inf).
Interval PowerOfNonNegative(const Interval& p, const Interval& e) {
  const double lo = p.lo + 0.0;
  if (e.lo == e.hi) {
    return e.lo >= 0.0 ? Interval{std::max(PowBelow(lo, e.lo), 0.0), PowAbove(p.hi, e.lo)}
                       : Interval{std::max(PowBelow(p.hi, e.lo), 0.0), PowAbove(lo, e.lo)};
  }
  if (lo >= 1.0 && e.lo >= 0.0) return {PowBelow(lo, e.lo), PowAbove(p.hi, e.hi)};
  // pow = exp(y ln x) is monotone in each argument separately, so corners bound it. When e
  // holds 0 the corners already straddle x^0 = 1 (0^0 included: 0^e.lo >= 1 >= 0^e.hi).
  Interval r{kInf, -kInf};
  for (const double x : {lo, p.hi}) {
    for (const double y : {e.lo, e.hi}) {
      const double v = std::pow(x, y);
      r.lo = std::min(r.lo, LibraryBelow(v, PowIsExact(x, y)));
      r.hi = std::max(r.hi, LibraryAbove(v, PowIsExact(x, y)));
    }
  }
  r.lo = std::max(r.lo, 0.0);
  return r;
}

}  // namespace

void IntervalPowerOrdinary(Interval& out, const Interval& a, const Interval& e) {
  if (RefuseUndefined(out, a, e)) return;
  if (IntervalIsWrapped(a) || IntervalIsWrapped(e)) {
    IntervalPower(out, a, e);
    return;
  }
  if (e.lo == e.hi && IsWholeNumber(e.lo)) {
    out = WholePower(a, e.lo);
    return;
  }
  // Other exponents have values at the base's non-negative part, and a negative base only at
  // the whole exponents of a range: there |a|^n, of both signs once n takes two values.
  Interval positive = kUndefinedInterval, negative = kUndefinedInterval;
  if (a.hi >= 0.0) positive = PowerOfNonNegative({std::max(a.lo, 0.0), a.hi}, e);
  if (a.lo >= 0.0) {  // no negative part: nothing is missing
    out = positive;
    return;
  }
  if (e.lo != e.hi) IntervalMarkPartialDomain();  // its non-whole exponents have no value
  const double nLo = std::ceil(e.lo), nHi = std::floor(e.hi);
  const Interval m{a.lo, std::min(a.hi, 0.0)};
  if (nLo == nHi) {
    negative = WholePower(m, nLo);
  } else if (nLo < nHi) {
    const double magnitude = PowerOfNonNegative({-m.hi, -m.lo}, {nLo, nHi}).hi;
    negative = {-magnitude, magnitude};
  }
  JoinPieces(out, positive, negative);
}

void IntervalPower(Interval& out, const Interval& a, const Interval& b) {
  OverOrdinaryHalves(out, a, b, IntervalPowerOrdinary);
}

namespace {

// x^e for an ordinary x where e encloses p/q with an odd reduced denominator, so a negative x
// has the real root: |x|^e, negated when the reduced numerator is odd.
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
    JoinPieces(out, r1, r2);
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
      // An odd denominator other than 1 leaves p/q between two doubles: enclose it.
      const double ratio = p.lo / q.lo;
      const Interval e = std::fabs(reducedQ) == 1.0 ? Interval{ratio, ratio} : Interval{NextBelow(ratio), NextAbove(ratio)};
      const bool oddP = !IsEvenNumber(p.lo / g);
      if (!IntervalIsWrapped(x)) {
        OddRootPower(out, x, e, oddP);
        return;
      }
      // A wrapped x (say from 1/x) has real roots on both halves too.
      Interval r1, r2;
      OddRootPower(r1, LowerHalf(x), e, oddP);
      OddRootPower(r2, UpperHalf(x), e, oddP);
      JoinPieces(out, r1, r2);
      return;
    }
  }
  Interval r, e;
  IntervalReciprocal(r, q);
  IntervalMultiply(e, p, r);
  // At a denominator of 0 (of either sign) the point's exponent is an infinity of either sign,
  // where a base has the limits 0, 1 or +inf: every exponent is possible.
  if (IntervalHolds(q, 0.0)) e = kWholeLine;
  IntervalPower(out, x, e);
  if ((p.lo == p.hi && q.lo == q.hi) || !(x.lo < 0.0 || IntervalIsWrapped(x))) return;
  // Boxes of numerators and denominators hold fractions of whole numbers with odd reduced
  // denominators, at which a negative base has its real root, of either sign by the numerator's
  // parity: |x|^e of both signs over the negative part of x (all of it when x is wrapped).
  Interval signedRoots = kWholeLine;
  if (!IntervalIsWrapped(x) && !IntervalIsWrapped(e)) {
    const Interval m = ValueOf(IntervalPowerOrdinary, Interval{-std::min(x.hi, 0.0), -x.lo}, e);
    signedRoots = IntervalIsUndefined(m) ? m : Interval{-m.hi, m.hi};
  }
  JoinPieces(out, out, signedRoots);
}

namespace {

inline bool NegativeSide(double v) { return v < 0.0 || (v == 0.0 && std::signbit(v)); }

// A zero x bound stands for both zeros: -0 at the low end and +0 at the high end, so the corner
// rules see the point (-0, 0), whose angle is pi, as well as (+0, 0), whose angle is 0.
inline Interval SignedZeroEnds(const Interval& x) {
  return {x.lo == 0.0 ? -0.0 : x.lo, x.hi == 0.0 ? 0.0 : x.hi};
}

// atan2(y, x) in [-pi, pi], enclosed: exact on the x axis (0, or +-pi left of the origin).
Interval SignedAngle(double y, double x) {
  if (y == 0.0) {
    if (!std::signbit(x)) return {y, y};
    return std::signbit(y) ? Interval{-kPiAbove, -kPi} : Interval{kPi, kPiAbove};
  }
  const double t = std::atan2(y, x);
  return {std::max(LibraryBelow(t), -kPiAbove), std::min(LibraryAbove(t), kPiAbove)};
}

// The angle of (x, y) in [0, 2 pi], enclosed: atan2 raised by 2 pi below the axis, where the
// zero that atan2 gives towards +x infinity (or by underflow) means 2 pi.
Interval PositiveAngle(double x, double y) {
  const Interval t = SignedAngle(y, x);
  if (y == 0.0) return t.lo < 0.0 ? Interval{kPi, kPiAbove} : t;
  if (y > 0.0) return {std::max(t.lo, 0.0), t.hi};
  if (t.hi >= 0.0 && t.lo <= 0.0) return {kTwoPi, kTwoPiAbove};
  return {std::max(SumBelow(t.lo + kTwoPi), kPi),
          std::min(SumAbove(t.hi + kTwoPiAbove), kTwoPiAbove)};
}

}  // namespace

void IntervalAtan2(Interval& out, const Interval& y0, const Interval& x0) {
  if (RefuseUndefined(out, y0, x0)) return;
  const Interval y = TreatWrappedAsWhole(y0), x = SignedZeroEnds(TreatWrappedAsWhole(x0));
  if (y.lo < 0.0 && 0.0 <= y.hi) {
    if (x.hi >= 0.0) {
      Set(out, 0.0, kTwoPiAbove);
    } else {  // across the negative x axis
      Set(out, PositiveAngle(x.hi, y.hi).lo, PositiveAngle(x.hi, y.lo).hi);
    }
    return;
  }
  const bool upperHalf = y.hi > 0.0;
  const double lowX = upperHalf ? x.hi : x.lo;
  const double lowY = NegativeSide(lowX) ? y.hi : y.lo;
  const double highX = upperHalf ? x.lo : x.hi;
  const double highY = NegativeSide(highX) ? y.lo : y.hi;
  // Only y = [0, 0] with x across 0 puts the two corners in the other order (angles 0 and pi).
  const Interval low = PositiveAngle(lowX, lowY), high = PositiveAngle(highX, highY);
  Set(out, std::min(low.lo, high.lo), std::max(low.hi, high.hi));
}

void IntervalAtan2Signed(Interval& out, const Interval& y0, const Interval& x0) {
  if (RefuseUndefined(out, y0, x0)) return;
  const Interval y = TreatWrappedAsWhole(y0), x = SignedZeroEnds(TreatWrappedAsWhole(x0));
  const double ylo = y.lo + 0.0, yhi = y.hi + 0.0;  // -0 counts as +0: the angle pi, not -pi
  if (ylo < 0.0 && 0.0 <= yhi && NegativeSide(x.lo)) {
    Set(out, -kPiAbove, kPiAbove);
    return;
  }
  Interval r{kInf, -kInf};
  for (const double cy : {ylo, yhi}) {
    for (const double cx : {x.lo, x.hi}) {
      const Interval t = SignedAngle(cy, cx);
      r = {std::min(r.lo, t.lo), std::max(r.hi, t.hi)};
    }
  }
  out = r;
}

void IntervalAbs(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a)) {
    out = kUndefinedInterval;
  } else if (IntervalIsWrapped(a)) {
    Set(out, a.lo > 0.0 && a.hi < 0.0 ? std::min(-a.hi, a.lo) : 0.0, kPositiveInfinity);
  } else {
    out = IntervalAbsOfOrdinary(a);
  }
}

void IntervalSquare(Interval& out, const Interval& a) {
  Interval m;
  IntervalAbs(m, a);
  if (RefuseUndefined(out, m)) return;
  SetProduct(out, m.lo, m.lo, m.hi, m.hi);
}

void IntervalHypot(Interval& out, const Interval& a, const Interval& b) {
  Interval ma, mb;
  IntervalAbs(ma, a);
  IntervalAbs(mb, b);
  if (RefuseUndefined(out, ma, mb)) return;
  // hypot(0, y) = |y| exactly.
  Set(out, std::max(LibraryBelow(std::hypot(ma.lo, mb.lo), ma.lo == 0.0 || mb.lo == 0.0), 0.0),
      LibraryAbove(std::hypot(ma.hi, mb.hi), ma.hi == 0.0 || mb.hi == 0.0));
}

void IntervalExp(Interval& out, const Interval& a) {
  if (RefuseUndefined(out, a)) return;
  SetIncreasing(out, a, Rising([](double v) { return std::exp(v); }, a.lo, a.hi, 0.0, 0.0));
}

void IntervalSinh(Interval& out, const Interval& a) {
  if (RefuseUndefined(out, a)) return;
  SetIncreasing(out, a, Rising([](double v) { return std::sinh(v); }, a.lo, a.hi, 0.0));
}

void IntervalAsinh(Interval& out, const Interval& a) {
  if (RefuseUndefined(out, a)) return;
  SetIncreasing(out, a, Rising([](double v) { return std::asinh(v); }, a.lo, a.hi, 0.0));
}

void IntervalFloor(Interval& out, const Interval& a) {
  if (RefuseUndefined(out, a)) return;
  SetIncreasing(out, a, Interval{std::floor(a.lo), std::floor(a.hi)});
}

void IntervalCeil(Interval& out, const Interval& a) {
  if (RefuseUndefined(out, a)) return;
  SetIncreasing(out, a, Interval{std::ceil(a.lo), std::ceil(a.hi)});
}

namespace {

// sqrt is correctly rounded: one step outward, none when the root squares back exactly.
inline bool SquaresBackExactly(double r, double x) {
  const double square = r * r;
  return square == x && (r == 0.0 || (FactorsMultiplyExactly(r, r) && IsNormalDouble(square)));
}
inline double SqrtBelow(double x) {
  const double r = std::sqrt(x);
  return SquaresBackExactly(r, x) ? r : NextBelow(r);
}
inline double SqrtAbove(double x) {
  const double r = std::sqrt(x);
  return SquaresBackExactly(r, x) ? r : NextAbove(r);
}

}  // namespace

void IntervalSqrt(Interval& out, const Interval& a) {
  Interval p;
  if (RefuseUndefined(out, a) || !InsideDomain(p, a, 0.0, kInf)) {
    out = kUndefinedInterval;
    return;
  }
#if defined(__SSE2__)
  // Both roots in one instruction where both are normal: the rule above, lane by lane.
  const __m128d x = _mm_loadu_pd(&p.lo), r = _mm_sqrt_pd(x);
  if (_mm_movemask_pd(NormalLanes(r)) == 3) {
#if defined(QV_INTERVAL_ROUND_TO_NEAREST)
    _mm_storeu_pd(&out.lo, r);
#else
    const __m128d square = _mm_mul_pd(r, r);
    const __m128i exact = _mm_and_si128(_mm_castpd_si128(_mm_and_pd(_mm_cmpeq_pd(square, x), NormalLanes(square))),
                                        PowerOfTwoLanes(r));
    _mm_storeu_pd(&out.lo, StepOutward(r, _mm_andnot_si128(exact, _mm_set1_epi64x(1)), _mm_castpd_si128(r)));
#endif
    return;
  }
#endif
  Set(out, std::max(SqrtBelow(p.lo), 0.0), SqrtAbove(p.hi));
}

// ln 0 is -inf, the limit from inside the domain.
void IntervalLn(Interval& out, const Interval& a) {
  RisingOnDomain(out, a, 0.0, kInf, [](double v) { return std::log(v); }, 1.0);
}

void IntervalLog10(Interval& out, const Interval& a) {
  RisingOnDomain(out, a, 0.0, kInf, [](double v) { return std::log10(v); }, 1.0);
}

void IntervalAsin(Interval& out, const Interval& a) {
  RisingOnDomain(out, a, -1.0, 1.0, [](double v) { return std::asin(v); }, 0.0, -kHalfPiAbove, kHalfPiAbove);
}

void IntervalAtanh(Interval& out, const Interval& a) {
  RisingOnDomain(out, a, -1.0, 1.0, [](double v) { return std::atanh(v); }, 0.0);
}

void IntervalAcosh(Interval& out, const Interval& a) {
  RisingOnDomain(out, a, 1.0, kInf, [](double v) { return std::acosh(v); }, 1.0, 0.0);
}

void IntervalAcos(Interval& out, const Interval& a) {
  Interval p;
  if (RefuseUndefined(out, a) || !InsideDomain(p, a, -1.0, 1.0)) {
    out = kUndefinedInterval;
    return;
  }
  out = Falling([](double v) { return std::acos(v); }, p.lo, p.hi, 1.0, 0.0, kPiAbove);
}

void IntervalAtan(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a)) {
    out = kUndefinedInterval;
  } else if (IntervalIsWrapped(a)) {
    Set(out, -kHalfPiAbove, kHalfPiAbove);
  } else {
    out = Rising([](double v) { return std::atan(v); }, a.lo, a.hi, 0.0, -kHalfPiAbove, kHalfPiAbove);
  }
}

void IntervalTanh(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a)) {
    out = kUndefinedInterval;
  } else if (IntervalIsWrapped(a)) {
    Set(out, -1.0, 1.0);
  } else {
    out = Rising([](double v) { return std::tanh(v); }, a.lo, a.hi, 0.0, -1.0, 1.0);
  }
}

namespace {

// acot x = pi/2 - atan x at one point, enclosed through atan(1 / x), which keeps its relative
// accuracy where the difference would cancel (large |x|): plus pi for x < 0.
Interval AcotAt(double x) {
  if (x == 0.0) return {kHalfPi, kHalfPiAbove};
  const Interval t = ValueOf(IntervalAtan, ValueOf(IntervalReciprocal, Interval{x, x}));
  if (x > 0.0) return {std::max(t.lo, 0.0), t.hi};
  return {SumBelow(kPi + t.lo), SumAbove(kPiAbove + t.hi)};
}

}  // namespace

void IntervalAcot(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a)) {
    out = kUndefinedInterval;
  } else if (IntervalIsWrapped(a)) {
    Set(out, 0.0, kPiAbove);
  } else {  // Arccot decreases from pi at -inf to 0 at +inf
    Set(out, AcotAt(a.hi).lo, std::min(AcotAt(a.lo).hi, kPiAbove));
  }
}

// The reciprocal inverses are the inverses of 1/x: the reciprocal keeps a wrapped operand's two
// branches apart, and the inverse's own domain clips what lies inside (-1, 1) or (for asech)
// outside (0, 1].
void IntervalAsec(Interval& out, const Interval& a) { IntervalAcos(out, ValueOf(IntervalReciprocal, a)); }
void IntervalAcsc(Interval& out, const Interval& a) { IntervalAsin(out, ValueOf(IntervalReciprocal, a)); }
void IntervalAcoth(Interval& out, const Interval& a) { IntervalAtanh(out, ValueOf(IntervalReciprocal, a)); }
void IntervalAsech(Interval& out, const Interval& a) { IntervalAcosh(out, ValueOf(IntervalReciprocal, a)); }

void IntervalAcsch(Interval& out, const Interval& a) {
  Interval r;
  IntervalReciprocal(r, a);
  if (IntervalIsExactly(r, -kInf, kInf)) {
    out = kWholeLine;
    return;
  }
  IntervalAsinh(out, r);
}

void IntervalCosh(Interval& out, const Interval& a) {
  const auto cosh = [](double v) { return std::cosh(v); };
  if (IntervalIsUndefined(a)) {
    out = kUndefinedInterval;
  } else if (IntervalIsWrapped(a)) {
    Set(out, a.lo > 0.0 && a.hi < 0.0 ? std::max(LibraryBelow(cosh(std::min(-a.hi, a.lo))), 1.0) : 1.0, kInf);
  } else if (a.hi < 0.0) {
    out = Falling(cosh, a.lo, a.hi, 0.0, 1.0);
  } else if (a.lo > 0.0) {
    out = Rising(cosh, a.lo, a.hi, 0.0, 1.0);
  } else {
    const double far = std::max(a.hi, -a.lo);
    Set(out, 1.0, LibraryAbove(cosh(far), far == 0.0));
  }
}

namespace {

// sech x = 1 / cosh x at one point, enclosed: the reciprocals of cosh's enclosure.
Interval SechAt(double x) {
  if (x == 0.0) return {1.0, 1.0};
  const double c = std::cosh(x);
  const double below = std::max(LibraryBelow(c), 1.0), above = LibraryAbove(c);
  return {ReciprocalBelow(1.0 / above, above), std::min(ReciprocalAbove(1.0 / below, below), 1.0)};
}

}  // namespace

void IntervalSech(Interval& out, const Interval& a) {
  if (IntervalIsUndefined(a)) {
    out = kUndefinedInterval;
  } else if (IntervalIsWrapped(a)) {
    Set(out, 0.0, a.lo > 0.0 && a.hi < 0.0 ? SechAt(std::min(-a.hi, a.lo)).hi : 1.0);
  } else if (a.hi < 0.0) {
    Set(out, SechAt(a.lo).lo, SechAt(a.hi).hi);
  } else if (a.lo > 0.0) {
    Set(out, SechAt(a.hi).lo, SechAt(a.lo).hi);
  } else {
    Set(out, SechAt(std::max(a.hi, -a.lo)).lo, 1.0);
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
  // A point operand holds no extremum inside, however far out it lies: its value alone bounds it.
  const bool point = a.lo == a.hi;
  if (!point && (std::fabs(tlo) > kTwoTo52 || std::fabs(thi) > kTwoTo52)) {
    Set(out, -1.0, 1.0);
    return;
  }
  const double klo = point ? 0.0 : PeriodIndexBelow(tlo), khi = point ? 0.0 : PeriodIndexAbove(thi);
  if (khi - klo >= 2.0) {
    Set(out, -1.0, 1.0);
    return;
  }
  // Values at the ends, exact at 0 (sin 0 = 0, cos 0 = 1); the lesser one widened down, the
  // greater up (the widening is monotone, so this bounds both ends; of equal ones, the inexact).
  const double vlo = sine ? std::sin(a.lo) : std::cos(a.lo), vhi = sine ? std::sin(a.hi) : std::cos(a.hi);
  const bool lowerAtLo = vlo < vhi || (vlo == vhi && a.lo != 0.0);
  const bool upperAtHi = vhi > vlo || (vhi == vlo && a.hi != 0.0);
  Interval ends;
  SetLibrary(ends, lowerAtLo ? vlo : vhi, upperAtHi ? vhi : vlo, (lowerAtLo ? a.lo : a.hi) == 0.0,
             (upperAtHi ? a.hi : a.lo) == 0.0);
  const double mn = std::max(ends.lo, -1.0), mx = std::min(ends.hi, 1.0);
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

// cot x = 1 / tan x at one point, enclosed; the whole line where tan's enclosure reaches 0.
Interval CotAt(double x) {
  const double t = std::tan(x);
  const Interval r = ValueOf(IntervalReciprocal, Interval{LibraryBelow(t), LibraryAbove(t)});
  return IntervalIsWrapped(r) ? kWholeLine : r;
}

// Below pi by more than the rounding of any bound's period index: an operand at least this long
// whose indexes are not known exact may hold a pole that they miss, and gets the whole line.
constexpr double kPoleFreeLength = 3.141592;

// t = (x + shift) / pi as computed lies within kPeriodError |t| + kPeriodErrorAbsolute of the
// exact quotient: three roundings of at most 2^-53 each, 1/pi's own 6e-17, and pi/2's 2e-17 / pi,
// with room to spare. Below kExactPeriodLimit that is less than a sixth of a period, so the
// whole number nearest t is the only pole that can lie on the other side of the rounding.
constexpr double kPeriodError = 5e-16;
constexpr double kPeriodErrorAbsolute = 1e-16;
constexpr double kExactPeriodLimit = 0x1p48;

// The period k of a bound x of tan (poles at pi/2 + k pi, increasing between) or cot (poles at
// k pi, decreasing between), from t = (x + shift) / pi: x lies between the poles at t = k and
// t = k + 1. A t within its rounding error of a whole number m puts x within a few ulps of the
// pole at m, on a side the rounding hides (t may land on m or just past it); no such pole is a
// double (cot's pole at 0 aside, which the caller takes apart), so the sign of tan x tells the
// side: positive left of tan's poles and right of cot's. Exact for |t| < kExactPeriodLimit.
double PolePeriod(double x, double t, bool cot) {
  const double m = std::round(t);
  if (std::fabs(t - m) > kPeriodError * std::fabs(t) + kPeriodErrorAbsolute) return std::floor(t);
  return (std::tan(x) > 0.0) != cot ? m - 1.0 : m;
}

// tan and cot. The period index of each bound is taken without a margin: a margin would call
// every operand within a few 1e-15 of a pole unbounded, and a search that narrows onto a pole
// could then never get closer. Below kExactPeriodLimit the indexes are exact, so equal ones mean
// no pole inside, however close to a period the operand's length. Beyond it an index may be a
// period off; an operand shorter than kPoleFreeLength that then holds a pole unnoticed has its
// end values in the wrong order (tan lo > tan hi), which gives the whole line below. Past 2^52
// periods the doubles are more than a period apart, so only a point operand, which is never a
// pole, has bounds. A bound on cot's pole at 0 is approached from inside: the infinity on that
// side, one-sided as the reciprocal is.
void TanOrCot(Interval& out, const Interval& a, bool cot) {
  if (RefuseUndefined(out, a)) return;
  if (IntervalIsWrapped(a) || HasInfiniteBound(a)) {
    out = kWholeLine;
    return;
  }
  const double shift = cot ? 0.0 : kHalfPi;
  const double tlo = (a.lo + shift) * kInversePi, thi = (a.hi + shift) * kInversePi;
  const bool poleLo = cot && a.lo == 0.0, poleHi = cot && a.hi == 0.0;
  const double tmax = std::max(std::fabs(tlo), std::fabs(thi));
  const bool pointBeyondPeriods = tmax > kTwoTo52 && a.lo == a.hi;
  if ((tmax > kTwoTo52 && !pointBeyondPeriods) || (!(tmax < kExactPeriodLimit) && !(a.hi - a.lo < kPoleFreeLength)) ||
      (poleLo && poleHi)) {
    out = kWholeLine;
    return;
  }
  if (!pointBeyondPeriods) {
    const double klo = poleLo ? 0.0 : PolePeriod(a.lo, tlo, cot), khi = poleHi ? -1.0 : PolePeriod(a.hi, thi, cot);
    if (klo != khi) {
      out = kWholeLine;  // a pole inside
      return;
    }
  }
  const Interval r = cot ? Interval{poleHi ? -kInf : CotAt(a.hi).lo, poleLo ? kInf : CotAt(a.lo).hi}
                         : Rising([](double v) { return std::tan(v); }, a.lo, a.hi, 0.0);
  if (r.lo > r.hi) {
    out = kWholeLine;
  } else {
    out = r;
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
  if (ContainsZero(b)) {  // every divisor but 0 has a value: [0, y) above 0, (y, 0] below
    if (b.lo == 0.0 && b.hi == 0.0) {
      out = kUndefinedInterval;
      return;
    }
    IntervalMarkPartialDomain();
    out = b;
    return;
  }
  // Every value lies in [0, y) for y > 0 and in (y, 0] for y < 0.
  const Interval range = b.lo > 0.0 ? Interval{0.0, b.hi} : Interval{b.lo, 0.0};
  // x / y is monotone in each operand over the box, so its floor takes every whole number
  // between the corners' floors. With one floor F throughout, x - y F is bilinear and its
  // corners bound it; each corner rounds once (a zero remainder exactly), then steps outward.
  const double corners[4][2] = {{a.lo, b.lo}, {a.lo, b.hi}, {a.hi, b.lo}, {a.hi, b.hi}};
  const double f = ExactQuotientFloor(a.lo, b.lo);
  double lo = kInf, hi = -kInf;
  for (const auto& [x, y] : corners) {
    if (std::isnan(f) || std::isinf(x) || std::isinf(y) || ExactQuotientFloor(x, y) != f) {
      out = range;
      return;
    }
    const double v = std::fma(-y, f, x);
    lo = std::min(lo, v == 0.0 ? 0.0 : NextBelow(v));
    hi = std::max(hi, v == 0.0 ? 0.0 : NextAbove(v));
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
constexpr double kFactorialMinimum = 0.8856031944108887;  // rounded up: stepped down where used
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

// tgamma's error reaches a few ulps and the whole-number products round up to seven times:
// a margin far above both.
constexpr double kFactorialMargin = 0x1p-40;

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
  const Interval wa = WidenBy(a, kFactorialMargin, 0.0), wb = WidenBy(b, kFactorialMargin, 0.0);
  double lo = std::min(wa.lo, wb.lo), hi = std::max(wa.hi, wb.hi);
  if (x.lo >= -1.0) {
    if (x.lo < kFactorialMinimumAt && kFactorialMinimumAt < x.hi) lo = std::min(lo, NextBelow(kFactorialMinimum));
    Set(out, std::max(lo, 0.0), hi);
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
  // For |v| <= 1/2, x (J_v^2 + Y_v^2) rises towards 2/pi, so |J_v| <= sqrt(2 / pi) / sqrt(x)
  // (so written, pi x cannot overflow).
  const double smallOrderBound =
      xAbsMin > 0.0 ? 0.7978845608028654 / std::sqrt(xAbsMin) * (1.0 + 1e-12) : kPositiveInfinity;
  const bool smallOrder = vmin >= -0.5 && vmax <= 0.5;
  if (vmin < 0.0) return smallOrder ? smallOrderBound : kPositiveInfinity;
  double m = 1.0;
  if (xAbsMin > 0.0) m = std::min(m, kLandauBound / std::cbrt(xAbsMin));
  if (smallOrder) m = std::min(m, smallOrderBound);
  return m;
}

// J_v at the corners comes from series, recurrences and asymptotic forms whose error is far above
// the library's, and grows like sqrt|x| (the phase of the asymptotic form): measured against
// 113-bit references, under 1e-16 (1 + |J|)(1 + sqrt|x|) for whole orders and 2e-12 for others.
// The corner values are widened by this much of (1 + |J| + sqrt|x|).
constexpr double kBesselWholeOrderMargin = 0x1p-48;
constexpr double kBesselMargin = 0x1p-36;

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
      const double margin = wholeOrder ? kBesselWholeOrderMargin : kBesselMargin;
      const Interval wa = WidenBy(a, margin, margin * (1.0 + std::sqrt(std::fabs(x.lo))));
      const Interval wb = WidenBy(b, margin, margin * (1.0 + std::sqrt(std::fabs(x.hi))));
      double lo = std::min(wa.lo, wb.lo), hi = std::max(wa.hi, wb.hi);
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
      Set(out, std::max(lo, -m), std::min(hi, m));  // the envelope holds every value
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
