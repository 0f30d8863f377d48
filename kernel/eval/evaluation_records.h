// The records shared by the compiler, the four machines and the compiled functions: slot cells and
// their fixed numbering, the grid context, binding tables and the compiled-function record.
// Invariants: a slot cell holds any of the four value kinds (machines read their own member);
// binding entries and values are parallel arrays; this header declares data only, so every layer
// of evaluation may include it without reaching another.
#pragma once

#include <cstdint>

#include "kernel/eval/bytecode.h"
#include "kernel/numeric/complex.h"
#include "kernel/numeric/complex_interval.h"
#include "kernel/numeric/interval.h"

struct ExprNode;

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

// Largest span of a bounded sum at its start; a wider sum adds no term. A sum therefore runs its
// body at most kMaxLoopSpan + 1 times at any point.
inline constexpr double kMaxLoopSpan = 100000.0;

// Grid evaluation context of a shared compile. `table` holds max(11, slotCount) slots, then
// uCount x nx column values, then vCount x ny row values. The column and row lists stay empty in
// every compile the program makes (uCount = vCount = 0). `columnX` holds the x of every column
// (fma(i, dx, x0), as a grid point takes it) for the grid-row blocks: `columnCount` values, 0
// when it could not be had.
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
  double* columnX;
  int32_t columnCount;
};

// One constant sub-tree of a function: a pointer into the function's own tree (not owned) and its
// separately compiled code (owned; compiled with the function, null when that compile was refused).
struct BindingEntry {
  ExprNode* expression;
  CompiledCode* code;
};

// Entries and their cached values, kept parallel: entry k and value k belong together. `gaveUp`:
// some value gave up on its sums when the values were last worked out (it is NaN).
struct BindingTable {
  BindingEntry* entries;
  Complex* values;
  int32_t count;
  int32_t capacity;
  uint8_t gaveUp;
};

// Allocated with new (nothrow), set up by InitFunction, destroyed by DisposeFunction then delete.
struct CompiledFunction {
  ExprNode* tree;            // owned
  CompiledCode* code;        // owned; null until compiled
  uint8_t complex;           // the tree uses complex numbers: the complex machines run it
  uint8_t bindingsEvaluated; // 1 while the cached binding values are current; graphs clear it
  BindingTable* bindings;    // owned
};
