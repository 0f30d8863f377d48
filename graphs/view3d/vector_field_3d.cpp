// GraphVectorField3D: the grid of points over the view's box, kept where the condition holds, and
// the glyph member that does the rest.
#include "graphs/view3d/vector_field_3d.h"

#include <algorithm>
#include <new>

#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_records.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/threads/timers.h"

GraphVectorField3D::GraphVectorField3D(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                                       CompiledFunction* condition, double grain, GraphColor* color,
                                       GraphicsContext* context, const double* box)
    : GlyphField3D(fieldX, fieldY, fieldZ, color, &glyphSize_, context), condition_(condition), box_(box) {
  SetGrain(grain);
  if (condition_ != nullptr) CompileFunction(condition_);
}

GraphVectorField3D::~GraphVectorField3D() { DeleteCompiledFunction(condition_); }

void GraphVectorField3D::SetGrain(double grain) {
  // The grain comes from the document as it stands: clamped, n stays within 4..16 (never 1, whose
  // steps would divide by zero).
  pointsPerAxis_ = static_cast<int32_t>(12.0 * ClampGrain(grain) + 4.5);
  UpdateGlyphSize();
}

void GraphVectorField3D::UpdateGlyphSize() {
  const double spans[3] = {box_[1] - box_[0], box_[3] - box_[2], box_[5] - box_[4]};
  glyphSize_ = 0.5 * std::min({spans[0], spans[1], spans[2]}) / (pointsPerAxis_ - 1);
}

void GraphVectorField3D::BuildGrid() {
  const int32_t n = pointsPerAxis_;
  const double dx = (box_[1] - box_[0]) / (n - 1), dy = (box_[3] - box_[2]) / (n - 1),
               dz = (box_[5] - box_[4]) / (n - 1);
  // Point by point, nextGridPoint_ = (i n + j) n + k advanced only once the point is decided: a
  // Compute abandoned in the condition's evaluation goes on from that point, none kept twice.
  for (; nextGridPoint_ < n * n * n; ++nextGridPoint_) {
    const int32_t i = nextGridPoint_ / (n * n), j = nextGridPoint_ / n % n, k = nextGridPoint_ % n;
    const GridPoint3 p{box_[0] + i * dx, box_[2] + j * dy, box_[4] + k * dz};
    if (condition_ != nullptr && EvaluateFunction6(condition_, 0, 0, p.x, p.y, p.z, 0) != 1.0) continue;
    if (!AppendPoint(p.x, p.y, p.z)) return;  // no arrows
  }
  if (ChunkPoolCount(points_) == 0) AppendPoint(kPositiveInfinity, kPositiveInfinity, kPositiveInfinity);
}

void GraphVectorField3D::Compute(int32_t budget) {
  if (budget <= 0 || glyphs_ == nullptr || glyphs_->IsComplete()) return;
  const uint32_t deadline = ComputeDeadline(budget);
  if (!pointsReady_) {
    BuildGrid();
    pointsReady_ = 1;
  }
  ComputeGlyphs(deadline);
}

void GraphVectorField3D::VariableChanged(int32_t symbol, double value) {
  GlyphsVariableChanged(symbol, value);
  if (ForgetBindingsOf(&condition_, 1, symbol)) Invalidate();
}

void GraphVectorField3D::SetOption(int32_t code, double value) {
  if (GlyphsOption(code, value)) return;
  if (code == 8) {
    SetGrain(value);
    Invalidate();
  }
}

void GraphVectorField3D::Invalidate() {
  ClearPoints();
  nextGridPoint_ = 0;
  UpdateGlyphSize();
}

GraphKind3D* NewVectorField3DGraph(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                                   CompiledFunction* condition, double grain, GraphColor* color,
                                   GraphicsContext* context, const double* box) {
  return new (std::nothrow) GraphVectorField3D(fieldX, fieldY, fieldZ, condition, grain, color, context, box);
}
