// The evaluation grids of the raster-like kinds: one point a cell of the map, and the 20 x 20
// grid their ranges are measured on.
#include "graphs/kinds2d/cell_grid.h"

#include <cmath>

#include "kernel/eval/compiled_function.h"

namespace {

constexpr double kMoveLimit = 1073741824.0;  // 2^30 cells

// One axis of WholeCellShift: a cell of size0 map pixels, the first at pixel first0, before; of
// size1 at first1 after. Equal sizes compare the origins' difference (exact where the origins are
// close, however large); unequal ones the world points of the first cells, a step apart.
bool WholeCellMove(double origin0, int32_t first0, int32_t size0, double unit0, double origin1, int32_t first1,
                   int32_t size1, double unit1, int64_t* d) {
  if (size0 == size1) {
    const double h = origin1 - origin0;
    if (!(std::fabs(h) <= kMoveLimit * size0) || h != std::floor(h)) return false;
    const int64_t pixels = int64_t(h) + first0 - first1;
    if (pixels % size0 != 0) return false;
    *d = pixels / size0;
    return true;
  }
  // unit * (first - origin) is the first cell's world coordinate along the axis (PixelToWorldX, and
  // PixelToWorldY with the unit negated).
  const double cells = (unit0 * (first0 - origin0) - unit1 * (first1 - origin1)) / (unit1 * size1);
  if (!(std::fabs(cells) <= kMoveLimit) || cells != std::floor(cells)) return false;
  *d = int64_t(cells);
  return true;
}

}  // namespace

bool WholeCellShift(const ViewMap* before, const ViewMap* after, int64_t* dc, int64_t* dr) {
  const int32_t tx0 = CellWidthOf(before), ty0 = CellHeightOf(before);
  const int32_t tx1 = CellWidthOf(after), ty1 = CellHeightOf(after);
  // The factors (1 or 2) divide exactly: the scales per cell, and so their reciprocals, agree or not.
  if (before->pixelsPerUnitX / tx0 != after->pixelsPerUnitX / tx1 ||
      before->pixelsPerUnitY / ty0 != after->pixelsPerUnitY / ty1) {
    return false;
  }
  // A cell is sampled at its block's left column and lower row.
  return WholeCellMove(before->originH, before->frame.left, tx0, before->unitsPerPixelX, after->originH,
                       after->frame.left, tx1, after->unitsPerPixelX, dc) &&
         WholeCellMove(before->originV, before->frame.top + ty0 - 1, ty0, -before->unitsPerPixelY, after->originV,
                       after->frame.top + ty1 - 1, ty1, -after->unitsPerPixelY, dr);
}

void PrepareCellEvaluationGrid(const ViewMap* map, int32_t width, int32_t height, EvalContext* context) {
  const QDRect& r = map->frame;
  PrepareSampleGrid(PixelToWorldX(map, r.left), PixelToWorldY(map, r.top + CellHeightOf(map) - 1),
                    map->unitsPerPixelX * CellWidthOf(map),
                    -map->unitsPerPixelY * CellHeightOf(map), width, height, context);
}

bool PrepareRangeSampleGrid(const ViewMap* map, EvalContext* context) {
  const QDRect& r = map->frame;
  if (EmptyRect(r) || context == nullptr) return false;
  const double xl = PixelToWorldX(map, r.left), xr = PixelToWorldX(map, r.right - 1);
  const double yt = PixelToWorldY(map, r.top), yb = PixelToWorldY(map, r.bottom - 1);
  PrepareSampleGrid(xl, yt, (xr - xl) / (kRangeSamples - 1), (yb - yt) / (kRangeSamples - 1), kRangeSamples,
                    kRangeSamples, context);
  return true;
}
