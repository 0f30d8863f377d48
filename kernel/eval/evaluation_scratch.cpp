// The evaluation scratch: one process-wide record, reset by FreeEvalScratch.
// Invariant: each capacity counts exactly what its array holds (0 when null).
#include "kernel/eval/evaluation_scratch.h"

#include <cstring>

#include "kernel/memory/memory_budget.h"

namespace {

struct ScratchState {
  EvalCell* cells = nullptr;
  int32_t capacity = 0;
  void* lanes = nullptr;  // block lane buffers; contents live for one block run only
  size_t laneBytes = 0;
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

bool EnsureBlockScratch(size_t bytes) {
  if (bytes <= gScratch.laneBytes) return true;
  void* lanes = AllocMemory(bytes);
  if (lanes == nullptr) return false;
  FreeMemory(gScratch.lanes);
  gScratch.lanes = lanes;
  gScratch.laneBytes = bytes;
  return true;
}

void FreeEvalScratch() {
  FreeMemory(gScratch.cells);
  FreeMemory(gScratch.lanes);
  gScratch = ScratchState{};
}

EvalCell* EvalScratch() { return gScratch.cells; }
int32_t EvalScratchCapacity() { return gScratch.capacity; }
void* BlockScratch() { return gScratch.lanes; }
size_t BlockScratchCapacity() { return gScratch.laneBytes; }
