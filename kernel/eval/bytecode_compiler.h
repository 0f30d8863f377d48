// The compiler from expression trees to stack-machine codes: compile batches, binding tables for
// constant sub-trees, derived coordinates (r, rho, theta, phi) computed once per batch, and
// bounded sums as counted loops.
// Invariants: batch state is process-wide and lives from BeginCompileBatch to AssignSharedSlots;
// every finished code is verified (or [PushConstant NaN, End], or the unverified [End] after a
// refused allocation with error 7 posted); inside a sum's term its index shadows any other
// meaning; the compiler never touches the evaluation scratch (its callers size it).
#pragma once

#include <cstdint>

#include "kernel/eval/bytecode.h"
#include "kernel/eval/evaluation_records.h"
#include "kernel/numeric/complex.h"

struct ExprNode;

// Internal kind of the angle of a point (x, y) in [0, 2 pi), built by the colour-shader front end
// (not the table's prefix sign "angle", 4190).
inline constexpr uint32_t KindAngleOfPoint = 8085;

// Allocates an empty table; null when refused.
BindingTable* NewBindingTable();
// Frees every entry's code and empties the table (its arrays are kept for reuse).
void ClearBindingTable(BindingTable* table);
// Frees the codes, the arrays and the table; null is ignored.
void FreeBindingTable(BindingTable* table);
// Index of the first entry structurally equal to the expression, shapes included (a row and a
// column of the same cells are two values), else a new entry (no code, NaN value). Returns -1
// when the table cannot grow.
int32_t AddBinding(BindingTable* table, ExprNode* expression);

// Opens a compile batch: no loop slots, the four derived coordinates not yet computed.
void BeginCompileBatch();
// Ends the batch and returns its slot count (11 + two slots per sum index of the batch).
int32_t AssignSharedSlots();
// True while a batch is open.
bool CompileBatchIsOpen();

// Compiles a tree into a freshly allocated (or reset) code, finished and verified. `owner` gives
// the binding table that constant sub-trees go into (null: nothing is bound). `nested` is set only
// for binding codes: they get slots of their own from 11 and never take part in the batch's
// derived coordinates. Without an open batch a temporary one is used. Returns the slot count the
// code needs (its slotCount); a caller evaluating over the scratch grows it to that. A refused
// allocation leaves [End] and posts error 7; a program that cannot be run soundly (an unconverted
// sum, a kind that emits nothing) becomes [PushConstant NaN, End].
int32_t CompileExpression(CompiledCode* code, ExprNode* tree, CompiledFunction* owner, bool nested);

// True when the term of some bounded sum holds another bounded sum over the same index variable
// (a sum in its start or end stands outside its index's scope).
bool HasNestedSameIndexSum(const ExprNode* tree);

// The defined-name key of a symbol with an optional subscript: id + (subscript + 1) * 256, or the
// id alone without subscript. Shared with the document's lookup of defined values.
int32_t DefinedNameKey(int32_t symbolId, const double* subscript);

// UsesComplexNumbers, except that an i standing for the index of an enclosing sum (inside that
// sum's term) is not the imaginary unit. Decides the complex flag of compiled functions.
bool UsesComplexNumbersOutsideSumIndexes(ExprNode* tree);
