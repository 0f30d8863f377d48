// The evaluation scratch: one process-wide record, reset by FreeEvalScratch.
// Invariant: `capacity` counts the cells of `cells` exactly (0 when null).
#include "kernel/eval/evaluation_scratch.h"

#include <cstring>

#include "kernel/memory/memory_budget.h"

namespace {

struct ScratchState {
  EvalCell* cells = nullptr;
  int32_t capacity = 0;
};
ScratchState gScratch;

}  // namespace

bool EnsureEvalScratch(int32_t n) {
  if (n <= gScratch.capacity) return true;
  auto* cells = static_cast<EvalCell*>(AllocMemory(static_cast<size_t>(n) * sizeof(EvalCell)));
  if (cells == nullptr) return false;
  std::memset(static_cast<void*>(cells), 0, static_cast<size_t>(n) * sizeof(EvalCell));
  if (gScratch.cells != nullptr) {
    std::memcpy(static_cast<void*>(cells), gScratch.cells, static_cast<size_t>(gScratch.capacity) * sizeof(EvalCell));
    FreeMemory(gScratch.cells);
  }
  gScratch.cells = cells;
  gScratch.capacity = n;
  return true;
}

void FreeEvalScratch() {
  FreeMemory(gScratch.cells);
  gScratch = ScratchState{};
}

EvalCell* EvalScratch() { return gScratch.cells; }
int32_t EvalScratchCapacity() { return gScratch.capacity; }
