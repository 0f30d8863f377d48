// GraphImplicitSurface3D: the builder run under the budget, the partial and final hand-overs of the
// mesh, the vertex colours of the expression modes, the verdict by interval arithmetic on a build
// that found nothing (worked out once, in the computing; the status reads it), and the drawing
// shared with the parametric surface.
#include "graphs/view3d/implicit_surface_3d.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphics/colour/colour_shader_programs.h"
#include "graphics/gl/gl_material.h"
#include "graphs/core/compute_worker.h"
#include "graphs/core/graph_color.h"
#include "graphs/core/surface_grid.h"
#include "kernel/application_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/threads/timers.h"

namespace {

constexpr int32_t kMessageNeverSatisfied = 6;
constexpr int32_t kMessageNotSatisfiedInRanges = 12;
constexpr int32_t kMessageNoSurfaceFound = 13;
constexpr uint32_t kUncolouredGrey = 0x808080;
constexpr uint32_t kProgressUploadTicks = 60;

RealEvaluator Evaluator(CompiledFunction* f) {
  return f != nullptr ? CompiledFunctionEvaluator(f) : RealEvaluator{nullptr, nullptr};
}

// The interval of f over the box lies wholly on one side of 0.
bool OneSign(CompiledFunction* f, double xLo, double xHi, double yLo, double yHi, double zLo, double zHi) {
  double lo, hi;
  EvaluateIntervalXYZ(f, xLo, xHi, yLo, yHi, zLo, zHi, &lo, &hi);
  return hi < 0.0 || lo > 0.0;
}

}  // namespace

GraphImplicitSurface3D::GraphImplicitSurface3D(CompiledFunction* f, double grain, double opacity, GraphColor* color,
                                               CompiledFunction* condition, const double* xMin, const double* xMax,
                                               const double* yMin, const double* yMax, const double* zMin,
                                               const double* zMax, GraphicsContext* context)
    : function_(f),
      condition_(condition),
      grain_(grain),
      color_(color),
      context_(context),
      opacity_(opacity),
      bounds_{xMin, xMax, yMin, yMax, zMin, zMax} {
  nextProgressUpload_ = ElapsedTimerUnits() + TicksToTimerUnits(kProgressUploadTicks);
  Prepare();
  BrightenGraphColor(color_);
  colorOnlyChanged_ = 0;
  prepared_ = 0;
}

GraphImplicitSurface3D::~GraphImplicitSurface3D() {
  FreeColors();
  FreePools();
  builder_.FreeCaches();
  DestroyGLMesh(&mesh_);
  FreeGradient();
  DeleteCompiledFunction(function_);
  DeleteCompiledFunction(condition_);
  delete color_;
}

void GraphImplicitSurface3D::FreeGradient() {
  for (CompiledFunction*& g : gradient_) {
    DeleteCompiledFunction(g);
    g = nullptr;
  }
}

void GraphImplicitSurface3D::Prepare() {
  FreeGradient();
  if (function_ != nullptr && HasOnlySmoothOperators(function_)) {
    const int32_t axis[3] = {'x', 'y', 'z'};
    for (int c = 0; c < 3; ++c) gradient_[c] = NewDerivativeFunction(function_, axis[c]);
    if (gradient_[0] == nullptr || gradient_[1] == nullptr || gradient_[2] == nullptr) FreeGradient();
  }
  if (gradient_[0] != nullptr) {
    CompileFunctions4(function_, gradient_[0], gradient_[1], gradient_[2]);
  } else if (function_ != nullptr) {
    CompileFunction(function_);
  }
  if (condition_ != nullptr) CompileFunction(condition_);
}

void GraphImplicitSurface3D::FreePools() {
  ChunkPoolClear(vertexPool_);
  ChunkPoolClear(trianglePool_);
}

void GraphImplicitSurface3D::FreeColors() {
  FreeMemory(vertexColors_);
  vertexColors_ = nullptr;
  coloredCount_ = 0;
}

void GraphImplicitSurface3D::Box(double box[6]) const {
  for (int c = 0; c < 6; ++c) box[c] = *bounds_[c];
}

bool GraphImplicitSurface3D::ColoursNeeded() const {
  return color_->mode == kColorRGBExpressions || color_->mode == kColorHSVExpressions;
}

void GraphImplicitSurface3D::Reset() {
  builder_.FreeCaches();
  FreePools();
  // A new build evaluates the constant parts afresh: a value cached while memory was refused is NaN.
  CompiledFunction* const functions[5] = {function_, gradient_[0], gradient_[1], gradient_[2], condition_};
  ForgetCachedConstants(functions, 5);
  ++meshSerial_;
  buildFinished_ = 0;
  buildFailed_ = 0;
  verdict_ = NoSurfaceVerdict::kDue;
  n_ = GrainSize(grain_, 36.0, 4.0, 1, kMaxImplicitGrid);
  Box(box_);
  field_.value = Evaluator(function_);
  for (int c = 0; c < 3; ++c) field_.gradient[c] = Evaluator(gradient_[c]);
  field_.condition = Evaluator(ConditionIsSampled(clip_, condition_, color_) ? condition_ : nullptr);
  if (function_ == nullptr || !builder_.Start(n_, box_, field_)) buildFailed_ = 1;  // error 7 posted
}

void GraphImplicitSurface3D::Compute(int32_t budget) {
  if (SurfaceColourDue(preparedContext_)) {
    // Made whole or not at all: a Compute abandoned in the draft, or one whose draft a new request
    // overtook, prepares again.
    const bool hadProgram = ColourHasProgram(color_);
    if (!PrepareSurfaceColour(color_, condition_, plottingMode_, context_, &preparedContext_)) return;
    if (ColourHasProgram(color_) != hadProgram) prepared_ = 0;  // the condition moves to or from the GPU
  }
  if (!prepared_) {
    // Marked done only once all of it is: a Compute abandoned in an evaluation of the plane's
    // constants decides again.
    DecideClipPlane(&clip_, condition_, color_, context_);
    Invalidate();
    prepared_ = 1;
  }
  RefreshSurfaceDrawing(color_, condition_, &clip_);
  colorOnlyChanged_ = 0;
  if (complete_ || buildFailed_) return;
  const uint32_t deadline = ComputeDeadline(budget);
  if (!buildFinished_) {
    const MeshBuildProgress progress = builder_.Build(deadline, vertexPool_, trianglePool_);
    if (progress == MeshBuildProgress::kFailed) {
      PostError(kErrorOutOfMemory);
      FreePools();
      buildFailed_ = 1;
      return;
    }
    buildFinished_ = progress == MeshBuildProgress::kFinished ? 1 : 0;
  }
  if (!buildFinished_) {
    // The partial mesh, at most once a second and never while the benchmark measures.
    const uint32_t now = ElapsedTimerUnits();
    if (progressUploads_ && DeadlineReached(now, nextProgressUpload_) && !IsBenchmarkRunning()) {
      OnMainThread([this] {
        UpdateGLMeshData(&mesh_, vertexPool_, trianglePool_, nullptr, ColourHasProgram(color_) ? 1 : 0, context_);
      });
      nextProgressUpload_ = now + TicksToTimerUnits(kProgressUploadTicks);
    }
    return;
  }
  if (verdict_ == NoSurfaceVerdict::kDue) DecideNoSurfaceVerdict();
  const bool coloured = !ColoursNeeded() || ColourVertices(deadline);
  if (buildFailed_) return;
  if (!coloured) return;
  if (!uploaded_ && progressUploads_) {
    OnMainThread([this] {
      UpdateGLMeshData(&mesh_, vertexPool_, trianglePool_, vertexColors_, ColourHasProgram(color_) ? 1 : 0, context_);
    });
    uploaded_ = 1;
    progressUploads_ = 0;
    fullUploadDue_ = 0;
    colorsDirty_ = 0;  // they went with the mesh
  }
  complete_ = 1;
}

void GraphImplicitSurface3D::DecideNoSurfaceVerdict() {
  // Worked out into a local and stored once: a Compute abandoned in an interval evaluation leaves
  // the verdict due, and the next one starts it over.
  NoSurfaceVerdict verdict = NoSurfaceVerdict::kSurface;
  if (TriangleCount() == 0 && function_ != nullptr) {
    constexpr double inf = kPositiveInfinity;
    if (OneSign(function_, -inf, inf, -inf, inf, -inf, inf)) {
      verdict = NoSurfaceVerdict::kNeverSatisfied;
    } else if (OneSign(function_, box_[0], box_[1], box_[2], box_[3], box_[4], box_[5])) {
      verdict = NoSurfaceVerdict::kNotSatisfiedInRanges;
    } else {
      verdict = NoSurfaceVerdict::kNoSurfaceFound;
    }
  }
  verdict_ = verdict;
}

bool GraphImplicitSurface3D::ColourVertices(uint32_t deadline) {
  const int32_t count = VertexCount();
  if (vertexColors_ == nullptr && count > 0) {
    vertexColors_ = static_cast<float*>(AllocMemory(12 * size_t(count)));
    if (vertexColors_ == nullptr) {
      PostError(kErrorOutOfMemory);
      FreePools();
      buildFailed_ = 1;
      return false;
    }
    coloredCount_ = 0;
  }
  while (coloredCount_ < count) {
    const double* p = ChunkPoolAt(vertexPool_, coloredCount_)->position;
    const double args[6] = {0.0, 0.0, p[0], p[1], p[2], 0.0};
    SurfaceExpressionColor(color_, args, vertexColors_ + 3 * size_t(coloredCount_));
    ++coloredCount_;
    if (DeadlineReached(ElapsedTimerUnits(), deadline)) break;
  }
  return coloredCount_ == count;
}

bool GraphImplicitSurface3D::Draw() {
  if (color_->mode == kColorNoFill || buildFailed_ || !MeshHasData(&mesh_)) return true;
  if (color_->mode == kColorFixed) {
    SetGLMaterialColor(color_->rgb, context_);
  } else if (vertexColors_ == nullptr || !buildFinished_ || coloredCount_ < VertexCount()) {
    SetGLMaterialColor(kUncolouredGrey, context_);
  }
  const int32_t mode = DrawSurfaceMesh(&mesh_, color_, condition_, opacity_, clip_, preparedContext_, plottingMode_,
                                       context_);
  if (mode >= 0) SetOption(0, double(mode));
  return true;
}

int32_t GraphImplicitSurface3D::Status() {
  if (buildFailed_) return kMessageUndefinedForRanges;
  // 0 while the build runs and until its verdict is in: the verdicts are for a finished build that
  // found no triangle, and would otherwise flash a message over a surface still being found.
  switch (verdict_) {
    case NoSurfaceVerdict::kNeverSatisfied:
      return kMessageNeverSatisfied;
    case NoSurfaceVerdict::kNotSatisfiedInRanges:
      return kMessageNotSatisfiedInRanges;
    case NoSurfaceVerdict::kNoSurfaceFound:
      return kMessageNoSurfaceFound;
    case NoSurfaceVerdict::kDue:
    case NoSurfaceVerdict::kSurface:
      break;
  }
  return 0;
}

void GraphImplicitSurface3D::VariableChanged(int32_t symbol, double) {
  CompiledFunction* const functions[4] = {function_, gradient_[0], gradient_[1], gradient_[2]};
  switch (SurfaceVariableChange(functions, 4, condition_, color_, &clip_, symbol, &colorOnlyChanged_)) {
    case SurfaceChange::kGeometry:
      Invalidate();
      break;
    case SurfaceChange::kCpuColours:  // only the colours are redone; the mesh stays
      coloredCount_ = 0;
      complete_ = 0;
      colorsDirty_ = 1;
      ++colorSerial_;
      break;
    case SurfaceChange::kNothing:
      break;
  }
}

void GraphImplicitSurface3D::SetOption(int32_t code, double value) {
  switch (code) {
    case 0:
      ChangeSurfacePlottingMode(value, &plottingMode_, &mesh_, &preparedContext_);
      Prepare();
      prepared_ = 0;  // the clip plane and a new build, after the colour
      Invalidate();
      break;
    case 5:
      if (!complete_ && !buildFailed_) break;
      if (buildFailed_) {
        DestroyGLMesh(&mesh_);
      } else if (fullUploadDue_) {
        UpdateGLMeshData(&mesh_, vertexPool_, trianglePool_, vertexColors_, ColourHasProgram(color_) ? 1 : 0,
                         context_);
      } else if (colorsDirty_ && ColoursNeeded()) {
        SetGLMeshColors(&mesh_, vertexColors_);
      }
      fullUploadDue_ = colorsDirty_ = 0;
      break;
    case 6:
      SetGraphColorIndex(color_, value);
      BrightenGraphColor(color_);
      // Prepared again whether or not there is a condition: a program made for colour
      // expressions must not outlive them.
      AskSurfaceColour(&preparedContext_);
      break;
    case 7:
      opacity_ = value;
      break;
    case 8:
      grain_ = value;
      Invalidate();
      break;
    default:
      break;
  }
}

void GraphImplicitSurface3D::Invalidate() {
  FreeColors();
  Reset();
  complete_ = 0;
  uploaded_ = 0;
  fullUploadDue_ = 1;
  colorsDirty_ = 1;
}

double GraphImplicitSurface3D::Extent() { return std::sqrt(12.0); }

GraphKind3D* NewImplicitSurface3DGraph(CompiledFunction* f, double grain, double opacity, GraphColor* color,
                                       CompiledFunction* condition, const double* box, GraphicsContext* context) {
  return new (std::nothrow) GraphImplicitSurface3D(f, grain, opacity, color, condition, box, box + 1, box + 2,
                                                   box + 3, box + 4, box + 5, context);
}
