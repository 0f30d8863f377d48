// GraphVectorField3D: the grid of points over the view's box, kept where the condition holds, and
// the glyph member that does the rest.
#include "graphs/view3d/vector_field_3d.h"

#include <algorithm>
#include <new>

#include "graphs/core/graph_color.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/eval/evaluation_records.h"
#include "kernel/numeric/numeric_constants.h"

namespace {

constexpr int32_t kMessageUndefinedForRanges = 11;

}  // namespace

GraphVectorField3D::GraphVectorField3D(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                                       CompiledFunction* condition, double grain, GraphColor* color,
                                       GraphicsContext* context, const double* box)
    : condition_(condition), box_(box) {
  SetGrain(grain);
  glyphs_ = new (std::nothrow) GraphGlyphs3D(fieldX, fieldY, fieldZ, color, &glyphSize_, &points_, context);
  if (glyphs_ == nullptr) {
    PostError(kErrorOutOfMemory);
    for (CompiledFunction* f : {fieldX, fieldY, fieldZ}) DeleteCompiledFunction(f);
    delete color;
  }
  if (condition_ != nullptr) CompileFunction(condition_);
}

GraphVectorField3D::~GraphVectorField3D() {
  DeleteCompiledFunction(condition_);
  delete glyphs_;
  ChunkPoolClear(points_);
}

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
  for (int32_t i = 0; i < n; ++i) {
    for (int32_t j = 0; j < n; ++j) {
      for (int32_t k = 0; k < n; ++k) {
        const GridPoint3 p{box_[0] + i * dx, box_[2] + j * dy, box_[4] + k * dz};
        if (condition_ != nullptr && EvaluateFunction6(condition_, 0, 0, p.x, p.y, p.z, 0) != 1.0) continue;
        if (ChunkPoolAppend(points_, p) != 0) {
          PostError(kErrorOutOfMemory);  // the grid stays as far as it got
          return;
        }
      }
    }
  }
  if (ChunkPoolCount(points_) == 0) {
    const GridPoint3 nowhere{kPositiveInfinity, kPositiveInfinity, kPositiveInfinity};
    if (ChunkPoolAppend(points_, nowhere) != 0) PostError(kErrorOutOfMemory);
  }
}

void GraphVectorField3D::Compute(int32_t budget) {
  if (budget <= 0 || glyphs_ == nullptr || glyphs_->IsComplete()) return;
  if (ChunkPoolCount(points_) == 0) BuildGrid();
  glyphs_->Compute(budget);
}

bool GraphVectorField3D::Draw() { return glyphs_ == nullptr || glyphs_->Draw(); }

int32_t GraphVectorField3D::Status() { return glyphs_ != nullptr ? glyphs_->Status() : kMessageUndefinedForRanges; }

void GraphVectorField3D::VariableChanged(int32_t symbol, double) {
  if (glyphs_ != nullptr) glyphs_->VariableChanged(symbol, 0.0);
  if (condition_ == nullptr) return;
  condition_->bindingsEvaluated = 0;
  if (FunctionDependsOnSymbol(condition_, symbol)) Invalidate();
}

void GraphVectorField3D::SetOption(int32_t code, double value) {
  if ((code == 5 || code == 6) && glyphs_ != nullptr) {
    glyphs_->SetOption(code, value);
  } else if (code == 8) {
    SetGrain(value);
    Invalidate();
  }
}

void GraphVectorField3D::Invalidate() {
  ChunkPoolClear(points_);
  UpdateGlyphSize();
  if (glyphs_ != nullptr) glyphs_->Invalidate();
}

bool GraphVectorField3D::IsComplete() { return glyphs_ == nullptr || glyphs_->IsComplete(); }

double GraphVectorField3D::Extent() { return glyphs_ != nullptr ? glyphs_->Extent() : 0.0; }

GraphKind3D* NewVectorField3DGraph(CompiledFunction* fieldX, CompiledFunction* fieldY, CompiledFunction* fieldZ,
                                   CompiledFunction* condition, double grain, GraphColor* color,
                                   GraphicsContext* context, const double* box) {
  return new (std::nothrow) GraphVectorField3D(fieldX, fieldY, fieldZ, condition, grain, color, context, box);
}
