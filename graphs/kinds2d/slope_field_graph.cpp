// GraphSlopeField2D: the seed grid and occupancy grid, the slope and its direction signs, the
// Runge-Kutta trace, the seeding loop under the budget, drawing, the probe and the lifecycle.
#include "graphs/kinds2d/slope_field_graph.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <new>
#include <utility>

#include "graphics/port_save.h"
#include "graphs/core/graph_color.h"
#include "graphs/kinds2d/curve_graph.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/threads/timers.h"

namespace {

constexpr double kRestFraction = 0.001;   // of a pixel: slower than this is a rest point
constexpr double kMaxIncrementSteps = 1.5;  // an increment across beyond this ends the curve

int32_t FlooredMod(int32_t a, int32_t m) { return ((a % m) + m) % m; }
int64_t FlooredDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int32_t SignOf(double v) { return v < 0 ? -1 : 1; }

}  // namespace

int32_t SeedCellSizeOfGrain(double q, int32_t factor) {
  return std::max(factor, 1) * static_cast<int32_t>(200.5 - 150.0 * ClampGrain(q));
}

GraphSlopeField2D::GraphSlopeField2D(CompiledFunction* slope, CompiledFunction* dydt, GraphColor* color,
                                     double grain, const ViewMap* map)
    : map_(map), slope_(slope), dydt_(dydt), color_(color), grain_(grain) {
  for (CompiledFunction* f : {slope_, dydt_}) {
    if (f != nullptr) CompileFunction(f);
  }
  Invalidate();
}

GraphSlopeField2D::~GraphSlopeField2D() {
  FreeCurves();
  FreeMemory(occupancy_);
  DeleteCompiledFunction(slope_);
  DeleteCompiledFunction(dydt_);
  delete color_;
}

GraphKind2D* NewSlopeFieldGraph(CompiledFunction* slope, CompiledFunction* dydt, GraphColor* color, double grain,
                                const ViewMap* map) {
  return new (std::nothrow) GraphSlopeField2D(slope, dydt, color, grain, map);
}

// ---- Grids ----

void GraphSlopeField2D::SetSeedPhase() {
  const QDRect& f = map_->frame;
  const int32_t h = SaturatedPixel(map_->originH), v = SaturatedPixel(map_->originV);
  phaseX_ = h > f.left && h < f.right ? FlooredMod(h, cellSize_) - 6 : cellSize_ / 2;
  phaseY_ = v > f.top && v < f.bottom ? FlooredMod(f.bottom - v, cellSize_) : cellSize_ / 2;
}

void GraphSlopeField2D::MakeOccupancyGrid() {
  FreeMemory(occupancy_);
  occupancy_ = nullptr;
  const int32_t width = RectWidth(map_->frame), height = RectHeight(map_->frame);
  columns_ = rows_ = column_ = row_ = 0;
  if (width <= 0 || height <= 0) return;
  const int32_t columns = (width - phaseX_) / cellSize_ + 3, rows = (height - phaseY_) / cellSize_ + 3;
  occupancy_ = static_cast<uint8_t*>(AllocMemory(4 * static_cast<size_t>(columns) * static_cast<size_t>(rows), true));
  if (occupancy_ == nullptr) {
    PostError(kErrorOutOfMemory);  // no seeds: complete and empty
    return;
  }
  columns_ = columns, rows_ = rows;
}

int64_t GraphSlopeField2D::OccupancyIndex(int32_t h, int32_t v) const {
  if (occupancy_ == nullptr) return -1;
  const QDRect& f = map_->frame;
  const int64_t c = FlooredDiv(cellSize_ / 2 + 2 * (int64_t(h) - f.left - phaseX_), cellSize_);
  const int64_t r = FlooredDiv(cellSize_ / 2 + 2 * (int64_t(f.bottom) - v - phaseY_), cellSize_);
  if (c < 0 || c >= 2 * int64_t(columns_) || r < 0 || r >= 2 * int64_t(rows_)) return -1;
  return r * 2 * columns_ + c;
}

int32_t GraphSlopeField2D::OccupancyAt(int32_t h, int32_t v) const {
  const int64_t i = OccupancyIndex(h, v);
  return i < 0 ? -1 : occupancy_[i];
}

void GraphSlopeField2D::FreeCurves() {
  for (int32_t i = 0; i < curves_.count; ++i) DisposeProbeList(curves_.data[i]);
  GrowArrayFree(curves_);
  GrowArrayFree(seeds_);
  for (CurvePoints& traced : traced_) GrowArrayFree(traced);
}

bool GraphSlopeField2D::KeepSeed(double x, double y) {
  if (!GrowArrayAppend(seeds_, ProbePoint{x, y})) return false;
  for (CurvePoints& traced : traced_) {
    CurvePoints* curve = NewProbeList();
    if (curve == nullptr || !PtrArrayAppend(curves_, curve)) {
      DisposeProbeList(curve);
      return false;
    }
    std::swap(*curve, traced);  // the curve takes the points, the scratch list is left empty
    for (int32_t k = 0; k < curve->count; ++k) {
      const ProbePoint& p = curve->data[k];
      const int64_t i = OccupancyIndex(WorldToPixelX(map_, p.x), WorldToPixelY(map_, p.y));
      if (i >= 0 && occupancy_[i] < 255) ++occupancy_[i];
    }
  }
  return true;
}

// ---- Tracing ----

double GraphSlopeField2D::SlopeAt(double x, double y, int32_t* sx, int32_t* sy) const {
  *sx = *sy = 1;
  if (dydt_ == nullptr) return EvaluateFunction2(slope_, x, y);
  const double dx = EvaluateFunction2(slope_, x, y), dy = EvaluateFunction2(dydt_, x, y);
  if (std::fabs(dx) < kRestFraction * map_->unitsPerPixelX && std::fabs(dy) < kRestFraction * map_->unitsPerPixelY) {
    return std::numeric_limits<double>::quiet_NaN();  // a rest point: the trace ends here
  }
  *sx = SignOf(dx), *sy = SignOf(dy);
  return dy / dx;
}

bool GraphSlopeField2D::TraceIntegralCurve(double x, double y, int32_t s, CurvePoints* points) {
  if (slope_ == nullptr) return true;
  const double pw = map_->unitsPerPixelX, ph = map_->unitsPerPixelY;
  double lastDx = 0, lastDy = 0;
  bool first = true;
  int32_t sx, sy;
  while (points->count < kMaxCurvePoints && PointInViewRect(map_, x, y)) {
    if (!GrowArrayAppend(*points, ProbePoint{x, y})) {
      PostError(kErrorOutOfMemory);
      return false;
    }
    const double m1 = SlopeAt(x, y, &sx, &sy);
    const bool shallow = std::fabs(m1) <= 1;
    // A system follows its flow; dy/dx = f keeps the sense of its last step, so a curve turning
    // from shallow to steep goes on the way it came.
    int32_t d;
    if (dydt_ != nullptr || first) {
      d = s * (shallow ? sx : sy);
    } else {
      d = shallow ? SignOf(lastDx) : SignOf(lastDy);
    }
    double dx, dy;
    int32_t ignore;
    if (shallow) {
      const double k = d * pw;
      const double m2 = SlopeAt(x + k / 2, y + k * m1 / 2, &ignore, &ignore);
      const double m3 = SlopeAt(x + k / 2, y + k * m2 / 2, &ignore, &ignore);
      const double m4 = SlopeAt(x + k, y + k * m3, &ignore, &ignore);
      dx = k, dy = (k * m1 + 2 * k * m2 + 2 * k * m3 + k * m4) / 6;
      if (std::fabs(dy) > kMaxIncrementSteps * std::fabs(k)) dy = std::numeric_limits<double>::quiet_NaN();
    } else {
      const double k = d * ph;
      const double m2 = SlopeAt(x + (k / m1) / 2, y + k / 2, &ignore, &ignore);
      const double m3 = SlopeAt(x + (k / m2) / 2, y + k / 2, &ignore, &ignore);
      const double m4 = SlopeAt(x + k / m3, y + k, &ignore, &ignore);
      dy = k, dx = (k / m1 + 2 * k / m2 + 2 * k / m3 + k / m4) / 6;
      if (std::fabs(dx) > kMaxIncrementSteps * std::fabs(k)) dx = std::numeric_limits<double>::quiet_NaN();
    }
    // A system's step that turns back on the last one has passed a rest point: the curve ends
    // there instead of stepping to and fro across it.
    if (dydt_ != nullptr && !first && dx * lastDx + dy * lastDy < 0) break;
    lastDx = dx, lastDy = dy, first = false;
    x += dx, y += dy;  // NaN leaves the view: the curve ends
  }
  return true;
}

// ---- Compute and draw ----

void GraphSlopeField2D::Compute(int32_t budget) {
  if (occupancy_ == nullptr || budget <= 0) return;
  const uint32_t deadline = ComputeDeadline(budget);
  const QDRect& f = map_->frame;
  while (row_ < rows_) {
    if (column_ == columns_) column_ = 0;
    for (; column_ < columns_; ++column_) {
      const int32_t h = (column_ - 1) * cellSize_ + phaseX_ + f.left;
      const int32_t v = f.bottom - (row_ - 1) * cellSize_ - phaseY_;
      const double x = PixelToWorldX(map_, h), y = PixelToWorldY(map_, v);
      const int64_t cell = OccupancyIndex(h, v);
      if (!PointInViewRect(map_, x, y) || cell < 0 || occupancy_[cell] != 0) continue;
      // A seed is one unit of work: both curves are traced before either is kept or counted, and
      // the occupancy the trace does not read is marked only then, so a seed started again after
      // an abandoned Compute finds the grid as it was.
      bool stored = true;
      for (int32_t d = 0; d < 2 && stored; ++d) {
        traced_[d].count = 0;
        stored = TraceIntegralCurve(x, y, d == 0 ? 1 : -1, &traced_[d]);
      }
      stored = stored && KeepSeed(x, y);
      if (!stored) {
        PostError(kErrorOutOfMemory);
        column_ = columns_, row_ = rows_;  // memory is short: the curves so far stand, complete
        return;
      }
    }
    ++row_;
    if (DeadlineReached(ElapsedTimerUnits(), deadline)) break;
  }
}

bool GraphSlopeField2D::Draw() {
  if (IsNoFillColor(color_)) return true;
  const double radius = 0.5 * (map_->maxX - map_->minX);
  for (int32_t i = 0; i < curves_.count; ++i) {
    DrawWorldPolyline(map_, curves_.data[i]->data, curves_.data[i]->count, radius, GraphColorRGB(color_));
  }
  return true;
}

// ---- Queries and lifecycle ----

bool GraphSlopeField2D::HitTest(double, double) { return !IsNoFillColor(color_); }

ProbeRecord GraphSlopeField2D::Probe(double x, double y) {
  ProbeRecord record{};
  InitProbeRecord(&record);
  record.mode = 10;
  record.x = x, record.y = y;
  record.rgb = GraphColorRGB(color_);
  // The probe marks no occupancy: it must not keep later seeds from starting curves. The lists are
  // held while the curves are traced into them, so a probe abandoned in a trace frees both.
  HeldProbeList forward, backward;
  if (GrowArray<ProbePoint>* list = forward.Make()) TraceIntegralCurve(x, y, 1, list);
  if (dydt_ == nullptr) {
    if (GrowArray<ProbePoint>* list = backward.Make()) TraceIntegralCurve(x, y, -1, list);
  }
  record.listA = forward.Release();
  record.listB = backward.Release();
  return record;
}

void GraphSlopeField2D::VariableChanged(int32_t symbol, double) {
  CompiledFunction* const functions[2] = {slope_, dydt_};
  if (ForgetBindingsOf(functions, 2, symbol)) Invalidate();
}

void GraphSlopeField2D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) {
    SetGraphColorIndex(color_, value);
  } else if (code == 8) {
    grain_ = value;
    Invalidate();  // the occupancy grid is sized by the cell size: never read it stale
  }
}

// The cell size and the phase are worked out again before the occupancy grid, which is sized by
// both: the map's factor (antialiasing) or the origin may have changed since they were set, and a
// grid sized by the old ones would be read out of step with the seeds.
void GraphSlopeField2D::Invalidate() {
  FreeCurves();
  cellSize_ = SeedCellSizeOfGrain(grain_, map_->factorH);
  SetSeedPhase();
  MakeOccupancyGrid();
}
