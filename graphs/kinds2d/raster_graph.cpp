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

namespace {

constexpr int32_t kRangeSamples = 20;  // a side of the measuring grid
constexpr int32_t kRowChunk = 512;     // cells evaluated together


// Moves the W x H map by (dc, dr) cells in place (cell (c, r) takes (c - dc, r - dr)); what is
// uncovered becomes pending.
void ShiftCells(uint8_t* cells, int32_t width, int32_t height, int64_t dc, int64_t dr) {
  const size_t w = static_cast<size_t>(width);
  if (dc <= -width || dc >= width || dr <= -height || dr >= height) {
    std::memset(cells, kRasterPending, w * static_cast<size_t>(height));
    return;
  }
  const auto sc = static_cast<int32_t>(dc), sr = static_cast<int32_t>(dr);
  const size_t rows = static_cast<size_t>(height - std::abs(sr));
  if (sr > 0) {
    std::memmove(cells + w * size_t(sr), cells, w * rows);
    std::memset(cells, kRasterPending, w * size_t(sr));
  } else if (sr < 0) {
    std::memmove(cells, cells + w * size_t(-sr), w * rows);
    std::memset(cells + w * rows, kRasterPending, w * size_t(-sr));
  }
  const size_t kept = w - size_t(std::abs(sc));
  for (int32_t r = 0; sc != 0 && r < height; ++r) {
    uint8_t* row = cells + w * size_t(r);
    if (sc > 0) {
      std::memmove(row + sc, row, kept);
      std::memset(row, kRasterPending, size_t(sc));
    } else {
      std::memmove(row, row - sc, kept);
      std::memset(row + kept, kRasterPending, size_t(-sc));
    }
  }
}

}  // namespace

int32_t RasterBandsOfGrain(double q) { return 24 / (24 / LevelCountOfGrain(q)); }

void RasterPalette(PackedRGB rgb, int32_t bands, PackedRGB palette[kRasterLevels]) {
  bands = std::min(std::max(bands, 2), kRasterLevels);
  const int32_t k = kRasterLevels / bands;
  for (int32_t e = 0; e < kRasterLevels; ++e) palette[e] = e < bands * k ? BandColor(rgb, e / k, bands) : rgb;
}

GraphRaster2D::GraphRaster2D(CompiledFunction* function, double grain, GraphColor* color, const ViewMap* map)
    : map_(map),
      cellsMap_(*map),
      function_(function),
      color_(color),
      bands_(RasterBandsOfGrain(grain)) {
  frameCache_.off = IsBenchmarkRunning() ? 1 : 0;  // the benchmark always computes
  if (color_ != nullptr) BrightenGraphColor(color_);
  grid_ = function_ != nullptr ? CompileFunctionsShared1(function_) : nullptr;
  if (grid_ == nullptr) {
    PostError(kErrorOutOfMemory);
    return;
  }
  MeasureRange();
  AllocateCells();
}

GraphRaster2D::~GraphRaster2D() {
  FreeMemory(cells_);
  DisposeEvalContext(grid_);
  DeleteCompiledFunction(function_);
  delete color_;
  ValueCacheClear(frameCache_.rows);
}

GraphKind2D* NewRasterGraph(CompiledFunction* function, double grain, GraphColor* color, const ViewMap* map) {
  return new (std::nothrow) GraphRaster2D(function, grain, color, map);
}

// ---- Range, cells and levels ----

void GraphRaster2D::MeasureRange() {
  const QDRect& r = map_->frame;
  if (EmptyRect(r) || grid_ == nullptr) return;
  const double xl = PixelToWorldX(map_, r.left), xr = PixelToWorldX(map_, r.right - 1);
  const double yt = PixelToWorldY(map_, r.top), yb = PixelToWorldY(map_, r.bottom - 1);
  PrepareSampleGrid(xl, yt, (xr - xl) / (kRangeSamples - 1), (yb - yt) / (kRangeSamples - 1), kRangeSamples,
                    kRangeSamples, grid_);
  double lo = kPositiveInfinity, hi = -kPositiveInfinity, values[kRangeSamples];
  for (int32_t j = 0; j < kRangeSamples; ++j) {
    EvaluateGridRow(function_, 0, j, kRangeSamples, grid_, values);
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

void GraphRaster2D::AllocateCells() {
  FreeMemory(cells_);
  cells_ = nullptr;
  const int32_t tx = std::max(map_->factorH, 1), ty = std::max(map_->factorV, 1);
  width_ = RectWidth(map_->frame) / tx, height_ = RectHeight(map_->frame) / ty;
  if (width_ <= 0 || height_ <= 0) width_ = height_ = 0;
  const size_t size = CellCount();
  if (size > 0) {
    cells_ = size <= size_t(kMaxRasterCells) ? static_cast<uint8_t*>(AllocMemory(size)) : nullptr;
    if (cells_ == nullptr) {
      PostError(kErrorOutOfMemory);
      width_ = height_ = 0;
    } else {
      std::memset(cells_, kRasterPending, size);
    }
  }
  nextCell_ = nextRow_ = 0;
  cellsMap_ = *map_;
}

void GraphRaster2D::ResetCells() {
  if (!RangeKnown()) MeasureRange();  // a known range survives resets
  const int32_t tx = std::max(map_->factorH, 1), ty = std::max(map_->factorV, 1);
  if (cells_ != nullptr && width_ == RectWidth(map_->frame) / tx && height_ == RectHeight(map_->frame) / ty) {
    std::memset(cells_, kRasterPending, CellCount());
    nextCell_ = nextRow_ = 0;
    cellsMap_ = *map_;
  } else {
    AllocateCells();
  }
}

size_t GraphRaster2D::CellCount() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }

void GraphRaster2D::PrepareCellGrid() {
  const QDRect& r = map_->frame;
  const double tx = std::max(map_->factorH, 1), ty = std::max(map_->factorV, 1);
  PrepareSampleGrid(PixelToWorldX(map_, r.left), PixelToWorldY(map_, r.top), map_->unitsPerPixelX * tx,
                    -map_->unitsPerPixelY * ty, width_, height_, grid_);
}

// ---- Compute and draw ----

void GraphRaster2D::Compute(int32_t budget) {
  if (cells_ == nullptr || width_ == 0 || height_ == 0) return;
  const uint32_t deadline = ComputeDeadline(budget);
  PrepareCellGrid();
  double values[kRowChunk];
  while (nextRow_ < height_ && !DeadlineReached(ElapsedTimerUnits(), deadline)) {
    if (nextCell_ == width_) nextCell_ = 0;
    uint8_t* row = cells_ + static_cast<size_t>(nextRow_) * static_cast<size_t>(width_);
    for (int32_t c = nextCell_; c < width_;) {
      if (row[c] != kRasterPending) {
        ++c;
        continue;
      }
      int32_t end = c;
      while (end < width_ && row[end] == kRasterPending && end - c < kRowChunk) ++end;
      EvaluateGridRow(function_, c, nextRow_, end - c, grid_, values);
      for (int32_t k = c; k < end; ++k) row[k] = LevelOf(values[k - c]);
      evaluations_ += static_cast<uint64_t>(end - c);
      c = end;
    }
    nextCell_ = width_;
    ++nextRow_;
  }
  if (IsComplete()) FrameCacheStoreIfAsked(frameCache_, cells_, CellCount());
}

bool GraphRaster2D::IsComplete() { return cells_ == nullptr || (nextCell_ == width_ && nextRow_ == height_); }

bool GraphRaster2D::Draw() {
  if (cells_ == nullptr || IsNoFillColor(color_)) return true;
  Port* port = GetPort();
  if (port == nullptr) return true;
  PackedRGB palette[kRasterLevels];
  RasterPalette(GraphColorRGB(color_), bands_, palette);
  const int32_t tx = std::max(map_->factorH, 1), ty = std::max(map_->factorV, 1);
  const QDRect& f = map_->frame;
  for (int32_t r = 0; r < height_; ++r) {
    for (int32_t c = 0; c < width_; ++c) {
      const uint8_t level = cells_[static_cast<size_t>(r) * static_cast<size_t>(width_) + static_cast<size_t>(c)];
      if (level >= kRasterUndefined) continue;
      for (int32_t j = 0; j < ty; ++j) {
        for (int32_t i = 0; i < tx; ++i) {
          if (uint32_t* p = PixelAddress(port, f.left + c * tx + i, f.top + r * ty + j)) {
            *p = ShadePixelByLuminance(palette[level], *p);
          }
        }
      }
    }
  }
  return true;
}

int32_t GraphRaster2D::Status() {
  const size_t size = CellCount();
  for (size_t i = 0; cells_ != nullptr && i < size; ++i) {
    if (cells_[i] != kRasterUndefined) return 0;
  }
  return 1;  // "Undefined in the region shown"
}

// ---- Queries ----

bool GraphRaster2D::CellAt(double x, double y, int32_t* c, int32_t* r) const {
  const int32_t h = WorldToPixelX(map_, x) - map_->frame.left, v = WorldToPixelY(map_, y) - map_->frame.top;
  if (h < 0 || v < 0) return false;
  *c = h / std::max(map_->factorH, 1), *r = v / std::max(map_->factorV, 1);
  return *c < width_ && *r < height_;
}

bool GraphRaster2D::HitTest(double x, double y) {
  int32_t c, r;
  if (cells_ == nullptr || IsNoFillColor(color_) || !CellAt(x, y, &c, &r)) return false;
  PrepareCellGrid();
  return EvaluateAtGridPoint(function_, c, r, grid_) == EvaluateAtGridPoint(function_, c, r, grid_);
}

ProbeRecord GraphRaster2D::Probe(double x, double y) {
  ProbeRecord record{};
  InitProbeRecord(&record);
  int32_t c, r;
  if (cells_ == nullptr || IsNoFillColor(color_) || !CellAt(x, y, &c, &r)) return record;
  PrepareCellGrid();
  record.mode = 8;
  record.x = x, record.y = y;
  record.value = EvaluateAtGridPoint(function_, c, r, grid_);
  return record;
}

// ---- Lifecycle ----

void GraphRaster2D::VariableChanged(int32_t symbol, double value) {
  if (function_ != nullptr) function_->bindingsEvaluated = 0;
  if (cells_ == nullptr || !FunctionDependsOnSymbol(function_, symbol)) return;
  if (!IsFrameCacheSymbol(symbol)) {
    Invalidate();
    return;
  }
  if (FrameCacheRestore(frameCache_, value, cells_, CellCount()) == CacheRestore::kRestored) {
    nextCell_ = width_ - 1, nextRow_ = height_ - 1;  // the next Compute finishes at once
  } else {
    ResetCells();
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
  ValueCacheClear(frameCache_.rows);
  ResetCells();
}

void GraphRaster2D::GeometryChanged() { FollowMap(); }

// Without cells nothing is kept and nothing is asked for again (memory stays short while the view
// scrolls); an invalidation or a geometry change tries again.
void GraphRaster2D::Scroll(int32_t, int32_t) {
  if (cells_ != nullptr) FollowMap();
}

void GraphRaster2D::FollowMap() {
  ValueCacheClear(frameCache_.rows);
  if (!RangeKnown()) MeasureRange();
  if (grid_ == nullptr) return;
  const int32_t tx = std::max(map_->factorH, 1), ty = std::max(map_->factorV, 1);
  // Old cell c lay at map pixel left + c tx; the world moved by dh, so the new cell there is
  // c + dc when the move is whole in cells.
  int32_t dh, dv;
  bool aligned = WholePixelShift(&cellsMap_, map_, &dh, &dv);
  const int64_t ch = int64_t(cellsMap_.frame.left) + dh - map_->frame.left;
  const int64_t cv = int64_t(cellsMap_.frame.top) + dv - map_->frame.top;
  aligned = aligned && ch % tx == 0 && cv % ty == 0;
  const int64_t dc = ch / tx, dr = cv / ty;
  const int32_t oldWidth = width_, oldHeight = height_;
  if (cells_ != nullptr && aligned && width_ == RectWidth(map_->frame) / tx &&
      height_ == RectHeight(map_->frame) / ty) {
    ShiftCells(cells_, width_, height_, dc, dr);
    nextCell_ = nextRow_ = 0;
    cellsMap_ = *map_;
    return;
  }
  uint8_t* old = cells_;
  cells_ = nullptr;
  AllocateCells();
  for (int32_t r = 0; aligned && old != nullptr && cells_ != nullptr && r < height_; ++r) {
    const int64_t ro = r - dr;
    const int64_t from = std::max<int64_t>(0, dc), to = std::min<int64_t>(width_, oldWidth + dc);
    if (ro < 0 || ro >= oldHeight || from >= to) continue;
    std::memcpy(cells_ + size_t(r) * size_t(width_) + size_t(from),
                old + size_t(ro) * size_t(oldWidth) + size_t(from - dc), size_t(to - from));
  }
  FreeMemory(old);
}
