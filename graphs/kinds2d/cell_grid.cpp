// The evaluation grids of the raster-like kinds: one point a cell of the map, and the 20 x 20
// grid their ranges are measured on.
#include "graphs/kinds2d/cell_grid.h"

#include "kernel/eval/compiled_function.h"

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
