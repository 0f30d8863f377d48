// CellGrid<T>: the per-cell array the raster-like 2D kinds (the density raster, the colour plot, the
// mapped picture) compute row by row under the time budget: one cell a FactorH x FactorV block of
// the drawing map (a window pixel on both maps), a marker value for a cell still to be computed, the
// map the cells were computed on, and the finished arrays kept per parameter value.
// Invariants: width x height cells, both 0 exactly when there are no cells; at most kMaxGridCells;
// kept cells stay world-aligned across scrolls, geometry changes and changes of the factors alone
// (a move that is not whole in cells, or a change of scale, makes every cell pending);
// nextRow <= height.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "graphics/pixel_routines.h"
#include "graphs/core/graph_kind.h"
#include "graphs/core/value_cache.h"
#include "graphs/view2d/view_map.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/block_evaluation.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/threads/timers.h"
#include "platform/draw/port.h"

// A map of more cells than this is refused like memory (error 7, no cells): 4096 x 4096.
inline constexpr int64_t kMaxGridCells = int64_t(1) << 24;

// The cell size of a map in map pixels (its factors, at least 1).
inline int32_t CellWidthOf(const ViewMap* map) { return std::max(map->factorH, 1); }
inline int32_t CellHeightOf(const ViewMap* map) { return std::max(map->factorV, 1); }

// How far the world moved on the cells between two maps: true, with (dc, dr) = the new cell of a
// world point minus its old one, when a cell spans the same world step on both and the move is
// whole in cells (at most 2^30); false when nothing computed on the first may be kept. A change of
// the factors alone (the antialias map on or off) moves nothing: both maps sample each cell at the
// same world point (PrepareCellEvaluationGrid).
bool WholeCellShift(const ViewMap* before, const ViewMap* after, int64_t* dc, int64_t* dr);

// Moves the W x H array by (dc, dr) cells in place (cell (c, r) takes (c - dc, r - dr)); what is
// uncovered becomes `pending`; a move of the whole grid or more makes every cell pending.
template <typename T>
void ShiftCells(T* cells, int32_t width, int32_t height, int64_t dc, int64_t dr, T pending) {
  const size_t w = static_cast<size_t>(width);
  if (dc <= -width || dc >= width || dr <= -height || dr >= height) {
    std::fill(cells, cells + w * static_cast<size_t>(height), pending);
    return;
  }
  const auto sc = static_cast<int32_t>(dc), sr = static_cast<int32_t>(dr);
  const size_t rows = static_cast<size_t>(height - std::abs(sr));
  if (sr > 0) {
    std::memmove(static_cast<void*>(cells + w * size_t(sr)), cells, w * rows * sizeof(T));
    std::fill(cells, cells + w * size_t(sr), pending);
  } else if (sr < 0) {
    std::memmove(static_cast<void*>(cells), cells + w * size_t(-sr), w * rows * sizeof(T));
    std::fill(cells + w * rows, cells + w * size_t(height), pending);
  }
  const size_t kept = w - size_t(std::abs(sc));
  for (int32_t r = 0; sc != 0 && r < height; ++r) {
    T* row = cells + w * size_t(r);
    if (sc > 0) {
      std::memmove(static_cast<void*>(row + sc), row, kept * sizeof(T));
      std::fill(row, row + sc, pending);
    } else {
      std::memmove(static_cast<void*>(row), row - sc, kept * sizeof(T));
      std::fill(row + kept, row + w, pending);
    }
  }
}

template <typename T>
struct CellGrid {
  T* cells = nullptr;  // counted memory, width x height, rows from the top
  int32_t width = 0;
  int32_t height = 0;
  int32_t nextCell = 0;
  int32_t nextRow = 0;
  ViewMap cellsMap;  // the map the cells were computed on
  FrameCache cache;

  size_t Count() const { return static_cast<size_t>(width) * static_cast<size_t>(height); }
  size_t Bytes() const { return Count() * sizeof(T); }
  T* Row(int32_t r) { return cells + static_cast<size_t>(r) * static_cast<size_t>(width); }
  const T* Row(int32_t r) const { return cells + static_cast<size_t>(r) * static_cast<size_t>(width); }
  // Every row computed (also without cells: nothing is left to do).
  bool Complete() const { return cells == nullptr || (nextCell == width && nextRow == height); }
  // The cell size of the map fits it as the cells were made: same width and height in cells.
  bool Fits(const ViewMap* map) const {
    return width == RectWidth(map->frame) / CellWidthOf(map) && height == RectHeight(map->frame) / CellHeightOf(map);
  }

  // A fresh array for the map's frame, every cell pending; error 7 and no cells when refused (or
  // beyond kMaxGridCells). A frame without area gives no cells and no error.
  void Allocate(const ViewMap* map, T pending) {
    FreeMemory(cells);
    cells = nullptr;
    width = RectWidth(map->frame) / CellWidthOf(map), height = RectHeight(map->frame) / CellHeightOf(map);
    if (width <= 0 || height <= 0) width = height = 0;
    if (Count() > 0) {
      cells = Count() <= size_t(kMaxGridCells) ? static_cast<T*>(AllocMemory(Bytes())) : nullptr;
      if (cells == nullptr) {
        PostError(kErrorOutOfMemory);
        width = height = 0;
      } else {
        std::fill(cells, cells + Count(), pending);
      }
    }
    nextCell = nextRow = 0;
    cellsMap = *map;
  }
  // Every cell pending again, on the map as it is now (a new array when its size changed).
  void Reset(const ViewMap* map, T pending) {
    if (cells != nullptr && Fits(map)) {
      std::fill(cells, cells + Count(), pending);
      nextCell = nextRow = 0;
      cellsMap = *map;
    } else {
      Allocate(map, pending);
    }
  }
  // After the view changed its geometry or its factors: the frame cache goes, the cells that
  // still lie on the map stay where their world points now are, the rest become pending.
  void Follow(const ViewMap* map, T pending) {
    ValueCacheClear(cache.rows);
    int64_t dc = 0, dr = 0;
    const bool aligned = WholeCellShift(&cellsMap, map, &dc, &dr);
    if (cells != nullptr && aligned && Fits(map)) {
      ShiftCells(cells, width, height, dc, dr, pending);
      nextCell = nextRow = 0;
      cellsMap = *map;
      return;
    }
    T* old = cells;
    const int32_t oldWidth = width, oldHeight = height;
    cells = nullptr;
    Allocate(map, pending);
    for (int32_t r = 0; aligned && old != nullptr && cells != nullptr && r < height; ++r) {
      const int64_t ro = r - dr;
      const int64_t from = std::max<int64_t>(0, dc), to = std::min<int64_t>(width, oldWidth + dc);
      if (ro < 0 || ro >= oldHeight || from >= to) continue;
      std::memcpy(static_cast<void*>(Row(r) + from), old + size_t(ro) * size_t(oldWidth) + size_t(from - dc),
                  size_t(to - from) * sizeof(T));
    }
    FreeMemory(old);
  }
  // After the view scrolled by (dh, dv) map pixels (the new pixel of a world point minus its old
  // one, as the view counts them): the frame cache goes, the cells still in view move with the
  // world, the rest become pending. The move is the scroll's (IsScrollOf): at deep zoom the origin
  // moves by amounts such as -13.000000000014552, from which the maps alone tell no whole move. A
  // move not whole in cells, or maps that differ by more than the scroll, make every cell pending.
  void Scroll(const ViewMap* map, int32_t dh, int32_t dv, T pending) {
    ValueCacheClear(cache.rows);
    if (cells == nullptr) return;
    const int32_t tx = CellWidthOf(map), ty = CellHeightOf(map);
    if (!IsScrollOf(&cellsMap, map, dh, dv) || !Fits(map) || dh % tx != 0 || dv % ty != 0) {
      Reset(map, pending);
      return;
    }
    ShiftCells(cells, width, height, int64_t(dh / tx), int64_t(dv / ty), pending);
    nextCell = nextRow = 0;
    cellsMap = *map;
  }
  // The parameter variable took `value`: a cached array of it comes back (the next Compute then
  // finishes at once without evaluating: true), else every cell becomes pending (false).
  bool Restore(const ViewMap* map, double value, T pending) {
    if (cells != nullptr && FrameCacheRestore(cache, value, cells, Bytes()) == CacheRestore::kRestored) {
      nextCell = width - 1, nextRow = height - 1;
      return true;
    }
    Reset(map, pending);
    return false;
  }
  // Once complete: the array of a parameter value that was asked for goes into the cache.
  void StoreIfComplete() {
    if (cells != nullptr && Complete()) FrameCacheStoreIfAsked(cache, cells, Bytes());
  }
  void Free() {
    FreeMemory(cells);
    cells = nullptr;
    width = height = nextCell = nextRow = 0;
    ValueCacheClear(cache.rows);
  }
};

// The cell under a world point of the map, false outside the grid.
template <typename T>
bool CellUnder(const CellGrid<T>& grid, const ViewMap* map, double x, double y, int32_t* c, int32_t* r) {
  const int32_t h = WorldToPixelX(map, x) - map->frame.left, v = WorldToPixelY(map, y) - map->frame.top;
  if (h < 0 || v < 0) return false;
  *c = h / CellWidthOf(map), *r = v / CellHeightOf(map);
  return *c < grid.width && *r < grid.height;
}

// Lays every cell whose colourOf(cell, &rgb) is true over the current port: each pixel of its
// FactorH x FactorV block (from the frame's top-left) shaded from its own background by
// ShadePixelByLuminance; pixels outside the port are skipped.
template <typename T, typename ColourOf>
void ShadeCells(const CellGrid<T>& grid, const ViewMap* map, ColourOf colourOf) {
  Port* port = GetPort();
  if (port == nullptr || grid.cells == nullptr) return;
  const int32_t tx = CellWidthOf(map), ty = CellHeightOf(map);
  const QDRect& f = map->frame;
  for (int32_t r = 0; r < grid.height; ++r) {
    const T* row = grid.Row(r);
    for (int32_t c = 0; c < grid.width; ++c) {
      uint32_t rgb;
      if (!colourOf(row[c], &rgb)) continue;
      for (int32_t j = 0; j < ty; ++j) {
        for (int32_t i = 0; i < tx; ++i) {
          uint32_t* p = PixelAddress(port, f.left + c * tx + i, f.top + r * ty + j);
          if (p != nullptr) *p = ShadePixelByLuminance(rgb, *p);
        }
      }
    }
  }
}

// The evaluation grid of the cells of the map: one point a cell, the world point of the window
// pixel the cell stands for (its block's left column and lower row: the antialias map puts a
// window pixel's point there), so both maps sample the same points.
void PrepareCellEvaluationGrid(const ViewMap* map, int32_t width, int32_t height, EvalContext* context);

// Computes rows of pending cells from the next one on: a budget of 0 or less computes nothing,
// any other at least one row, the clock read after each. In each row the runs of cells for which
// pending(cell) holds (at most kCellRun long) are evaluated together, the N functions of the shared
// context at each cell (EvaluateGridRowBatch), and store(values, t) gives the cell of the t-th of
// the run from values[f][t]. Complete, the array of a parameter value asked for is cached.
// Returns the cells evaluated.
inline constexpr int32_t kCellRun = 256;
template <typename T, int32_t N, typename Pending, typename Store>
uint64_t ComputeCellRows(CellGrid<T>& grid, const ViewMap* map, EvalContext* context,
                         CompiledFunction* const (&functions)[N], int32_t budget, Pending pending, Store store) {
  if (grid.cells == nullptr || budget <= 0) return 0;
  const uint32_t deadline = ComputeDeadline(budget);
  const int32_t width = grid.width;
  PrepareCellEvaluationGrid(map, width, grid.height, context);
  double values[N][kCellRun];
  double* out[N];
  for (int32_t f = 0; f < N; ++f) out[f] = values[f];
  uint64_t evaluated = 0;
  while (grid.nextRow < grid.height) {
    if (grid.nextCell == width) grid.nextCell = 0;
    T* row = grid.Row(grid.nextRow);
    for (int32_t c = grid.nextCell; c < width;) {
      if (!pending(row[c])) {
        ++c;
        continue;
      }
      int32_t end = c;
      while (end < width && pending(row[end]) && end - c < kCellRun) ++end;
      EvaluateGridRowBatch(functions, N, c, grid.nextRow, end - c, context, out);
      for (int32_t i = c; i < end; ++i) row[i] = store(values, i - c);
      evaluated += static_cast<uint64_t>(end - c);
      c = end;
    }
    grid.nextCell = width;
    ++grid.nextRow;
    if (DeadlineReached(ElapsedTimerUnits(), deadline)) break;
  }
  grid.StoreIfComplete();
  return evaluated;
}

// The 20 x 20 grid over the map's frame from its first to its last pixel in each direction, on which
// the raster kinds measure their ranges; false (nothing prepared) for a frame without area.
inline constexpr int32_t kRangeSamples = 20;
bool PrepareRangeSampleGrid(const ViewMap* map, EvalContext* context);
