// The four stack machines that run compiled codes over reals, complex numbers, intervals and
// complex intervals, the evaluation slots they read and the shared scratch slot array.
// Invariants: a machine never reads or writes a slot at or beyond the code's slotCount, and the
// callers guarantee the slot array holds that many cells; the scratch array only grows and is
// never reallocated while a machine runs (nothing here compiles into it or yields).
#pragma once

#include <cstdint>

#include "kernel/eval/bytecode.h"
#include "kernel/numeric/complex.h"
#include "kernel/numeric/complex_interval.h"
#include "kernel/numeric/interval.h"

// One evaluation slot: large enough for any of the four value kinds. Machines read the member of
// their own kind; the layout is not observable.
union EvalCell {
  double real;
  Complex complex;
  Interval interval;
  ComplexInterval complexInterval;
};

// Fixed slot numbers (`EvalSlot`): from 11 up, two slots (index, upper bound) per sum index.
enum EvalSlot : int32_t {
  kSlotU = 0,
  kSlotV = 1,
  kSlotParameter = 2,
  kSlotX = 3,
  kSlotY = 4,
  kSlotZ = 5,
  kSlotW = 6,
  kSlotR = 7,
  kSlotRho = 8,
  kSlotTheta = 9,
  kSlotPhi = 10,
};

// Values below the top that a machine holds at most; the 199th push posts error 7.
inline constexpr int kValueStackLimit = 199;

// Largest span of a bounded sum at its start; a wider sum adds no term.
inline constexpr double kMaxLoopSpan = 100000.0;

// Grid evaluation context of a shared compile. `table` holds max(11, slotCount) slots, then
// uCount x nx column values, then vCount x ny row values. The column and row lists stay empty in
// every compile the program makes (uCount = vCount = 0).
struct EvalContext {
  double x0, y0, dx, dy;
  int32_t nx, ny;
  int32_t column, row;
  int32_t uCount, vCount;
  int32_t slotCount;
  CompiledCode** uCodes;
  CompiledCode** vCodes;
  EvalCell* table;
  int32_t tableCells;
  uint8_t complex;
};

// The machines. `slots` must hold at least code->slotCount cells; `context` is read only by
// OpPushColumnValue and OpPushRowValue (undefined without a context). A null code, or a slot
// array smaller than the code needs, gives the undefined value and posts error 7.
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

// Compiles any binding entry of the function still without code, evaluates every binding when
// the function's bindingsEvaluated flag is 0 (then sets it), and returns the value array, or null
// when the table holds no value.
const Complex* EnsureBindingsCompiled(CompiledFunction* function);

// Evaluates binding k of the function into its value k over a private slot array (so the slots of
// an evaluation in progress are never disturbed). A refused allocation gives NaN and error 7.
void EvaluateBindingValue(CompiledFunction* function, int32_t k, bool complex);

// The global scratch slot array. EnsureEvalScratch grows it to at least n cells (new cells zeroed,
// old values kept; it never shrinks); returns false when the allocation is refused, leaving the
// old array in place. Only compiles outside any evaluation call it.
bool EnsureEvalScratch(int32_t n);
void FreeEvalScratch();
EvalCell* EvalScratch();
int32_t EvalScratchCapacity();
