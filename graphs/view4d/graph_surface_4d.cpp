// GraphSurface4D: function preparation, the arrays of the colour mode, sampling row by row under
// the budget, and the projection and drawing of each pass.
#include "graphs/view4d/graph_surface_4d.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "graphics/colour/colour_shader_programs.h"
#include "graphics/gl/gl_material.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphs/core/compute_worker.h"
#include "graphs/core/graph_color.h"
#include "graphs/core/surface_grid.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/threads/timers.h"
#include "kernel/trees/node_kinds.h"

namespace {

constexpr int32_t kMaxGrid = 1000;             // samples a side
constexpr uint32_t kFallbackTextureRGB = 0x808080;  // a picture that cannot be a texture here
constexpr int32_t kRecolourTicks = 60;
constexpr double kFloatSafeCube = 1e37;  // cube coordinates whose projections stay within floats

template <typename T>
T* Allocated(size_t count, bool* all) {
  auto* block = static_cast<T*>(AllocMemory(count * sizeof(T), true));
  if (block == nullptr) *all = false;
  return block;
}

}  // namespace

GraphSurface4D::GraphSurface4D(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, CompiledFunction* w,
                               double grain, double opacity, GraphColor* color, CompiledFunction* condition,
                               const double* uMin, const double* uMax, const double* vMin, const double* vMax,
                               GraphicsContext* context, const Projection4D* projection)
    : context_(context), projection_(projection), function_{x, y, z, w}, condition_(condition), color_(color),
      opacity_(opacity), uMin_(uMin), uMax_(uMax), vMin_(vMin), vMax_(vMax),
      n_(SurfaceGridOfGrain(grain, kMaxGrid)) {
  PrepareFunctions();
  if (color_ != nullptr) BrightenGraphColor(color_);
  colourDue_ = color_ != nullptr ? 1 : 0;
  Allocate();
}

GraphSurface4D::~GraphSurface4D() {
  FreeArrays();
  DisposeEvalContext(evalContext_);
  for (CompiledFunction* f : function_) DeleteCompiledFunction(f);
  for (CompiledFunction* f : derivative_) DeleteCompiledFunction(f);
  DeleteCompiledFunction(condition_);
  delete color_;
}

void GraphSurface4D::PrepareFunctions() {
  bool smooth = true;
  for (CompiledFunction* f : function_) smooth = smooth && f != nullptr && HasOnlySmoothOperators(f);
  smooth = smooth && !FunctionDependsOnSymbol(function_[2], 'r') && !FunctionDependsOnSymbol(function_[2], SymTheta);
  if (smooth) {
    for (int d = 0; d < 8; ++d) derivative_[d] = NewDerivativeFunction(function_[d % 4], d < 4 ? 'u' : 'v');
  }
  const bool all =
      smooth && std::all_of(derivative_, derivative_ + 8, [](CompiledFunction* f) { return f != nullptr; });
  if (all) {
    CompiledFunction* const batch[12] = {function_[0],   function_[1],   function_[2],   function_[3],
                                         derivative_[0], derivative_[1], derivative_[2], derivative_[3],
                                         derivative_[4], derivative_[5], derivative_[6], derivative_[7]};
    evalContext_ = CompileFunctionsShared12(batch);
    hasDerivatives_ = 1;
  } else {
    for (CompiledFunction*& f : derivative_) {
      DeleteCompiledFunction(f);
      f = nullptr;
    }
    if (std::all_of(function_, function_ + 4, [](CompiledFunction* f) { return f != nullptr; })) {
      evalContext_ = CompileFunctionsShared4(function_[0], function_[1], function_[2], function_[3]);
    }
  }
  if (condition_ != nullptr) CompileFunction(condition_);
}

int32_t GraphSurface4D::VertexCount() const {
  return n_ * n_ * SurfaceVertexCopies(arraysMode_);
}

void GraphSurface4D::FreeArrays() {
  for (void* block : {static_cast<void*>(cube_), static_cast<void*>(slopes_), static_cast<void*>(vertices_),
                      static_cast<void*>(normals_), static_cast<void*>(colors_), static_cast<void*>(texCoords_),
                      static_cast<void*>(triangles_), static_cast<void*>(valid_)}) {
    FreeMemory(block);
  }
  cube_ = nullptr, vertices_ = normals_ = colors_ = texCoords_ = slopes_ = nullptr;
  triangles_ = nullptr, valid_ = nullptr;
}

void GraphSurface4D::Allocate() {
  FreeArrays();
  arraysMode_ = color_ != nullptr ? color_->mode : kColorFixed;
  const size_t samples = size_t(n_) * size_t(n_), vertices = samples * size_t(SurfaceVertexCopies(arraysMode_));
  bool all = evalContext_ != nullptr;
  if (all) {
    // Zeroed: every sample is projected at each pass, valid or not.
    cube_ = Allocated<double>(4 * samples, &all);
    slopes_ = Allocated<float>(8 * samples, &all);
    vertices_ = Allocated<float>(3 * vertices, &all);
    normals_ = Allocated<float>(3 * vertices, &all);
    if (SurfaceModeHasColors(arraysMode_)) colors_ = Allocated<float>(3 * vertices, &all);
    if (SurfaceModeHasTexCoords(arraysMode_)) texCoords_ = Allocated<float>(2 * samples, &all);
    triangles_ = Allocated<uint32_t>(6 * size_t(n_ - 1) * size_t(n_ - 1), &all);
    valid_ = Allocated<uint8_t>(samples, &all);
  }
  if (!all) {
    PostError(kErrorOutOfMemory);
    FreeArrays();
  }
  Reset();
}

void GraphSurface4D::Reset() {
  row_ = 0;
  column_ = -1;
  validCount_ = 0;
  triangleCount_ = 0;
  analyticNormals_ = 1;
  maxRadius_ = 0.0;
  complete_ = 0;
  if (valid_ == nullptr) return;
  // A new grid call is then never taken for the one before (parameter values may have changed).
  PrepareSampleGrid(0, 0, 0, 0, 1, 1, evalContext_);
  const size_t samples = size_t(n_) * size_t(n_);
  std::memset(slopes_, 0, 8 * samples * sizeof(float));
  std::memset(valid_, 0, samples);
}

void GraphSurface4D::ComputeSample(int32_t i, int32_t j, double u, double v, const CubeAxis axes[4]) {
  // Every evaluation comes before what the sample counts: a Compute abandoned in one of them leaves
  // the counts as they were, and the sample, written again in its own places, is taken again.
  const int32_t k = i * n_ + j;
  double c[4];
  for (int a = 0; a < 4; ++a) c[a] = EvaluateAtGridPoint(function_[a], i, j, evalContext_);
  bool ok = IsFinite4(c);
  double d[8];
  bool finiteSlopes = false;
  if (ok && hasDerivatives_) {
    for (int a = 0; a < 8; ++a) d[a] = EvaluateAtGridPoint(derivative_[a], i, j, evalContext_);
    finiteSlopes = true;
    for (int a = 0; a < 8; ++a) finiteSlopes = finiteSlopes && std::isfinite(d[a] * axes[a % 4].scale);
  }
  const bool slopesAsked = ok && hasDerivatives_;
  if (ok && condition_ != nullptr) ok = EvaluateFunction6(condition_, u, v, c[0], c[1], c[2], c[3]) == 1.0;
  double radius = 0.0;
  double* q = cube_ + 4 * k;
  ok = ok && MapIntoCube(c, axes, q, &radius);
  // Drawn through floats at every projection: a sample that could land past their range is a hole,
  // as one that is not finite is (a turn moves a cube point at most twice its largest coordinate).
  ok = ok && std::max({std::fabs(q[0]), std::fabs(q[1]), std::fabs(q[2]), std::fabs(q[3])}) < kFloatSafeCube;
  if (ok) {
    const double args[6] = {u, v, c[0], c[1], c[2], c[3]};
    StoreSurfaceSampleColour(color_, arraysMode_, i, j, n_, args, colors_, texCoords_);
  }
  if (slopesAsked && finiteSlopes) {
    for (int a = 0; a < 8; ++a) slopes_[8 * k + a] = float(d[a] * axes[a % 4].scale);
  } else if (slopesAsked) {
    analyticNormals_ = 0;  // the stored values stay as they were (zero)
  }
  valid_[k] = ok ? 1 : 0;
  if (!ok) return;
  maxRadius_ = std::max(maxRadius_, radius);
  ++validCount_;
}

void GraphSurface4D::Compute(int32_t budget) {
  if (colourDue_) {
    // No GPU programs here (the surface draws with client arrays): modes 9 and 10 stay on the CPU,
    // their functions compiled. A preparation that makes none drafts nothing: all of it is the main
    // thread's, and is done whole.
    OnMainThread([this] { PrepareColorShaderPrograms(color_, nullptr, 1, context_); });
    colourDue_ = 0;
    if (color_->mode != arraysMode_) Allocate();  // a colour that came on a program of its own
  }
  if (valid_ == nullptr || complete_ || budget <= 0) return;
  const uint32_t deadline = ComputeDeadline(budget);
  const double uStart = *uMin_, du = (*uMax_ - uStart) / (n_ - 1);
  const double vStart = *vMin_, dv = (*vMax_ - vStart) / (n_ - 1);
  CubeAxis axes[4];
  CubeAxesOf(*projection_, axes);
  PrepareSampleGrid(uStart, vStart, du, dv, n_, n_, evalContext_);
  while (row_ < n_ && !DeadlineReached(ElapsedTimerUnits(), deadline)) {
    // (row_, column_) is the last sample taken; the next one becomes so once it is computed.
    int32_t row = row_, column = column_ + 1;
    if (column >= n_) {
      column = 0;
      ++row;
    }
    // u and v as the grid point takes them.
    if (row < n_) ComputeSample(row, column, std::fma(row, du, uStart), std::fma(column, dv, vStart), axes);
    row_ = row, column_ = column;
  }
  if (!hasDerivatives_) analyticNormals_ = 0;
  if (row_ < n_) return;
  triangleCount_ = BuildSurfaceTriangles(valid_, n_, arraysMode_, triangles_);
  complete_ = 1;
}

void GraphSurface4D::ProjectSamples() {
  const int32_t copies = SurfaceVertexCopies(arraysMode_);
  const int32_t samples = n_ * n_;
  for (int32_t k = 0; k < samples; ++k) {
    double drawn[3], unusedDepth = 0.0;
    float normal[3] = {0, 0, 0};
    Project4DPoint(*projection_, cube_ + 4 * k, drawn, &unusedDepth);
    if (hasDerivatives_) {
      const float* s = slopes_ + 8 * k;
      const double du[4] = {s[0], s[1], s[2], s[3]}, dv[4] = {s[4], s[5], s[6], s[7]};
      double a[3], b[3];
      Project4DDirection(*projection_, du, a);
      Project4DDirection(*projection_, dv, b);
      const double m[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
      UnitNormal(m, normal);  // (0, 0, 0) without one: taken from the neighbours below
    }
    for (int c = 0; c < copies; ++c) {
      float* vertex = vertices_ + 3 * (copies * k + c);
      float* out = normals_ + 3 * (copies * k + c);
      for (int axis = 0; axis < 3; ++axis) {
        vertex[axis] = std::isfinite(drawn[axis]) ? float(drawn[axis]) : 0.0f;
        out[axis] = normal[axis];
      }
    }
  }
  // Samples without a usable normal take one from their neighbours, as drawn this pass.
  FiniteDifferenceNormals(vertices_, valid_, n_, copies, normals_);
}

bool GraphSurface4D::Draw() {
  if (valid_ == nullptr || !complete_ || color_ == nullptr || color_->mode == kColorNoFill || triangleCount_ == 0) {
    return true;
  }
  ProjectSamples();
  const uint32_t mode = arraysMode_;
  bool fixed = mode == kColorFixed;
  if (mode == kColorTexture && !SyncColorTextureWithContext(color_)) {
    color_->rgb = kFallbackTextureRGB;
    fixed = true;
  }
  if (fixed) {
    SetGLMaterialColor(color_->rgb, context_);
  } else if (mode == kColorTexture) {
    BindGLTexture(color_->texture, context_);
    SetGLTexCoordArray(texCoords_, context_);
  } else {
    SetGLColorArray(colors_, context_);
  }
  SetQDOpacity(float(opacity_), context_);
  SetGLVertexArray(vertices_, VertexCount(), context_);
  SetGLNormalArray(normals_, context_);
  DrawGLTriangleElements(triangles_, triangleCount_, context_);
  DisableNormalArray(context_);
  if (!fixed) {
    if (mode == kColorTexture) {
      DisableGLTextureArray(context_);
    } else {
      DisableGLColorArray(context_);
    }
  }
  SetQDOpacity(1.0f, context_);  // the next graph's triangles are its own
  return true;
}

int32_t GraphSurface4D::Status() { return valid_ == nullptr || validCount_ == 0 ? kMessageUndefinedForRanges : 0; }

void GraphSurface4D::VariableChanged(int32_t symbol, double) {
  ForgetBindingsOf(derivative_, 8, symbol);  // they depend when their functions do
  CompiledFunction* const shape[5] = {function_[0], function_[1], function_[2], function_[3], condition_};
  bool depends = ForgetBindingsOf(shape, 5, symbol);
  if (color_ != nullptr) {
    // The colour's expressions hold parameter values of their own: the new value must reach them.
    InvalidateColorFunctions(color_);
    depends = depends || ColorUsesVariable(color_, symbol);
  }
  if (depends) Reset();
}

void GraphSurface4D::SetOption(int32_t code, double value) {
  switch (code) {
    case 7:
      opacity_ = value;
      break;
    case 6: {
      if (color_ == nullptr) break;
      const uint32_t oldMode = color_->mode;
      SetGraphColorIndex(color_, value);
      BrightenGraphColor(color_);
      if (oldMode == kColorFixed && color_->mode == kColorFixed) break;  // the samples stand
      Allocate();
      if (color_->mode != kColorTexture) ComputeInTurns(this, int32_t(TicksToTimerUnits(kRecolourTicks)));
      break;
    }
    case 8:
      n_ = SurfaceGridOfGrain(value, kMaxGrid);
      Allocate();
      break;
    default:
      break;
  }
}

bool GraphSurface4D::IsComplete() { return !colourDue_ && (valid_ == nullptr || complete_ != 0); }

double GraphSurface4D::Extent() { return maxRadius_; }

GraphKind4D* NewSurface4DGraph(CompiledFunction* x, CompiledFunction* y, CompiledFunction* z, CompiledFunction* w,
                               double grain, double opacity, GraphColor* color, CompiledFunction* condition,
                               const double* uMin, const double* uMax, const double* vMin, const double* vMax,
                               GraphicsContext* context, const Projection4D* projection) {
  return new (std::nothrow)
      GraphSurface4D(x, y, z, w, grain, opacity, color, condition, uMin, uMax, vMin, vMax, context, projection);
}
