// GraphPoint3D: one constant point (a, b, c) of a 3D view drawn as a small shaded sphere, the
// shared unit sphere scaled by (0.1 q + 0.01) of each range width (q the clamped grain), so it
// looks round on the screen whatever the axis scales, its normals scaled to match.
// Invariants: computed once per invalidation; a point with a coordinate that is not finite is not
// valid and draws nothing (its status stays 0); the vertices and normals live in the object, the
// triangles are the shared sphere's; it owns its three functions, colour and mesh.
#pragma once

#include <cstdint>

#include "graphics/gl/gl_mesh.h"
#include "graphs/core/graph_kind.h"
#include "graphs/view3d/unit_sphere_mesh.h"

class GraphColor;
struct CompiledFunction;
struct GraphicsContext;

class GraphPoint3D final : public GraphKind3D {
 public:
  // Takes over the three coordinate functions (compiled one by one) and the colour (a fixed colour
  // is brightened).
  GraphPoint3D(CompiledFunction* a, CompiledFunction* b, CompiledFunction* c, GraphColor* color, double grain,
               GraphicsContext* context);
  ~GraphPoint3D() override;
  GraphPoint3D(const GraphPoint3D&) = delete;
  GraphPoint3D& operator=(const GraphPoint3D&) = delete;

  // Once per invalidation, whatever the budget.
  void Compute(int32_t budget) override;
  // The sphere in the colour's material, unless hidden or not valid. True.
  bool Draw() override;
  int32_t Status() override { return 0; }
  // Any parameter: computed again.
  void VariableChanged(int32_t symbol, double value) override;
  // 5: a changed sphere goes to the mesh; 6: colour index; 8: grain (the sphere's size).
  void SetOption(int32_t code, double value) override;
  void Invalidate() override;
  bool IsComplete() override { return computed_ != 0; }
  double Extent() override { return extent_; }

  // Read access for the tests.
  const float* Vertices() const { return vertices_; }
  const float* Normals() const { return normals_; }
  bool Valid() const { return valid_ != 0; }
  const UnitSphere* Sphere() const { return sphere_; }
  const GLMesh& Mesh() const { return mesh_; }

 private:
  GraphicsContext* context_;
  CompiledFunction* coordinate_[3];
  GraphColor* color_;
  double grain_;
  const UnitSphere* sphere_ = nullptr;  // the shared sphere once computed
  GLMesh mesh_;
  float vertices_[3 * kSphereVertices] = {};
  float normals_[3 * kSphereVertices] = {};
  double extent_ = 0.0;
  uint8_t valid_ = 0;
  uint8_t computed_ = 0;
  uint8_t meshDirty_ = 1;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind3D* NewPoint3DGraph(CompiledFunction* a, CompiledFunction* b, CompiledFunction* c, GraphColor* color,
                             double grain, GraphicsContext* context);
