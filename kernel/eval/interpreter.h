// The four stack machines that run compiled codes over reals, complex numbers, intervals and
// complex intervals, and the evaluation of a function's binding values.
// Invariants: a machine runs only verified codes and never reads or writes a slot at or beyond
// the code's slotCount (the callers guarantee the slot array holds that many cells); an interval
// result holds every value the real (complex) machine gives at a point of the box; nothing here
// compiles, grows the scratch or yields.
#pragma once

#include <cstdint>

#include "kernel/eval/bytecode.h"
#include "kernel/eval/evaluation_records.h"
#include "kernel/eval/evaluation_scratch.h"
#include "kernel/numeric/complex.h"
#include "kernel/numeric/complex_interval.h"
#include "kernel/numeric/interval.h"

// The machines. `slots` must hold at least code->slotCount cells; `context` is read only by
// OpPushColumnValue and OpPushRowValue (undefined without a context). A null code, or a slot
// array smaller than the code needs, gives the undefined value and posts error 7; an unverified
// code (never finished by ResolveJumpLabels, or failing its check) gives the undefined value, as
// does a run whose sums pass the work limit of one evaluation (evaluation_budget.h).
double InterpretRealCode(const CompiledCode* code, EvalCell* slots, const EvalContext* context);
void InterpretComplexCode(Complex* out, const CompiledCode* code, EvalCell* slots, const EvalContext* context);
void InterpretIntervalCode(Interval* out, const CompiledCode* code, EvalCell* slots, const EvalContext* context);
void InterpretComplexIntervalCode(ComplexInterval* out, const CompiledCode* code, EvalCell* slots,
                                  const EvalContext* context);

// Plain entries: run over the global scratch slots without a context.
double RunRealCode(const CompiledCode* code);
void RunComplexCode(Complex* out, const CompiledCode* code);
void RunIntervalCode(Interval* out, const CompiledCode* code);
void RunComplexIntervalCode(ComplexInterval* out, const CompiledCode* code);

// Evaluates every binding when the function's bindingsEvaluated flag is 0 (then sets it) and
// returns the value array, or null when the table holds no value. Binding codes are compiled with
// the function; an entry without code has the undefined value.
const Complex* EnsureBindingsCompiled(CompiledFunction* function);
// The binding values a run of the code reads (EnsureBindingsCompiled of its owner), their count in
// *count; null and 0 without any. When one of them gave up on its sums, the run is counted as
// giving up too (NoteEvaluationPastWorkLimit), every time.
const Complex* BindingValuesOf(const CompiledCode* code, int32_t* count);

// Evaluates binding k of the function into its value k over a private slot array (so the slots of
// an evaluation in progress are never disturbed). A refused allocation gives NaN and error 7.
void EvaluateBindingValue(CompiledFunction* function, int32_t k, bool complex);
