// GraphPoint2D: one point of the plane, (x, y) = (a, b) or a complex constant at (real part,
// imaginary part), drawn as a shaded disc of radius three pixels times the map's factors (or the
// colour's picture); a draggable point is hit within four pixels, probes as mode 11 with the
// pointer's x and y, and takes the dragged coordinates through options 9 and 10.
// Invariants: evaluated once a parameter change (any symbol), never drawn before or where a
// coordinate is not finite; a point beyond the visible range lands at +-16383 and draws nothing.
#pragma once

#include <cstdint>

#include "graphs/core/graph_kind.h"
#include "graphs/view2d/view_map.h"

class GraphColor;
struct CompiledFunction;

// The drawn disc: the pixels (dh, dv), |dh| <= 3 fh, |dv| <= 3 fv, with dh^2 + dv^2 <= (3 fh)(3 fv).
inline bool InPointDisc(int32_t dh, int32_t dv, int32_t fh, int32_t fv) { return dh * dh + dv * dv <= 9 * fh * fv; }

class GraphPoint2D final : public GraphKind2D {
 public:
  // Takes over both functions (compiled here) and the colour.
  GraphPoint2D(CompiledFunction* x, CompiledFunction* y, GraphColor* color, uint8_t draggable, const ViewMap* map);
  ~GraphPoint2D() override;
  GraphPoint2D(const GraphPoint2D&) = delete;
  GraphPoint2D& operator=(const GraphPoint2D&) = delete;

  // Evaluates both coordinates once (any positive budget).
  void Compute(int32_t budget) override;
  bool Draw() override;
  int32_t Status() override { return 0; }
  // Any symbol: both coordinates are evaluated again.
  void VariableChanged(int32_t symbol, double value) override;
  // 6: colour index; 9, 10: the dragged x and y.
  void SetOption(int32_t code, double value) override;
  void Invalidate() override {}
  bool IsComplete() override { return computed_ != 0; }
  void GeometryChanged() override {}
  void Scroll(int32_t, int32_t) override {}
  bool HitTest(double x, double y) override;
  ProbeRecord Probe(double x, double y) override;
  NearestPointRecord NearestPoint(double, double, double, double, double) override { return NoNearestPoint(); }
  // A point wins the first pass of the view's search for the graph under the pointer.
  int32_t HitClass() override { return 0; }

  double X() const { return x_; }
  double Y() const { return y_; }
  bool Draggable() const { return draggable_ != 0; }
  GraphColor* Color() const { return color_; }
  CompiledFunction* XFunction() const { return xFunction_; }
  CompiledFunction* YFunction() const { return yFunction_; }
  // Evaluations of the coordinate pair since construction.
  uint64_t Evaluations() const { return evaluations_; }

 private:
  const ViewMap* map_;
  CompiledFunction* xFunction_;
  CompiledFunction* yFunction_;
  GraphColor* color_;
  double x_ = 0;
  double y_ = 0;
  uint8_t computed_ = 0;
  uint8_t draggable_;
  uint64_t evaluations_ = 0;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind2D* NewPointGraph(CompiledFunction* x, CompiledFunction* y, GraphColor* color, uint8_t draggable,
                           const ViewMap* map);
