// The colour programs: the bridge between a graph's colour and the ARB programs. A colour of
// expressions (mode 9 or 10) or a colour with a condition gets a generated fragment program,
// paired with the fixed lighting vertex program, test-loaded in the colour's context; mode 9 or 10
// then becomes 11 (savedMode remembers which). Before each shading pass the parameter functions
// are evaluated and fed four to a program.local. Programs and the texture belong to the GL context
// they were made in: a change of context drops them, and they are made again in the new one.
// Invariants: mode 11 exactly while both programs exist for expressions; whenever no program is
// produced the old ones and their parameters are gone; a colour entering in mode 11 is treated as
// its saved mode, so its expressions are never lost.
#pragma once

#include <cstdint>

#include "graphics/colour/graph_color_core.h"

struct CompiledFunction;
struct GraphicsContext;

// gpuMode is the graph's GPU colouring setting: 1 means no GPU programs, 0 and 2 allow them. The
// condition (the restriction under which the graph is drawn) may be null. The context is made
// current for the test load (the caller's current context comes back afterwards). A capture
// requested in ColorProgramGlobals takes the generated text even without shader support, but a
// colour that has programs and is to lose them (gpuMode 1, or no shader support) only drops them.
// In mode 9 or 10 afterwards (the CPU path), the three component functions are compiled.
void PrepareColorShaderPrograms(GraphColorCore* color, const CompiledFunction* condition, int32_t gpuMode,
                                GraphicsContext* context);
// Binds both programs for two-sided shading (material white in mode 11) and feeds the parameter
// values, each evaluated afresh at 0: parameter k goes to component k mod 4 of
// program.local[k div 4], the last group padded with zeros. False when a program is unusable.
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
