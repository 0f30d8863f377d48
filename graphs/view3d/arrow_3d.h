// GraphArrow3D: an arrow between two constant points of a 3D view, (x0, y0, z0) to (x1, y1, z1),
// as a line mesh of six points: the tip, the tail and a four-sided head cone 0.1 of the view's box
// long and 0.05 of it in radius, scaled per axis by the range widths, so the head keeps its size
// on the screen whatever the arrow's length. Computed once, again after any parameter change.
// Invariants: an arrow with a coordinate that is not finite is not valid and draws nothing; an
// arrow of no length has no direction, so no head, and draws nothing; the graph owns its six
// functions, colour and mesh.
#pragma once

#include <cstdint>

#include "graphics/gl/gl_mesh.h"
#include "graphs/core/graph_kind.h"

class GraphColor;
struct CompiledFunction;
struct GraphicsContext;

class GraphArrow3D final : public GraphKind3D {
 public:
  // Takes over the six functions (tail x0, y0, z0, tip x1, y1, z1; compiled one by one) and the
  // colour (a fixed colour is brightened).
  GraphArrow3D(CompiledFunction* const tail[3], CompiledFunction* const tip[3], GraphColor* color,
               GraphicsContext* context);
  ~GraphArrow3D() override;
  GraphArrow3D(const GraphArrow3D&) = delete;
  GraphArrow3D& operator=(const GraphArrow3D&) = delete;

  // Once per invalidation, whatever the budget.
  void Compute(int32_t budget) override;
  // The mesh in the colour, unless hidden, not valid or of no length. True.
  bool Draw() override;
  int32_t Status() override { return 0; }
  // Any parameter: computed again.
  void VariableChanged(int32_t symbol, double value) override;
  // 5: a changed arrow goes to the mesh (five segments from the tip); 6: colour index.
  void SetOption(int32_t code, double value) override;
  void Invalidate() override;
  bool IsComplete() override { return computed_ != 0; }
  double Extent() override { return extent_; }

  // Read access for the tests: point 0 the tip, 1 the tail, 2..5 the head.
  const float* Point(int k) const { return points_[k]; }
  bool Valid() const { return valid_ != 0; }
  const GLMesh& Mesh() const { return mesh_; }

 private:
  GraphicsContext* context_;
  CompiledFunction* function_[6];  // tail x, y, z, tip x, y, z
  GraphColor* color_;
  GLMesh mesh_;
  float points_[6][3] = {};
  double extent_ = 0.0;
  uint8_t valid_ = 0;
  uint8_t hasLength_ = 0;
  uint8_t computed_ = 0;
  uint8_t meshDirty_ = 1;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind3D* NewArrow3DGraph(CompiledFunction* const tail[3], CompiledFunction* const tip[3], GraphColor* color,
                             GraphicsContext* context);
