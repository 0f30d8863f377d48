// GraphCurve2D: sampling under the budget, drawing through the pen, status, hit test, the probe's
// walk along the curve with its snap to axis crossings and turning points, and the nearest-point
// search with its run of neighbours.
#include "graphs/kinds2d/curve_graph.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <new>

#include "graphics/port_save.h"
#include "graphics/qd_layer.h"
#include "graphs/core/graph_color.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/numeric/numeric_helpers.h"
#include "kernel/threads/timers.h"

namespace {

constexpr int32_t kParameterSymbol = 'u';  // the factory renames t (theta, r) to u
constexpr int32_t kNearestSamples = 100;   // steps of the nearest-point search
constexpr int32_t kNeighbourSteps = 200;   // the run of neighbours each way
constexpr int32_t kGoldenPasses = 80;

bool Finite(const CurvePoint& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// f is exactly 0 at both ends of [ta, tb] and at kHeldSamples points between: a coordinate that
// stays on the axis there (the line (t, 0)) or a derivative of a straight stretch.
constexpr int32_t kHeldSamples = 7;
bool HeldAtZero(CompiledFunction* f, double ta, double tb) {
  for (int32_t k = 0; k <= kHeldSamples + 1; ++k) {
    const double s = k == kHeldSamples + 1 ? tb : ta + (tb - ta) * k / (kHeldSamples + 1);
    if (EvaluateFunction1(f, s) != 0.0) return false;
  }
  return true;
}

// A zero of f on [ta, tb] to snap to: a sign change between the ends, or an end value of exactly
// 0 that f does not keep along the whole interval (a line held on an axis crosses nothing).
bool SnapZero(CompiledFunction* f, double ta, double tb, double* zero) {
  if (f == nullptr) return false;
  const double fa = EvaluateFunction1(f, ta), fb = EvaluateFunction1(f, tb);
  if ((fa == 0.0 || fb == 0.0) && HeldAtZero(f, ta, tb)) return false;
  return LocateZeroOnSegment(CompiledFunctionEvaluator(f), 0.0, ta, tb, zero);
}

}  // namespace

GraphCurve2D::GraphCurve2D(CompiledFunction* x, CompiledFunction* y, GraphColor* color, double grain,
                           int32_t probeKind, const ViewMap* map, const double* range)
    : map_(map),
      range_(range),
      xFunction_(x),
      yFunction_(y),
      count_(CurveSamplesOfGrain(grain)),
      color_(color),
      probeKind_(probeKind),
      hitParameter_(range[0]) {
  AllocatePoints();
  for (CompiledFunction* f : {xFunction_, yFunction_}) {
    if (f != nullptr) CompileFunction(f);
  }
  dxdt_ = NewCompiledDerivative(xFunction_, kParameterSymbol);
  dydt_ = NewCompiledDerivative(yFunction_, kParameterSymbol);
}

GraphCurve2D::~GraphCurve2D() {
  FreeMemory(points_);
  for (CompiledFunction* f : {xFunction_, yFunction_, dxdt_, dydt_}) DeleteCompiledFunction(f);
  delete color_;
}

GraphKind2D* NewCurveGraph(CompiledFunction* x, CompiledFunction* y, GraphColor* color, double grain,
                           int32_t probeKind, const ViewMap* map, const double* range) {
  return new (std::nothrow) GraphCurve2D(x, y, color, grain, probeKind, map, range);
}

void GraphCurve2D::AllocatePoints() {
  FreeMemory(points_);
  points_ = static_cast<CurvePoint*>(AllocMemory(sizeof(CurvePoint) * static_cast<size_t>(count_)));
  if (points_ == nullptr) PostError(kErrorOutOfMemory);
  next_ = 0;
}

void GraphCurve2D::OrderedRange(double* t0, double* t1) const {
  *t0 = std::min(range_[0], range_[1]);
  *t1 = std::max(range_[0], range_[1]);
}

double GraphCurve2D::ParameterOf(int32_t k) const { return CurveSampleParameter(k, count_, range_[0], range_[1]); }

CurvePoint GraphCurve2D::At(double t) const {
  return CurvePoint{EvaluateFunction1(xFunction_, t), EvaluateFunction1(yFunction_, t)};
}

void GraphCurve2D::Compute(int32_t budget) {
  if (points_ == nullptr || xFunction_ == nullptr || yFunction_ == nullptr) {
    next_ = count_;
    return;
  }
  const uint32_t deadline = ComputeDeadline(budget);
  for (; next_ < count_ && !DeadlineReached(ElapsedTimerUnits(), deadline); ++next_) {
    points_[next_] = At(ParameterOf(next_));
  }
}

// ---- Drawing and status ----

void DrawWorldPolyline(const ViewMap* map, const CurvePoint* points, int32_t count, double radius, uint32_t rgb) {
  ClipSave clip;
  SaveClipRect(&clip, map->frame);
  SetRGBForeIndex(rgb);
  const QDRect& f = map->frame;
  const double cx = PixelToWorldX(map, 0.5 * (f.left + f.right)), cy = PixelToWorldY(map, 0.5 * (f.top + f.bottom));
  for (int32_t i = 0; i + 1 < count; ++i) {
    CurvePoint a = points[i], b = points[i + 1];
    if (!Finite(a) || !Finite(b)) continue;
    IntersectSegmentWithLine(cx, cy, radius, &a.x, &a.y, &b.x, &b.y);
    QDMoveTo(WorldToPixelX(map, a.x), WorldToPixelY(map, a.y));
    QDLineTo(WorldToPixelX(map, b.x), WorldToPixelY(map, b.y));
  }
  RestoreClip(&clip);
}

bool GraphCurve2D::Draw() {
  if (points_ == nullptr || IsNoFillColor(color_)) return true;
  // The disc the visible range spans.
  const double radius = 0.5 * std::max(map_->maxX - map_->minX, map_->maxY - map_->minY);
  DrawWorldPolyline(map_, points_, next_, radius, GraphColorRGB(color_));
  return true;
}

int32_t GraphCurve2D::Status() {
  const QDRect& f = map_->frame;
  const double left = PixelToWorldX(map_, f.left), right = PixelToWorldX(map_, f.right);
  const double top = PixelToWorldY(map_, f.top), bottom = PixelToWorldY(map_, f.bottom);
  bool drawable = false;
  for (int32_t i = 0; points_ != nullptr && i + 1 < next_; ++i) {
    const CurvePoint &a = points_[i], &b = points_[i + 1];
    if (!Finite(a) || !Finite(b)) continue;
    drawable = true;
    if (SegmentIntersectsRect(a.x, a.y, b.x, b.y, left, right, top, bottom)) return 0;
  }
  return drawable ? 5 : 2;  // "Curve is outside the region shown" / "Undefined or infinite ..."
}

// ---- Lifecycle ----

void GraphCurve2D::VariableChanged(int32_t symbol, double) {
  CompiledFunction* const derivatives[2] = {dxdt_, dydt_};
  ForgetBindingsOf(derivatives, 2, symbol);
  CompiledFunction* const functions[2] = {xFunction_, yFunction_};
  if (ForgetBindingsOf(functions, 2, symbol)) next_ = 0;
}

void GraphCurve2D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) {
    SetGraphColorIndex(color_, value);
  } else if (code == 8) {
    count_ = CurveSamplesOfGrain(value);
    AllocatePoints();  // refused: no samples, and the graph is complete
  }
}

// ---- Queries ----

double GraphCurve2D::Distance2(const CurvePoint& p, double x, double y) const {
  const double a = Aspect(), dx = p.x - x, dy = a * (p.y - y);
  return dx * dx + dy * dy;
}

bool GraphCurve2D::HitTest(double x, double y) {
  if (points_ == nullptr || IsNoFillColor(color_)) return false;
  const double p = map_->unitsPerPixelX, a = Aspect();
  for (int32_t i = 0; i + 1 < next_; ++i) {
    const CurvePoint &s = points_[i], &e = points_[i + 1];
    if (SegmentDistanceSquared(x, a * y, s.x, a * s.y, e.x, a * e.y) < 16.0 * p * p) {
      hitParameter_ = ParameterOf(i);
      return true;
    }
  }
  return false;
}

bool GraphCurve2D::NearestSegmentStart(double x, double y, double* t) const {
  const double a = Aspect();
  double best = kPositiveInfinity;
  for (int32_t i = 0; i + 1 < next_; ++i) {
    const CurvePoint &s = points_[i], &e = points_[i + 1];
    if (!Finite(s) || !Finite(e)) continue;
    const double d = SegmentDistanceSquared(x, a * y, s.x, a * s.y, e.x, a * e.y);
    if (d < best) best = d, *t = ParameterOf(i);
  }
  return best < kPositiveInfinity;
}

double GraphCurve2D::ParameterStep(double t, double fallback) const {
  if (dxdt_ == nullptr || dydt_ == nullptr) return fallback;
  const double a = Aspect(), vx = EvaluateFunction1(dxdt_, t), vy = a * EvaluateFunction1(dydt_, t);
  const double step = (map_->unitsPerPixelX / 3.0) / std::sqrt(vx * vx + vy * vy);
  return std::isfinite(step) && step > 0 ? step : fallback;  // zero speed gives no step
}

ProbeRecord GraphCurve2D::Probe(double x, double y) {
  ProbeRecord record{};
  InitProbeRecord(&record);
  if (points_ == nullptr || IsNoFillColor(color_)) return record;
  double t0, t1;
  OrderedRange(&t0, &t1);
  const double tau = (t1 - t0) / 10000.0;
  double t = hitParameter_;
  if (!Finite(At(t)) && !NearestSegmentStart(x, y, &t)) return record;
  // Walk each way while the distance does not grow, and keep the nearer end (backward on a tie).
  auto walk = [&](double direction, double* end) {
    double s = t, d = Distance2(At(s), x, y);
    for (int32_t n = 0; n < kCurveMaxWalkSteps && (direction > 0 ? s < t1 : s > t0); ++n) {
      double next = s + direction * ParameterStep(s, tau);
      next = direction > 0 ? std::min(next, t1) : std::max(next, t0);
      const double dn = Distance2(At(next), x, y);
      if (!(dn <= d)) break;
      s = next, d = dn;
    }
    *end = s;
    return d;
  };
  double forward, backward;
  const double df = walk(1.0, &forward), db = walk(-1.0, &backward);
  t = db <= df ? backward : forward;
  const CurvePoint p = At(t);
  record.value = t;
  record.x = p.x, record.y = p.y;
  record.mode = static_cast<uint32_t>(probeKind_);
  record.rgb = GraphColorRGB(color_);
  SnapProbe(&record);
  hitParameter_ = record.value;
  return record;
}

void GraphCurve2D::SnapProbe(ProbeRecord* record) const {
  record->snapped = 1;
  double t0, t1;
  OrderedRange(&t0, &t1);
  const double tau = (t1 - t0) / 1000.0;
  const double reach = kCurveSnapPixels * map_->unitsPerPixelX;
  const double px = record->x, py = record->y, t = record->value;
  auto within = [&](double s) { return Distance2(At(s), px, py) <= reach * reach; };
  auto end = [&](double direction) {
    double s = t;
    for (int32_t n = 0; n < kCurveMaxWalkSteps; ++n) {
      double next = s + direction * ParameterStep(s, tau);
      next = direction > 0 ? std::min(next, t1) : std::max(next, t0);
      if (next == s || !within(next)) break;
      s = next;
    }
    return s;
  };
  const double ta = end(-1.0), tb = end(1.0);
  double zero;
  // Axis crossings first (the snapped coordinate exactly 0), then turning points in x and in y.
  if (SnapZero(yFunction_, ta, tb, &zero)) {
    record->value = zero, record->x = EvaluateFunction1(xFunction_, zero), record->y = 0.0;
  } else if (SnapZero(xFunction_, ta, tb, &zero)) {
    record->value = zero, record->x = 0.0, record->y = EvaluateFunction1(yFunction_, zero);
  } else if (SnapZero(dxdt_, ta, tb, &zero) || SnapZero(dydt_, ta, tb, &zero)) {
    const CurvePoint p = At(zero);
    record->value = zero, record->x = p.x, record->y = p.y;
  } else {
    record->snapped = 0;
  }
}

NearestPointRecord GraphCurve2D::NearestPoint(double x, double y, double tolerance, double tmin, double tmax) {
  if (points_ == nullptr || IsNoFillColor(color_)) return NoNearestPoint();
  double t0, t1;
  OrderedRange(&t0, &t1);
  const double lo = std::max(tmin, t0), hi = std::min(tmax, t1);
  if (!(lo <= hi)) return NoNearestPoint();
  const double step = (hi - lo) / kNearestSamples;
  auto sample = [&](int32_t k) { return k == kNearestSamples ? hi : lo + k * step; };
  int32_t best = -1;
  double bestD = kPositiveInfinity;
  for (int32_t k = 0; k <= kNearestSamples; ++k) {
    const double d = Distance2(At(sample(k)), x, y);
    if (d < bestD) bestD = d, best = k;
  }
  if (best < 0) return NoNearestPoint();
  // Golden-section search on the neighbouring sample intervals, falling back to the sample.
  double a = sample(std::max(best - 1, 0)), b = sample(std::min(best + 1, kNearestSamples));
  const double g = 0.6180339887498949;
  double c = b - g * (b - a), d = a + g * (b - a);
  double fc = Distance2(At(c), x, y), fd = Distance2(At(d), x, y);
  for (int32_t n = 0; n < kGoldenPasses && c < d; ++n) {
    if (fc <= fd) {
      b = d, d = c, fd = fc, c = b - g * (b - a), fc = Distance2(At(c), x, y);
    } else {
      a = c, c = d, fc = fd, d = a + g * (b - a), fd = Distance2(At(d), x, y);
    }
  }
  double t = 0.5 * (a + b);
  if (!(Distance2(At(t), x, y) <= bestD)) t = sample(best);
  const CurvePoint at = At(t);
  if (!Finite(at)) return NoNearestPoint();
  // The run of neighbours that stay within the tolerance (x) and tolerance / a (y) of the point
  // while moving away from it; at least one step each way, so the chords have length.
  const double ty = tolerance / Aspect(), neighbourStep = (hi - lo) / kNeighbourSteps;
  auto run = [&](double direction, double* out) {
    double s = t, far = 0;
    CurvePoint p = at;
    for (int32_t n = 0; n < kNeighbourSteps; ++n) {
      const double next = direction > 0 ? std::min(s + neighbourStep, hi) : std::max(s - neighbourStep, lo);
      if (next == s) break;
      const CurvePoint q = At(next);
      const double dq = Distance2(q, at.x, at.y);
      if (!Finite(q) || (n > 0 && (std::fabs(q.x - at.x) > tolerance || std::fabs(q.y - at.y) > ty || dq < far))) break;
      s = next, p = q, far = dq;
    }
    out[0] = s, out[1] = p.x, out[2] = p.y;
  };
  NearestPointRecord record = NoNearestPoint();
  run(-1.0, record.before);
  record.at[0] = t, record.at[1] = at.x, record.at[2] = at.y;
  run(1.0, record.after);
  record.found = 1;
  return record;
}
