// GraphTraced2D's readers of the column records: drawing (direct spans on the window map, a
// coverage mask tx pixels wide on the antialias map, poles grey over the curve), the hit test, the
// probe with its feature snap (zero, extremum, pole, domain edge) and the nearest-point walk.
// Every search has a fixed cap: 7 offsets, 21 samples, 1024 halvings, 64 chord bisections.
#include <algorithm>
#include <cmath>

#include "graphics/packed_bitmap.h"
#include "graphics/pixel_routines.h"
#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/traced_graph.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/numeric/numeric_helpers.h"

namespace {

constexpr PackedRGB kPoleGrey = 0xBFBFBF;  // RGB (191, 191, 191)
constexpr int32_t kMaxHalvings = 1024;
constexpr int32_t kMaxChordPasses = 64;
constexpr int32_t kMinWalkSteps = 45;
constexpr double kZeroResidual = 0x1p-30;  // |g(zero)| relative to |g| at the ends: far above rounding
constexpr int32_t kSnapOffsets[7] = {0, -1, 1, -2, 2, -3, 3};

double F(CompiledFunction* f, double t) { return EvaluateFunction1(f, t); }
bool IsDefinedAt(CompiledFunction* f, double t) { return F(f, t) == F(f, t); }  // two evaluations agree
bool IsBounded(const Interval& piece, bool) { return piece.lo != -kPositiveInfinity && piece.hi != kPositiveInfinity; }
bool HasValuesThroughout(const Interval&, bool partly) { return !partly; }

// g changes sign exactly once over [a, b], and has no zero run there; null g: no.
bool ChangesSignOnce(CompiledFunction* g, double a, double b) {
  if (g == nullptr) return false;
  const double ga = F(g, a), gb = F(g, b);
  if (std::isnan(ga) || std::isnan(gb) || (ga >= 0) == (gb >= 0)) return false;
  const double t = ColumnTolerance(a, b);
  if (ga == 0 && F(g, a - t) == 0) return false;
  bool previous = ga >= 0;
  int32_t changes = 0;
  for (double q : kColumnValueFractions) {
    const double s = a + (b - a) * q;
    const double y = F(g, s);
    if (std::isnan(y) || (y == 0 && F(g, s + t) == 0)) return false;
    if ((y >= 0) != previous && ++changes > 1) return false;
    previous = y >= 0;
  }
  return changes == 1;
}

// The zero of g that ChangesSignOnce announced. A sign change across a jump (floor x - 1/2)
// converges onto the jump, where g keeps about the size of its end values: that is no zero.
bool ZeroOf(CompiledFunction* g, double a, double b, double* zero) {
  if (!ChangesSignOnce(g, a, b) || !LocateZeroOnSegment(CompiledFunctionEvaluator(g), 0.0, a, b, zero)) return false;
  const double scale = std::max(std::fabs(F(g, a)), std::fabs(F(g, b)));
  return std::fabs(F(g, *zero)) <= kZeroResidual * scale;
}

// Narrows [u, v] from both ends while the end pieces keep the property keeps(piece, partly),
// `partly` telling that some point of the piece may have no value; false when a piece is
// undefined and that ends the search (poles only).
template <typename Keeps>
bool Narrow(CompiledFunction* f, double a, double b, Keeps keeps, bool stopOnUndefined, double* u, double* v,
            bool* uMoved, bool* vMoved) {
  const double t = ColumnTolerance(a, b);
  *u = a, *v = b, *uMoved = *vMoved = false;
  double h = b - a;
  for (int32_t pass = 0; pass < kMaxHalvings; ++pass) {
    h *= 0.5;
    if (!(h >= t)) break;
    bool partly;
    Interval piece = IntervalOverRange(f, *u, *u + h, &partly);
    if (stopOnUndefined && IntervalIsUndefined(piece)) return false;
    if (keeps(piece, partly)) *u += h, *uMoved = true;
    piece = IntervalOverRange(f, *v - h, *v, &partly);
    if (stopOnUndefined && IntervalIsUndefined(piece)) return false;
    if (keeps(piece, partly)) *v -= h, *vMoved = true;
  }
  return true;
}

// A pole only where the interval evaluation shows one: over [a, b] first (a range bounded
// throughout narrows until its ends cross, and holds none), then over what the narrowing keeps.
bool PoleSearch(CompiledFunction* f, double a, double b, double* px, double* py) {
  const double t = ColumnTolerance(a, b);
  bool partly;
  const Interval whole = IntervalOverRange(f, a, b, &partly);
  if (!IntervalIsUndefined(whole) && IsBounded(whole, partly)) return false;
  double u, v;
  bool uMoved, vMoved;
  if (!Narrow(f, a, b, IsBounded, true, &u, &v, &uMoved, &vMoved)) return false;
  if (!(u <= v) || v - u > 4 * t) return false;
  // A pole at the edge that the neighbour's range holds belongs to the neighbour.
  if (!uMoved && std::fabs(F(f, u - 2 * t)) == kPositiveInfinity) return false;
  if (!vMoved && std::fabs(F(f, v + 2 * t)) == kPositiveInfinity) return false;
  double p = (u + v) / 2;
  if (std::fabs(p) < t) p = 0;
  for (double candidate : {p, u, v}) {
    const double value = F(f, candidate);
    if (!std::isfinite(value)) return *px = candidate, *py = value, true;
  }
  double lo, hi;
  EvaluateIntervalX(f, u, v, &lo, &hi);
  if (lo != -kPositiveInfinity && hi != kPositiveInfinity) return false;
  *px = p, *py = hi == kPositiveInfinity ? kPositiveInfinity : -kPositiveInfinity;
  return true;
}

// The edge of f's domain in [a, b]: [u, v] narrows from each end over pieces where every point
// has a value. Values on both sides: a hole; on one side: the edge with its value.
bool DomainEdgeSearch(CompiledFunction* f, double a, double b, double* px, double* py) {
  if (!IsDefinedAt(f, a) && !IsDefinedAt(f, b)) return false;
  const double t = ColumnTolerance(a, b);
  double u, v;
  bool uMoved, vMoved;
  Narrow(f, a, b, HasValuesThroughout, false, &u, &v, &uMoved, &vMoved);
  const bool left = uMoved || IsDefinedAt(f, a - t);
  const bool right = vMoved || IsDefinedAt(f, b + t);
  if (left && right) {  // a hole
    if (v - u > 4 * t) return false;
    const double p = (u + v) / 2;
    *px = std::fabs(p) < t ? 0.0 : p, *py = kUndefinedReal;
    return true;
  }
  if (!left && !right) return false;
  if (IsDefinedAt(f, left ? u + (b - a) : a + (v - b))) return false;  // defined again a column on
  double edge = left ? u : v;
  if (std::fabs(edge) < 2 * t) edge = 0;
  *px = edge, *py = F(f, edge);
  return true;
}

}  // namespace

// ---- Drawing ----

bool GraphTraced2D::Draw() {
  if (columns_ == nullptr || IsNoFillColor(color_)) return true;
  const PackedRGB rgb = GraphColorRGB(color_);
  const QDRect& plot = frame_->frame;
  const bool rows = orientation_ == 1;
  const double scale = rows ? frame_->pixelsPerUnitX : frame_->pixelsPerUnitY;
  const double origin = rows ? frame_->originH : frame_->originV;
  // Pixel of the column's centre across the spans, and of its extent along them.
  auto across = [&](const TraceColumn& c) { return SaturatedPixel(c.center * scale + origin); };
  auto along = [&](double value) { return rows ? WorldToPixelY(frame_, value) : WorldToPixelX(frame_, value); };

  if (frame_->factorH == 1) {
    for (int32_t i = 0; i < columnCount_; ++i) {
      const TraceColumn& c = columns_[i];
      if (c.state == kColumnPending || c.state == kColumnUndefined) continue;
      const PackedRGB colour = c.state == kColumnPole ? kPoleGrey : rgb;
      const int32_t p = across(c), e1 = along(c.low), e2 = along(c.high);
      if (rows) {
        ShadeVerticalSpan(plot, MakePoint(p, e1), MakePoint(p, e2), colour, 1);
      } else {
        ShadeHorizontalSpan(plot, MakePoint(e1, p), MakePoint(e2, p), colour, 1);
      }
    }
    return true;
  }

  // The antialias map: a coverage mask over the plot, each column tx pixels wide, its extent
  // reaching ty - 1 pixels higher (a function of y: each row ty pixels high, its extent reaching
  // tx - 1 pixels further right; the views' maps have equal factors, the roles still differ).
  const int32_t width = RectWidth(plot), height = RectHeight(plot);
  const int32_t rowBytes = PackedBitmapRowBytes(width);
  if (width <= 0 || height <= 0) return true;
  const size_t bytes = static_cast<size_t>(rowBytes) * static_cast<size_t>(height);
  auto* base = static_cast<uint8_t*>(AllocMemory(bytes, true));
  if (base == nullptr) {
    PostError(kErrorOutOfMemory);
    return true;
  }
  const PackedBitmap mask{base, rowBytes, plot};
  const int32_t tx = frame_->factorH, ty = frame_->factorV;
  auto fillColumns = [&](bool poles) {
    bool polesSeen = false;
    for (int32_t i = 0; i < columnCount_; ++i) {
      const TraceColumn& c = columns_[i];
      const bool pole = c.state == kColumnPole;
      polesSeen = polesSeen || pole;
      if (poles ? !pole : (c.state != kColumnSegment && c.state != kColumnHull)) continue;
      const int32_t p = across(c), e1 = along(c.low), e2 = along(c.high);
      const QDRect r = rows ? MakeRect(p, std::min(e1, e2) + 1 - ty, p + tx, std::max(e1, e2) + 1)
                            : MakeRect(std::min(e1, e2), p, std::max(e1, e2) + tx, p + ty);
      QDRect clipped;
      if (SectRect(r, plot, &clipped)) FillPackedBitmapRect(mask, clipped, 3);
    }
    return polesSeen;
  };
  const bool polesSeen = fillColumns(false);
  BlitPixelsToPortSameSize(mask, plot, rgb, plot);
  if (polesSeen) {
    ZeroBytes(base, bytes);
    fillColumns(true);
    BlitPixelsToPortSameSize(mask, plot, kPoleGrey, plot);
  }
  FreeMemory(base);
  return true;
}

// ---- Hit test ----

bool GraphTraced2D::HitTest(double x, double y) {
  if (columns_ == nullptr || IsNoFillColor(color_)) return false;
  const bool rows = orientation_ == 1;
  const int32_t i = ColumnOfArgument(rows ? x : y);
  double lowest = kPositiveInfinity, highest = -kPositiveInfinity;
  for (int32_t j = std::max(i, INT32_MIN + 2) - 2; j <= std::min(i, INT32_MAX - 2) + 2; ++j) {
    if (j < 0 || j >= columnCount_ || columns_[j].state == kColumnPending) continue;
    if (columns_[j].low < lowest) lowest = columns_[j].low;
    if (columns_[j].high > highest) highest = columns_[j].high;
  }
  const double pad = 4 * (rows ? frame_->unitsPerPixelY : frame_->unitsPerPixelX);
  const double value = rows ? y : x;
  return lowest - pad <= value && value <= highest + pad;
}

// ---- Probe ----

ProbeRecord GraphTraced2D::Probe(double x, double y) {
  ProbeRecord record{};
  InitProbeRecord(&record);
  const bool rows = orientation_ == 1;
  const double t = rows ? x : y;
  const int32_t i = ColumnOfArgument(t);
  if (columns_ == nullptr || i < 0 || i >= columnCount_ || columns_[i].state == kColumnPending) return record;
  if (IsNoFillColor(color_)) return record;
  const TraceColumn& c = columns_[i];
  const double w = ColumnWidth();
  const double argLo = t - w / 2, argHi = t + w / 2;
  double value = 0, valueLo = 0, valueHi = 0;
  uint32_t mode = 0;
  const bool full = traceMode_ == kTraceFull;
  if (traceMode_ == kTraceEndValues) {
    value = EvaluateAt(t), mode = 1;
  } else if (traceMode_ == kTraceHull || (full && (c.state == kColumnHull || c.state == kColumnUndefined))) {
    value = (c.low + c.high) / 2, valueLo = c.low, valueHi = c.high, mode = 2;
  } else if (full && c.state == kColumnSegment && !IsMonotoneOn(Tracer(), argLo, argHi)) {
    EvaluateIntervalX(function_, argLo, argHi, &valueLo, &valueHi);  // the value varies across it
    value = (valueLo + valueHi) / 2, mode = 2;
  } else if (full) {  // a monotone segment or a pole
    value = EvaluateAt(t), valueLo = c.low, valueHi = c.high, mode = 1;
  }
  record.mode = mode;
  record.x = rows ? t : value;
  record.y = rows ? value : t;
  record.aux[2] = rows ? argLo : valueLo, record.aux[3] = rows ? argHi : valueHi;
  record.aux[4] = rows ? valueLo : argLo, record.aux[5] = rows ? valueHi : argHi;
  if (full) SnapToFeature(i, t, &record);
  return record;
}

uint32_t GraphTraced2D::NeighbourState(int32_t j, double a, double b) const {
  if (j >= 0 && j < columnCount_) return columns_[j].state;
  double low, high;
  return ClassifyTraceColumn(Tracer(), a, b, EvaluateAt(a), EvaluateAt(b), &low, &high);
}

void GraphTraced2D::SnapToFeature(int32_t i, double x, ProbeRecord* record) {
  record->snapped = 0;
  const double w = ColumnWidth();
  for (int32_t d : kSnapOffsets) {
    const int32_t j = i + d;
    if (j < 0 || j >= columnCount_) continue;
    const double a = x + (d - 0.5) * w, b = x + (d + 0.5) * w;
    const uint32_t before = NeighbourState(j - 1, a - w, a);
    const uint32_t after = NeighbourState(j + 1, b, b + w);
    double px = 0, py = 0, zero = 0;
    bool found = false;
    const uint32_t state = columns_[j].state;
    if (state == kColumnUndefined) {
      found = !(before == kColumnUndefined && after == kColumnUndefined) && DomainEdgeSearch(function_, a, b, &px, &py);
    } else {
      // A range with values on part of it only (drawn by its hull) holds the domain's edge.
      bool partly;
      const Interval range = IntervalOverRange(function_, a, b, &partly);
      found = partly && !IntervalIsUndefined(range) && DomainEdgeSearch(function_, a, b, &px, &py);
      if (!found && state == kColumnPole) {
        found = PoleSearch(function_, a, b, &px, &py);
      } else if (!found && before != kColumnHull && after != kColumnHull) {
        if (ZeroOf(function_, a, b, &zero)) {
          found = true, px = zero, py = 0.0;
        } else if (ZeroOf(derivative_, a, b, &zero)) {
          found = true, px = zero, py = EvaluateAt(zero);
        }
      }
    }
    if (!found) continue;
    const int32_t column = ColumnOfArgument(px);
    if (column < 0 || column >= columnCount_) {
      record->mode = 0;  // the feature lies outside the view
      return;
    }
    record->mode = 1;
    record->snapped = 1;
    record->x = orientation_ == 1 ? px : py;
    record->y = orientation_ == 1 ? py : px;
    return;
  }
}

// ---- Nearest point ----

NearestPointRecord GraphTraced2D::NearestPoint(double x, double y, double tolerance, double tmin, double tmax) {
  if (columns_ == nullptr || traceMode_ != kTraceFull || IsNoFillColor(color_)) return NoNearestPoint();
  const bool rows = orientation_ == 1;
  double t = rows ? x : y;
  const double target = rows ? y : x;
  const double ux = frame_->unitsPerPixelX, uy = frame_->unitsPerPixelY;
  // Distances are pixel distances scaled to the argument axis: a value difference weighs
  // (ux / uy)^2 against an x difference, as in the relation and level-line kinds. (Weighed the
  // other way, with unequal scales the walk would stop where the curve does not turn back.)
  double k = (ux / uy) * (ux / uy);
  if (!rows) tolerance *= uy / ux, k = 1 / k;
  const bool restricted = !(tmin == -kPositiveInfinity && tmax == kPositiveInfinity);
  if (restricted) {
    // Chord bisection: the argument in [tmin, tmax] whose chords pass nearest the point.
    double a = tmin, b = tmax, fa = EvaluateAt(a), fb = EvaluateAt(b), half = b - a;
    const double eps = ColumnTolerance(a, b);
    for (int32_t pass = 0; pass < kMaxChordPasses; ++pass) {
      half *= 0.5;
      const double m = a + half, fm = EvaluateAt(m);
      if (!std::isfinite(fm)) return NoNearestPoint();
      if (PointSegmentDistanceSquared(t, target, a, fa, m, fm) < PointSegmentDistanceSquared(t, target, m, fm, b, fb)) {
        b = m, fb = fm;
      } else {
        a = m, fa = fm;
      }
      if (half < eps) break;
    }
    t = a;
  }
  const int32_t i = ColumnOfArgument(t);
  if (i < 0 || i >= columnCount_ || columns_[i].state != kColumnSegment) return NoNearestPoint();
  // Step budgets: 5, and 10 for every segment column in a row towards each end of the tolerance.
  auto budget = [&](int32_t direction, double end) {
    int32_t steps = 5;
    const int32_t last = ColumnOfArgument(end);
    for (int32_t j = i + direction; direction > 0 ? j <= last : j >= last; j += direction) {
      if (j < 0 || j >= columnCount_ || columns_[j].state != kColumnSegment) break;
      steps += 10;
    }
    return steps;
  };
  const double y0 = EvaluateAt(t);
  const double e = (rows ? ux : uy) / 10;
  int32_t taken = 0;
  auto walk = [&](int32_t direction, double* endT, double* endValue) {
    const double limit = t + direction * tolerance;
    const int32_t steps = budget(direction, limit);
    double s = t, previous = 0;
    *endT = t, *endValue = y0;
    for (int32_t n = 0; n < steps; ++n) {
      const double next = s + direction * e, v = EvaluateAt(next);
      const double d = (next - t) * (next - t) + k * (v - y0) * (v - y0);
      ++taken;
      if (d < previous || !std::isfinite(d)) return;
      if (direction > 0 ? next > limit : next < limit) {
        *endT = limit, *endValue = EvaluateAt(limit);
        return;
      }
      *endT = s = next, *endValue = v, previous = d;
    }
  };
  double backT, backValue, foreT, foreValue;
  walk(1, &foreT, &foreValue);
  walk(-1, &backT, &backValue);
  if (!restricted && taken < kMinWalkSteps) return NoNearestPoint();
  if (!std::isfinite(y0) || !std::isfinite(backValue) || !std::isfinite(foreValue)) return NoNearestPoint();
  auto point = [rows](double* out, double arg, double value) {
    out[0] = arg, out[1] = rows ? arg : value, out[2] = rows ? value : arg;
  };
  NearestPointRecord record = NoNearestPoint();
  point(record.before, backT, backValue);
  point(record.at, t, y0);
  point(record.after, foreT, foreValue);
  record.found = 1;
  return record;
}
