// The process-wide evaluation scratch: the slot array that every plain evaluation entry runs
// over, and the lane buffers of the block machines.
// Invariants: one record; both capacities only grow (new slot cells zeroed, old values kept), and
// neither is reallocated while a machine runs: only the compile entries of the compiled-function
// layer grow them, never the compiler, the machines or the evaluation entries.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernel/eval/evaluation_records.h"

// Grows the slot array to at least n cells. Returns false when the allocation is refused, leaving
// the old array in place (nothing posted).
bool EnsureEvalScratch(int32_t n);
// Releases both arrays (shut-down and tests); the next Ensure... starts afresh.
void FreeEvalScratch();
EvalCell* EvalScratch();
int32_t EvalScratchCapacity();

// Grows the block machines' lane buffers to at least `bytes`. Returns false when refused, leaving
// the old buffers (the block entries then evaluate point by point; nothing posted).
bool EnsureBlockScratch(size_t bytes);
void* BlockScratch();
size_t BlockScratchCapacity();
