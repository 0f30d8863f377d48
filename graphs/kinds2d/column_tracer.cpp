// The column tracer: the four tests of the full analysis (undefined, unbounded, hull, segment)
// in their fixed order, with the monotony and isolated-gap tests and the hull refinement they use.
// Interval evaluations over many pieces go through the block entry, 64 pieces a call, from
// buffers on the stack. An interval with number bounds means values at some point of the piece;
// a piece where some point has none is told apart by the partial-domain record.
#include "graphs/kinds2d/column_tracer.h"

#include <algorithm>
#include <cmath>

#include "graphs/view2d/view_map.h"
#include "kernel/eval/block_evaluation.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/interval.h"
#include "kernel/numeric/numeric_constants.h"

namespace {

constexpr int32_t kMaxUndefinedPieces = 512;
constexpr int32_t kMaxRefinementPieces = 2048;
constexpr double kHalvingRatio = 0.999;  // halving that keeps more than this did not tighten
constexpr double kRefinementRatio = 0.7;
constexpr int32_t kPieceChunk = 64;

// The derivative's sample fractions of a column, in this order (f's are kColumnValueFractions).
constexpr double kDerivativeFractions[21] = {1.0,   0.005, 0.196, 0.216, 0.341, 0.449, 0.549,
                                             0.637, 0.748, 0.845, 0.909, 0.047, 0.175, 0.217,
                                             0.343, 0.496, 0.596, 0.651, 0.729, 0.891, 0.922};

double F(CompiledFunction* f, double t) { return EvaluateFunction1(f, t); }
bool IsUndefined(const Interval& i) { return std::isnan(i.lo) || std::isnan(i.hi); }
double SignOf(double v) { return v > 0 ? 1.0 : -1.0; }

// The interval of f over k equal pieces of [a, b] (the last ending exactly at b), in order:
// visit(piece, partly) until it answers false; `partly`: some point of the piece may have no value.
template <typename Visit>
void ForEachPiece(CompiledFunction* f, double a, double b, int32_t k, Visit visit) {
  Interval boxes[kPieceChunk];
  Interval out[kPieceChunk];
  uint8_t partial[kPieceChunk];
  const double s = (b - a) / k;
  for (int32_t first = 0; first < k; first += kPieceChunk) {
    const int32_t n = std::min(kPieceChunk, k - first);
    for (int32_t t = 0; t < n; ++t) {
      const int32_t i = first + t;
      boxes[t] = Interval{a + i * s, i + 1 == k ? b : a + (i + 1) * s};
    }
    EvaluateIntervalXBlock(f, BoxAxis{boxes, Interval{0.0, 0.0}}, n, out, partial);
    for (int32_t t = 0; t < n; ++t) {
      if (!visit(out[t], IsUndefined(out[t]) || partial[t] != 0)) return;
    }
  }
}

// Widens [lo, hi] by a piece; ordered comparisons, so a NaN bound widens nothing.
void Widen(double* lo, double* hi, const Interval& piece) {
  if (piece.lo < *lo) *lo = piece.lo;
  if (piece.hi > *hi) *hi = piece.hi;
}

// Test 1. May replace [lo, hi] by the hull over the subdivision that decided it, and n by twice
// that subdivision's count.
bool UndefinedTest(const ColumnTracer& tr, double a, double b, double m, double M, double* lo, double* hi,
                   int32_t* n) {
  if (!std::isnan(*lo) && !std::isnan(*hi)) return false;
  if (std::isnan(m) || std::isnan(M)) return true;
  const double mid = (a + b) / 2;
  if (F(tr.function, mid) != F(tr.function, mid)) return true;  // NaN, or no fixed value
  if (HasIsolatedGap(tr, a, b) && IsMonotoneOn(tr, a, b)) return true;
  double hullLo = kPositiveInfinity, hullHi = -kPositiveInfinity;
  for (int32_t k = 2; k <= kMaxUndefinedPieces; k *= 2) {
    bool allDefined = true;
    ForEachPiece(tr.function, a, b, k, [&](const Interval& piece, bool) {
      if (IsUndefined(piece)) return allDefined = false;
      Widen(&hullLo, &hullHi, piece);
      return true;
    });
    if (allDefined) {
      *n = 2 * k;
      *lo = hullLo, *hi = hullHi;
      return false;
    }
  }
  *lo = *hi = kUndefinedReal;
  return true;
}

// Test 2.
bool UnboundedTest(const ColumnTracer& tr, double a, double b, double m, double M, double lo, double hi) {
  if (lo != -kPositiveInfinity && hi != kPositiveInfinity) return false;
  if (std::fabs(m) == kPositiveInfinity || std::fabs(M) == kPositiveInfinity) return true;
  return !IsMonotoneOn(tr, a, b);
}

// The hull over n pieces, tightened while it still gains pixels.
void RefineHull(const ColumnTracer& tr, double a, double b, int32_t n, double* lo, double* hi) {
  const bool rows = tr.orientation == 1;  // rows grow downwards, columns to the right
  int32_t pLo = ValuePixel(tr, *lo), pHi = ValuePixel(tr, *hi);
  int32_t bestLow = rows ? 32767 : -32768, bestHigh = rows ? -32768 : 32767;
  double previousHeight = kPositiveInfinity, height = *hi - *lo;
  while (n <= kMaxRefinementPieces) {
    const bool gained = rows ? (pLo < bestLow || pHi > bestHigh) : (pLo > bestLow || pHi < bestHigh);
    if (!gained) {
      if (height / previousHeight >= kRefinementRatio) break;
      if (!(rows ? pLo > pHi : pLo < pHi)) break;  // down to one pixel
    }
    bestLow = rows ? std::min(bestLow, pLo) : std::max(bestLow, pLo);
    bestHigh = rows ? std::max(bestHigh, pHi) : std::min(bestHigh, pHi);
    previousHeight = height;
    double newLo = kPositiveInfinity, newHi = -kPositiveInfinity;
    ForEachPiece(tr.function, a, b, n, [&](const Interval& piece, bool) { return Widen(&newLo, &newHi, piece), true; });
    *lo = newLo, *hi = newHi;
    pLo = ValuePixel(tr, *lo), pHi = ValuePixel(tr, *hi);
    height = *hi - *lo;
    n *= 2;
  }
}

// Test 3. May refine [lo, hi].
bool HullTest(const ColumnTracer& tr, double a, double b, double m, double M, double* lo, double* hi, int32_t n) {
  if (ValuePixel(tr, m) == ValuePixel(tr, *lo) && ValuePixel(tr, M) == ValuePixel(tr, *hi)) return false;
  if (*lo == -kPositiveInfinity || *hi == kPositiveInfinity) return false;
  if (n == 2) {
    const double mid = (a + b) / 2;
    double lo1, hi1, lo2, hi2;
    EvaluateIntervalX(tr.function, a, mid, &lo1, &hi1);
    EvaluateIntervalX(tr.function, mid, b, &lo2, &hi2);
    if ((std::max(hi1, hi2) - std::min(lo1, lo2)) / (*hi - *lo) > kHalvingRatio) return true;
  }
  if (IsMonotoneOn(tr, a, b)) return false;
  RefineHull(tr, a, b, n, lo, hi);
  return true;
}

}  // namespace

double ColumnTolerance(double a, double b) { return kMachineEpsilon * (std::fabs(a) + std::fabs(b)) / 2; }

Interval IntervalOverRange(CompiledFunction* f, double a, double b, bool* partly) {
  Interval r;
  EvaluateIntervalX(f, a, b, &r.lo, &r.hi);
  *partly = IsUndefined(r) || IntervalPartialDomainSeen();
  return r;
}

int32_t ValuePixel(const ColumnTracer& tracer, double value) {
  return tracer.orientation == 1 ? WorldToPixelY(tracer.map, value) : WorldToPixelX(tracer.map, value);
}

bool IsMonotoneOn(const ColumnTracer& tracer, double a, double b) {
  CompiledFunction* f = tracer.function;
  CompiledFunction* df = tracer.derivative;
  const double w = b - a;
  if (df != nullptr) {
    const double s = F(df, a) >= 0 ? 1.0 : -1.0;  // NaN counts as -1
    for (double q : kDerivativeFractions) {
      const double v = F(df, a + w * q);
      if (v != 0 && SignOf(v) != s) return false;
    }
  }
  const double ya = F(f, a), yb = F(f, b);
  if (df != nullptr) {
    for (double d : {F(df, a), F(df, b)}) {
      if ((d < 0 && yb > ya) || (d > 0 && yb < ya)) return false;
    }
  }
  double previous = F(f, a + w * kColumnValueFractions[0]);
  double diff = previous - ya;
  if (std::isnan(diff)) return false;
  const double s = diff >= 0 ? 1.0 : -1.0;
  for (int k = 1; k < 21; ++k) {
    const double y = F(f, a + w * kColumnValueFractions[k]);
    diff = y - previous;
    if (std::isnan(diff)) return false;
    if (diff != 0) {
      if (SignOf(diff) != s) return false;
      previous = y;
    }
  }
  return true;
}

bool HasIsolatedGap(const ColumnTracer& tracer, double a, double b) {
  const double t = ColumnTolerance(a, b);
  double s = (b - a) / 10;
  while (s > t) {
    int32_t undefinedPieces = 0, changes = 0, firstChange = 0;
    bool previous = false;
    int32_t i = 0;
    bool alternates = false;
    ForEachPiece(tracer.function, a, b, 10, [&](const Interval&, bool partly) {
      const bool mark = partly;  // a gap is where some point has no value
      if (i > 0 && mark != previous && ++changes == 1) firstChange = i;
      if (changes == 2) return !(alternates = true);
      undefinedPieces += mark ? 1 : 0;
      previous = mark;
      ++i;
      return true;
    });
    if (alternates) return true;
    if (changes == 0 || undefinedPieces >= 2) return false;
    if (firstChange == 1) {
      b = a + s;  // the first piece is the undefined one
    } else {
      a = a + 9 * s;
    }
    s = (b - a) / 10;
  }
  return true;
}

uint32_t ClassifyTraceColumn(const ColumnTracer& tracer, double a, double b, double ya, double yb, double* low,
                             double* high) {
  double m = ya, M = yb;
  if (ya > yb) std::swap(m, M);  // ordered: a NaN end value stays where it is
  double lo, hi;
  EvaluateIntervalX(tracer.function, a, b, &lo, &hi);
  int32_t n = 2;
  uint32_t state = kColumnSegment;
  if (UndefinedTest(tracer, a, b, m, M, &lo, &hi, &n)) {
    state = kColumnUndefined;
  } else if (UnboundedTest(tracer, a, b, m, M, lo, hi)) {
    state = kColumnPole;
  } else if (HullTest(tracer, a, b, m, M, &lo, &hi, n)) {
    state = kColumnHull;
  }
  *low = state == kColumnSegment ? m : lo;
  *high = state == kColumnSegment ? M : hi;
  return state;
}

void TraceColumnOver(const ColumnTracer& tracer, uint32_t traceMode, double a, double b, const TraceColumn* previous,
                     TraceColumn* column) {
  CompiledFunction* f = tracer.function;
  const double ya = previous != nullptr && previous->state != kColumnPending ? previous->endValue : F(f, a);
  const double yb = F(f, b);
  column->endValue = yb;
  column->center = (a + b) * 0.5;
  if (traceMode == kTraceFull) {
    column->state = ClassifyTraceColumn(tracer, a, b, ya, yb, &column->low, &column->high);
  } else if (traceMode == kTraceEndValues) {
    double m = ya, M = yb;
    if (ya > yb) std::swap(m, M);
    column->state = std::isnan(m) || std::isnan(M) ? kColumnUndefined : kColumnSegment;
    column->low = m, column->high = M;
  } else if (traceMode == kTraceHull) {
    double lo, hi;
    EvaluateIntervalX(f, a, b, &lo, &hi);
    if (std::isnan(lo) || std::isnan(hi)) {
      column->state = kColumnUndefined;
    } else {
      column->state = lo == -kPositiveInfinity && hi == kPositiveInfinity ? kColumnPole : kColumnHull;
    }
    column->low = lo, column->high = hi;
  }
}
