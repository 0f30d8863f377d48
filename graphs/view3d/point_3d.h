// GraphPoint3D: one constant point (a, b, c) of a 3D view drawn as a small shaded sphere, the
// shared unit sphere scaled by (0.1 q + 0.01) of each range width (q the clamped grain), so it
// looks round on the screen whatever the axis scales, its normals scaled to match
// (ConstantGraph3D computes it once, again after any parameter change).
// Invariants: a point with a coordinate that is not finite is not valid and draws nothing (its
// status stays 0); the vertices and normals live in the object, the triangles are the shared
// sphere's.
#pragma once

#include "graphs/view3d/constant_graph_3d.h"
#include "graphs/view3d/unit_sphere_mesh.h"

class GraphPoint3D final : public ConstantGraph3D {
 public:
  // Takes over the three coordinate functions and the colour.
  GraphPoint3D(CompiledFunction* a, CompiledFunction* b, CompiledFunction* c, GraphColor* color, double grain,
               GraphicsContext* context);

  // 8: grain (the sphere's size); the rest as the base.
  void SetOption(int32_t code, double value) override;

  // Read access for the tests.
  const float* Vertices() const { return vertices_; }
  const float* Normals() const { return normals_; }
  const UnitSphere* Sphere() const { return sphere_; }

 private:
  bool Place(const double* values) override;
  void FillMesh() override;
  void SetMaterial(uint32_t rgb) override;

  double grain_;
  const UnitSphere* sphere_ = nullptr;  // the shared sphere once computed
  float vertices_[3 * kSphereVertices] = {};
  float normals_[3 * kSphereVertices] = {};
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind3D* NewPoint3DGraph(CompiledFunction* a, CompiledFunction* b, CompiledFunction* c, GraphColor* color,
                             double grain, GraphicsContext* context);
