// Block forms of the evaluation entries: grid rows (one function or a shared batch) and lists of
// boxes for the interval entries, giving what the point entries give point after point, slots and
// context left alike. Invariants: points go to the block machines a block at a time, and to the
// point entries whenever a block is refused; nothing here allocates.
#pragma once

#include <cstdint>

#include "kernel/eval/block_interpreter.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/interval.h"

// One coordinate of a list of boxes: boxes[t] for box t, or `shared` for every box when `boxes`
// is null (a row of boxes shares its y range, which is then worked on once per block).
struct BoxAxis {
  const Interval* boxes;
  Interval shared;
};

// EvaluateAtGridPoint at the cells (i0 + t, j), t < n, in that order, into out[t].
// PrepareSampleGrid must have run for the context, as for the point entry.
void EvaluateGridRow(CompiledFunction* function, int32_t i0, int32_t j, int32_t n, EvalContext* context, double* out);
// The functions of a shared batch at the same cells, in batch order at each cell: out[f][t].
void EvaluateGridRowBatch(CompiledFunction* const* functions, int32_t count, int32_t i0, int32_t j, int32_t n,
                          EvalContext* context, double* const* out);

// EvaluateIntervalX, EvaluateIntervalXY and EvaluateIntervalXYZ over boxes t < n in turn, into
// out[t] (lo, hi). With `partial`, partial[t] is 1 when some point of box t may have no value
// (IntervalPartialDomainSeen() after the point entry), else 0; wherever out[t] is defined.
void EvaluateIntervalXBlock(CompiledFunction* function, BoxAxis x, int32_t n, Interval* out,
                            uint8_t* partial = nullptr);
void EvaluateIntervalXYBlock(CompiledFunction* function, BoxAxis x, BoxAxis y, int32_t n, Interval* out,
                             uint8_t* partial = nullptr);
void EvaluateIntervalXYZBlock(CompiledFunction* function, BoxAxis x, BoxAxis y, BoxAxis z, int32_t n,
                              Interval* out, uint8_t* partial = nullptr);
