// What the parametric and the implicit surface share about their colour and their condition: the
// preparation of the colour's programs and the context it was made for, the clip plane a linear
// condition becomes, what a parameter change or a new plotting mode asks of them, and the drawing of
// a finished mesh. What evaluates (program constants, parameter values, plane coefficients) runs
// only inside Compute; options, parameter changes and drawing mark it due. Invariant: a clip plane
// is active only on a GL context, for a condition the GPU does not evaluate, with a linear plane.
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

// The condition a surface may draw as a GL clip plane, with its plane a x + b y + c z + d >= 0.
struct SurfaceClip {
  uint8_t active = 0;
  uint8_t planeDue = 0;  // a parameter of the condition changed: RefreshSurfaceDrawing works it out
  double plane[4] = {0, 0, 0, 0};
};

// The context a surface's colour programs were last prepared in, and the preparations asked for (a
// new surface, plotting mode, colour index or context asks) and done: one is due while they differ.
struct PreparedColourContext {
  int32_t kind = -1;
  const void* handle = nullptr;
  uint32_t asked = 1;
  uint32_t done = 0;
};
inline bool SurfaceColourDue(const PreparedColourContext& prepared) { return prepared.asked != prepared.done; }
inline void AskSurfaceColour(PreparedColourContext* prepared) { ++prepared->asked; }
// Inside the surface's Compute: the preparation due, drafted on this thread (every evaluation of it)
// between two calls to the main thread, which reads the context's target before and makes the
// programs after, noting the context. True once done. False, with nothing changed and the
// preparation still due, when it was asked for again (a Draw met another context) or the context
// changed while the draft lay suspended; a Compute abandoned in the draft leaves nothing either.
bool PrepareSurfaceColour(GraphColor* color, const CompiledFunction* condition, int32_t plottingMode,
                          GraphicsContext* context, PreparedColourContext* prepared);
// What a surface's plotting mode option (code 0) shares: a value of 0, 1 or 2 is stored in
// *plottingMode (others leave it), a preparation of the colour is asked for, and the mesh's colours
// are detached. The surface then prepares its functions again and starts over; its Compute
// prepares the colour and then decides the clip plane.
void ChangeSurfacePlottingMode(double value, int32_t* plottingMode, GLMesh* mesh, PreparedColourContext* prepared);
// The view's context changed kind or GL context since then, and the colour could run on a program
// (colour expressions or a condition): the programs must be prepared again for it (going to the
// software kind they fall back to the CPU, coming back to GL they are made again).
bool ColourContextChanged(const GraphColor* color, const CompiledFunction* condition,
                          const PreparedColourContext& prepared, const GraphicsContext* context);

// Active when there is a condition, the colour has no program, the context is a GL kind and the
// condition is a linear inequality (its plane stored); otherwise inactive. Evaluates the plane's
// constant coefficients, so only inside Compute; the record is written whole, after them.
void DecideClipPlane(SurfaceClip* clip, const CompiledFunction* condition, const GraphColor* color,
                     const GraphicsContext* context);
// Inside Compute, what a parameter change left for the drawing: the colour's stale parameter values
// and an active clip plane that is due ((0, 0, 0, -1), clipping everything, once its condition is no
// longer linear), each worked out afresh and stored whole.
void RefreshSurfaceDrawing(GraphColor* color, const CompiledFunction* condition, SurfaceClip* clip);

// What a parameter change asks of a surface.
enum class SurfaceChange {
  kNothing,
  kGeometry,    // a coordinate function or a condition evaluated per sample mentions it
  kCpuColours,  // only colour expressions evaluated on the CPU mention it
};
// The surfaces' VariableChanged: the constants of the functions, the condition and the colour are
// to be evaluated afresh; what the symbol reaches decides the answer. A change that only what the
// GPU draws shows (a colour program's parameters, a clip plane, a condition on the GPU) sets
// *drawnOnly (and leaves it otherwise), leaving the values and the plane for RefreshSurfaceDrawing.
// Evaluates nothing.
SurfaceChange SurfaceVariableChange(CompiledFunction* const* functions, int32_t count, CompiledFunction* condition,
                                    GraphColor* color, SurfaceClip* clip, int32_t symbol, uint8_t* drawnOnly);

// The condition is evaluated per sample: there is one, it is no clip plane, and the colour has no
// program.
bool ConditionIsSampled(const SurfaceClip& clip, const CompiledFunction* condition, const GraphColor* color);

// Draws a surface's mesh: the opacity to the context, the clip plane while active, then without a
// colour program one draw, with one the two-sided shading passes (front, then back after the
// flip, loading the stored parameter values), and the clip plane off again. The caller has set the
// material or texture. Returns the plotting mode the surface is to be set to next (its option 0),
// or -1 for none: 1 when the shading pass could not start (no GPU program from then on); its own
// mode when its programs must be made for the context now in use (gone with the old context,
// nothing drawn this time; or drawn from the CPU's colours, which a GL context now in use may take
// over). Never while a preparation is due: that one is made for the context in use when it comes.
int32_t DrawSurfaceMesh(GLMesh* mesh, GraphColor* color, const CompiledFunction* condition, double opacity,
                        const SurfaceClip& clip, const PreparedColourContext& prepared, int32_t plottingMode,
                        GraphicsContext* context);
