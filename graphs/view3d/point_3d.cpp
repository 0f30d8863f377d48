// GraphPoint3D: the shared sphere placed at the point and stretched by the view's range widths.
#include "graphs/view3d/point_3d.h"

#include <new>

#include "graphics/gl/frame_setup.h"
#include "graphics/gl/gl_material.h"

namespace {

struct ThreeFunctions {
  CompiledFunction* f[3];
};

}  // namespace

GraphPoint3D::GraphPoint3D(CompiledFunction* a, CompiledFunction* b, CompiledFunction* c, GraphColor* color,
                           double grain, GraphicsContext* context)
    : ConstantGraph3D(ThreeFunctions{{a, b, c}}.f, 3, color, context), grain_(grain) {}

void GraphPoint3D::SetOption(int32_t code, double value) {
  if (code != 8) return ConstantGraph3D::SetOption(code, value);
  grain_ = value;
  Invalidate();
}

bool GraphPoint3D::Place(const double* p) {
  double w[3] = {4, 4, 4};
  if (context_ != nullptr) GetViewRangeWidths(context_, w);
  const double r = 0.1 * ClampGrain(grain_) + 0.01;
  sphere_ = &UnitSphereMesh();
  for (int32_t k = 0; k < kSphereVertices; ++k) {
    const double* u = sphere_->vertices[k];
    for (int i = 0; i < 3; ++i) {
      vertices_[3 * k + i] = static_cast<float>(p[i] + r * w[i] * u[i]);
      normals_[3 * k + i] = static_cast<float>(u[i] / w[i]);  // unit length is GL's to restore
    }
  }
  extent_ = Valid() && context_ != nullptr ? MeshExtentInView(vertices_, kSphereVertices, context_) : 0.0;
  return true;
}

void GraphPoint3D::FillMesh() {
  SetGLTriangleMesh(&mesh_, vertices_, normals_, nullptr, nullptr, &sphere_->triangles[0][0], kSphereVertices,
                    kSphereTriangles, 0, context_);
}

void GraphPoint3D::SetMaterial(uint32_t rgb) { SetGLMaterialColor(rgb, context_); }

GraphKind3D* NewPoint3DGraph(CompiledFunction* a, CompiledFunction* b, CompiledFunction* c, GraphColor* color,
                             double grain, GraphicsContext* context) {
  return new (std::nothrow) GraphPoint3D(a, b, c, color, grain, context);
}
