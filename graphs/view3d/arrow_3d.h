// GraphArrow3D: an arrow between two constant points of a 3D view, (x0, y0, z0) to (x1, y1, z1),
// as a line mesh of six points: the tip, the tail and a four-sided head cone 0.1 of the view's box
// long and 0.05 of it in radius, scaled per axis by the range widths, so the head keeps its size
// on the screen whatever the arrow's length (ConstantGraph3D computes it once, again after any
// parameter change).
// Invariants: an arrow with a coordinate that is not finite is not valid and draws nothing; an
// arrow of no length has no direction, so no head (its points collapse onto the tip), and draws
// nothing.
#pragma once

#include "graphs/view3d/constant_graph_3d.h"

class GraphArrow3D final : public ConstantGraph3D {
 public:
  // Takes over the six functions (tail x0, y0, z0, tip x1, y1, z1) and the colour.
  GraphArrow3D(CompiledFunction* const tail[3], CompiledFunction* const tip[3], GraphColor* color,
               GraphicsContext* context);

  // Read access for the tests: point 0 the tip, 1 the tail, 2..5 the head.
  const float* Point(int k) const { return points_[k]; }

 private:
  bool Place(const double* values) override;
  void FillMesh() override;
  void SetMaterial(uint32_t rgb) override;

  float points_[6][3] = {};
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind3D* NewArrow3DGraph(CompiledFunction* const tail[3], CompiledFunction* const tip[3], GraphColor* color,
                             GraphicsContext* context);
