// Compiled functions: a normalised tree, its code and binding table, the compile entries (single,
// batch, shared grid context) and the point, grid, interval and complex evaluation entries.
// Invariants: a batch is evaluated in batch order at each point (the first user of r, rho, theta
// or phi stores them); a renamed or copied function is compiled again before evaluation; compile
// entries size the slot scratch, block plans and block scratch first; nothing yields or re-enters.
#pragma once

#include <cstdint>

#include "kernel/eval/bytecode.h"
#include "kernel/eval/bytecode_compiler.h"
#include "kernel/eval/evaluation_records.h"
#include "kernel/eval/evaluation_scratch.h"
#include "kernel/eval/interpreter.h"
#include "kernel/numeric/complex.h"

struct ExprNode;

// The CompiledFunction record itself is in evaluation_records.h (the machines read its bindings).

// Construction and compilation.
// Takes over the tree and runs the normalisation passes over it (NormaliseTree); code null.
void InitFunction(CompiledFunction* function, ExprNode* tree);
// Frees the tree, the code and the binding table; the caller deletes the object.
void DisposeFunction(CompiledFunction* function);
// A new, uncompiled function over a copy of the tree; null when memory is refused.
CompiledFunction* CopyFunction(const CompiledFunction* function);
// Renames a symbol throughout the tree; the function must be compiled again before evaluation.
void RenameFunctionSymbol(CompiledFunction* function, int32_t from, int32_t to);
// A new, uncompiled function of the partial derivative by the symbol (ExpandDerivativesWithin of
// a copy, bounded by the function's size); a null source, short memory or a derivative that grew
// past its bound gives a function of the number NaN. Null only when the object itself cannot be
// had.
CompiledFunction* NewDerivativeFunction(const CompiledFunction* function, int32_t symbol);
// The tree-walk work a symbolic derivative over a tree of `nodes` nodes may take before it is given
// up (ExpandDerivativesWithin): a fixed allowance and a share for each node.
uint64_t DerivativeWorkLimit(int nodes);

void CompileFunction(CompiledFunction* function);
void CompileFunctionList(CompiledFunction** functions, int n);
void CompileFunctions3(CompiledFunction* f1, CompiledFunction* f2, CompiledFunction* f3);
void CompileFunctions4(CompiledFunction* f1, CompiledFunction* f2, CompiledFunction* f3, CompiledFunction* f4);
// One function: old code and bindings discarded, new code, complex flag, binding codes compiled
// at once (never during an evaluation). Inside an open batch the batch's end sizes the scratch;
// without one the scratch is grown here (error 7 when refused).
void CompileOneFunction(CompiledFunction* function);
// Ends the batch and grows the scratch to its slot count (error 7 when refused).
void FinishCompileList();

// Compiles the functions as one batch and returns a grid context sized for it (the caller owns
// it: DisposeEvalContext). Null when the context cannot be allocated.
EvalContext* CompileFunctionsShared(CompiledFunction** functions, int n);
EvalContext* CompileFunctionsShared1(CompiledFunction* f1);
EvalContext* CompileFunctionsShared2(CompiledFunction* f1, CompiledFunction* f2);
EvalContext* CompileFunctionsShared3(CompiledFunction* f1, CompiledFunction* f2, CompiledFunction* f3);
EvalContext* CompileFunctionsShared4(CompiledFunction* f1, CompiledFunction* f2, CompiledFunction* f3,
                                     CompiledFunction* f4);
EvalContext* CompileFunctionsShared9(CompiledFunction* const f[9]);
EvalContext* CompileFunctionsShared12(CompiledFunction* const f[12]);
// Opens a batch for a shared compile.
void BeginSharedCompile();
// A context whose table holds max(11, slotCount) zeroed slots; null when refused.
EvalContext* NewEvalContext(int32_t slotCount);
// Frees the table, the column and row codes and the context; null is ignored.
void DisposeEvalContext(EvalContext* context);
// Stores the grid (a repeated identical call does nothing) and the x of each column for the
// grid-row blocks (block_evaluation.h). Keeps the old table when a new one cannot be had; without
// the column values the rows go point by point.
void PrepareSampleGrid(double x0, double y0, double dx, double dy, int32_t nx, int32_t ny, EvalContext* context);

// Evaluation. Every entry sets slot 2 to ParameterValue. The real-valued entries give the real
// part of a complex result only when its imaginary part is exactly 0, else NaN.
double EvaluateFunction1(CompiledFunction* function, double a);                 // slot 0
double EvaluateFunction2(CompiledFunction* function, double a, double b);       // slots 3, 4
double EvaluateFunction6(CompiledFunction* function, double a1, double a2, double a3, double a4, double a5,
                         double a6);                                            // slots 0, 1, 3..6
void EvaluateComplexAt0(Complex* out, CompiledFunction* function);
void EvaluateComplexAt2(Complex* out, CompiledFunction* function, double a, double b);  // slots 3, 4
// Interval bounds over a box (slot 0; slots 3, 4; slots 3, 4, 5). A complex function gives the
// real part's bounds where the imaginary part may be 0, NaN bounds where it cannot. Afterwards
// IntervalPartialDomainSeen() (interval.h) tells whether some point of the box may have no value
// (an operand partly outside a domain, a condition not surely true, a complex value off the axis).
void EvaluateIntervalX(CompiledFunction* function, double lo, double hi, double* outLo, double* outHi);
void EvaluateIntervalXY(CompiledFunction* function, double xLo, double xHi, double yLo, double yHi, double* outLo,
                        double* outHi);
void EvaluateIntervalXYZ(CompiledFunction* function, double xLo, double xHi, double yLo, double yHi, double zLo,
                         double zHi, double* outLo, double* outHi);
// Value at grid cell (i, j): x = fma(i, dx, x0) into slots 0 and 3, y = fma(j, dy, y0) into 1 and 4.
double EvaluateAtGridPoint(CompiledFunction* function, int32_t i, int32_t j, EvalContext* context);

// Tree services.
// True when the tree mentions the id, or (for ids above 255) its low byte: a subscripted key
// reaches its base letter, and Greek symbols are still found under their own id.
bool FunctionDependsOnSymbol(const CompiledFunction* function, int32_t id);
// Numeric value of a node: the reader installed through SetNodeToNumberReader, else a number
// node's value (negated under a minus), else the value of a copy compiled and evaluated over
// private slots, so that no batch or evaluation in progress is disturbed.
double NodeToNumber(const ExprNode* node);
// False when the tree holds fact, besselj, or a kind for which IsNonSmoothKind holds.
bool HasOnlySmoothOperators(const CompiledFunction* function);
int FunctionArity(const CompiledFunction* function);
// The first four children of the root of functions[n] through NodeToNumber; missing ones are NaN.
void FunctionVector4(CompiledFunction* const* functions, int n, double* a, double* b, double* c, double* d);
// (a, b, c, d) of a x + b y + c z + d for a linear sub-tree; false when it is not linear.
bool GetLinearCoefficients(const ExprNode* node, double* a, double* b, double* c, double* d);
// For a two-sided <, <=, > or >= with linear sides: the plane a x + b y + c z + d whose positive
// side is the region. False for anything else.
bool GetLinearInequalityPlane(const CompiledFunction* function, double* a, double* b, double* c, double* d);
