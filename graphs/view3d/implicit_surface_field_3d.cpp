// GraphImplicitSurfaceField3D: the mesher's vertices (a build without triangles), one a cell, handed
// to the glyphs.
#include "graphs/view3d/implicit_surface_field_3d.h"

#include <algorithm>
#include <new>

#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/threads/timers.h"

namespace {

// The constant 0 the glyphs take as their length scale: arrows at their own length.
constexpr double kOwnLength = 0.0;

int32_t CellsOfGrain(double grain) { return static_cast<int32_t>(20.0 * ClampGrain(grain) + 8.0); }

// The cell of a coordinate along one axis: trunc(n (c - low) / (high - low) - 0.5), the cells
// centred on the grid's points, held to 0..n.
int64_t CellOf(double c, double low, double high, int32_t n) {
  const double t = n * (c - low) / (high - low) - 0.5;
  if (!(t > 0)) return 0;  // below the first, or NaN
  return t >= n ? n : static_cast<int64_t>(t);
}

}  // namespace

GraphImplicitSurfaceField3D::GraphImplicitSurfaceField3D(CompiledFunction* fieldX, CompiledFunction* fieldY,
                                                         CompiledFunction* fieldZ, CompiledFunction* f,
                                                         CompiledFunction* condition, double grain,
                                                         GraphColor* color, const double* box,
                                                         GraphicsContext* context)
    : GlyphField3D(fieldX, fieldY, fieldZ, color, &kOwnLength, context),
      function_(f),
      condition_(condition),
      box_(box),
      grain_(grain) {
  if (function_ != nullptr) CompileFunction(function_);
  if (condition_ != nullptr) CompileFunction(condition_);
  StartMesh();
}

GraphImplicitSurfaceField3D::~GraphImplicitSurfaceField3D() {
  FreeMesh();
  DeleteCompiledFunction(function_);
  DeleteCompiledFunction(condition_);
}

void GraphImplicitSurfaceField3D::FreeMesh() {
  builder_.FreeCaches();
  ChunkPoolClear(vertices_);
  FreeMemory(occupied_);
  occupied_ = nullptr;
  meshed_ = 0;
}

void GraphImplicitSurfaceField3D::StartMesh() {
  FreeMesh();
  cellsPerSide_ = CellsOfGrain(grain_);
  std::copy(box_, box_ + 6, meshedBox_);
  const int64_t side = cellsPerSide_ + 1;
  occupied_ = static_cast<uint8_t*>(AllocMemory(static_cast<size_t>((side * side * side + 7) / 8), true));
  if (occupied_ == nullptr) PostError(kErrorOutOfMemory);
  const ImplicitField field{function_ != nullptr ? CompiledFunctionEvaluator(function_) : RealEvaluator{}, {}, {}};
  // Without the cells, the caches or f there is nothing to mesh: done, no points (Start posts its
  // own refusal).
  if (occupied_ == nullptr || function_ == nullptr || !builder_.Start(cellsPerSide_, meshedBox_, field)) meshed_ = 1;
}

void GraphImplicitSurfaceField3D::TakePoints() {
  if (occupied_ == nullptr) return;
  const int32_t n = cellsPerSide_;
  const int64_t side = n + 1;
  const double* b = meshedBox_;
  for (int32_t k = 0; k < ChunkPoolCount(vertices_); ++k) {
    const double* p = ChunkPoolAt(vertices_, k)->position;
    if (condition_ != nullptr && EvaluateFunction6(condition_, 0, 0, p[0], p[1], p[2], 0) != 1.0) continue;
    const int64_t cell = CellOf(p[0], b[0], b[1], n) +
                         side * (CellOf(p[1], b[2], b[3], n) + side * CellOf(p[2], b[4], b[5], n));
    const uint8_t bit = static_cast<uint8_t>(1u << (cell & 7));
    if ((occupied_[cell >> 3] & bit) != 0) continue;
    occupied_[cell >> 3] |= bit;
    if (!AppendPoint(p[0], p[1], p[2])) return;  // memory refused: no arrows
  }
}

void GraphImplicitSurfaceField3D::Compute(int32_t budget) {
  if (budget <= 0 || IsComplete()) return;
  const uint32_t deadline = ComputeDeadline(budget);
  if (!meshed_) {
    const MeshBuildProgress progress = builder_.BuildVertices(deadline, vertices_);
    if (progress == MeshBuildProgress::kUnfinished) return;
    if (progress == MeshBuildProgress::kFailed) {
      ChunkPoolClear(vertices_);
      PostError(kErrorOutOfMemory);
    }
    meshed_ = 1;
  }
  if (!pointsReady_) {
    TakePoints();
    pointsReady_ = 1;
  }
  ComputeGlyphs(deadline);
}

void GraphImplicitSurfaceField3D::VariableChanged(int32_t symbol, double value) {
  GlyphsVariableChanged(symbol, value);
  // The condition too, or its old values would choose the points.
  CompiledFunction* const all[2] = {function_, condition_};
  if (ForgetBindingsOf(all, 2, symbol)) Invalidate();
}

void GraphImplicitSurfaceField3D::SetOption(int32_t code, double value) {
  if (GlyphsOption(code, value)) return;
  if (code == 8) {
    grain_ = value;
    Invalidate();
  }
}

void GraphImplicitSurfaceField3D::Invalidate() {
  StartMesh();
  ClearPoints();
}

GraphKind3D* NewImplicitSurfaceField3DGraph(CompiledFunction* fieldX, CompiledFunction* fieldY,
                                            CompiledFunction* fieldZ, CompiledFunction* f,
                                            CompiledFunction* condition, double grain, GraphColor* color,
                                            const double* box, GraphicsContext* context) {
  return new (std::nothrow)
      GraphImplicitSurfaceField3D(fieldX, fieldY, fieldZ, f, condition, grain, color, box, context);
}
