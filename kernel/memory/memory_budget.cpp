// Counting allocators over malloc and the handle layer. Only one thread runs here at a
// time (threads switch only at explicit yields), so the state needs no lock.
// Invariant: bytesInUse is the sum of malloc_usable_size of live counted blocks plus the
// charge of live counted handles (their size, kept through resizes by the handle account),
// plus whatever a test seam set.
#include "kernel/memory/memory_budget.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

MemoryBudget& MemoryBudgetGlobals() {
  static MemoryBudget state = [] {
    MemoryBudget s;
    s.budget = PhysicalMemoryBytes();
    return s;
  }();
  return state;
}

std::uint64_t PhysicalMemoryBytes() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return 1024 * kMebibyte;  // unknown: a modest machine
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

namespace {

// max(budget - reserve, budget * num / 4), in exact integer bytes.
std::uint64_t LimitFor(std::uint64_t budget, std::uint64_t reserve, std::uint64_t quarters) {
  std::uint64_t fraction = (budget / 4) * quarters + (budget % 4) * quarters / 4;
  std::uint64_t fixed = budget > reserve ? budget - reserve : 0;
  return fixed > fraction ? fixed : fraction;
}

// The limit test and the failure seam for one counted attempt; true = refuse.
bool Refuse(std::size_t size, std::uint64_t limit) {
  MemoryBudget& s = MemoryBudgetGlobals();
  if (size > static_cast<std::size_t>(PTRDIFF_MAX)) return true;
  if (s.bytesInUse > limit) return true;
  ++s.allocations;
  if (s.failAt != 0 && (s.allocations == s.failAt || (s.failFromThenOn && s.allocations > s.failAt))) {
    return true;
  }
  return false;
}

void Uncount(std::size_t bytes) {
  MemoryBudget& s = MemoryBudgetGlobals();
  // A test may have set the count below what live blocks hold; never wrap.
  s.bytesInUse = s.bytesInUse > bytes ? s.bytesInUse - bytes : 0;
}

// Counted handles: growth is a counted attempt against the temporary limit, and the charge
// follows the size the handle really got.
bool AdmitHandleGrowth(Handle, std::size_t size) { return !Refuse(size, TempMemoryLimit()); }

void SettleHandleCharge(Handle h) {
  if (h->size > h->charged) {
    MemoryBudgetGlobals().bytesInUse += h->size - h->charged;
  } else {
    Uncount(h->charged - h->size);
  }
  h->charged = h->size;
}

constexpr HandleAccount kTempHandleAccount{AdmitHandleGrowth, SettleHandleCharge};

}  // namespace

std::uint64_t HeapLimitFor(std::uint64_t budget) { return LimitFor(budget, 300 * kMebibyte, 3); }
std::uint64_t TempMemoryLimitFor(std::uint64_t budget) { return LimitFor(budget, 400 * kMebibyte, 2); }
std::uint64_t HeapLimit() { return HeapLimitFor(MemoryBudgetGlobals().budget); }
std::uint64_t TempMemoryLimit() { return TempMemoryLimitFor(MemoryBudgetGlobals().budget); }

void* AllocMemory(std::size_t size, bool clear) {
  if (Refuse(size, HeapLimit())) return nullptr;
  void* p = clear ? std::calloc(1, size) : std::malloc(size);
  if (p == nullptr) return nullptr;
  MemoryBudgetGlobals().bytesInUse += MallocSize(p);
  return p;
}

void FreeMemory(void* p) {
  if (p == nullptr) return;
  Uncount(MallocSize(p));
  std::free(p);
}

Handle AllocTempHandle(std::size_t size) {
  if (Refuse(size, TempMemoryLimit())) return nullptr;
  Handle h = TempNewHandle(size);
  if (h == nullptr) return nullptr;
  h->charged = size;
  h->account = &kTempHandleAccount;
  MemoryBudgetGlobals().bytesInUse += size;
  return h;
}

Handle AllocPurgeableTempHandle(std::size_t size) {
  Handle h = AllocTempHandle(size);
  if (h != nullptr) HPurge(h);
  return h;
}

void DisposeCountedHandle(Handle h) {
  if (h == nullptr) return;
  // The charge, not the current size: a purged or resized handle uncounts what it cost.
  Uncount(h->charged);
  DisposeHandle(h);
}

void* HandleDeref(Handle h) { return h == nullptr ? nullptr : h->data; }

void CopyBytes(void* dst, const void* src, std::size_t n) { BlockMoveData(src, dst, n); }
void ZeroBytes(void* p, std::size_t n) { BlockZero(p, n); }
std::uint32_t NoOp(std::uint32_t word) { return word; }

bool GetOutOfMemoryFlag() { return MemoryBudgetGlobals().outOfMemory; }
void SetOutOfMemoryFlag(bool on) {
  MemoryBudget& s = MemoryBudgetGlobals();
  s.outOfMemory = on;
  if (on) ++s.outOfMemoryRaises;
}
std::uint64_t OutOfMemoryRaises() { return MemoryBudgetGlobals().outOfMemoryRaises; }

void SetMemoryBudget(std::uint64_t bytes) { MemoryBudgetGlobals().budget = bytes; }
std::uint64_t GetMemoryBudget() { return MemoryBudgetGlobals().budget; }
void SetBytesInUse(std::size_t bytes) { MemoryBudgetGlobals().bytesInUse = bytes; }
std::size_t GetBytesInUse() { return MemoryBudgetGlobals().bytesInUse; }

void FailAllocationAt(std::uint64_t n, bool fromThenOn) {
  MemoryBudget& s = MemoryBudgetGlobals();
  s.allocations = 0;
  s.failAt = n;
  s.failFromThenOn = fromThenOn;
}

std::uint64_t CountedAllocationAttempts() { return MemoryBudgetGlobals().allocations; }

void ResetMemoryBudgetForTest() {
  MemoryBudget& s = MemoryBudgetGlobals();
  s.budget = PhysicalMemoryBytes();
  s.outOfMemory = false;
  FailAllocationAt(0);
}
