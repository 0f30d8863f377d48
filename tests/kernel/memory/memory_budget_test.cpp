// Counting allocators and the shortage tests: the two limits, refusal judged on the count
// before a request, accounting that returns to its start (resized handles included), and
// error 7 posted once past the heap limit.
#include "kernel/memory/memory_budget.h"

#include <gtest/gtest.h>

#include <utility>

#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_shortage.h"
#include "tests/kernel/memory/memory_test_support.h"

namespace {

using CountingAllocators = MemoryBudgetTest;

// Hand-computed: heap = max(B - 300 MiB, 3B/4), temporary = max(B - 400 MiB, B/2).
TEST_F(CountingAllocators, LimitsToTheByteForEachBudget) {
  const struct { std::uint64_t budget, heap, temp; } rows[] = {
      {512 * kMebibyte, 402653184, 268435456},     // 384 MiB, 256 MiB: both fractional terms
      {1024 * kMebibyte, 805306368, 654311424},    // 768 MiB (75 %), 624 MiB (400 MiB reserve)
      {2048 * kMebibyte, 1832910848, 1728053248},  // 1748 MiB, 1648 MiB: both reserves
      {4096, 3072, 2048},
  };
  for (const auto& r : rows) {
    SetMemoryBudget(r.budget);
    EXPECT_EQ(HeapLimit(), r.heap) << r.budget;
    EXPECT_EQ(TempMemoryLimit(), r.temp) << r.budget;
  }
}

// A request at the limit is granted whatever its size; the next is refused, count unchanged.
// Past the temporary limit (2048) handles are refused while the heap (3072) still grants.
TEST_F(CountingAllocators, RefusesOnlyWhenTheCountIsPastTheLimit) {
  SetMemoryBudget(4096);
  for (std::size_t size : {std::size_t{100}, std::size_t{1} << 20}) {
    SetBytesInUse(3072);
    void* p = AllocMemory(size);
    const std::size_t after = GetBytesInUse();
    EXPECT_GE(after, 3072 + size);
    EXPECT_TRUE(AllocMemory(1, true) == nullptr && AllocTempHandle(1) == nullptr);
    EXPECT_EQ(GetBytesInUse(), after);
    FreeMemory(p);
    EXPECT_EQ(GetBytesInUse(), 3072u);
  }
  SetBytesInUse(2049);
  EXPECT_EQ(AllocPurgeableTempHandle(16), nullptr);
  FreeMemory(AllocMemory(16));
  EXPECT_EQ(GetBytesInUse(), 2049u);
}

// Taken as a signed 32-bit amount, 2 GiB + 1 would lower the count; sizes no allocator can
// satisfy are refused without counting.
TEST_F(CountingAllocators, HugeRequestsNeverLowerTheCount) {
  const std::size_t start = GetBytesInUse();
  const std::size_t big = (std::size_t{2} << 30) + 1;
  void* p = AllocMemory(big);  // never touched: costs address space, not memory
  EXPECT_GE(GetBytesInUse() - start, big);
  FreeMemory(p);
  EXPECT_EQ(AllocMemory(SIZE_MAX / 2 + 1), nullptr);
  EXPECT_EQ(AllocTempHandle(SIZE_MAX), nullptr);
  EXPECT_EQ(GetBytesInUse(), start);
}

// A counted handle resized in place of a new allocation is charged what was granted, and
// growth is refused like an allocation: past the temporary limit ('b'), or by injection ('f').
// Purged, it still gives back its whole charge.
TEST_F(CountingAllocators, ResizingACountedHandleChargesGrowthAndShrinkage) {
  SetMemoryBudget(8192);  // temporary limit 4096
  SetBytesInUse(0);
  Handle h = AllocTempHandle(100);
  ASSERT_NE(h, nullptr);
  void* ballast = nullptr;
  struct Row { std::size_t size; char before; bool ok; std::size_t count; };
  const Row rows[] = {
      {1000, ' ', true, 1000}, {10, ' ', true, 10}, {3000, 'f', false, 10},
      {3000, 'b', false, 10},  {4, 'b', true, 4},   {0, ' ', true, 0}, {50, ' ', true, 50},
  };
  for (const Row& r : rows) {
    if (r.before == 'f') FailAllocationAt(1);
    if (r.before == 'b' && ballast == nullptr) ballast = AllocMemory(5000);
    const std::size_t ballastBytes = MallocSize(ballast);
    EXPECT_EQ(SetHandleSize(h, r.size), r.ok) << r.size << r.before;
    EXPECT_EQ(GetHandleSize(h), r.count) << r.size << r.before;
    EXPECT_EQ(GetBytesInUse() - ballastBytes, r.count) << r.size << r.before;
    FailAllocationAt(0);
    if (r.before != 'b') FreeMemory(std::exchange(ballast, nullptr));
  }
  HPurge(h);
  ASSERT_TRUE(PurgeHandleForTest(h));
  DisposeCountedHandle(h);
  EXPECT_EQ(GetBytesInUse(), 0u);
}

// Past the heap limit CheckFreeMemory posts 7 and raises the flag, which alone then keeps
// both tests answering true without posting again.
TEST_F(CountingAllocators, ShortageTestsPostSevenOnceAndFollowTheFlag) {
  ResetErrorRegister();
  EXPECT_GT(RemainingStackBytes(), kShortStackBytes);  // the main thread's stack is known
  EXPECT_NE(RemainingStackBytes(), SIZE_MAX);
  SetMemoryBudget(4096);  // heap limit 3072
  SetBytesInUse(3072);
  EXPECT_FALSE(CheckFreeMemory() || IsMemoryShort(1 << 20) || HasPendingError());
  SetBytesInUse(3073);
  EXPECT_TRUE(IsMemoryShort());
  EXPECT_TRUE(GetOutOfMemoryFlag());
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
  ClearPendingError(kErrorOutOfMemory);
  SetBytesInUse(0);
  EXPECT_TRUE(CheckFreeMemory() && IsMemoryShort(0));
  EXPECT_FALSE(HasPendingError());
  ResetErrorRegister();
}

}  // namespace
