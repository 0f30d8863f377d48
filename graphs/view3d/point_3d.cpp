// GraphPoint3D: the shared sphere placed at the point and stretched by the view's range widths.
#include "graphs/view3d/point_3d.h"

#include <cmath>
#include <new>

#include "graphics/gl/frame_setup.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphs/core/graph_color.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/numeric_constants.h"

GraphPoint3D::GraphPoint3D(CompiledFunction* a, CompiledFunction* b, CompiledFunction* c, GraphColor* color,
                           double grain, GraphicsContext* context)
    : context_(context), coordinate_{a, b, c}, color_(color), grain_(grain) {
  for (CompiledFunction* f : coordinate_) {
    if (f != nullptr) CompileFunction(f);
  }
  if (color_ != nullptr) BrightenGraphColor(color_);
}

GraphPoint3D::~GraphPoint3D() {
  DestroyGLMesh(&mesh_);
  for (CompiledFunction* f : coordinate_) DeleteCompiledFunction(f);
  delete color_;
}

void GraphPoint3D::Compute(int32_t) {
  if (computed_) return;
  double p[3];
  bool valid = true;
  for (int i = 0; i < 3; ++i) {
    p[i] = coordinate_[i] != nullptr ? EvaluateFunction1(coordinate_[i], 0) : kUndefinedReal;
    valid = valid && std::isfinite(p[i]);
  }
  valid_ = valid ? 1 : 0;
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
  extent_ = valid_ && context_ != nullptr ? MeshExtentInView(vertices_, kSphereVertices, context_) : 0.0;
  computed_ = 1;
}

bool GraphPoint3D::Draw() {
  if (IsNoFillColor(color_) || !valid_ || !MeshHasData(&mesh_)) return true;
  SetGLMaterialColor(GraphColorRGB(color_), context_);
  DrawGLMesh(&mesh_);
  return true;
}

void GraphPoint3D::VariableChanged(int32_t, double) {
  for (CompiledFunction* f : coordinate_) {
    if (f != nullptr) f->bindingsEvaluated = 0;
  }
  Invalidate();
}

void GraphPoint3D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) {
    SetGraphColorIndex(color_, value);
  } else if (code == 8) {
    grain_ = value;
    Invalidate();
  } else if (code == 5 && meshDirty_ && computed_) {
    if (valid_) {
      SetGLTriangleMesh(&mesh_, vertices_, normals_, nullptr, nullptr, &sphere_->triangles[0][0], kSphereVertices,
                        kSphereTriangles, 0, context_);
    } else {
      DestroyGLMesh(&mesh_);
    }
    meshDirty_ = 0;
  }
}

void GraphPoint3D::Invalidate() {
  computed_ = 0;
  meshDirty_ = 1;
}

GraphKind3D* NewPoint3DGraph(CompiledFunction* a, CompiledFunction* b, CompiledFunction* c, GraphColor* color,
                             double grain, GraphicsContext* context) {
  return new (std::nothrow) GraphPoint3D(a, b, c, color, grain, context);
}
