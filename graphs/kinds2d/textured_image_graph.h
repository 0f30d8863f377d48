// GraphImage2D: the picture of the first 2D view pushed forward into the second through a map
// (X, Y) = F(x, y): a coarse grid over the first view's rectangle (a point every 5 to 15 pixels by
// the grain) is mapped point by point, and each grid cell is drawn as two texture-mapped triangles,
// the texture being the first view's picture at 512 x 512 with its ten reduced levels, sampled in
// software (16 samples a pixel) and multiplied into a white buffer laid over the view by luminance.
// Invariants: the grid step is 1 or more whatever the grain (NaN its default); the grid was
// computed on the first view's mapping and rectangle recorded with it (a draw on another makes it
// again first); vertex positions are exact doubles on this view's drawing map with its factors,
// clipped before any conversion; every buffer and the texture a draw makes are gone when it ends.
#pragma once

#include <cstdint>

#include "graphs/core/graph_kind.h"
#include "graphs/kinds2d/mapped_picture_graph.h"
#include "graphs/view2d/view_map.h"

// The grid step in pixels: trunc(15 - 10 q) of the clamped grain: 15 (q = 0) to 5 (q = 1).
int32_t ImageGridStepOfGrain(double q);

class GraphImage2D final : public GraphKind2D {
 public:
  // Takes over both functions (compiled together in one grid context) and the colour. A grid that
  // cannot be had posts error 7 and leaves the graph empty.
  GraphImage2D(CompiledFunction* fx, CompiledFunction* fy, GraphColor* color, double grain, const ViewMap* map,
               GraphViewSet* set, GrowArray<int32_t>* indexList);
  ~GraphImage2D() override;
  GraphImage2D(const GraphImage2D&) = delete;
  GraphImage2D& operator=(const GraphImage2D&) = delete;

  // Every remaining grid point in one call (any positive budget).
  void Compute(int32_t budget) override;
  bool Draw() override;
  int32_t Status() override { return 0; }
  void VariableChanged(int32_t symbol, double value) override;
  // 6: colour index; 8: grain (the grid made again).
  void SetOption(int32_t code, double value) override;
  // The grid made again for the first view as it is now; a Compute of the old one lying suspended
  // is abandoned first (it holds a row of the grid that goes).
  void Invalidate() override;
  bool IsComplete() override { return nextColumn_ == columns_ && nextRow_ == rows_; }
  void GeometryChanged() override { Invalidate(); }
  void Scroll(int32_t, int32_t) override { Invalidate(); }
  bool HitTest(double, double) override { return false; }
  ProbeRecord Probe(double, double) override;
  NearestPointRecord NearestPoint(double, double, double, double, double) override { return NoNearestPoint(); }

  // Read access for the tests.
  int32_t Columns() const { return columns_; }
  int32_t Rows() const { return rows_; }
  const MappedPoint* Points() const { return points_; }
  GraphColor* Color() const { return color_; }
  double Grain() const { return grain_; }
  CompiledFunction* XFunction() const { return functions_[0]; }
  CompiledFunction* YFunction() const { return functions_[1]; }

 private:
  void AllocateGrid();
  // The first view's window map and rectangle differ from those the grid was computed on.
  bool SourceMoved() const;

  const ViewMap* map_;
  MapSource source_;
  CompiledFunction* functions_[2];
  GraphColor* color_;
  double grain_;
  MappedPoint* points_ = nullptr;  // counted memory, columns_ x rows_, row by row
  int32_t columns_ = 0;
  int32_t rows_ = 0;
  int32_t nextColumn_ = 0;
  int32_t nextRow_ = 0;
  EvalContext* context_ = nullptr;
  ViewMap computedMap_;  // the first view's window map the grid was computed on
  uint8_t computing_ = 0;  // a Compute is under way: on the main thread, only one lying suspended
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind2D* NewImageGraph(CompiledFunction* fx, CompiledFunction* fy, GraphColor* color, double grain,
                           const ViewMap* map, GraphViewSet* set, GrowArray<int32_t>* indexList);
