// Counting allocators and the memory tests: the two limits, refusal judged on the count
// before a request, accounting that returns to its start (handles resized included), the
// failure-injection seam, and the shortage tests that post error 7.
#include "kernel/memory/memory_budget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_shortage.h"
#include "tests/kernel/memory/memory_test_support.h"

namespace {

constexpr std::uint64_t MiB = kMebibyte;

using CountingAllocators = MemoryBudgetTest;

// Hand-computed: heap = max(B - 300 MiB, 3B/4), temporary = max(B - 400 MiB, B/2).
TEST_F(CountingAllocators, LimitsToTheByteForEachBudget) {
  struct Row { std::uint64_t budget, heap, temp; };
  const Row rows[] = {
      {512 * MiB, 402653184, 268435456},     // 384 MiB, 256 MiB: both fractional terms
      {1024 * MiB, 805306368, 654311424},    // 768 MiB (75 %), 624 MiB (400 MiB reserve)
      {2048 * MiB, 1832910848, 1728053248},  // 1748 MiB, 1648 MiB: both reserves
      {4096, 3072, 2048},
      {0, 0, 0},
  };
  for (const Row& r : rows) {
    SetMemoryBudget(r.budget);
    EXPECT_EQ(HeapLimit(), r.heap) << r.budget;
    EXPECT_EQ(TempMemoryLimit(), r.temp) << r.budget;
  }
}

// A request at the limit is granted whatever its size; the next is refused, count unchanged.
// The temporary limit (2048 here) refuses handles while the heap (3072) still grants.
TEST_F(CountingAllocators, RefusesOnlyWhenTheCountIsPastTheLimit) {
  SetMemoryBudget(4096);
  for (std::size_t size : {std::size_t{100}, std::size_t{1} << 20}) {
    SetBytesInUse(3072);
    void* p = AllocMemory(size);
    ASSERT_NE(p, nullptr);
    const std::size_t after = GetBytesInUse();
    EXPECT_GE(after, 3072 + size);
    EXPECT_EQ(AllocMemory(1, true), nullptr);
    EXPECT_EQ(AllocTempHandle(1), nullptr);
    EXPECT_EQ(GetBytesInUse(), after);
    FreeMemory(p);
    EXPECT_EQ(GetBytesInUse(), 3072u);
  }
  SetBytesInUse(2049);
  EXPECT_EQ(AllocPurgeableTempHandle(16), nullptr);
  void* p = AllocMemory(16);
  EXPECT_NE(p, nullptr);
  FreeMemory(p);
  SetBytesInUse(2048);
  Handle h = AllocTempHandle(16);
  EXPECT_EQ(GetBytesInUse(), 2048u + 16u);
  DisposeCountedHandle(h);
}

// Taken as a signed 32-bit amount, 2 GiB + 1 would lower the count; sizes no allocator can
// satisfy are refused without counting.
TEST_F(CountingAllocators, HugeRequestsNeverLowerTheCount) {
  const std::size_t start = GetBytesInUse();
  const std::size_t big = (std::size_t{2} << 30) + 1;
  void* p = AllocMemory(big);  // never touched: costs address space, not memory
  ASSERT_NE(p, nullptr);
  EXPECT_GE(GetBytesInUse() - start, big);
  FreeMemory(p);
  EXPECT_EQ(GetBytesInUse(), start);
  EXPECT_EQ(AllocMemory(SIZE_MAX), nullptr);
  EXPECT_EQ(AllocMemory(SIZE_MAX / 2 + 1), nullptr);
  EXPECT_EQ(AllocTempHandle(SIZE_MAX), nullptr);
  EXPECT_EQ(GetBytesInUse(), start);
}

// Blocks (cleared or not) and handles (plain or purgeable, some purged before disposal) in
// random order: the count returns exactly to its start.
TEST_F(CountingAllocators, RandomAllocFreeReturnsCountToStart) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<std::size_t> size(0, 70000);
  const std::size_t start = GetBytesInUse();
  std::vector<void*> blocks;
  std::vector<Handle> handles;
  for (int round = 0; round < 400; ++round) {
    if (rng() % 3 != 0) {
      const std::size_t n = size(rng);
      auto* p = static_cast<unsigned char*>(AllocMemory(n, true));
      ASSERT_NE(p, nullptr);
      ASSERT_TRUE(std::all_of(p, p + n, [](unsigned char c) { return c == 0; }));
      blocks.push_back(p);
    } else {
      Handle h = rng() % 2 ? AllocTempHandle(size(rng)) : AllocPurgeableTempHandle(size(rng));
      ASSERT_NE(h, nullptr);
      handles.push_back(h);
    }
    if (!blocks.empty() && rng() % 4 == 0) {
      const std::size_t i = rng() % blocks.size();
      FreeMemory(blocks[i]);
      blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  PurgeHandlesForTest();
  for (void* p : blocks) FreeMemory(p);
  for (Handle h : handles) {
    EXPECT_EQ(HandleDeref(h) == nullptr, HandleIsPurged(h) || GetHandleSize(h) == 0);
    DisposeCountedHandle(h);
  }
  FreeMemory(nullptr);
  DisposeCountedHandle(nullptr);
  EXPECT_EQ(GetBytesInUse(), start);
}

// A counted handle resized in place of a new allocation is charged what was granted, and
// growth is refused like an allocation: past the temporary limit ('b'), or by injection ('f').
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
  DisposeCountedHandle(h);
  EXPECT_EQ(GetBytesInUse(), 0u);
}

TEST_F(CountingAllocators, FailsTheNthAttemptOnlyOrFromItOn) {
  const std::size_t start = GetBytesInUse();
  FailAllocationAt(3);  // handles count as attempts too
  void* a = AllocMemory(8);
  Handle b = AllocTempHandle(8);
  EXPECT_EQ(AllocMemory(8), nullptr);
  void* d = AllocMemory(8);
  EXPECT_TRUE(a && b && d);
  EXPECT_EQ(CountedAllocationAttempts(), 4u);
  FailAllocationAt(1, true);
  EXPECT_EQ(AllocMemory(8), nullptr);
  EXPECT_EQ(AllocTempHandle(8), nullptr);
  FreeMemory(a);
  DisposeCountedHandle(b);
  FreeMemory(d);
  EXPECT_EQ(GetBytesInUse(), start);
}

// Destination first: a swapped pair of arguments copies the wrong way.
TEST_F(CountingAllocators, CopyBytesMatchesMemmoveBothDirections) {
  const struct { std::size_t dst, src, n; } rows[] = {{0, 5, 20}, {5, 0, 20}, {0, 31, 1}, {10, 0, 0}};
  for (const auto& r : rows) {
    unsigned char a[32], b[32];
    for (int i = 0; i < 32; ++i) a[i] = b[i] = static_cast<unsigned char>(i * 7 + 1);
    CopyBytes(a + r.dst, a + r.src, r.n);
    std::memmove(b + r.dst, b + r.src, r.n);
    EXPECT_EQ(std::memcmp(a, b, 32), 0) << r.dst << "<-" << r.src;
  }
}

// Past the heap limit CheckFreeMemory posts 7 once and raises the flag, which alone keeps
// both tests answering true.
TEST_F(CountingAllocators, ShortageTestsPostSevenOnceAndFollowTheFlag) {
  ResetErrorRegister();
  EXPECT_GT(RemainingStackBytes(), kShortStackBytes);  // the main thread's stack is known
  EXPECT_NE(RemainingStackBytes(), SIZE_MAX);
  SetMemoryBudget(4096);  // heap limit 3072
  SetBytesInUse(3072);
  EXPECT_FALSE(CheckFreeMemory());
  EXPECT_FALSE(IsMemoryShort(1 << 20));
  EXPECT_FALSE(HasPendingError());
  SetBytesInUse(3073);
  EXPECT_TRUE(IsMemoryShort());
  EXPECT_TRUE(GetOutOfMemoryFlag());
  EXPECT_EQ(PendingError(), kErrorOutOfMemory);
  ClearPendingError(kErrorOutOfMemory);
  SetBytesInUse(0);
  EXPECT_TRUE(CheckFreeMemory());
  EXPECT_TRUE(IsMemoryShort(0));
  EXPECT_FALSE(HasPendingError());
  ResetErrorRegister();
}

}  // namespace
