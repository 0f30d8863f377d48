// GraphSurface3D: every surface given as a point of space for each pair of grid parameters:
// explicit surfaces (z = f(x, y), r = f(theta, phi), ...) and parametric ones ((x, y, z) = f(u, v)),
// as three compiled coordinate functions of u and v over the rectangle of four range bounds. It
// samples an n x n grid under the time budget (n = trunc(74 grain + 5): 5 to 79), takes analytic
// normals from the six partial derivatives or finite differences, colours the samples by the
// colour's mode, keeps the samples where the condition holds and hands the triangles to its mesh.
// Invariants: a sample is valid only when its three coordinates are finite (NaN or infinity leave
// it and its cells out) and its condition holds; no vertex, normal or colour it stores is NaN,
// normals are unit or (0, 0, 0); a cell makes triangles only from valid corners (two with four, one
// with three); pattern modes 1, 2, 3, 6, 7 keep two copies of every sample. Without its arrays
// (memory refused, error 7) the surface is complete, draws nothing and reports message 11.
#pragma once

#include <cstdint>

#include "graphics/gl/gl_mesh.h"
#include "graphs/core/graph_kind.h"
#include "graphs/view3d/surface_shading.h"

class GraphColor;
struct CompiledFunction;
struct EvalContext;
struct GraphicsContext;

// The largest grid a side: a grain from a document may ask for any n, and the arrays grow with n^2.
inline constexpr int32_t kMaxSurfaceGrid = 400;

class GraphSurface3D final : public GraphKind3D {
 public:
  // Takes over the three coordinate functions, the colour and the condition (null: none). The four
  // range bounds are the document's (read at every Compute) and must outlive the graph.
  // plottingMode 0, 1 or 2: non-zero asks for analytic normals; 1 also keeps the colour off the GPU.
  GraphSurface3D(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, double grain, double opacity,
                 GraphColor* color, CompiledFunction* condition, int32_t plottingMode, const double* uMin,
                 const double* uMax, const double* vMin, const double* vMax, GraphicsContext* context);
  ~GraphSurface3D() override;
  GraphSurface3D(const GraphSurface3D&) = delete;
  GraphSurface3D& operator=(const GraphSurface3D&) = delete;

  // A preparation of the colour's programs that is due (the first, or one a plotting mode, a colour
  // index or another context asked for) comes first, then the clip plane and the arrays; stale
  // parameter values of the colour and a due clip plane are worked out; then samples until the
  // deadline (the clock is read before each block of at most 32 samples, whose values the block
  // machine computes together). The last sample's call makes the finite-difference normals, the
  // triangles and the extent.
  void Compute(int32_t budget) override;
  // Nothing for the no-fill colour, an empty mesh or missing arrays; otherwise the material or
  // texture, then DrawSurfaceMesh. True.
  bool Draw() override;
  // 11 when no grid sample is valid (or the arrays are missing), else 0.
  int32_t Status() override;
  void VariableChanged(int32_t symbol, double value) override;
  // 0 plotting mode, 5 hand the finished arrays to the mesh, 6 colour index, 7 opacity, 8 grain.
  // A plotting mode or a new colour (but between fixed colours) leaves the colour's preparation to
  // Compute; evaluates nothing.
  void SetOption(int32_t code, double value) override;
  // Back to sample (0, 0).
  void Invalidate() override;
  bool IsComplete() override;
  double Extent() override { return extent_; }
  bool IsTransparent() override { return IsSurfaceTransparent(color_); }

  // Read access for the tests, the benchmark and the 4D surface.
  int32_t GridSize() const { return n_; }
  int32_t Copies() const { return copies_; }
  int32_t VertexCount() const { return n_ * n_ * copies_; }
  int32_t TriangleCount() const { return triangleCount_; }
  const float* Vertices() const { return vertices_; }
  const float* Normals() const { return normals_; }
  const float* Colors() const { return colors_; }
  const float* TexCoords() const { return texCoords_; }
  const uint32_t* Triangles() const { return triangles_; }
  const uint8_t* Valid() const { return valid_; }
  bool HasDerivatives() const { return hasDerivatives_ != 0; }
  bool AnalyticNormals() const { return analyticNormals_ != 0; }
  bool ColorOnlyChanged() const { return colorOnlyChanged_ != 0; }
  const SurfaceClip& Clip() const { return clip_; }
  const GLMesh& Mesh() const { return mesh_; }
  const GraphColor* Color() const { return color_; }
  double Opacity() const { return opacity_; }

 private:
  // Derivatives (when asked for and possible) and the shared evaluation context; the condition.
  void Prepare();
  void FreeDerivatives();
  // The arrays the colour mode needs (error 7 for each refused; all freed unless all were had),
  // then Reset.
  void Allocate();
  void FreeArrays();
  bool ArraysPresent() const;
  void Reset();
  // One grid sample (i, j) at parameters (u, v) from the batch's values there: x, y, z, then the
  // six derivatives when there are derivatives.
  void Sample(int32_t i, int32_t j, double u, double v, const double value[9]);
  void ComputeExtent();

  GraphicsContext* context_;
  CompiledFunction* function_[3];
  CompiledFunction* derivative_[6] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  CompiledFunction* condition_;
  GraphColor* color_;
  double opacity_;
  const double* uMin_;
  const double* uMax_;
  const double* vMin_;
  const double* vMax_;
  float* vertices_ = nullptr;   // 3 a vertex
  float* normals_ = nullptr;    // 3 a vertex
  float* colors_ = nullptr;     // 3 a vertex; modes other than 0, 8, 11
  float* texCoords_ = nullptr;  // 2 a sample; mode 8
  uint32_t* triangles_ = nullptr;
  uint8_t* valid_ = nullptr;
  GLMesh mesh_;
  int32_t n_ = 0;
  int32_t copies_ = 1;      // the copies of each sample the arrays were made for
  // Samples are taken a block at a time down the u index i for each v index j (so a block shares
  // everything that depends on v alone); the next is number j n + i.
  int32_t nextSample_ = 0;
  static constexpr int32_t kBlock = 32;
  double block_[9][kBlock];  // the batch's values at the block's samples
  int32_t triangleCount_ = 0;
  uint8_t hasDerivatives_ = 0;
  uint8_t analyticNormals_ = 1;
  uint8_t complete_ = 0;
  uint8_t meshDirty_ = 1;
  uint8_t storageRefused_ = 0;  // Allocate failed: complete with nothing until the next rebuild
  int32_t plottingMode_;
  double extent_ = 0.0;
  SurfaceClip clip_;
  PreparedColourContext preparedContext_;
  uint8_t colorOnlyChanged_ = 0;
  uint8_t prepared_ = 0;  // the clip plane decided and the arrays made for the colour's programs
  EvalContext* evalContext_ = nullptr;
};

// The factory's constructor of the kind: null (nothing taken over) when the object cannot be had.
GraphKind3D* NewSurface3DGraph(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, double grain,
                               double opacity, GraphColor* color, CompiledFunction* condition, int32_t plottingMode,
                               const double* uMin, const double* uMax, const double* vMin, const double* vMax,
                               GraphicsContext* context);
