// The colour programs: the bridge between a graph's colour and the ARB programs. Colour expressions
// (mode 9 or 10) or a condition get a generated fragment program, paired with the fixed lighting
// vertex program and test-loaded in the colour's context; mode 9 or 10 then becomes 11. A
// preparation is drafted where the graph computes (the text's folded constants and the parameter
// values cost what the document sets) and only installed on the main thread; the shading passes
// load the stored values. Programs and texture belong to the GL context they were made in.
// Invariants: mode 11 exactly while both programs exist for expressions; whenever no program is
// produced the old ones and their parameters are gone; a colour entering in mode 11 is its saved
// mode; a draft is installed only in the context state it was drafted for.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/colour/graph_color_core.h"

struct CompiledFunction;
struct GraphicsContext;
struct PlatformGLContext;

// What a preparation must know of the colour's context: which it is, whether it takes programs,
// and whether an HSV program writes floats for the overlay pass instead of converting to RGB.
struct ColorProgramTarget {
  int32_t kind = 0;
  PlatformGLContext* handle = nullptr;
  uint8_t capable = 0;
  uint8_t floatOutput = 1;
};
// Main thread: makes the context current to read its extensions (the caller's current context comes
// back). A null context is kind 0 and not capable.
ColorProgramTarget ReadColorProgramTarget(GraphicsContext* context);

// The evaluating half of a preparation. It owns its text, parameter functions and values until
// InstallColorPrograms takes them; what is left goes with it, also when an evaluation unwinds
// through DraftColorPrograms.
struct ColorProgramDraft {
  ColorProgramDraft() = default;
  ~ColorProgramDraft();
  ColorProgramDraft(const ColorProgramDraft&) = delete;
  ColorProgramDraft& operator=(const ColorProgramDraft&) = delete;

  ColorProgramTarget target;
  uint8_t complete = 0;  // every parameter function and the values' block were had
  std::string text;  // empty: none generated, or the expressions need the CPU
  FunctionArray* parameters = nullptr;
  double* values = nullptr;  // laid out as GraphColorCore::parameterValues
};

// Any thread, no GL; the colour is only read. gpuMode is the graph's GPU colouring setting: 1 means
// no GPU programs, 0 and 2 allow them; the condition (the restriction under which the graph is
// drawn) may be null. For the colour in its own mode (11 read as its saved mode) generates the
// text, compiles the parameter functions it reads and, when a program can come of them, evaluates
// them at 0: every evaluation of a preparation is here. Nothing is generated with gpuMode 1, for a
// colour whose programs are to go (the target cannot take them), or when the target is not capable
// and no capture is requested.
void DraftColorPrograms(const GraphColorCore* color, const CompiledFunction* condition, int32_t gpuMode,
                        const ColorProgramTarget& target, ColorProgramDraft* draft);
// Main thread. False, with nothing changed, when the context is no longer the draft's target.
// Otherwise a requested capture takes a generated text (even without shader support), the
// programs are made and test-loaded in the context with the draft's parameters and values taken
// over, and mode 9 or 10 becomes 11; when none is made the old programs and parameters go, and in
// mode 9 or 10 (the CPU path) the three component functions are compiled. True.
bool InstallColorPrograms(GraphColorCore* color, ColorProgramDraft* draft, GraphicsContext* context);
// The target read, the draft made and installed, all on the calling thread: for callers that
// compute at one go (the tests, the bench) and for the drops of the context syncs (gpuMode 1 drafts
// nothing, so nothing is evaluated).
void PrepareColorShaderPrograms(GraphColorCore* color, const CompiledFunction* condition, int32_t gpuMode,
                                GraphicsContext* context);

// Every parameter function evaluated afresh at 0 into the second half of the values' block, then
// the values replaced whole and the stale mark cleared: an evaluation that unwinds leaves both as
// they were. Nothing without parameters.
void EvaluateColorParameters(GraphColorCore* color);
// The parameter functions that mention the symbol forget their bindings, and the values become
// stale. True when some did.
bool ForgetColorParameterBindings(GraphColorCore* color, int32_t symbol);
// Binds both programs for two-sided shading (material white in mode 11) and loads the stored
// values: parameter k goes to component k mod 4 of program.local[k div 4], the last group padded
// with zeros. Evaluates nothing. False when a program is unusable.
bool BeginColorShadingPass(GraphColorCore* color, GraphicsContext* context);
// Modes 9, 10 and 11: some component function depends on the symbol.
bool ColorUsesVariable(const GraphColorCore* color, int32_t symbol);
// Modes 9 and 10: the component functions evaluate their bindings again.
void InvalidateColorFunctions(GraphColorCore* color);
// True when the colour's context has a kind and is the one its resources were made in. Otherwise
// (kind 0 aside) the resources of the old context are released, the programs dropped, and false.
bool SyncColorShadersWithContext(GraphColorCore* color);
// True when the texture is a live texture of the colour's current context. Otherwise (kind 0
// aside) the old texture goes with its context, programs of an older context are dropped, and
// the texture is made again from the picture: true when that gave one.
bool SyncColorTextureWithContext(GraphColorCore* color);
