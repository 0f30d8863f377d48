// ConstantGraph3D: the base of the 3D kinds drawn from constant coordinates (the arrow between two
// points, the point drawn as a sphere). Their functions are evaluated once per invalidation,
// whatever the budget once it is positive, and again after any parameter change, since a parameter may reach them
// through the document's definitions; the derived kind lays its shape out from the values.
// Invariants: the values are valid when every one is finite; nothing is drawn unless they are
// computed and valid and the shape has something to draw; the mesh is filled once a computation,
// on the upload option; the graph owns its functions, colour and mesh.
#pragma once

#include <cstdint>

#include "graphics/gl/gl_mesh.h"
#include "graphs/core/graph_kind.h"

class GraphColor;
struct CompiledFunction;
struct GraphicsContext;

class ConstantGraph3D : public GraphKind3D {
 public:
  ~ConstantGraph3D() override;
  ConstantGraph3D(const ConstantGraph3D&) = delete;
  ConstantGraph3D& operator=(const ConstantGraph3D&) = delete;

  // Once per invalidation, whatever the budget once it is positive.
  void Compute(int32_t budget) override;
  // The shape in the colour's material, unless hidden or with nothing to draw. True.
  bool Draw() override;
  int32_t Status() override { return 0; }
  // Any parameter: computed again.
  void VariableChanged(int32_t symbol, double value) override;
  // 5: a changed shape goes to the mesh; 6: colour index; other codes are ignored.
  void SetOption(int32_t code, double value) override;
  void Invalidate() override;
  bool IsComplete() override { return computed_ != 0; }
  double Extent() override { return extent_; }

  bool Valid() const { return valid_ != 0; }
  const GLMesh& Mesh() const { return mesh_; }

 protected:
  // Takes over the count (at most 6) functions (compiled one by one) and the colour (a fixed colour
  // is brightened).
  ConstantGraph3D(CompiledFunction* const* functions, int32_t count, GraphColor* color, GraphicsContext* context);

  // Lays the shape out from the values (all finite when Valid()) and sets extent_. True when the
  // shape has something to draw.
  virtual bool Place(const double* values) = 0;
  // Fills mesh_ from the shape placed.
  virtual void FillMesh() = 0;
  // The material the shape is drawn in (lines or surfaces).
  virtual void SetMaterial(uint32_t rgb) = 0;

  GraphicsContext* context_;
  GraphColor* color_;
  GLMesh mesh_;
  double extent_ = 0.0;

 private:
  CompiledFunction* function_[6] = {};
  int32_t count_;
  uint8_t valid_ = 0;
  uint8_t drawable_ = 0;
  uint8_t computed_ = 0;
  uint8_t meshDirty_ = 1;
};
