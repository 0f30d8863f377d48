// GraphSurfaceCompanion3D: an implicit surface seen through a space transformation, in the second
// 3D view. It has no mesher: once its parent GraphImplicitSurface3D (in the first 3D view) is
// complete it maps every parent vertex through (xMap, yMap, zMap) under the time budget, takes the
// parent's triangles, makes unit vertex normals from the faces and turns every triangle to face
// along its first vertex's normal. It draws in the parent's colour and opacity.
// Invariants: its arrays hold exactly the vertex and triangle counts of the parent mesh they were
// made for (a parent that meshed again, to any size, is mapped afresh into new arrays, so nothing is
// written past them); normals are unit or (0, 0, 0), never NaN (a degenerate or non-finite face adds
// nothing); without its arrays (memory refused, error 7) it is complete and draws nothing.
#pragma once

#include <cstdint>

#include "graphics/gl/gl_mesh.h"
#include "graphs/core/graph_kind.h"

class GraphImplicitSurface3D;
struct CompiledFunction;
struct GraphicsContext;

class GraphSurfaceCompanion3D final : public GraphKind3D {
 public:
  // Takes over the three maps (functions of x, y, z). The parent is not owned and must outlive the
  // companion's use of it (the first 3D view's graphs are deleted with the second's).
  GraphSurfaceCompanion3D(CompiledFunction* xMap, CompiledFunction* yMap, CompiledFunction* zMap,
                          GraphImplicitSurface3D* parent, GraphicsContext* context);
  ~GraphSurfaceCompanion3D() override;
  GraphSurfaceCompanion3D(const GraphSurfaceCompanion3D&) = delete;
  GraphSurfaceCompanion3D& operator=(const GraphSurfaceCompanion3D&) = delete;

  // Nothing while the parent is incomplete; arrays for the parent's counts, the vertices mapped
  // until the deadline (read before each), then triangles, normals and the extent.
  void Compute(int32_t budget) override;
  // Nothing in the no-fill colour. A parent box other than the last one seen invalidates and draws
  // nothing this time; otherwise the mesh in the parent's colour and opacity. True.
  bool Draw() override;
  int32_t Status() override { return 0; }
  // A symbol of a map, of the parent's function or of its condition invalidates.
  void VariableChanged(int32_t symbol, double value) override;
  // 5 hands the finished arrays to the mesh, or the parent's colours alone when only they changed;
  // 8 invalidates; the others are the parent's.
  void SetOption(int32_t code, double value) override;
  void Invalidate() override;
  // The parent is complete, the mesh it holds is the one mapped, and the mapping is finished.
  bool IsComplete() override;
  double Extent() override { return extent_; }
  bool IsTransparent() override;

  int32_t MappedCount() const { return mappedCount_; }
  int32_t VertexCount() const { return vertexCount_; }
  int32_t TriangleCount() const { return triangleCount_; }
  const float* Vertices() const { return vertices_; }
  const float* Normals() const { return normals_; }
  const uint32_t* Triangles() const { return triangles_; }
  const GLMesh& Mesh() const { return mesh_; }

 private:
  void FreeArrays();
  // The parent holds another mesh than the one the arrays were made for.
  bool ParentMeshChanged() const;
  void FinishMesh();

  CompiledFunction* map_[3];
  GraphImplicitSurface3D* parent_;
  GraphicsContext* context_;
  double extent_ = 0.0;
  uint8_t complete_ = 0;
  uint8_t meshDirty_ = 1;
  uint8_t storageRefused_ = 0;
  float* vertices_ = nullptr;
  float* normals_ = nullptr;
  uint32_t* triangles_ = nullptr;
  GLMesh mesh_;
  int32_t mappedCount_ = 0;
  int32_t triangleCount_ = 0;
  // The parent mesh the arrays are for: its counts and its build serial.
  int32_t vertexCount_ = 0;
  int32_t parentTriangles_ = 0;
  uint32_t parentSerial_ = 0;
  uint32_t colorSerial_ = 0;  // the parent's colour serial of the colours the mesh holds
  double lastBox_[6] = {0, 0, 0, 0, 0, 0};
};

GraphKind3D* NewSurfaceCompanion3DGraph(CompiledFunction* xMap, CompiledFunction* yMap, CompiledFunction* zMap,
                                        GraphKind3D* parent, GraphicsContext* context);
