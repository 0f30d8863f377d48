// GraphArrow2D: an arrow between two constant points of a 2D view, (a, b) to (c, d): an
// antialiased shaft from the tail to the tip and the plane's arrowhead at the tip. Computed once
// (the budget is not consulted) and again after any parameter change.
// Invariants: nothing is drawn unless the four values are computed and finite, nor for an arrow of
// no length; the graph owns its four functions and its colour; it is found first by the pointer
// search (class 0) and never hit.
#pragma once

#include <cstdint>

#include "graphs/core/graph_kind.h"

class GraphColor;
struct CompiledFunction;
struct ViewMap;

class GraphArrow2D final : public GraphKind2D {
 public:
  // Takes over the four coordinate functions (compiled one by one) and the colour. The map is the
  // view's, read at each Draw.
  GraphArrow2D(CompiledFunction* a, CompiledFunction* b, CompiledFunction* c, CompiledFunction* d, GraphColor* color,
               const ViewMap* map);
  ~GraphArrow2D() override;
  GraphArrow2D(const GraphArrow2D&) = delete;
  GraphArrow2D& operator=(const GraphArrow2D&) = delete;

  // Evaluates the four values when they are not computed, whatever the budget once it is positive.
  void Compute(int32_t budget) override;
  // Into the current offscreen buffer. True.
  bool Draw() override;
  int32_t Status() override { return 0; }
  // Any parameter: the values are evaluated again at the next Compute.
  void VariableChanged(int32_t symbol, double value) override;
  // 6: colour index; other codes are ignored.
  void SetOption(int32_t code, double value) override;
  void Invalidate() override {}
  bool IsComplete() override { return computed_ != 0; }
  void GeometryChanged() override {}
  void Scroll(int32_t, int32_t) override {}
  bool HitTest(double, double) override { return false; }
  ProbeRecord Probe(double x, double y) override;
  NearestPointRecord NearestPoint(double, double, double, double, double) override { return NoNearestPoint(); }
  int32_t HitClass() override { return 0; }

  // Tail (a, b) and tip (c, d) as last computed.
  const double* Values() const { return value_; }

 private:
  const ViewMap* map_;
  CompiledFunction* function_[4];
  GraphColor* color_;
  double value_[4] = {0, 0, 0, 0};
  uint8_t computed_ = 0;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind2D* NewArrow2DGraph(CompiledFunction* a, CompiledFunction* b, CompiledFunction* c, CompiledFunction* d,
                             GraphColor* color, const ViewMap* map);
