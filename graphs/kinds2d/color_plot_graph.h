// GraphColorPlot2D: (r, g, b) = f(x, y) or (h, s, v) = f(x, y) as a colour a cell of the view:
// the three components evaluated together on the cells' grid, each normalised against a range
// sampled once over the view (always holding [0, 1]), stored as 0xRRGGBB (kColorCellPending while
// still to be computed) and laid over the view shaded by the luminance beneath; finished pictures
// are kept per value of the parameter variable.
// Invariants: the cell array follows CellGrid's (world-aligned across scrolls and geometry
// changes); a computed cell is below 2^24; the hue is the only value not clamped into [0, 1] and a
// non-finite hue counts as 0, so every colour byte comes from a value in [0, 1]; the ranges are
// sampled only over a frame with area and kept from then on.
#pragma once

#include <cstdint>

#include "graphs/core/graph_kind.h"
#include "graphs/kinds2d/cell_grid.h"
#include "graphs/view2d/view_map.h"

class GraphColor;
struct CompiledFunction;
struct EvalContext;

inline constexpr uint32_t kColorCellPending = 0xDEADBEEFu;

// The cell word of three normalised components (red, green, blue; or hue, saturation, value with
// hsv): each byte trunc(255 c).
uint32_t ColorCellOf(double c1, double c2, double c3, bool hsv);

class GraphColorPlot2D final : public GraphKind2D {
 public:
  // Takes over the three component functions (compiled together in one grid context), the
  // read-out function (may be null; compiled alone) and the colour. Cells or a context that
  // cannot be had post error 7 and leave the graph empty. Made while the benchmark plays, it
  // caches no frames.
  GraphColorPlot2D(CompiledFunction* first, CompiledFunction* second, CompiledFunction* third,
                   CompiledFunction* readout, uint8_t hsv, GraphColor* color, const ViewMap* map);
  ~GraphColorPlot2D() override;
  GraphColorPlot2D(const GraphColorPlot2D&) = delete;
  GraphColorPlot2D& operator=(const GraphColorPlot2D&) = delete;

  // Rows of pending cells, at least one a call; the clock is read after each row. Complete, the
  // frame of a parameter value that was asked for is cached.
  void Compute(int32_t budget) override;
  bool Draw() override;
  // 1 ("Undefined in the region shown") without cells, else 0.
  int32_t Status() override { return grid_.cells == nullptr ? 1 : 0; }
  void VariableChanged(int32_t symbol, double value) override;
  // 6: colour index.
  void SetOption(int32_t code, double value) override;
  void Invalidate() override;
  bool IsComplete() override { return grid_.Complete(); }
  void GeometryChanged() override;
  void Scroll(int32_t dh, int32_t dv) override;
  // The three components are defined at the cell under the point.
  bool HitTest(double x, double y) override;
  // Mode 12 with the read-out function's complex value in aux[0], aux[1] (and value, aux[6] as the
  // view reads them out); mode 1 without one.
  ProbeRecord Probe(double x, double y) override;
  NearestPointRecord NearestPoint(double, double, double, double, double) override { return NoNearestPoint(); }
  int32_t HitClass() override { return 1; }

  // Read access for the tests.
  const uint32_t* Cells() const { return grid_.cells; }
  int32_t Columns() const { return grid_.width; }
  int32_t Rows() const { return grid_.height; }
  bool RangesKnown() const { return rangesKnown_ != 0; }
  const double* Ranges() const { return ranges_; }
  bool CacheOff() const { return grid_.cache.off != 0; }
  const ValueCache& Cache() const { return grid_.cache.rows; }
  uint64_t Evaluations() const { return evaluations_; }
  GraphColor* Color() const { return color_; }
  CompiledFunction* Component(int32_t k) const { return functions_[k]; }
  CompiledFunction* Readout() const { return readout_; }
  bool IsHSV() const { return hsv_ != 0; }

 private:
  void SampleRanges();
  void ResetCells();
  // The component normalised against its range (the hue unclamped, 0 when not finite).
  double Normalised(int32_t k, double v) const;
  bool CellAt(double x, double y, int32_t* c, int32_t* r);

  const ViewMap* map_;
  CompiledFunction* functions_[3];
  CompiledFunction* readout_;
  GraphColor* color_;
  CellGrid<uint32_t> grid_;
  uint8_t rangesKnown_ = 0;
  double ranges_[6] = {0, 1, 0, 1, 0, 1};  // low and high of each component
  EvalContext* context_ = nullptr;
  uint8_t hsv_;
  uint64_t evaluations_ = 0;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind2D* NewColorPlotGraph(CompiledFunction* first, CompiledFunction* second, CompiledFunction* third,
                               CompiledFunction* readout, uint8_t hsv, GraphColor* color, const ViewMap* map);
