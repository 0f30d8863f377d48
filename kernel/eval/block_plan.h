// What the block machines read from a verified code besides its instructions: repeated
// sub-expressions a run computes once, how the code uses its slots, what its loops depend on, and
// whether its runs give up on their sums.
// Invariants: a plan describes exactly the instructions it was built from (bytecode.cpp frees it
// on every change to them) and is one allocation; a repeated sub-expression is taken only outside
// the prologue and loops, with no store, swap or loop inside it.
#pragma once

#include <cstdint>

#include "kernel/eval/bytecode.h"

// One instruction's part in the plan.
struct BlockStep {
  // >= 0: the instructions from here up to `resume` - 1 compute saved value `reuse` again, which
  // the run pushes instead before going on at `resume`.
  int32_t reuse;
  int32_t resume;
  // The skipped instructions hold a comparison chain: the interval kinds run them again, since
  // a comparison reads the partial domains met before it, which may have grown since.
  int32_t compares;
  // >= 0: the value this instruction leaves on top is kept as saved value `save` for the run.
  int32_t save;
};

// How a code touches one slot (flags).
enum BlockSlotUse : uint8_t {
  kSlotWritten = 1,            // stored or incremented somewhere
  kSlotWrittenInPrologue = 2,  // stored by the prologue, which every run completes
  kSlotReadUnwritten = 4,      // read where no store of the same run is sure to have come first
};

struct BlockPlan {
  int32_t count;      // instructions of the code it describes
  int32_t slotCount;  // the code's slot count
  int32_t saveCount;  // values kept by `save` steps
  // Bit k (k < 31): the start or bound of some loop depends on the value slot k held when the run
  // began; bit 31 stands for every slot from 31 up.
  uint32_t loopInputs;
  // The last comparison chain's instruction, or -1: the interval block machine keeps each box's
  // partial-domain record only while a comparison may still read it.
  int32_t lastComparison;
  uint8_t storesAfterPrologue;  // a store or increment past the prologue
  uint8_t readsGridTables;      // OpPushColumnValue or OpPushRowValue
  // Every loop's start and bound are the same in every run: computed from constants only.
  uint8_t loopControlFixed;
  // Set by the machines once a run of a code with fixed loop control gave up on its sums: every
  // run would, so the next ones give up at once (the plan goes with any change to the code).
  uint8_t loopsGiveUp;
  BlockStep* steps;             // `count` entries, in the same allocation
  uint8_t* slotUse;             // `slotCount` entries of BlockSlotUse flags, likewise
};

// Bit of slot k in BlockPlan::loopInputs.
inline uint32_t BlockSlotBit(int32_t k) { return k < 31 ? uint32_t{1} << k : uint32_t{1} << 31; }

// Builds the plan of a verified code into code->blockPlan, replacing any old one. Returns false,
// leaving none, when the code is not verified or memory is refused (nothing is posted: the block
// machines then leave the code to the point machines).
bool PrepareBlockPlan(CompiledCode* code);
