// GraphSurfaceCompanion3D: the parent's vertices mapped under the budget, its triangles copied and
// turned, and the normals made from the faces.
#include "graphs/view3d/surface_companion_3d.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

#include "graphics/gl/frame_setup.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphs/core/graph_color.h"
#include "graphs/core/surface_grid.h"
#include "graphs/view3d/implicit_surface_3d.h"
#include "graphs/view3d/surface_shading.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/threads/timers.h"

namespace {

constexpr uint32_t kUncolouredGrey = 0x808080;

}  // namespace

GraphSurfaceCompanion3D::GraphSurfaceCompanion3D(CompiledFunction* xMap, CompiledFunction* yMap,
                                                 CompiledFunction* zMap, GraphImplicitSurface3D* parent,
                                                 GraphicsContext* context)
    : map_{xMap, yMap, zMap}, parent_(parent), context_(context) {
  parent_->Box(lastBox_);
  if (xMap != nullptr && yMap != nullptr && zMap != nullptr) CompileFunctions3(xMap, yMap, zMap);
}

GraphSurfaceCompanion3D::~GraphSurfaceCompanion3D() {
  FreeArrays();
  DestroyGLMesh(&mesh_);
  for (CompiledFunction* f : map_) DeleteCompiledFunction(f);
}

void GraphSurfaceCompanion3D::FreeArrays() {
  FreeMemory(vertices_);
  FreeMemory(normals_);
  FreeMemory(triangles_);
  vertices_ = normals_ = nullptr;
  triangles_ = nullptr;
}

bool GraphSurfaceCompanion3D::ParentMeshChanged() const {
  return parent_->VertexCount() != vertexCount_ || parent_->TriangleCount() != parentTriangles_ ||
         parent_->MeshSerial() != parentSerial_;
}

void GraphSurfaceCompanion3D::Compute(int32_t budget) {
  if (!parent_->IsComplete()) return;
  if ((vertices_ != nullptr || storageRefused_ || complete_) && ParentMeshChanged()) Invalidate();
  if (complete_ || storageRefused_) return;
  if (vertices_ == nullptr) {
    vertexCount_ = parent_->VertexCount();
    parentTriangles_ = parent_->TriangleCount();
    parentSerial_ = parent_->MeshSerial();
    if (vertexCount_ == 0 || parentTriangles_ == 0) {  // nothing to map
      triangleCount_ = 0;
      mappedCount_ = vertexCount_;
      extent_ = 0.0;
      complete_ = 1;
      return;
    }
    vertices_ = static_cast<float*>(AllocMemory(12 * size_t(vertexCount_)));
    normals_ = static_cast<float*>(AllocMemory(12 * size_t(vertexCount_)));
    triangles_ = static_cast<uint32_t*>(AllocMemory(12 * size_t(parentTriangles_)));
    for (const void* p : {static_cast<const void*>(vertices_), static_cast<const void*>(normals_),
                          static_cast<const void*>(triangles_)}) {
      if (p == nullptr) PostError(kErrorOutOfMemory);
    }
    if (vertices_ == nullptr || normals_ == nullptr || triangles_ == nullptr) {
      FreeArrays();
      storageRefused_ = 1;
      return;
    }
  }
  const uint32_t deadline = ComputeDeadline(budget);
  const MeshVertexPool& pool = parent_->Vertices();
  while (mappedCount_ < vertexCount_ && !DeadlineReached(ElapsedTimerUnits(), deadline)) {
    const double* p = ChunkPoolAt(pool, mappedCount_)->position;
    float* out = vertices_ + 3 * size_t(mappedCount_);
    for (int c = 0; c < 3; ++c) {
      out[c] = map_[c] != nullptr ? float(EvaluateFunction6(map_[c], 0.0, 0.0, p[0], p[1], p[2], 0.0))
                                  : std::numeric_limits<float>::quiet_NaN();
    }
    ++mappedCount_;
  }
  if (mappedCount_ == vertexCount_) FinishMesh();
}

void GraphSurfaceCompanion3D::FinishMesh() {
  const MeshTrianglePool& pool = parent_->Triangles();
  triangleCount_ = parentTriangles_;
  for (int32_t t = 0; t < triangleCount_; ++t) {
    const uint32_t* index = ChunkPoolAt(pool, t)->index;
    std::copy(index, index + 3, triangles_ + 3 * size_t(t));
  }
  std::fill(normals_, normals_ + 3 * size_t(vertexCount_), 0.0f);
  // The unit normal of (R - P) x (P - Q) of each face; a degenerate or non-finite face adds nothing.
  auto faceNormal = [this](const uint32_t* t, float unit[3]) {
    const float* P = vertices_ + 3 * size_t(t[0]);
    const float* Q = vertices_ + 3 * size_t(t[1]);
    const float* R = vertices_ + 3 * size_t(t[2]);
    double a[3], b[3];
    for (int c = 0; c < 3; ++c) {
      a[c] = double(R[c]) - P[c];
      b[c] = double(P[c]) - Q[c];
    }
    const double n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    return UnitNormal(n, unit);
  };
  for (int32_t t = 0; t < triangleCount_; ++t) {
    const uint32_t* tri = triangles_ + 3 * size_t(t);
    float unit[3];
    if (!faceNormal(tri, unit)) continue;
    for (int k = 0; k < 3; ++k) {
      float* n = normals_ + 3 * size_t(tri[k]);
      for (int c = 0; c < 3; ++c) n[c] += unit[c];
    }
  }
  for (int32_t t = 0; t < triangleCount_; ++t) {
    uint32_t* tri = triangles_ + 3 * size_t(t);
    float unit[3];
    if (!faceNormal(tri, unit)) continue;
    const float* n = normals_ + 3 * size_t(tri[0]);
    if (unit[0] * n[0] + unit[1] * n[1] + unit[2] * n[2] < 0.0f) std::swap(tri[1], tri[2]);
  }
  for (int32_t v = 0; v < vertexCount_; ++v) {
    float* n = normals_ + 3 * size_t(v);
    const double sum[3] = {n[0], n[1], n[2]};
    UnitNormal(sum, n);
  }
  extent_ = context_ != nullptr ? MeshExtentInView(vertices_, vertexCount_, context_) : 0.0;
  complete_ = 1;
  meshDirty_ = 1;
}

bool GraphSurfaceCompanion3D::Draw() {
  const GraphColor* color = parent_->Color();
  if (color->mode == kColorNoFill) return true;
  double box[6];
  parent_->Box(box);
  if (!std::equal(box, box + 6, lastBox_)) {
    std::copy(box, box + 6, lastBox_);
    Invalidate();
    return true;
  }
  if (!MeshHasData(&mesh_)) return true;
  SetGLMaterialColor(color->mode == kColorFixed ? color->rgb : kUncolouredGrey, context_);
  SetQDOpacity(float(parent_->Opacity()), context_);
  DrawGLMesh(&mesh_);
  return true;
}

void GraphSurfaceCompanion3D::VariableChanged(int32_t symbol, double) {
  bool depends = ForgetBindingsOf(map_, 3, symbol);
  for (const CompiledFunction* f : {parent_->Function(), parent_->Condition()}) {
    depends = depends || (f != nullptr && FunctionDependsOnSymbol(f, symbol));
  }
  if (depends) Invalidate();
}

void GraphSurfaceCompanion3D::SetOption(int32_t code, double) {
  if (code == 8) {
    Invalidate();
  } else if (code == 5 && IsComplete() && (meshDirty_ || colorSerial_ != parent_->ColorSerial())) {
    // The parent's colours only when they were made for exactly these vertices.
    const float* colors = parent_->VertexColors() != nullptr && parent_->ColoredCount() == vertexCount_
                              ? parent_->VertexColors()
                              : nullptr;
    if (triangleCount_ == 0 || vertices_ == nullptr) {
      DestroyGLMesh(&mesh_);
    } else if (meshDirty_) {
      SetGLTriangleMesh(&mesh_, vertices_, normals_, colors, nullptr, triangles_, uint32_t(vertexCount_),
                        uint32_t(triangleCount_), ColourHasProgram(parent_->Color()) ? 1 : 0, context_);
    } else {
      SetGLMeshColors(&mesh_, colors);  // the parent recoloured the same mesh
    }
    meshDirty_ = 0;
    colorSerial_ = parent_->ColorSerial();
  }
}

void GraphSurfaceCompanion3D::Invalidate() {
  ForgetCachedConstants(map_, 3);
  FreeArrays();
  mappedCount_ = triangleCount_ = 0;
  vertexCount_ = parentTriangles_ = 0;
  complete_ = 0;
  meshDirty_ = 1;
  storageRefused_ = 0;
}

bool GraphSurfaceCompanion3D::IsComplete() {
  if (!parent_->IsComplete() || ParentMeshChanged()) return false;
  return storageRefused_ || (complete_ && mappedCount_ == parent_->VertexCount());
}

bool GraphSurfaceCompanion3D::IsTransparent() { return parent_->IsTransparent(); }

GraphKind3D* NewSurfaceCompanion3DGraph(CompiledFunction* xMap, CompiledFunction* yMap, CompiledFunction* zMap,
                                        GraphKind3D* parent, GraphicsContext* context) {
  // The factory's parent is always the implicit surface it has just made.
  return new (std::nothrow)
      GraphSurfaceCompanion3D(xMap, yMap, zMap, static_cast<GraphImplicitSurface3D*>(parent), context);
}
