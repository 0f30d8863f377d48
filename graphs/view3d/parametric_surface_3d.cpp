// GraphSurface3D: the grid sampled under the budget through the shared evaluation context, the
// normals (analytic or by finite differences), the colours of every mode, the triangles of the
// valid cells and the mesh handed to the view's context.
#include "graphs/view3d/parametric_surface_3d.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphics/colour/colour_shader_programs.h"
#include "graphics/gl/frame_setup.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphs/core/compute_worker.h"
#include "graphs/core/graph_color.h"
#include "graphs/core/surface_grid.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/block_evaluation.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/threads/timers.h"
#include "kernel/trees/node_kinds.h"

namespace {

constexpr uint32_t kNoTextureGrey = 0x808080;

// A coordinate function may be differentiated by u and v only when it uses no derived coordinate:
// r, rho, theta and phi are taken from the grid's x and y, which the algebra cannot see.
bool UsesDerivedCoordinate(const CompiledFunction* f) {
  for (int32_t symbol : {int32_t('r'), int32_t(SymRho), int32_t(SymTheta), int32_t(SymPhi)}) {
    if (FunctionDependsOnSymbol(f, symbol)) return true;
  }
  return false;
}

bool Finite3(const double p[3]) { return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]); }

// The cross product of the two derivatives is rounding noise (a pole, where one derivative
// vanishes or both are parallel): sin v at v = pi is about 1e-16, not 0, and its sign is the
// rounding's, so normalising it would turn the pole's normal either way.
bool NegligibleNormal(const double n[3], const double du[3], const double dv[3]) {
  const double nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
  const double uu = du[0] * du[0] + du[1] * du[1] + du[2] * du[2];
  const double vv = dv[0] * dv[0] + dv[1] * dv[1] + dv[2] * dv[2];
  const double m = std::max(uu, vv);
  return nn <= 1e-24 * m * m;
}

}  // namespace

GraphSurface3D::GraphSurface3D(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, double grain,
                               double opacity, GraphColor* color, CompiledFunction* condition, int32_t plottingMode,
                               const double* uMin, const double* uMax, const double* vMin, const double* vMax,
                               GraphicsContext* context)
    : context_(context),
      function_{x, y, z},
      condition_(condition),
      color_(color),
      opacity_(opacity),
      uMin_(uMin),
      uMax_(uMax),
      vMin_(vMin),
      vMax_(vMax),
      plottingMode_(plottingMode >= 0 && plottingMode <= 2 ? plottingMode : 2) {
  n_ = SurfaceGridOfGrain(grain, kMaxSurfaceGrid);
  Prepare();
  BrightenGraphColor(color_);
  colorOnlyChanged_ = 0;
  prepared_ = 0;
}

GraphSurface3D::~GraphSurface3D() {
  FreeArrays();
  DestroyGLMesh(&mesh_);
  DisposeEvalContext(evalContext_);
  FreeDerivatives();
  for (CompiledFunction* f : function_) DeleteCompiledFunction(f);
  DeleteCompiledFunction(condition_);
  delete color_;
}

void GraphSurface3D::FreeDerivatives() {
  for (CompiledFunction*& d : derivative_) {
    DeleteCompiledFunction(d);
    d = nullptr;
  }
}

void GraphSurface3D::Prepare() {
  hasDerivatives_ = 0;
  DisposeEvalContext(evalContext_);
  evalContext_ = nullptr;
  FreeDerivatives();
  bool smooth = plottingMode_ != 0;
  for (const CompiledFunction* f : function_) {
    smooth = smooth && f != nullptr && HasOnlySmoothOperators(f) && !UsesDerivedCoordinate(f);
  }
  if (smooth) {
    for (int by = 0; by < 2; ++by) {
      for (int k = 0; k < 3; ++k) derivative_[3 * by + k] = NewDerivativeFunction(function_[k], by == 0 ? 'u' : 'v');
    }
    if (std::all_of(derivative_, derivative_ + 6, [](const CompiledFunction* d) { return d != nullptr; })) {
      CompiledFunction* const nine[9] = {function_[0],   function_[1],   function_[2],   derivative_[0], derivative_[1],
                                         derivative_[2], derivative_[3], derivative_[4], derivative_[5]};
      evalContext_ = CompileFunctionsShared9(nine);
      hasDerivatives_ = evalContext_ != nullptr ? 1 : 0;
    }
  }
  if (!hasDerivatives_) {
    FreeDerivatives();
    DisposeEvalContext(evalContext_);
    evalContext_ = function_[0] != nullptr && function_[1] != nullptr && function_[2] != nullptr
                       ? CompileFunctionsShared3(function_[0], function_[1], function_[2])
                       : nullptr;
  }
  if (condition_ != nullptr) CompileFunction(condition_);
}

void GraphSurface3D::FreeArrays() {
  for (void* p : {static_cast<void*>(vertices_), static_cast<void*>(normals_), static_cast<void*>(colors_),
                  static_cast<void*>(texCoords_), static_cast<void*>(triangles_), static_cast<void*>(valid_)}) {
    FreeMemory(p);
  }
  vertices_ = normals_ = colors_ = texCoords_ = nullptr;
  triangles_ = nullptr;
  valid_ = nullptr;
}

bool GraphSurface3D::ArraysPresent() const {
  const uint32_t mode = color_->mode;
  return vertices_ != nullptr && SurfaceVertexCopies(mode) == copies_ &&
         (colors_ != nullptr || !SurfaceModeHasColors(mode)) &&
         (texCoords_ != nullptr || !SurfaceModeHasTexCoords(mode));
}

void GraphSurface3D::Allocate() {
  FreeArrays();
  const uint32_t mode = color_->mode;
  copies_ = SurfaceVertexCopies(mode);
  const size_t samples = size_t(n_) * size_t(n_), vertices = samples * size_t(copies_);
  const size_t cells = size_t(n_ - 1) * size_t(n_ - 1);
  bool all = evalContext_ != nullptr;
  auto take = [&all](size_t bytes, bool clear = false) {
    void* p = AllocMemory(bytes, clear);
    if (p == nullptr) PostError(kErrorOutOfMemory);
    all = all && p != nullptr;
    return p;
  };
  vertices_ = static_cast<float*>(take(vertices * 12));
  normals_ = static_cast<float*>(take(vertices * 12));
  triangles_ = static_cast<uint32_t*>(take(cells * 24));
  valid_ = static_cast<uint8_t*>(take(samples));
  if (SurfaceModeHasColors(mode)) colors_ = static_cast<float*>(take(vertices * 12, true));
  if (SurfaceModeHasTexCoords(mode)) texCoords_ = static_cast<float*>(take(samples * 8));
  if (evalContext_ == nullptr) PostError(kErrorOutOfMemory);  // the compile could not get its context
  if (!all) {
    FreeArrays();
    storageRefused_ = 1;
    return;
  }
  storageRefused_ = 0;
  Reset();
}

void GraphSurface3D::Reset() {
  // A new sampling evaluates the constant parts afresh: a value cached while memory was refused is NaN.
  ForgetCachedConstants(function_, 3);
  ForgetCachedConstants(derivative_, 6);
  ForgetCachedConstants(&condition_, 1);
  if (vertices_ == nullptr) return;
  const size_t samples = size_t(n_) * size_t(n_);
  ZeroBytes(normals_, samples * size_t(copies_) * 12);
  ZeroBytes(vertices_, samples * size_t(copies_) * 12);
  ZeroBytes(valid_, samples);
  nextSample_ = 0;
  triangleCount_ = 0;
  analyticNormals_ = 1;
  complete_ = 0;
  meshDirty_ = 1;
}

void GraphSurface3D::Compute(int32_t budget) {
  if (SurfaceColourDue(preparedContext_)) {
    // Made whole or not at all: a Compute abandoned in the draft, or one whose draft a new request
    // overtook, prepares again.
    if (!PrepareSurfaceColour(color_, condition_, plottingMode_, context_, &preparedContext_)) return;
    prepared_ = 0;
  }
  if (!prepared_) {
    // The clip plane and the arrays follow the colour's programs. Marked done only once all of it
    // is: a Compute abandoned in an evaluation of the plane's constants decides again.
    DecideClipPlane(&clip_, condition_, color_, context_);
    Allocate();
    prepared_ = 1;
  }
  // The change of what only the drawing shows is taken in here, samples or none.
  RefreshSurfaceDrawing(color_, condition_, &clip_);
  colorOnlyChanged_ = 0;
  if (!ArraysPresent()) {
    // A colour mode the arrays were not made for (the programs came or went with a context): made
    // again; a refusal leaves the surface complete with nothing.
    if (storageRefused_) return;
    Allocate();
    if (!ArraysPresent()) return;
  }
  if (complete_) return;
  const uint32_t deadline = ComputeDeadline(budget);
  const double uLow = *uMin_, vLow = *vMin_;
  const double du = (*uMax_ - uLow) / (n_ - 1), dv = (*vMax_ - vLow) / (n_ - 1);
  PrepareSampleGrid(uLow, vLow, du, dv, n_, n_, evalContext_);
  CompiledFunction* const batch[9] = {function_[0],   function_[1],   function_[2],   derivative_[0], derivative_[1],
                                      derivative_[2], derivative_[3], derivative_[4], derivative_[5]};
  double* const out[9] = {block_[0], block_[1], block_[2], block_[3], block_[4],
                          block_[5], block_[6], block_[7], block_[8]};
  const int32_t total = n_ * n_;
  while (nextSample_ < total && !DeadlineReached(ElapsedTimerUnits(), deadline)) {
    const int32_t j = nextSample_ / n_, i0 = nextSample_ % n_, count = std::min(kBlock, n_ - i0);
    const int32_t functions = hasDerivatives_ ? 9 : 3;
    EvaluateGridRowBatch(batch, functions, i0, j, count, evalContext_, out);
    const double v = std::fma(double(j), dv, vLow);
    for (int32_t t = 0; t < count; ++t) {
      double value[9];
      for (int f = 0; f < functions; ++f) value[f] = block_[f][t];
      Sample(i0 + t, j, std::fma(double(i0 + t), du, uLow), v, value);
    }
    nextSample_ += count;
  }
  if (!hasDerivatives_) analyticNormals_ = 0;
  if (nextSample_ < total) return;
  if (!analyticNormals_) FiniteDifferenceNormals(vertices_, valid_, n_, copies_, normals_);
  // A colour on its program is drawn as the expressions it came from: one copy a sample.
  const uint32_t mode = color_->mode == kColorGPUProgram ? color_->savedMode : color_->mode;
  triangleCount_ = int32_t(BuildSurfaceTriangles(valid_, n_, mode, triangles_));
  ComputeExtent();
  complete_ = 1;
}

void GraphSurface3D::Sample(int32_t i, int32_t j, double u, double v, const double value[9]) {
  const size_t k = size_t(i) * size_t(n_) + size_t(j);
  const double p[3] = {value[0], value[1], value[2]};
  bool valid = Finite3(p);
  if (valid && hasDerivatives_) {
    const double* d = value + 3;
    // (x, y, z) by u in d[0..2], by v in d[3..5]; the normal is the u derivative cross the v one.
    const double n[3] = {d[1] * d[5] - d[2] * d[4], d[2] * d[3] - d[0] * d[5], d[0] * d[4] - d[1] * d[3]};
    float unit[3];
    if (!NegligibleNormal(n, d, d + 3) && UnitNormal(n, unit)) {
      for (int copy = 0; copy < copies_; ++copy) std::copy(unit, unit + 3, normals_ + 3 * (copies_ * k + copy));
    } else {
      analyticNormals_ = 0;
    }
  }
  if (valid && ConditionIsSampled(clip_, condition_, color_)) {
    valid = EvaluateFunction6(condition_, u, v, p[0], p[1], p[2], 0.0) == 1.0;
  }
  valid_[k] = valid ? 1 : 0;
  if (!valid) {
    // Its normal goes too: a later finite-difference pass only fills valid samples.
    std::fill(normals_ + 3 * copies_ * k, normals_ + 3 * copies_ * (k + 1), 0.0f);
    return;
  }
  const double args[6] = {u, v, p[0], p[1], p[2], 0.0};
  StoreSurfaceSampleColour(color_, color_->mode, i, j, n_, args, colors_, texCoords_);
  for (int copy = 0; copy < copies_; ++copy) {
    float* out = vertices_ + 3 * (copies_ * k + copy);
    for (int c = 0; c < 3; ++c) out[c] = float(p[c]);
  }
}

void GraphSurface3D::ComputeExtent() {
  extent_ = 0.0;
  if (context_ == nullptr) return;
  const size_t samples = size_t(n_) * size_t(n_);
  for (size_t k = 0; k < samples; ++k) {
    if (valid_[k]) extent_ = std::max(extent_, MeshExtentInView(vertices_ + 3 * copies_ * k, 1, context_));
  }
}

bool GraphSurface3D::Draw() {
  if (color_->mode == kColorNoFill || !MeshHasData(&mesh_)) return true;
  if (!ArraysPresent()) {
    complete_ = 0;  // the colour's mode changed under the arrays: the next Compute makes them again
    return true;
  }
  bool fixed = color_->mode == kColorFixed;
  if (color_->mode == kColorTexture) {
    if (SyncColorTextureWithContext(color_)) {
      BindGLTexture(color_->texture, context_);
    } else {
      color_->rgb = kNoTextureGrey;
      fixed = true;
    }
  }
  if (fixed) SetGLMaterialColor(color_->rgb, context_);
  const int32_t mode = DrawSurfaceMesh(&mesh_, color_, condition_, opacity_, clip_, preparedContext_, plottingMode_,
                                       context_);
  if (mode >= 0) SetOption(0, double(mode));
  return true;
}

int32_t GraphSurface3D::Status() {
  if (valid_ == nullptr) return kMessageUndefinedForRanges;
  const size_t samples = size_t(n_) * size_t(n_);
  return std::any_of(valid_, valid_ + samples, [](uint8_t v) { return v != 0; }) ? 0 : kMessageUndefinedForRanges;
}

void GraphSurface3D::VariableChanged(int32_t symbol, double) {
  CompiledFunction* const functions[9] = {function_[0],   function_[1],   function_[2],
                                          derivative_[0], derivative_[1], derivative_[2],
                                          derivative_[3], derivative_[4], derivative_[5]};
  // Colours computed on the CPU are the samples' own: a change of them samples again.
  if (SurfaceVariableChange(functions, 9, condition_, color_, &clip_, symbol, &colorOnlyChanged_) !=
      SurfaceChange::kNothing) {
    Reset();
  }
}

void GraphSurface3D::SetOption(int32_t code, double value) {
  switch (code) {
    case 0:
      ChangeSurfacePlottingMode(value, &plottingMode_, &mesh_, &preparedContext_);
      Prepare();
      prepared_ = 0;  // the clip plane and the arrays, after the colour
      Invalidate();
      break;
    case 5:
      if (!meshDirty_ || !complete_ || !ArraysPresent()) break;
      SetGLTriangleMesh(&mesh_, vertices_, normals_, colors_, texCoords_, triangles_, uint32_t(VertexCount()),
                        uint32_t(triangleCount_), ColourHasProgram(color_) ? 1 : 0, context_);
      meshDirty_ = 0;
      break;
    case 6: {
      const uint32_t oldMode = color_->mode;
      SetGraphColorIndex(color_, value);
      BrightenGraphColor(color_);
      // Between fixed colours the programs (none, or the condition's white one) stay as they are.
      if (oldMode == kColorFixed && color_->mode == kColorFixed) break;
      AskSurfaceColour(&preparedContext_);
      prepared_ = 0;
      if (color_->mode != kColorTexture) {
        ComputeInTurns(this, int32_t(TicksToTimerUnits(60)));
        if (IsComplete()) SetOption(5, 0.0);
      }
      break;
    }
    case 7:
      opacity_ = value;
      break;
    case 8:
      n_ = SurfaceGridOfGrain(value, kMaxSurfaceGrid);
      Allocate();
      break;
    default:
      break;
  }
}

void GraphSurface3D::Invalidate() { Reset(); }

bool GraphSurface3D::IsComplete() {
  return !SurfaceColourDue(preparedContext_) && prepared_ && (complete_ || storageRefused_) && !colorOnlyChanged_;
}

GraphKind3D* NewSurface3DGraph(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, double grain,
                               double opacity, GraphColor* color, CompiledFunction* condition, int32_t plottingMode,
                               const double* uMin, const double* uMax, const double* vMin, const double* vMax,
                               GraphicsContext* context) {
  return new (std::nothrow)
      GraphSurface3D(x, y, z, grain, opacity, color, condition, plottingMode, uMin, uMax, vMin, vMax, context);
}
