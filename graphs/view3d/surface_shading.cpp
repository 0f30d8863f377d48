// The colour and condition services of the two surface kinds, and their mesh drawing. A colour's
// preparation is drafted where the surface computes and made on the main thread; a request that
// came while its draft lay suspended wins over the draft.
#include "graphs/view3d/surface_shading.h"

#include <algorithm>
#include <cmath>

#include "graphics/colour/colour_shader_programs.h"
#include "graphics/gl/gl_mesh.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphics/gl/gl_material.h"
#include "graphs/core/compute_worker.h"
#include "graphs/core/graph_color.h"
#include "graphs/core/graph_kind.h"
#include "kernel/eval/compiled_function.h"

namespace {

constexpr uint32_t kNotReadyGrey = 0x333333;

// What a parameter change does to the condition besides the geometry: a clip-plane condition that
// mentions the symbol has its plane due; with a colour program the GPU evaluates the condition.
// True when only what the GPU draws changed, false when the condition does not mention the symbol.
bool ConditionChangeIsDrawnOnly(SurfaceClip* clip, const CompiledFunction* condition, const GraphColor* color,
                                int32_t symbol) {
  if (condition == nullptr || !FunctionDependsOnSymbol(condition, symbol)) return false;
  if (clip->active) {
    clip->planeDue = 1;
    return true;
  }
  return ColourHasProgram(color);
}

}  // namespace

bool ColourHasProgram(const GraphColor* color) {
  return color != nullptr && color->fragmentProgram != nullptr && color->vertexProgram != nullptr;
}

bool IsSurfaceTransparent(const GraphColor* color) {
  return ColourHasProgram(color) && color->savedMode == kColorHSVExpressions;
}

bool PrepareSurfaceColour(GraphColor* color, const CompiledFunction* condition, int32_t plottingMode,
                          GraphicsContext* context, PreparedColourContext* prepared) {
  const uint32_t asked = prepared->asked;
  ColorProgramTarget target;
  OnMainThread([&] { target = ReadColorProgramTarget(context); });
  ColorProgramDraft draft;
  DraftColorPrograms(color, condition, plottingMode, target, &draft);
  bool done = false;
  OnMainThread([&] {
    if (prepared->asked != asked || !InstallColorPrograms(color, &draft, context)) return;
    prepared->kind = context != nullptr ? GLContextKind(context) : kContextNone;
    prepared->handle = context != nullptr ? GLContextHandle(context) : nullptr;
    prepared->done = asked;
    done = true;
  });
  return done;
}

void ChangeSurfacePlottingMode(double value, int32_t* plottingMode, GLMesh* mesh, PreparedColourContext* prepared) {
  if (value == 0.0 || value == 1.0 || value == 2.0) *plottingMode = int32_t(value);
  AskSurfaceColour(prepared);
  SetGLMeshColors(mesh, nullptr);
}

bool ColourContextChanged(const GraphColor* color, const CompiledFunction* condition,
                          const PreparedColourContext& prepared, const GraphicsContext* context) {
  const uint32_t mode = color->mode;
  const bool mayUseProgram = condition != nullptr || mode == kColorRGBExpressions || mode == kColorHSVExpressions ||
                             mode == kColorGPUProgram;
  if (!mayUseProgram || context == nullptr || GLContextKind(context) == kContextNone) return false;
  return prepared.kind != GLContextKind(context) || prepared.handle != GLContextHandle(context);
}

void DecideClipPlane(SurfaceClip* clip, const CompiledFunction* condition, const GraphColor* color,
                     const GraphicsContext* context) {
  double p[4] = {0, 0, 0, 0};
  const bool active = condition != nullptr && !ColourHasProgram(color) && context != nullptr &&
                      IsGLContextKind(context) && GetLinearInequalityPlane(condition, &p[0], &p[1], &p[2], &p[3]);
  if (active) std::copy(p, p + 4, clip->plane);
  clip->active = active ? 1 : 0;
  clip->planeDue = 0;
}

void RefreshSurfaceDrawing(GraphColor* color, const CompiledFunction* condition, SurfaceClip* clip) {
  if (color->parameterValuesStale) EvaluateColorParameters(color);
  if (!clip->planeDue) return;
  if (clip->active) {
    double p[4];
    if (!GetLinearInequalityPlane(condition, &p[0], &p[1], &p[2], &p[3])) {
      p[0] = p[1] = p[2] = 0.0;
      p[3] = -1.0;
    }
    std::copy(p, p + 4, clip->plane);
  }
  clip->planeDue = 0;
}

SurfaceChange SurfaceVariableChange(CompiledFunction* const* functions, int32_t count, CompiledFunction* condition,
                                    GraphColor* color, SurfaceClip* clip, int32_t symbol, uint8_t* drawnOnly) {
  const bool geometry = ForgetBindingsOf(functions, count, symbol);
  const bool conditionDepends = ForgetBindingsOf(&condition, 1, symbol);
  InvalidateColorFunctions(color);
  // The program's parameters (of the expressions or the condition) are loaded as they were stored.
  if (ForgetColorParameterBindings(color, symbol)) *drawnOnly = 1;
  SurfaceChange change = SurfaceChange::kNothing;
  if (geometry || (ConditionIsSampled(*clip, condition, color) && conditionDepends)) {
    change = SurfaceChange::kGeometry;
  } else if (ColorUsesVariable(color, symbol)) {
    if (ColourHasProgram(color)) *drawnOnly = 1;
    else change = SurfaceChange::kCpuColours;
  }
  if (ConditionChangeIsDrawnOnly(clip, condition, color, symbol)) *drawnOnly = 1;
  return change;
}

bool ConditionIsSampled(const SurfaceClip& clip, const CompiledFunction* condition, const GraphColor* color) {
  return condition != nullptr && !clip.active && !ColourHasProgram(color);
}

int32_t DrawSurfaceMesh(GLMesh* mesh, GraphColor* color, const CompiledFunction* condition, double opacity,
                        const SurfaceClip& clip, const PreparedColourContext& prepared, int32_t plottingMode,
                        GraphicsContext* context) {
  SetQDOpacity(float(opacity), context);
  // A preparation due is made for the context in use when it comes; asking again meanwhile would
  // only overtake its draft, frame after frame.
  const bool due = SurfaceColourDue(prepared);
  if (ColourHasProgram(color) && !SyncColorShadersWithContext(color)) {
    SetGLMaterialColor(kNotReadyGrey, context);
    return due ? -1 : plottingMode;
  }
  if (clip.active) SetGLClipPlane(clip.plane[0], clip.plane[1], clip.plane[2], clip.plane[3], context);
  int32_t next = -1;
  if (!ColourHasProgram(color)) {
    DrawGLMesh(mesh);
    if (!due && ColourContextChanged(color, condition, prepared, context)) next = plottingMode;
  } else {
    if (BeginColorShadingPass(color, context)) {
      DrawGLMesh(mesh);
      FlipTwoSidedShading(context);
      DrawGLMesh(mesh);
    } else if (!due) {
      next = 1;
    }
    EndTwoSidedShading(context);
  }
  if (clip.active) DisableGLClipPlane(context);
  return next;
}
