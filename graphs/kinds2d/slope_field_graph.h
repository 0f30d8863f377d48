// GraphSlopeField2D: a first-order differential equation by its solution curves: dy/dx = f(x, y)
// (no second function), or the system d/dt (x, y) = (F(x, y), G(x, y)). Seeds on a pixel grid
// aligned on the axes start curves traced forwards and backwards by fourth-order Runge-Kutta steps
// of about one pixel, on dy/dx where the slope is shallow and on dx/dy where it is steep; a
// half-cell occupancy grid starts no curve where one already passed, so solutions spread evenly.
// Invariants: occupancy is read and written only inside its 2 columns x 2 rows half cells (points
// near the edges fall outside it and are not counted); the grid always matches the cell size (a
// grain change rebuilds it); a step whose increment across exceeds 1.5 steps ends its curve, so no
// step runs away at a singular slope; a system's curve ends where its step would turn back (a
// rest point passed) or at a rest point; a curve holds at most kMaxCurvePoints points; without the
// grid the graph is complete and draws nothing.
#pragma once

#include <cstdint>

#include "graphs/core/graph_kind.h"
#include "graphs/view2d/view_map.h"
#include "kernel/memory/growable_array.h"

class GraphColor;
struct CompiledFunction;

inline constexpr int32_t kMaxCurvePoints = 1000;

// Seed spacing in map pixels: factor x trunc(200.5 - 150 q) of the clamped grain: 200 (q = 0) to
// 50 (q = 1) times the factor.
int32_t SeedCellSizeOfGrain(double q, int32_t factor);

using CurvePoints = GrowArray<ProbePoint>;

class GraphSlopeField2D final : public GraphKind2D {
 public:
  // Takes over the slope (or dx/dt) function, the dy/dt function (null for dy/dx = f) and the
  // colour. The grid that cannot be had posts error 7 and leaves the graph empty.
  GraphSlopeField2D(CompiledFunction* slope, CompiledFunction* dydt, GraphColor* color, double grain,
                    const ViewMap* map);
  ~GraphSlopeField2D() override;
  GraphSlopeField2D(const GraphSlopeField2D&) = delete;
  GraphSlopeField2D& operator=(const GraphSlopeField2D&) = delete;

  // Seed rows from the next one on; the clock is read after each row.
  void Compute(int32_t budget) override;
  bool Draw() override;
  int32_t Status() override { return 0; }
  void VariableChanged(int32_t symbol, double value) override;
  // 6: colour index; 8: grain (new seed spacing, the curves traced again).
  void SetOption(int32_t code, double value) override;
  // Every curve freed, the seed phase and occupancy grid made again.
  void Invalidate() override;
  bool IsComplete() override { return column_ == columns_ && row_ == rows_; }
  void GeometryChanged() override { Invalidate(); }
  void Scroll(int32_t, int32_t) override { Invalidate(); }
  // The field covers the view (other graphs win earlier passes of the view's search).
  bool HitTest(double x, double y) override;
  // Mode 10: the solution through the pointer, forwards (list A) and, for dy/dx = f, backwards (B).
  ProbeRecord Probe(double x, double y) override;
  NearestPointRecord NearestPoint(double, double, double, double, double) override { return NoNearestPoint(); }

  // The curve from (x, y) in direction s (+1 forwards, -1 backwards) appended to `points`; the
  // occupancy grid is left as it is. False when memory ran out (error 7 posted; the points kept).
  bool TraceIntegralCurve(double x, double y, int32_t s, CurvePoints* points);

  // Read access for the tests.
  int32_t CellSize() const { return cellSize_; }
  int32_t PhaseX() const { return phaseX_; }
  int32_t PhaseY() const { return phaseY_; }
  int32_t Columns() const { return columns_; }
  int32_t Rows() const { return rows_; }
  int32_t CurveCount() const { return curves_.count; }
  const CurvePoints* Curve(int32_t i) const { return curves_.data[i]; }
  int32_t SeedCount() const { return seeds_.count; }
  GraphColor* Color() const { return color_; }
  CompiledFunction* SlopeFunction() const { return slope_; }
  CompiledFunction* DyDtFunction() const { return dydt_; }
  // The occupancy count of the half cell under map pixel (h, v); -1 outside the grid.
  int32_t OccupancyAt(int32_t h, int32_t v) const;

 private:
  void SetSeedPhase();
  void MakeOccupancyGrid();
  void FreeCurves();
  // The seed at (x, y) and its two traced curves kept, their points counted into the occupancy
  // grid. False when memory ran out (what was kept stays).
  bool KeepSeed(double x, double y);
  // The slope m and the direction signs (sx, sy) at (x, y).
  double SlopeAt(double x, double y, int32_t* sx, int32_t* sy) const;
  // The index of the half cell under map pixel (h, v), or -1 outside the grid.
  int64_t OccupancyIndex(int32_t h, int32_t v) const;

  const ViewMap* map_;
  CompiledFunction* slope_;
  CompiledFunction* dydt_;
  GraphColor* color_;
  GrowArray<CurvePoints*> curves_;
  GrowArray<ProbePoint> seeds_;
  // The seed being traced: its forward and backward curves, kept only once both are traced, so a
  // Compute abandoned in their evaluations leaves neither a curve nor an occupied cell behind.
  CurvePoints traced_[2];
  uint8_t* occupancy_ = nullptr;  // counted memory, 4 columns_ rows_ half cells
  double grain_;
  int32_t cellSize_ = 1;
  int32_t phaseX_ = 0;
  int32_t phaseY_ = 0;
  int32_t columns_ = 0;
  int32_t rows_ = 0;
  int32_t column_ = 0;
  int32_t row_ = 0;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind2D* NewSlopeFieldGraph(CompiledFunction* slope, CompiledFunction* dydt, GraphColor* color, double grain,
                                const ViewMap* map);
