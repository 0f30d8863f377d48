// GraphImplicitSurfaceField3D: a vector field F drawn only at points of an implicit surface
// f(x, y, z) = 0 given after a comma: the cube-grid mesher finds the surface's vertices in the
// view's box on n = trunc(20 q + 8) cubes a side (q the clamped grain, so 8 to 28), under the time
// budget; the first vertex found in each cell of a grid of (n + 1)^3 cells about the grid points
// (where the optional condition is exactly 1.0) becomes a point, and the glyphs draw F there at
// its own length.
// Invariants: at most one arrow a cell; a parameter of f or of the condition meshes anew (their
// cached values re-read), one of F only recomputes the arrows; memory refused in the mesher or
// for the cells posts error 7 and leaves a complete graph without arrows (status 11).
#pragma once

#include <cstdint>

#include "graphics/gl/gl_mesh.h"
#include "graphs/view3d/cube_mesher.h"
#include "graphs/view3d/glyph_field_3d.h"

class GraphImplicitSurfaceField3D final : public GlyphField3D {
 public:
  // Takes over F's components and the colour (to the glyphs), f and the condition (of x, y, z;
  // null: none; each compiled alone). `box` is the 3D view's box (x, y, z low and high), read at
  // each mesh; it must outlive the graph.
  GraphImplicitSurfaceField3D(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                              CompiledFunction* f, CompiledFunction* condition, double grain, GraphColor* color,
                              const double* box, GraphicsContext* context);
  ~GraphImplicitSurfaceField3D() override;

  // Meshes until the deadline, then takes one point a cell, then the glyphs compute with what is
  // left. Nothing once complete, nor for a budget of 0 or less.
  void Compute(int32_t budget) override;
  void VariableChanged(int32_t symbol, double value) override;
  // 5 and 6 go to the glyphs; 8 sets the grain and meshes anew.
  void SetOption(int32_t code, double value) override;
  // The mesh, the cells and the points start over.
  void Invalidate() override;

  int32_t CellsPerSide() const { return cellsPerSide_; }
  // The mesher's vertices (the surface points the cells choose from).
  const MeshVertexPool& SurfaceVertices() const { return vertices_; }

 private:
  // A new mesh over the present box and the cleared cells; refused memory leaves none.
  void StartMesh();
  void FreeMesh();
  // The first vertex in each cell that meets the condition joins the points.
  void TakePoints();

  CompiledFunction* function_;
  CompiledFunction* condition_;
  const double* box_;
  double grain_;
  int32_t cellsPerSide_ = 0;
  MeshBuilder builder_;
  MeshVertexPool vertices_;
  uint8_t* occupied_ = nullptr;  // counted memory, a bit a cell
  double meshedBox_[6] = {0, 0, 0, 0, 0, 0};
  uint8_t meshed_ = 0;           // the mesher finished (or failed: no vertices)
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind3D* NewImplicitSurfaceField3DGraph(CompiledFunction* fieldX, CompiledFunction* fieldY,
                                            CompiledFunction* fieldZ, CompiledFunction* f,
                                            CompiledFunction* condition, double grain, GraphColor* color,
                                            const double* box, GraphicsContext* context);
