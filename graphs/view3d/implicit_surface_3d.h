// GraphImplicitSurface3D: the surface where a relation in x, y and z holds with equality, f = 0 for
// f the difference of its sides, inside the view's box: meshed by the cube-grid MeshBuilder on an
// n^3 grid (n = trunc(36 grain + 4): 4 to 40) under the time budget, shown while it grows (a
// partial mesh at most every 60 ticks until the first finished mesh, none during the benchmark),
// coloured per vertex afterwards in the expression modes, and drawn like the parametric surface.
// Invariants: the pools hold what the builder made since the last reset; a failed build (memory
// refused, error 7) frees pools and caches and leaves the surface complete with nothing, message
// 11; vertex colours exist only in modes 9 and 10 and count the vertices they were made for; the
// interval verdict of an empty mesh is decided in Compute before the surface is complete, and is
// due again at every reset.
#pragma once

#include <cstdint>

#include "graphics/gl/gl_mesh.h"
#include "graphs/core/graph_kind.h"
#include "graphs/view3d/cube_mesher.h"
#include "graphs/view3d/surface_shading.h"

class GraphColor;
struct CompiledFunction;
struct GraphicsContext;

// The largest grid a side the grain may ask for.
inline constexpr int32_t kMaxImplicitGrid = 256;

class GraphImplicitSurface3D final : public GraphKind3D {
 public:
  // Takes over f, the colour and the condition (null: none). The six box bounds (x, y, z low and
  // high) are the view's, read at every reset, and must outlive the graph.
  GraphImplicitSurface3D(CompiledFunction* f, double grain, double opacity, GraphColor* color,
                         CompiledFunction* condition, const double* xMin, const double* xMax, const double* yMin,
                         const double* yMax, const double* zMin, const double* zMax, GraphicsContext* context);
  ~GraphImplicitSurface3D() override;
  GraphImplicitSurface3D(const GraphImplicitSurface3D&) = delete;
  GraphImplicitSurface3D& operator=(const GraphImplicitSurface3D&) = delete;

  // A preparation of the colour's programs that is due comes first (then the clip plane and a new
  // build when the condition moved to or from the GPU), then stale parameter values of the colour
  // and a due clip plane; then the build, the verdict and the vertex colours under the budget.
  void Compute(int32_t budget) override;
  bool Draw() override;
  // 0 with a triangle or until the build and its verdict are done; else the verdict's, by interval
  // arithmetic: 6 (f keeps one sign everywhere), 12 (in the box) or 13 (the grid found no
  // surface). 11 after a refused build. Reads the stored verdict, never evaluates.
  int32_t Status() override;
  void VariableChanged(int32_t symbol, double value) override;
  // 0 plotting mode, 5 hand the finished mesh (or new colours) over, 6 colour index, 7 opacity,
  // 8 grain. A plotting mode or a colour index leaves the colour's preparation (and with it the
  // clip plane) to Compute; evaluates nothing.
  void SetOption(int32_t code, double value) override;
  // A new builder from cube (0, 0, 0); the colours go.
  void Invalidate() override;
  bool IsComplete() override {
    return !SurfaceColourDue(preparedContext_) && prepared_ && (complete_ || buildFailed_) && !colorOnlyChanged_;
  }
  // The view's whole box.
  double Extent() override;
  bool IsTransparent() override { return IsSurfaceTransparent(color_); }

  // What the companion, the tests and the benchmark read.
  int32_t CubesPerSide() const { return n_; }
  const MeshVertexPool& Vertices() const { return vertexPool_; }
  const MeshTrianglePool& Triangles() const { return trianglePool_; }
  int32_t VertexCount() const { return ChunkPoolCount(vertexPool_); }
  int32_t TriangleCount() const { return ChunkPoolCount(trianglePool_); }
  // Three floats a vertex in modes 9 and 10 once coloured, else null.
  const float* VertexColors() const { return vertexColors_; }
  int32_t ColoredCount() const { return coloredCount_; }
  // The view's box as it is now: x, y, z low and high.
  void Box(double box[6]) const;
  const CompiledFunction* Function() const { return function_; }
  const CompiledFunction* Condition() const { return condition_; }
  const GraphColor* Color() const { return color_; }
  double Opacity() const { return opacity_; }
  bool HasGradient() const { return gradient_[0] != nullptr; }
  bool BuildFinished() const { return buildFinished_ != 0; }
  // Counts the resets: a new serial means the pools hold another mesh.
  uint32_t MeshSerial() const { return meshSerial_; }
  // Counts the recolourings of the same mesh (a parameter of the colour expressions only): a new
  // serial means the vertex colours changed while the mesh stayed.
  uint32_t ColorSerial() const { return colorSerial_; }
  bool Uploaded() const { return uploaded_ != 0; }
  bool ColorOnlyChanged() const { return colorOnlyChanged_ != 0; }
  const SurfaceClip& Clip() const { return clip_; }
  const GLMesh& Mesh() const { return mesh_; }

 private:
  // The gradient when f is smooth, compiled with f; the condition.
  void Prepare();
  void FreeGradient();
  // A new builder over the present box with the condition it evaluates (none when the condition
  // is a clip plane or the GPU's); empty pools.
  void Reset();
  void FreePools();
  void FreeColors();
  // Modes 9 and 10 after the build; false until every vertex is coloured (or memory was refused).
  bool ColourVertices(uint32_t deadline);
  bool ColoursNeeded() const;
  // Whether a finished build's empty mesh means f keeps one sign over space or the box, or that the
  // grid missed a surface; evaluates, so only inside Compute. The verdict is stored whole or not at
  // all.
  void DecideNoSurfaceVerdict();

  CompiledFunction* function_;
  CompiledFunction* gradient_[3] = {nullptr, nullptr, nullptr};
  CompiledFunction* condition_;
  double grain_;
  GraphColor* color_;
  GraphicsContext* context_;
  GLMesh mesh_;
  float* vertexColors_ = nullptr;
  double opacity_;
  const double* bounds_[6];
  double box_[6] = {0, 0, 0, 0, 0, 0};
  int32_t n_ = 0;
  int32_t coloredCount_ = 0;
  uint8_t complete_ = 0;
  uint8_t fullUploadDue_ = 1;
  uint8_t colorsDirty_ = 1;
  uint8_t progressUploads_ = 1;
  uint8_t uploaded_ = 0;
  uint8_t buildFinished_ = 0;
  uint8_t buildFailed_ = 0;
  int32_t plottingMode_ = 2;
  uint32_t meshSerial_ = 0;
  uint32_t colorSerial_ = 0;
  uint32_t nextProgressUpload_ = 0;
  MeshBuilder builder_;
  ImplicitField field_{};
  MeshVertexPool vertexPool_;
  MeshTrianglePool trianglePool_;
  SurfaceClip clip_;
  PreparedColourContext preparedContext_;
  uint8_t colorOnlyChanged_ = 0;
  uint8_t prepared_ = 0;  // the clip plane decided and the build started for the colour's programs
  enum class NoSurfaceVerdict : uint8_t { kDue, kSurface, kNeverSatisfied, kNotSatisfiedInRanges, kNoSurfaceFound };
  NoSurfaceVerdict verdict_ = NoSurfaceVerdict::kDue;  // DecideNoSurfaceVerdict's, until the next reset
};

GraphKind3D* NewImplicitSurface3DGraph(CompiledFunction* f, double grain, double opacity, GraphColor* color,
                                       CompiledFunction* condition, const double* box, GraphicsContext* context);
