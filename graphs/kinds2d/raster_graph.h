// GraphRaster2D: a function of x and y as a banded density raster, one byte a cell (a window
// pixel): a level 0..239 against a 20 x 20 sample's range, 254 undefined, 255 pending, drawn in
// 4..24 brightness bands. Invariants: kept cells stay world-aligned across scrolls and geometry
// changes; at most kMaxRasterCells cells; queries answer only inside the map; purged caches are
// never read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/packed_color.h"
#include "graphs/core/graph_kind.h"
#include "graphs/kinds2d/cell_grid.h"
#include "graphs/view2d/view_map.h"

class GraphColor;
struct CompiledFunction;
struct EvalContext;

inline constexpr uint8_t kRasterUndefined = 254;
inline constexpr uint8_t kRasterPending = 255;
inline constexpr int32_t kRasterLevels = 240;
inline constexpr int64_t kMaxRasterCells = kMaxGridCells;

// Bands of the grain: 24 / (24 / n) with n = LevelCountOfGrain(q): 4, 6, 8, 12 or 24.
int32_t RasterBandsOfGrain(double q);
// The 240 palette entries for the colour: band b fills entries b k .. b k + k - 1 (k = 240 /
// bands) with BandColor(rgb, b, bands).
void RasterPalette(PackedRGB rgb, int32_t bands, PackedRGB palette[kRasterLevels]);

class GraphRaster2D final : public GraphKind2D {
 public:
  // Takes over the function (compiled in its own grid context) and the colour (brightened).
  // Cells or a context that cannot be had post error 7 and leave the graph empty. Made while the
  // benchmark plays, it caches no maps.
  GraphRaster2D(CompiledFunction* function, double grain, GraphColor* color, const ViewMap* map);
  ~GraphRaster2D() override;
  GraphRaster2D(const GraphRaster2D&) = delete;
  GraphRaster2D& operator=(const GraphRaster2D&) = delete;

  // Rows of pending cells; the clock is read after each row. Complete, a map of a parameter
  // value that was asked for is cached.
  void Compute(int32_t budget) override;
  bool Draw() override;
  // 1 ("Undefined in the region shown") without cells or when every cell is undefined.
  int32_t Status() override;
  void VariableChanged(int32_t symbol, double value) override;
  // 6: colour index (brightened); 8: bands of the grain (the cells stay).
  void SetOption(int32_t code, double value) override;
  void Invalidate() override;
  bool IsComplete() override;
  void GeometryChanged() override;
  // The shift is taken from the map (which the view moves first); kept cells stay world-aligned.
  // Without cells, nothing: an invalidation or a geometry change asks for them again.
  void Scroll(int32_t dh, int32_t dv) override;
  // f is defined at the cell under the point (false outside the map).
  bool HitTest(double x, double y) override;
  // Mode 8, the value of f at the cell's sample point; mode 0 outside the map.
  ProbeRecord Probe(double x, double y) override;
  NearestPointRecord NearestPoint(double, double, double, double, double) override { return NoNearestPoint(); }
  int32_t HitClass() override { return 1; }

  // Read access for the tests.
  const uint8_t* Cells() const { return grid_.cells; }
  int32_t Width() const { return grid_.width; }
  int32_t Height() const { return grid_.height; }
  int32_t Bands() const { return bands_; }
  // A range was measured: its bounds differ (an unknown range has both at -infinity).
  bool RangeKnown() const { return maxValue_ > minValue_; }
  double MinValue() const { return minValue_; }
  double MaxValue() const { return maxValue_; }
  const ValueCache& Cache() const { return grid_.cache.rows; }
  bool CacheDisabled() const { return grid_.cache.off != 0; }
  // Cells evaluated since construction.
  uint64_t Evaluations() const { return evaluations_; }
  // The level of a value against the measured range (254 for NaN).
  uint8_t LevelOf(double value) const;

 private:
  void MeasureRange();
  // Every cell pending (the range to be measured first when it is not known).
  void ResetCells();
  // The cell under a world point, false outside the map, with the evaluation grid prepared.
  bool CellAt(double x, double y, int32_t* c, int32_t* r);
  // The cells carried to the map as it is now: moved by the scroll's (dh, dv) when given, else
  // by the move the maps show (a geometry or factor change).
  void FollowMap(const int32_t* scrolled);

  const ViewMap* map_;
  CompiledFunction* function_;
  GraphColor* color_;
  CellGrid<uint8_t> grid_;
  double scale_ = 0;
  double minValue_ = 0;
  double maxValue_ = 0;
  uint8_t rangeDue_ = 0;  // the next Compute measures the range before any cell
  int32_t bands_;
  EvalContext* context_ = nullptr;
  uint64_t evaluations_ = 0;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind2D* NewRasterGraph(CompiledFunction* function, double grain, GraphColor* color, const ViewMap* map);
