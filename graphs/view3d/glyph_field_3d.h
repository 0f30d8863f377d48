// GlyphField3D: the base of the 3D graphs that draw a vector field F as arrows at points they
// collect themselves (the cubic grid of the view's box, points of a surface). It owns the point
// list and the GraphGlyphs3D that evaluates F there and draws the arrows; drawing, status,
// completion and extent are the glyphs', options 5 and 6 go to them, and a parameter change
// reaches them first.
// Invariants: the glyphs read the point list only while it is ready, and draw nothing before;
// without the glyphs (memory refused, error 7) the graph is complete, draws nothing and reports
// 11; the list is emptied (and the glyphs invalidated) whenever the points are collected anew.
#pragma once

#include <cstdint>

#include "graphs/core/graph_kind.h"
#include "graphs/view3d/vector_glyphs_3d.h"

class GraphColor;
struct CompiledFunction;
struct GraphicsContext;

class GlyphField3D : public GraphKind3D {
 public:
  ~GlyphField3D() override;
  GlyphField3D(const GlyphField3D&) = delete;
  GlyphField3D& operator=(const GlyphField3D&) = delete;

  // The arrows once the points are ready. True.
  bool Draw() override;
  int32_t Status() override;
  bool IsComplete() override;
  double Extent() override;

  const GridPointPool& Points() const { return points_; }
  const GraphGlyphs3D* Glyphs() const { return glyphs_; }
  bool PointsReady() const { return pointsReady_ != 0; }

 protected:
  // Takes over the three components and the colour (to the glyphs; freed here when the glyphs
  // cannot be had). The glyphs' longest arrow is *lengthScale long (0: arrows at their own length).
  GlyphField3D(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ, GraphColor* color,
               const double* lengthScale, GraphicsContext* context);

  // The glyphs' part of a parameter change: their functions' caches, and their arrows when F
  // depends on the symbol.
  void GlyphsVariableChanged(int32_t symbol, double value);
  // Options 5 and 6 go to the glyphs; true when the code was theirs.
  bool GlyphsOption(int32_t code, double value);
  // The point list is done: the glyphs compute from now to the deadline.
  void ComputeGlyphs(uint32_t deadline);
  // Empties the point list and invalidates the glyphs; the points are not ready.
  void ClearPoints();
  // Appends a point; on refused memory posts error 7 and empties the list (no arrows). False then.
  bool AppendPoint(double x, double y, double z);

  GridPointPool points_;
  GraphGlyphs3D* glyphs_ = nullptr;
  uint8_t pointsReady_ = 0;
};
