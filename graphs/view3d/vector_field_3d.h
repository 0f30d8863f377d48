// GraphVectorField3D: the field (x, y, z) = F(x, y, z) in a 3D view as arrows on a cubic grid of
// n = round(12 q + 4) points an axis over the view's box (q the row's grain, clamped into [0, 1],
// so 4 to 16 points), keeping the points where the optional condition is exactly 1.0. Its glyphs
// (GlyphField3D) evaluate and draw the arrows, the longest half a grid step long.
// Invariants: the grid is built whole in one Compute and not again until invalidated; when no
// point survives the condition it holds the single point (+inf, +inf, +inf), so it is not rebuilt
// and the glyphs report "Undefined or infinite"; without its glyph member (memory refused) the
// graph is complete and draws nothing.
#pragma once

#include <cstdint>

#include "graphs/view3d/glyph_field_3d.h"

class GraphColor;
struct CompiledFunction;
struct GraphicsContext;

class GraphVectorField3D final : public GlyphField3D {
 public:
  // Takes over the three components (to its glyphs), the condition (compiled here; null: none)
  // and the colour. `box` is the 3D view's box (x, y, z low and high), read at each Invalidate and
  // grid build; it must outlive the graph.
  GraphVectorField3D(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                     CompiledFunction* condition, double grain, GraphColor* color, GraphicsContext* context,
                     const double* box);
  ~GraphVectorField3D() override;

  // Builds the grid when it is empty (whatever the budget, once it is positive), then computes
  // the glyphs.
  void Compute(int32_t budget) override;
  // The glyphs hear of it; a condition that depends on the symbol rebuilds the grid.
  void VariableChanged(int32_t symbol, double value) override;
  // 5 and 6 go to the glyphs; 8 sets the grain (a new grid).
  void SetOption(int32_t code, double value) override;
  // Empties the grid and takes the glyph size from the present box.
  void Invalidate() override;

  int32_t PointsPerAxis() const { return pointsPerAxis_; }
  double GlyphSize() const { return glyphSize_; }

 private:
  void SetGrain(double grain);
  // Half the smallest grid step over the present box.
  void UpdateGlyphSize();
  // Collects the grid points where the condition holds, from nextGridPoint_ on.
  void BuildGrid();

  CompiledFunction* condition_;
  const double* box_;
  double glyphSize_ = 0.0;  // half the smallest grid step: the glyphs' longest arrow
  int32_t pointsPerAxis_ = 0;
  int32_t nextGridPoint_ = 0;  // the grid point BuildGrid decides next, (i n + j) n + k
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind3D* NewVectorField3DGraph(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                                   CompiledFunction* condition, double grain, GraphColor* color,
                                   GraphicsContext* context, const double* box);
