// GraphCurve3D: the samples under the budget, then the segments between neighbouring valid ones.
#include "graphs/view3d/space_curve_3d.h"

#include <cmath>
#include <new>

#include "graphics/gl/frame_setup.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphs/core/graph_color.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/threads/timers.h"

GraphCurve3D::GraphCurve3D(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z,
                           CompiledFunction* condition, GraphColor* color, double grain, GraphicsContext* context,
                           const double* tMin, const double* tMax)
    : context_(context), tMin_(tMin), tMax_(tMax), coordinate_{x, y, z}, condition_(condition), color_(color) {
  sampleCount_ = CurveSamplesOfGrain(grain);
  CompileFunctions3(x, y, z);
  if (condition_ != nullptr) CompileFunction(condition_);
  if (color_ != nullptr) BrightenGraphColor(color_);
  Allocate();
}

GraphCurve3D::~GraphCurve3D() {
  FreeArrays();
  DestroyGLMesh(&mesh_);
  for (CompiledFunction* f : coordinate_) DeleteCompiledFunction(f);
  DeleteCompiledFunction(condition_);
  delete color_;
}

void GraphCurve3D::FreeArrays() {
  FreeMemory(vertices_);
  FreeMemory(valid_);
  FreeMemory(segments_);
  vertices_ = nullptr;
  valid_ = nullptr;
  segments_ = nullptr;
}

void GraphCurve3D::Allocate() {
  const size_t n = static_cast<size_t>(sampleCount_);
  vertices_ = static_cast<float*>(AllocMemory(3 * sizeof(float) * n));
  valid_ = static_cast<uint8_t*>(AllocMemory(n));
  segments_ = static_cast<uint16_t*>(AllocMemory(2 * sizeof(uint16_t) * n));
  if (vertices_ == nullptr || valid_ == nullptr || segments_ == nullptr) {
    PostError(kErrorOutOfMemory);
    FreeArrays();
  }
  Reset();
}

void GraphCurve3D::Reset() {
  // The segment count and the extent stay those of the uploaded mesh: the last curve is drawn
  // until the new sampling finishes and replaces it.
  nextSample_ = 0;
  validCount_ = 0;
  meshDirty_ = 1;
  // Without arrays there is nothing to compute: complete, and the Status says so.
  complete_ = vertices_ == nullptr ? 1 : 0;
}

void GraphCurve3D::Compute(int32_t budget) {
  if (complete_ || budget <= 0) return;
  const uint32_t deadline = ComputeDeadline(budget);
  const int32_t n = sampleCount_;
  const double t0 = *tMin_, t1 = *tMax_;
  while (nextSample_ < n) {
    // Sample k counts as taken only once stored: a Compute abandoned in its evaluations takes it again.
    const int32_t k = nextSample_;
    const double t = CurveSampleParameter(k, n, t0, t1);
    double p[3];
    for (int i = 0; i < 3; ++i) p[i] = EvaluateFunction1(coordinate_[i], t);
    bool valid = std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
    // The parameter goes to the condition too: a companion's condition is rewritten in u.
    if (valid && condition_ != nullptr) valid = EvaluateFunction6(condition_, t, 0, p[0], p[1], p[2], 0) == 1.0;
    valid_[k] = valid ? 1 : 0;
    validCount_ += valid ? 1 : 0;
    float* vertex = vertices_ + 3 * k;
    for (int i = 0; i < 3; ++i) vertex[i] = valid ? static_cast<float>(p[i]) : static_cast<float>(kUndefinedReal);
    nextSample_ = k + 1;
    if (DeadlineReached(ElapsedTimerUnits(), deadline)) break;
  }
  if (nextSample_ < n) return;
  Finish();
  complete_ = 1;
}

void GraphCurve3D::Finish() {
  segmentCount_ = 0;
  for (int32_t k = 0; k + 1 < sampleCount_; ++k) {
    if (!valid_[k] || !valid_[k + 1]) continue;
    segments_[2 * segmentCount_] = static_cast<uint16_t>(k);
    segments_[2 * segmentCount_ + 1] = static_cast<uint16_t>(k + 1);
    ++segmentCount_;
  }
  extent_ = context_ != nullptr ? MeshExtentInView(vertices_, sampleCount_, context_) : 0.0;
}

bool GraphCurve3D::Draw() {
  if (IsNoFillColor(color_) || segmentCount_ == 0 || !MeshHasData(&mesh_) || vertices_ == nullptr) return true;
  SetGLCurveMaterialColor(GraphColorRGB(color_), context_);
  DrawGLMesh(&mesh_);
  return true;
}

int32_t GraphCurve3D::Status() { return validCount_ > 0 ? 0 : kMessageUndefinedForRanges; }

void GraphCurve3D::VariableChanged(int32_t symbol, double) {
  CompiledFunction* const all[4] = {coordinate_[0], coordinate_[1], coordinate_[2], condition_};
  if (ForgetBindingsOf(all, 4, symbol)) Reset();
}

void GraphCurve3D::SetOption(int32_t code, double value) {
  if (code == 6 && color_ != nullptr) {
    SetGraphColorIndex(color_, value);
    BrightenGraphColor(color_);
  } else if (code == 8) {
    FreeArrays();
    sampleCount_ = CurveSamplesOfGrain(value);
    Allocate();
  } else if (code == 5 && meshDirty_ && complete_) {
    // Only a finished curve: the segments of a sampling in progress belong to the last one.
    if (segmentCount_ > 0) {
      SetGLLineMesh(&mesh_, vertices_, segments_, static_cast<uint32_t>(sampleCount_),
                    static_cast<uint32_t>(segmentCount_), context_);
    } else {
      DestroyGLMesh(&mesh_);
    }
    meshDirty_ = 0;
  }
}

GraphKind3D* NewSpaceCurveGraph(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z,
                                CompiledFunction* condition, GraphColor* color, double grain, GraphicsContext* context,
                                const double* tMin, const double* tMax) {
  return new (std::nothrow) GraphCurve3D(x, y, z, condition, color, grain, context, tMin, tMax);
}
