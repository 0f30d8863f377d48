// What the parametric and the implicit surface share about their colour and their condition: whether
// the colour runs on a GPU program, the clip plane a linear condition becomes, the CPU colour of
// the expression modes, unit normals from doubles, and the drawing of a finished surface mesh
// (opacity, clip plane, one plain draw or the two GPU shading passes).
// Invariants: a normal stored by UnitNormal is unit or (0, 0, 0), never NaN; an expression colour
// is three finite values in [0, 1]; a clip plane is active only on a GL context, for a condition
// the GPU does not evaluate, with the four coefficients of a linear inequality.
#pragma once

#include <cstdint>

class GraphColor;
struct CompiledFunction;
struct GLMesh;
struct GraphicsContext;

// The colour has its fragment and vertex program (mode 11, or a condition drawn on the GPU).
bool ColourHasProgram(const GraphColor* color);
// A surface draws in the overlay pass: its colour runs on a program and was hue, saturation, value.
bool IsSurfaceTransparent(const GraphColor* color);

// The context a surface's colour programs were last prepared in.
struct PreparedColourContext {
  int32_t kind = -1;
  const void* handle = nullptr;
};
// PrepareColorShaderPrograms for the surface, noting the context.
void PrepareSurfaceColour(GraphColor* color, const CompiledFunction* condition, int32_t plottingMode,
                          GraphicsContext* context, PreparedColourContext* prepared);
// The view's context changed kind or GL context since then, and the colour could run on a program
// (colour expressions or a condition): the programs must be prepared again for it (going to the
// software kind they fall back to the CPU, coming back to GL they are made again).
bool ColourContextChanged(const GraphColor* color, const CompiledFunction* condition,
                          const PreparedColourContext& prepared, const GraphicsContext* context);

// The condition a surface may draw as a GL clip plane, with its plane a x + b y + c z + d >= 0.
struct SurfaceClip {
  uint8_t active = 0;
  double plane[4] = {0, 0, 0, 0};
};
// Active when there is a condition, the colour has no program, the context is a GL kind and the
// condition is a linear inequality (its plane stored); otherwise inactive.
void DecideClipPlane(SurfaceClip* clip, const CompiledFunction* condition, const GraphColor* color,
                     const GraphicsContext* context);
// What a parameter change does to the condition besides the geometry: a clip-plane condition that
// mentions the symbol gets its plane again ((0, 0, 0, -1), clipping everything, once it is no
// longer linear); with a colour program the GPU evaluates the condition. True when only what the
// GPU draws changed (the surface's colorOnlyChanged), false when the condition does not mention it.
bool ConditionChangeIsDrawnOnly(SurfaceClip* clip, const CompiledFunction* condition, const GraphColor* color,
                                int32_t symbol);
// The condition is evaluated per sample: there is one, it is no clip plane, and the colour has no
// program.
bool ConditionIsSampled(const SurfaceClip& clip, const CompiledFunction* condition, const GraphColor* color);

// Modes 9 and 10 on the CPU: the three colour expressions at (u, v, x, y, z, 0); the second and
// third clamped into [0, 1] (the first too for red, green, blue; NaN counts as 0), hue,
// saturation and value turned into red, green, blue. A missing component counts as 0.
void ExpressionColour(GraphColor* color, double u, double v, double x, double y, double z, float out[3]);
// Hue h at full saturation and value, as floats.
void HueColour(double h, float out[3]);

// n / |n| into out; false (out (0, 0, 0)) when n is not finite or has no length. Scaled first, so
// components near the overflow threshold still give a unit normal.
bool UnitNormal(const double n[3], float out[3]);

enum class SurfaceDrawResult {
  kDrawn,
  kProgramsNotReady,  // the programs are being made for this context: nothing drawn this time
  kPassRefused,       // the shading pass could not start: the caller falls back to plotting mode 1
};
// Draws a surface's mesh: the opacity to the context, the clip plane while active, then without a
// colour program one draw, with one the two-sided shading passes (front, then back after the
// flip), and the clip plane off again. The caller has set the material or texture.
SurfaceDrawResult DrawSurfaceMesh(GLMesh* mesh, GraphColor* color, double opacity, const SurfaceClip& clip,
                                  GraphicsContext* context);
