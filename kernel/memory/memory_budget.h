// Counting allocators: every counted heap block and temporary handle goes through here,
// and requests are refused once the process-wide byte count has passed a limit derived
// from the budget (physical memory). The count adds what was really allocated, after
// success, and subtracts exactly that on release, so it never drifts.
// Also the out-of-memory flag and the block primitives that the whole program uses.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/handles.h"

constexpr std::uint64_t kMebibyte = 1048576;

// Process-wide state, one struct; reset with ResetMemoryBudgetForTest.
struct MemoryBudget {
  std::uint64_t budget = 0;       // bytes of physical memory
  std::size_t bytesInUse = 0;     // bytes handed out by the counting allocators
  bool outOfMemory = false;       // raised by the node library and the memory tests
  std::uint64_t outOfMemoryRaises = 0;  // times the flag was raised, so a raise is never missed
  std::uint64_t allocations = 0;  // counted attempts that passed the limit test
  std::uint64_t failAt = 0;       // attempt number to refuse (0: none)
  bool failFromThenOn = false;    // refuse every attempt from failAt on
};
MemoryBudget& MemoryBudgetGlobals();

// Physical memory in bytes (pages x page size).
std::uint64_t PhysicalMemoryBytes();

// max(budget - 300 MiB, 0.75 budget): the limit of AllocMemory and of the memory tests.
std::uint64_t HeapLimit();
// max(budget - 400 MiB, 0.5 budget): the limit of AllocTempHandle.
std::uint64_t TempMemoryLimit();
std::uint64_t HeapLimitFor(std::uint64_t budget);
std::uint64_t TempMemoryLimitFor(std::uint64_t budget);

// Counted heap block of `size` bytes, cleared when `clear`. Null when the count before the
// request is strictly greater than the heap limit (a request at the limit is granted and may
// overshoot), when size exceeds PTRDIFF_MAX, or when the system refuses. Nothing is counted
// on failure. Release with FreeMemory only.
void* AllocMemory(std::size_t size, bool clear = false);
// Uncounts and frees a block from AllocMemory; null is ignored.
void FreeMemory(void* p);

// A block from AllocMemory freed when the holder goes out of scope, also when an exception passes
// (a computation abandoned at an evaluation turn unwinds through its frames).
template <class T>
class CountedBlock {
 public:
  explicit CountedBlock(std::size_t count, bool clear = false)
      : data_(static_cast<T*>(AllocMemory(count * sizeof(T), clear))) {}
  ~CountedBlock() { FreeMemory(data_); }
  CountedBlock(const CountedBlock&) = delete;
  CountedBlock& operator=(const CountedBlock&) = delete;
  T* get() const { return data_; }  // null when the allocation was refused

 private:
  T* data_;
};

// Counted temporary handle: refused like AllocMemory but against the temporary limit.
// SetHandleSize on it keeps the charge equal to its size: growth is a counted attempt,
// refused against the temporary limit as a new handle would be.
Handle AllocTempHandle(std::size_t size);
// AllocTempHandle, then marked purgeable.
Handle AllocPurgeableTempHandle(std::size_t size);
// Uncounts (by what was charged) and disposes; null is ignored.
void DisposeCountedHandle(Handle h);
// Master pointer, or null for a null or purged handle.
void* HandleDeref(Handle h);

// Copies n bytes; overlapping ranges are allowed. Destination first.
void CopyBytes(void* dst, const void* src, std::size_t n);
void ZeroBytes(void* p, std::size_t n);
// Does nothing and returns its argument; an empty static initialiser.
std::uint32_t NoOp(std::uint32_t word);

// The out-of-memory flag: set when memory ran out, cleared by whoever recovers. Every raise
// is counted, also of a flag already up, so a caller that lends the flag for a while can
// tell whether memory ran out meanwhile.
bool GetOutOfMemoryFlag();
void SetOutOfMemoryFlag(bool on);
std::uint64_t OutOfMemoryRaises();

// Budget and count (start-up sets the budget; tests set both).
void SetMemoryBudget(std::uint64_t bytes);
std::uint64_t GetMemoryBudget();
void SetBytesInUse(std::size_t bytes);
std::size_t GetBytesInUse();

// Test seams. Counted attempts (AllocMemory and AllocTempHandle) are numbered from 1 after
// each call; attempt n is refused (and every later one too when `fromThenOn`). 0 disarms.
void FailAllocationAt(std::uint64_t n, bool fromThenOn = false);
// Attempts counted since the last FailAllocationAt / reset.
std::uint64_t CountedAllocationAttempts();
// Budget back to physical memory, flag cleared, injection disarmed. The byte count is kept:
// live blocks still hold it.
void ResetMemoryBudgetForTest();
