// GraphSurfaceField3D: the surface sampled row by row through its shared grid context into the
// glyphs' point list.
#include "graphs/view3d/surface_field_3d.h"

#include <new>

#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/threads/timers.h"

namespace {

// The constant 0 the glyphs take as their length scale: arrows at their own length.
constexpr double kOwnLength = 0.0;

int32_t GridOfGrain(double factor, double grain) { return static_cast<int32_t>(factor * ClampGrain(grain) + 5.0); }

}  // namespace

GraphSurfaceField3D::GraphSurfaceField3D(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                                         CompiledFunction* x, CompiledFunction* y, CompiledFunction* z,
                                         CompiledFunction* condition, double grain, GraphColor* color,
                                         const double* uMin, const double* uMax, const double* vMin,
                                         const double* vMax, GraphicsContext* context)
    : GlyphField3D(fieldX, fieldY, fieldZ, color, &kOwnLength, context),
      surface_{x, y, z},
      condition_(condition),
      evalContext_(CompileFunctionsShared3(x, y, z)),
      uMin_(uMin),
      uMax_(uMax),
      vMin_(vMin),
      vMax_(vMax),
      gridSide_(GridOfGrain(74.0, grain)) {
  if (evalContext_ == nullptr) PostError(kErrorOutOfMemory);
  if (condition_ != nullptr) CompileFunction(condition_);
}

GraphSurfaceField3D::~GraphSurfaceField3D() {
  DisposeEvalContext(evalContext_);
  for (CompiledFunction* f : surface_) DeleteCompiledFunction(f);
  DeleteCompiledFunction(condition_);
}

void GraphSurfaceField3D::Reset() {
  if (evalContext_ != nullptr) PrepareSampleGrid(0, 0, 0, 0, 1, 1, evalContext_);
  nextRow_ = 0;
  nextColumn_ = -1;
  ClearPoints();
}

void GraphSurfaceField3D::Compute(int32_t budget) {
  if (budget <= 0 || IsComplete()) return;
  const uint32_t deadline = ComputeDeadline(budget);
  if (!pointsReady_ && evalContext_ != nullptr) {
    const int32_t n = gridSide_;
    const double u0 = *uMin_, v0 = *vMin_;
    const double du = (*uMax_ - u0) / (n - 1), dv = (*vMax_ - v0) / (n - 1);
    PrepareSampleGrid(u0, v0, du, dv, n, n, evalContext_);
    while (nextRow_ < n) {
      if (DeadlineReached(ElapsedTimerUnits(), deadline)) return;
      // (nextRow_, nextColumn_) is the last sample decided; the next one becomes so only once it
      // is, so a Compute abandoned in its evaluations takes it again.
      int32_t row = nextRow_, column = nextColumn_ + 1;
      if (column == n) {
        column = 0;
        if (++row == n) {
          nextRow_ = row;
          break;
        }
      }
      double p[3];
      for (int i = 0; i < 3; ++i) p[i] = EvaluateAtGridPoint(surface_[i], row, column, evalContext_);
      const bool kept = condition_ == nullptr || EvaluateFunction6(condition_, 0, 0, p[0], p[1], p[2], 0) == 1.0;
      nextRow_ = row, nextColumn_ = column;
      // Not tested for finiteness: the glyphs give no arrow where a point or its vector is not finite.
      if (kept && !AppendPoint(p[0], p[1], p[2])) break;  // memory refused: no arrows
    }
  }
  pointsReady_ = 1;  // a grid context that could not be had gives no points, and no arrows
  ComputeGlyphs(deadline);
}

void GraphSurfaceField3D::VariableChanged(int32_t symbol, double value) {
  GlyphsVariableChanged(symbol, value);
  // The condition too, or its old values would choose the points.
  CompiledFunction* const all[4] = {surface_[0], surface_[1], surface_[2], condition_};
  if (ForgetBindingsOf(all, 4, symbol)) Reset();
}

void GraphSurfaceField3D::SetOption(int32_t code, double value) {
  if (GlyphsOption(code, value)) return;
  if (code == 8) {
    gridSide_ = GridOfGrain(45.0, value);
    Reset();
  }
}

GraphKind3D* NewSurfaceField3DGraph(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                                    CompiledFunction* x, CompiledFunction* y, CompiledFunction* z,
                                    CompiledFunction* condition, double grain, GraphColor* color,
                                    const double* uMin, const double* uMax, const double* vMin, const double* vMax,
                                    GraphicsContext* context) {
  return new (std::nothrow) GraphSurfaceField3D(fieldX, fieldY, fieldZ, x, y, z, condition, grain, color, uMin, uMax,
                                                vMin, vMax, context);
}
