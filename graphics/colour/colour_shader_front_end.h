// The colour-shader compiler front end: decides whether colour expressions can run on the GPU,
// rewrites functions with no GPU instruction into elementary ones, lowers complex arithmetic to
// pairs of real expressions and keeps the real part, then calls the RGB or HSV program builder.
// Invariants: every rule works on copies, so the callers' trees never change; intermediate trees
// are freed on every path; a rule that cannot have its memory leaves the tree as it was, and what
// the generator then cannot translate takes the CPU path (an empty text).
#pragma once

#include <cstdint>
#include <string>

#include "graphics/colour/fragment_program_builder.h"

struct CompiledFunction;
struct ExprNode;

// Internal kinds of the front end (never in formula text). The angle of a point (x, y) is the
// kernel's KindAngleOfPoint (8085); here it is the principal angle, the argument of x + i y.
inline constexpr uint32_t KindComplexPair = 8087;  // (real part, imaginary part)

// Builders over existing trees: null on exhaustion, and then the operands are freed.
ExprNode* MakeComplexPair(ExprNode* re, ExprNode* im);
ExprNode* MakeAngle(ExprNode* x, ExprNode* y);
bool IsComplexPair(const ExprNode* node);

// True when some node of the tree is a user function call, fact, oppartial, sum, lparen,
// besselj, if, branch or a bounded sum, or the symbol t, u or v: the CPU must evaluate it.
bool NeedsCpuEvaluation(const ExprNode* tree);
// Rewrites the node in place when it has an elementary GPU form (tan as sin/cos, the hyperbolic
// functions through exp, ceil through floor, ...). True when it was rewritten; false for the
// kinds that stay and when memory was refused (the node is then unchanged).
bool RewriteForGpu(ExprNode* node);
// Lowers the tree in place (bottom-up; complex pairs already there are kept): each node the rules
// know becomes a complex pair, simplified and with x^(1/2) written as sqrt x. False when memory
// ran out or the lowered tree grew past its bound; the tree is then a valid partial result.
bool LowerComplex(ExprNode* tree);
// A tree that uses complex numbers becomes the real part of its lowering, when the lowering gives
// a pair; otherwise it is left as it is.
void ReduceToRealPart(ExprNode* tree);
// The normalisation passes (non-smooth calls over a comma list given its items), RewriteForGpu on
// every node bottom-up, then ReduceToRealPart.
void PrepareForGpu(ExprNode* tree);

// The program text for three colour components (red, green, blue, or hue in turns, saturation,
// value; any may be null) and an optional condition. With all three present: the RGB or HSV
// program, or empty when any expression needs the CPU (the hue is passed on as 360 h when hsv is
// set and floatOutput clear). With a component missing: the textured program that discards where
// the condition fails, or empty without a condition. The parameters the program reads are
// appended to `parameters`.
std::string BuildColorFragmentProgram(const CompiledFunction* first, const CompiledFunction* second,
                                      const CompiledFunction* third, const CompiledFunction* condition, bool hsv,
                                      ParameterList* parameters, bool floatOutput);
// The program of a plain or textured colour with a condition: the texture's colour (textured) or
// white, times the lit colour, discarded where the condition fails.
std::string BuildColorShaderForGraph(const CompiledFunction* condition, ParameterList* parameters, bool textured);
