// GraphRaster2D: the range measure, the cell map and its row loop through the grid context, the
// palette and drawing, the cache of maps per parameter value, and the map across scrolls and
// geometry changes.
#include "graphs/kinds2d/raster_graph.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "graphics/pixel_routines.h"
#include "graphs/core/graph_color.h"
#include "kernel/application_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/block_evaluation.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/threads/timers.h"


int32_t RasterBandsOfGrain(double q) { return 24 / (24 / LevelCountOfGrain(q)); }

void RasterPalette(PackedRGB rgb, int32_t bands, PackedRGB palette[kRasterLevels]) {
  bands = std::min(std::max(bands, 2), kRasterLevels);
  const int32_t k = kRasterLevels / bands;
  for (int32_t e = 0; e < kRasterLevels; ++e) palette[e] = e < bands * k ? BandColor(rgb, e / k, bands) : rgb;
}

GraphRaster2D::GraphRaster2D(CompiledFunction* function, double grain, GraphColor* color, const ViewMap* map)
    : map_(map),
      function_(function),
      color_(color),
      bands_(RasterBandsOfGrain(grain)) {
  grid_.cache.off = IsBenchmarkRunning() ? 1 : 0;  // the benchmark always computes
  grid_.cellsMap = *map;
  if (color_ != nullptr) BrightenGraphColor(color_);
  context_ = function_ != nullptr ? CompileFunctionsShared1(function_) : nullptr;
  if (context_ == nullptr) {
    PostError(kErrorOutOfMemory);
    return;
  }
  rangeDue_ = 1;
  grid_.Allocate(map_, kRasterPending);
}

GraphRaster2D::~GraphRaster2D() {
  grid_.Free();
  DisposeEvalContext(context_);
  DeleteCompiledFunction(function_);
  delete color_;
}

GraphKind2D* NewRasterGraph(CompiledFunction* function, double grain, GraphColor* color, const ViewMap* map) {
  return new (std::nothrow) GraphRaster2D(function, grain, color, map);
}

// ---- Range, cells and levels ----

void GraphRaster2D::MeasureRange() {
  if (!PrepareRangeSampleGrid(map_, context_)) return;
  double lo = kPositiveInfinity, hi = -kPositiveInfinity, values[kRangeSamples];
  for (int32_t j = 0; j < kRangeSamples; ++j) {
    EvaluateGridRow(function_, 0, j, kRangeSamples, context_, values);
    for (double v : values) {
      if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
    }
  }
  if (hi > lo) {
    scale_ = kRasterLevels / (hi - lo), minValue_ = lo, maxValue_ = hi;
  } else {
    minValue_ = maxValue_ = -kPositiveInfinity;  // every defined cell gets the top level
  }
}

uint8_t GraphRaster2D::LevelOf(double value) const {
  if (std::isnan(value)) return kRasterUndefined;
  if (value <= minValue_) return 0;
  if (value >= maxValue_) return kRasterLevels - 1;
  const double t = scale_ * (value - minValue_);  // an overflowing scale gives the top level, never UB
  if (!(t < kRasterLevels - 1)) return kRasterLevels - 1;
  return t > 0 ? static_cast<uint8_t>(t) : 0;
}

void GraphRaster2D::ResetCells() {
  if (!RangeKnown()) rangeDue_ = 1;  // a known range survives resets
  grid_.Reset(map_, kRasterPending);
}

// ---- Compute and draw ----

void GraphRaster2D::Compute(int32_t budget) {
  // The range first, in the computing's time (its samples may be long sums), then the cells.
  if (rangeDue_ && context_ != nullptr) {
    MeasureRange();
    rangeDue_ = 0;
  }
  CompiledFunction* const functions[1] = {function_};
  evaluations_ += ComputeCellRows(
      grid_, map_, context_, functions, budget, [](uint8_t cell) { return cell == kRasterPending; },
      [this](const double (&values)[1][kCellRun], int32_t t) { return LevelOf(values[0][t]); });
}

bool GraphRaster2D::IsComplete() { return grid_.Complete(); }

bool GraphRaster2D::Draw() {
  if (grid_.cells == nullptr || IsNoFillColor(color_)) return true;
  PackedRGB palette[kRasterLevels];
  RasterPalette(GraphColorRGB(color_), bands_, palette);
  ShadeCells(grid_, map_, [&palette](uint8_t level, uint32_t* rgb) {
    if (level >= kRasterUndefined) return false;
    *rgb = palette[level];
    return true;
  });
  return true;
}

int32_t GraphRaster2D::Status() {
  const size_t size = grid_.Count();
  for (size_t i = 0; grid_.cells != nullptr && i < size; ++i) {
    if (grid_.cells[i] != kRasterUndefined) return 0;
  }
  return 1;  // "Undefined in the region shown"
}

// ---- Queries ----

bool GraphRaster2D::CellAt(double x, double y, int32_t* c, int32_t* r) {
  if (grid_.cells == nullptr || !CellUnder(grid_, map_, x, y, c, r)) return false;
  PrepareCellEvaluationGrid(map_, grid_.width, grid_.height, context_);
  return true;
}

bool GraphRaster2D::HitTest(double x, double y) {
  int32_t c, r;
  if (IsNoFillColor(color_) || !CellAt(x, y, &c, &r)) return false;
  return EvaluateAtGridPoint(function_, c, r, context_) == EvaluateAtGridPoint(function_, c, r, context_);
}

ProbeRecord GraphRaster2D::Probe(double x, double y) {
  ProbeRecord record{};
  InitProbeRecord(&record);
  int32_t c, r;
  if (IsNoFillColor(color_) || !CellAt(x, y, &c, &r)) return record;
  record.mode = 8;
  record.x = x, record.y = y;
  record.value = EvaluateAtGridPoint(function_, c, r, context_);
  return record;
}

// ---- Lifecycle ----

void GraphRaster2D::VariableChanged(int32_t symbol, double value) {
  if (!ForgetBindingsOf(&function_, 1, symbol) || grid_.cells == nullptr) return;
  if (!IsFrameCacheSymbol(symbol)) {
    Invalidate();
  } else if (!grid_.Restore(map_, value, kRasterPending) && !RangeKnown()) {
    rangeDue_ = 1;  // a known range survives resets
  }
}

void GraphRaster2D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) {
    SetGraphColorIndex(color_, value);
    BrightenGraphColor(color_);
  } else if (code == 8) {
    bands_ = RasterBandsOfGrain(value);
  }
}

void GraphRaster2D::Invalidate() {
  ValueCacheClear(grid_.cache.rows);
  ResetCells();
}

void GraphRaster2D::GeometryChanged() { FollowMap(nullptr); }

// Without cells nothing is kept and nothing is asked for again (memory stays short while the view
// scrolls); an invalidation or a geometry change tries again.
void GraphRaster2D::Scroll(int32_t dh, int32_t dv) {
  const int32_t amounts[2] = {dh, dv};
  if (grid_.cells != nullptr) FollowMap(amounts);
}

void GraphRaster2D::FollowMap(const int32_t* scrolled) {
  ValueCacheClear(grid_.cache.rows);
  if (!RangeKnown()) rangeDue_ = 1;
  if (context_ == nullptr) return;
  if (scrolled != nullptr) {
    grid_.Scroll(map_, scrolled[0], scrolled[1], kRasterPending);
  } else {
    grid_.Follow(map_, kRasterPending);
  }
}
