// The global scratch slot array that every plain evaluation entry runs over.
// Invariants: one process-wide record; the capacity only grows (new cells zeroed, old values
// kept), and it is never reallocated while a machine runs: only the compile entries of the
// compiled-function layer grow it, never the compiler or the machines.
#pragma once

#include <cstdint>

#include "kernel/eval/evaluation_records.h"

// Grows the array to at least n cells. Returns false when the allocation is refused, leaving the
// old array in place (nothing posted).
bool EnsureEvalScratch(int32_t n);
// Releases the array (shut-down and tests); the next EnsureEvalScratch starts afresh.
void FreeEvalScratch();
EvalCell* EvalScratch();
int32_t EvalScratchCapacity();
