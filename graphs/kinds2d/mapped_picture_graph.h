// GraphMesh2D: the picture of the first 2D view carried into the second through a map of the
// plane: for every cell of the second view (a window pixel, on either drawing map) the world point
// (X, Y) = F(x, y) of the first view whose colour it takes, computed in single precision row by
// row under the budget; at draw time the first view is drawn (its recorded graphs, in this graph's
// colour) into a buffer and resampled, four samples a pixel along the map's local Jacobian.
// Invariants: the point array follows CellGrid's (world-aligned across scrolls and geometry
// changes); a point is (NaN, NaN) while to be computed, (+inf, +inf) where the map is undefined or
// beyond single precision, else finite; the destination side reads this view's drawing map with
// its factors, the source side the first view's window map (the buffer's resolution); sample
// positions are clamped in double before any integer conversion.
#pragma once

#include <cmath>
#include <cstdint>

#include "graphs/core/graph_kind.h"
#include "graphs/kinds2d/cell_grid.h"
#include "graphs/view2d/view_map.h"
#include "kernel/memory/growable_array.h"

class GraphColor;
class GraphView2D;
struct CompiledFunction;
struct EvalContext;
struct GraphViewSet;

struct MappedPoint {
  float x, y;
};
static_assert(sizeof(MappedPoint) == 8, "two floats a point");

// The stored form of a mapped point: (+inf, +inf) unless both are numbers within single precision.
MappedPoint StoreMappedPoint(double x, double y);
inline bool IsMappedPointFinite(const MappedPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// What the second view's mapped pictures share: the first view of the set and the list of its
// graphs recorded under the coordinate transformation (only those are carried over).
struct MapSource {
  GraphViewSet* set;
  GrowArray<int32_t>* indexList;
  GraphView2D* View() const;
  // A mapped picture draws when the list names graphs, its colour shows, or the first view holds
  // placed pictures.
  bool Shows(const GraphColor* color) const;
  // The first view drawn with the listed graphs in the colour, into a new buffer of its rectangle;
  // null without a first view or a buffer. The caller disposes it.
  GWorldPtr Draw(const GraphColor* color) const;
};

class GraphMesh2D final : public GraphKind2D {
 public:
  // Takes over both functions (compiled together in one grid context) and the colour. Points or a
  // context that cannot be had post error 7 and leave the graph empty. Made while the benchmark
  // plays, it caches no frames.
  GraphMesh2D(CompiledFunction* fx, CompiledFunction* fy, GraphColor* color, const ViewMap* map, GraphViewSet* set,
              GrowArray<int32_t>* indexList);
  ~GraphMesh2D() override;
  GraphMesh2D(const GraphMesh2D&) = delete;
  GraphMesh2D& operator=(const GraphMesh2D&) = delete;

  // Rows of points still to be computed, at least one a call.
  void Compute(int32_t budget) override;
  bool Draw() override;
  int32_t Status() override { return 0; }
  void VariableChanged(int32_t symbol, double value) override;
  // 6: colour index.
  void SetOption(int32_t code, double value) override;
  void Invalidate() override;
  bool IsComplete() override { return grid_.Complete(); }
  void GeometryChanged() override;
  void Scroll(int32_t dh, int32_t dv) override;
  bool HitTest(double, double) override { return false; }
  ProbeRecord Probe(double, double) override;
  NearestPointRecord NearestPoint(double, double, double, double, double) override { return NoNearestPoint(); }

  // Read access for the tests.
  const MappedPoint* Points() const { return grid_.cells; }
  int32_t Columns() const { return grid_.width; }
  int32_t Rows() const { return grid_.height; }
  const ValueCache& Cache() const { return grid_.cache.rows; }
  bool CacheOff() const { return grid_.cache.off != 0; }
  uint64_t Evaluations() const { return evaluations_; }
  GraphColor* Color() const { return color_; }
  CompiledFunction* XFunction() const { return functions_[0]; }
  CompiledFunction* YFunction() const { return functions_[1]; }

 private:
  const ViewMap* map_;
  MapSource source_;
  CompiledFunction* functions_[2];
  GraphColor* color_;
  CellGrid<MappedPoint> grid_;
  EvalContext* context_ = nullptr;
  uint64_t evaluations_ = 0;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind2D* NewMeshGraph(CompiledFunction* fx, CompiledFunction* fy, GraphColor* color, const ViewMap* map,
                          GraphViewSet* set, GrowArray<int32_t>* indexList);
