// GraphSurfaceField3D: a vector field F drawn only at points of an explicit or parametric surface
// given after a comma: the surface's x, y, z as functions of (u, v) are sampled on a square grid
// over the u and v ranges, under the time budget, keeping the samples where the optional
// condition is exactly 1.0, and the glyphs draw F there at its own length.
// Invariants: the grid has trunc(74 q + 5) samples a side as built and trunc(45 q + 5) after a
// Grain option (q the clamped grain; both formulas are the kind's own, so a document reopened
// after a Grain change shows a different density), so 5 to 79 and never fewer than 2; a
// parameter of the surface or of the condition collects the points anew (the condition's cached
// values re-read), one of F only recomputes the arrows.
#pragma once

#include <cstdint>

#include "graphs/view3d/glyph_field_3d.h"

struct EvalContext;

class GraphSurfaceField3D final : public GlyphField3D {
 public:
  // Takes over F's components and the colour (to the glyphs), the surface functions of u and v
  // (compiled together into a grid context) and the condition (of x, y, z; null: none). The
  // range bounds are read at every Compute and must outlive the graph.
  GraphSurfaceField3D(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                      CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, CompiledFunction* condition,
                      double grain, GraphColor* color, const double* uMin, const double* uMax, const double* vMin,
                      const double* vMax, GraphicsContext* context);
  ~GraphSurfaceField3D() override;

  // Collects surface points until the deadline (the clock read before each sample), then the
  // glyphs compute with what is left. Nothing once complete, nor for a budget of 0 or less.
  void Compute(int32_t budget) override;
  void VariableChanged(int32_t symbol, double value) override;
  // 5 and 6 go to the glyphs; 8 sets the grid from the grain (45 q + 5) and starts over.
  void SetOption(int32_t code, double value) override;
  void Invalidate() override { Reset(); }

  int32_t GridSide() const { return gridSide_; }

 private:
  // Back to the first sample with an empty list and the grid context's cache cleared.
  void Reset();

  CompiledFunction* surface_[3];
  CompiledFunction* condition_;
  EvalContext* evalContext_;
  const double* uMin_;
  const double* uMax_;
  const double* vMin_;
  const double* vMax_;
  int32_t gridSide_;
  int32_t nextRow_ = 0;
  int32_t nextColumn_ = -1;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind3D* NewSurfaceField3DGraph(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                                    CompiledFunction* x, CompiledFunction* y, CompiledFunction* z,
                                    CompiledFunction* condition, double grain, GraphColor* color,
                                    const double* uMin, const double* uMax, const double* vMin, const double* vMax,
                                    GraphicsContext* context);
