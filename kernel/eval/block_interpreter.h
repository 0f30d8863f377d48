// The block machines: the real and interval machines run a block of points at once, instruction
// by instruction over every point, giving bit for bit what the point machines give point after
// point. Invariants: a value shared by every point is computed once; a run allocates nothing,
// posts nothing and writes the slots only once it has succeeded; a block it cannot run exactly is
// refused with nothing visible changed, and the caller runs its points one by one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernel/eval/bytecode.h"
#include "kernel/eval/evaluation_records.h"
#include "kernel/numeric/interval.h"

// Points of one block run; longer runs are taken a block at a time by the entries.
inline constexpr int32_t kBlockLanes = 512;
// Codes one block run takes together; a larger batch is evaluated point by point.
inline constexpr int32_t kMaxBlockBatch = 16;

// One value written into slot `slot` before each point: values[i] at point i, or `shared` at
// every point when `values` is null.
template <class V>
struct BlockInput {
  int32_t slot;
  const V* values;
  V shared;
};
using RealBlockInput = BlockInput<double>;
using IntervalBlockInput = BlockInput<Interval>;

// Bytes of block scratch the codes need to run together in one block; 0 when some code has no
// block plan (block_plan.h) and so never runs by blocks.
size_t BlockScratchBytes(const CompiledCode* const* codes, int32_t codeCount);

// Runs the codes in order at each of `count` points (1 <= count <= kBlockLanes) as the point
// machine would run them point after point over `slots` (`slotCapacity` cells), the inputs being
// written before each point: results[c][i] receives code c's value at point i, and the slots are
// left as the last point leaves them. Returns true when done. Returns false when the block cannot
// be run so (no plan, an unverified or deep code, slots or block scratch too small, loops whose
// control varies along the block, a code that reads a slot another point may have written, or
// undefined values at some points of a code that stores past its prologue): then nothing but the
// codes' binding values has changed, and the caller evaluates the points one by one.
bool RunRealBlock(const CompiledCode* const* codes, int32_t codeCount, EvalCell* slots, int32_t slotCapacity,
                  const RealBlockInput* inputs, int32_t inputCount, int32_t count, double* const* results);
// With `partial`, partial[c][i] is also set to whether code c's run at point i met a partial
// domain (IntervalPartialDomainSeen() after the point run), wherever results[c][i] is defined.
bool RunIntervalBlock(const CompiledCode* const* codes, int32_t codeCount, EvalCell* slots, int32_t slotCapacity,
                      const IntervalBlockInput* inputs, int32_t inputCount, int32_t count, Interval* const* results,
                      uint8_t* const* partial = nullptr);
