// The colour and condition services of the two surface kinds, and their mesh drawing.
#include "graphs/view3d/surface_shading.h"

#include <algorithm>
#include <cmath>

#include "graphics/colour/colour_shader_programs.h"
#include "graphics/gl/gl_mesh.h"
#include "graphics/gl/graphics_context.h"
#include "graphics/gl/mesh_drawing.h"
#include "graphics/gl/gl_material.h"
#include "graphs/core/graph_color.h"
#include "graphs/core/graph_kind.h"
#include "kernel/eval/compiled_function.h"

namespace {

constexpr uint32_t kNotReadyGrey = 0x333333;

// What a parameter change does to the condition besides the geometry: a clip-plane condition that
// mentions the symbol gets its plane again ((0, 0, 0, -1), clipping everything, once it is no
// longer linear); with a colour program the GPU evaluates the condition. True when only what the
// GPU draws changed, false when the condition does not mention the symbol.
bool ConditionChangeIsDrawnOnly(SurfaceClip* clip, const CompiledFunction* condition, const GraphColor* color,
                                int32_t symbol) {
  if (condition == nullptr || !FunctionDependsOnSymbol(condition, symbol)) return false;
  if (clip->active) {
    double* p = clip->plane;
    if (!GetLinearInequalityPlane(condition, &p[0], &p[1], &p[2], &p[3])) {
      p[0] = p[1] = p[2] = 0.0;
      p[3] = -1.0;
    }
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

void PrepareSurfaceColour(GraphColor* color, const CompiledFunction* condition, int32_t plottingMode,
                          GraphicsContext* context, PreparedColourContext* prepared) {
  PrepareColorShaderPrograms(color, condition, plottingMode, context);
  prepared->kind = GLContextKind(context);
  prepared->handle = GLContextHandle(context);
}

void ChangeSurfacePlottingMode(double value, int32_t* plottingMode, GraphColor* color,
                               const CompiledFunction* condition, SurfaceClip* clip, GLMesh* mesh,
                               GraphicsContext* context, PreparedColourContext* prepared) {
  if (value == 0.0 || value == 1.0 || value == 2.0) *plottingMode = int32_t(value);
  PrepareSurfaceColour(color, condition, *plottingMode, context, prepared);
  if (condition != nullptr) DecideClipPlane(clip, condition, color, context);
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
  clip->active = 0;
  if (condition == nullptr || ColourHasProgram(color) || context == nullptr || !IsGLContextKind(context)) return;
  double* p = clip->plane;
  clip->active = GetLinearInequalityPlane(condition, &p[0], &p[1], &p[2], &p[3]) ? 1 : 0;
}


SurfaceChange SurfaceVariableChange(CompiledFunction* const* functions, int32_t count, CompiledFunction* condition,
                                    GraphColor* color, SurfaceClip* clip, int32_t symbol, uint8_t* drawnOnly) {
  const bool geometry = ForgetBindingsOf(functions, count, symbol);
  const bool conditionDepends = ForgetBindingsOf(&condition, 1, symbol);
  InvalidateColorFunctions(color);
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
  if (ColourHasProgram(color) && !SyncColorShadersWithContext(color)) {
    SetGLMaterialColor(kNotReadyGrey, context);
    return plottingMode;
  }
  if (clip.active) SetGLClipPlane(clip.plane[0], clip.plane[1], clip.plane[2], clip.plane[3], context);
  int32_t next = -1;
  if (!ColourHasProgram(color)) {
    DrawGLMesh(mesh);
    if (ColourContextChanged(color, condition, prepared, context)) next = plottingMode;
  } else {
    if (BeginColorShadingPass(color, context)) {
      DrawGLMesh(mesh);
      FlipTwoSidedShading(context);
      DrawGLMesh(mesh);
    } else {
      next = 1;
    }
    EndTwoSidedShading(context);
  }
  if (clip.active) DisableGLClipPlane(context);
  return next;
}
