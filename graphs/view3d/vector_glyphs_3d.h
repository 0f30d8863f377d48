// GraphGlyphs3D: a 3D vector field drawn as arrows at the points another graph supplies (the
// cubic grid of the 3D vector field, or points on a surface). Under the time budget it evaluates
// the field at each point; once all are done it scales every vector by one factor (the longest to
// *lengthScale, or all at their own length when that is 0) and builds one line mesh: a shaft and a
// three-barbed head an arrow, the head 0.0125 of the smallest range width plus 15 % of the arrow
// (at most 60 %).
// Invariants: a point or field vector that is not finite (infinity or NaN), or whose length or
// (at its own length) ends pass the double's or float's range, gets no arrow; lengths are scaled in
// double before they are narrowed to floats, so tiny and huge fields keep the length asked; at most
// kMaxGlyphs arrows (their 5 ends each are indexed with 16 bits): a longer point list is refused
// whole, as memory is (error 7), rather than drawn in part; without points, or when its arrays are
// refused, the graph is complete with no arrow and says so in its Status; it owns its functions,
// colour, mesh and arrays.
#pragma once

#include <cstdint>

#include "graphics/gl/gl_mesh.h"
#include "graphs/core/graph_kind.h"
#include "kernel/memory/chunk_pool.h"

class GraphColor;
struct CompiledFunction;
struct GraphicsContext;

// A point of the owner's list.
struct GridPoint3 {
  double x, y, z;
};
using GridPointPool = ChunkPool<GridPoint3>;

// One arrow: the tip, the base and the three barb ends (before the final pass point 0 holds the
// field vector scaled by 2^-e to a length in [0.5, 1), and point 2's first coordinate e).
struct ArrowGlyph {
  float point[5][3];
};
static_assert(sizeof(ArrowGlyph) == 60);

inline constexpr int32_t kMaxGlyphs = int32_t(kMaxLineMeshVertices / 5);  // 13107

class GraphGlyphs3D final : public GraphKind3D {
 public:
  // Takes over the three component functions of x, y, z (compiled here, one by one) and the colour
  // (a fixed colour is brightened). Reads *lengthScale (null: 0) and the owner's points, which
  // must outlive it, at each Compute.
  GraphGlyphs3D(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ, GraphColor* color,
                const double* lengthScale, const GridPointPool* points, GraphicsContext* context);
  ~GraphGlyphs3D() override;
  GraphGlyphs3D(const GraphGlyphs3D&) = delete;
  GraphGlyphs3D& operator=(const GraphGlyphs3D&) = delete;

  // The clock is read after each point; the arrows are finished in the call that evaluates the
  // last one. Nothing once complete, nor for a budget of 0 or less.
  void Compute(int32_t budget) override;
  // The arrows' mesh in the colour (nothing for the no-fill colour). True.
  bool Draw() override;
  // 0 with at least one arrow, else 11 ("Undefined or infinite for the coordinate ranges given").
  int32_t Status() override;
  void VariableChanged(int32_t symbol, double value) override;
  // 5: a finished, changed set of arrows goes to the mesh; 6: colour index (brightened).
  void SetOption(int32_t code, double value) override;
  // Frees the arrays; the next Compute starts over.
  void Invalidate() override;
  bool IsComplete() override { return complete_ != 0; }
  double Extent() override { return extent_; }

  // Read access for the tests and the owner.
  int32_t GlyphCount() const { return glyphCount_; }
  const ArrowGlyph& GlyphAt(int32_t i) const { return glyphs_[i]; }
  const uint16_t* Segments() const { return segments_; }
  int32_t SegmentCount() const { return segmentCount_; }
  double MaxLength() const { return maxLength_; }
  const GLMesh& Mesh() const { return mesh_; }

 private:
  // The arrays for the points there are now. False when there are no points, more than kMaxGlyphs
  // or the memory is refused (both error 7): the graph is then complete without arrows.
  bool Allocate();
  void FreeArrays();
  // Scales the vectors, places the heads and writes the segments.
  void FinishGlyphs();

  GraphicsContext* context_;
  const GridPointPool* points_;
  const double* lengthScale_;
  CompiledFunction* field_[3];
  GraphColor* color_;
  GLMesh mesh_;
  ArrowGlyph* glyphs_ = nullptr;  // counted memory, capacity_ records
  uint16_t* segments_ = nullptr;  // counted memory, 8 a glyph
  int32_t capacity_ = 0;
  int32_t nextPoint_ = 0;
  int32_t segmentCount_ = 0;
  int32_t glyphCount_ = 0;
  double maxLength_ = 0.0;
  double extent_ = 0.0;
  uint8_t complete_ = 0;
  uint8_t meshDirty_ = 1;
};
