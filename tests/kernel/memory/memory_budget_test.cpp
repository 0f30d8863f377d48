// Memory budget: the two limits, refusal past the heap and temporary limits, accounting that
// returns to its start, null tolerance, the copy primitive and the failure-injection seam.
#include "kernel/memory/memory_budget.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "tests/kernel/memory/memory_test_support.h"

namespace {

constexpr std::uint64_t MiB = kMebibyte;

using CountingAllocators = MemoryBudgetTest;

// Golden values hand-computed: heap = max(B - 300 MiB, 3B/4), temp = max(B - 400 MiB, B/2).
TEST_F(CountingAllocators, LimitsToTheByteForThreeBudgets) {
  struct Row { std::uint64_t budget, heap, temp; };
  const Row rows[] = {
      {512 * MiB, 402653184, 268435456},     // 384 MiB, 256 MiB: both fractional terms
      {1024 * MiB, 805306368, 654311424},    // 768 MiB (75 %), 624 MiB (400 MiB reserve)
      {2048 * MiB, 1832910848, 1728053248},  // 1748 MiB, 1648 MiB: both reserves
      {4096, 3072, 2048},                    // tiny test budget
      {0, 0, 0},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(HeapLimitFor(r.budget), r.heap) << r.budget;
    EXPECT_EQ(TempMemoryLimitFor(r.budget), r.temp) << r.budget;
    SetMemoryBudget(r.budget);
    EXPECT_EQ(HeapLimit(), r.heap);
    EXPECT_EQ(TempMemoryLimit(), r.temp);
  }
}

// A request is judged by the count before it: one at the limit is granted whatever its size.
TEST_F(CountingAllocators, GrantsAtTheLimitThenRefusesWithCountUnchanged) {
  SetMemoryBudget(4096);
  for (std::size_t size : {std::size_t{100}, std::size_t{1} << 20}) {
    SetBytesInUse(3072);
    void* p = AllocMemory(size);
    ASSERT_NE(p, nullptr);
    EXPECT_GE(GetBytesInUse(), 3072 + size);
    const std::size_t after = GetBytesInUse();
    EXPECT_EQ(AllocMemory(1), nullptr);
    EXPECT_EQ(AllocMemory(1, true), nullptr);
    EXPECT_EQ(AllocTempHandle(1), nullptr);
    EXPECT_EQ(GetBytesInUse(), after);
    FreeMemory(p);
    EXPECT_EQ(GetBytesInUse(), 3072u);
  }
}

TEST_F(CountingAllocators, TempHandleRefusedAtTempLimitWhileHeapStillGrants) {
  SetMemoryBudget(4096);   // temp limit 2048, heap limit 3072
  SetBytesInUse(2049);
  EXPECT_EQ(AllocTempHandle(16), nullptr);
  EXPECT_EQ(AllocPurgeableTempHandle(16), nullptr);
  void* p = AllocMemory(16);
  EXPECT_NE(p, nullptr);
  FreeMemory(p);
  SetBytesInUse(2048);  // exactly at the temp limit: granted
  Handle h = AllocTempHandle(16);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GetBytesInUse(), 2048u + 16u);
  DisposeCountedHandle(h);
  EXPECT_EQ(GetBytesInUse(), 2048u);
}

// A counted handle resized in place of a new allocation is charged what was granted, and
// growth is refused like an allocation: past the temporary limit, or by injection.
TEST_F(CountingAllocators, ResizingACountedHandleChargesGrowthAndShrinkage) {
  SetMemoryBudget(8192);  // temporary limit 4096
  SetBytesInUse(0);
  Handle h = AllocTempHandle(100);
  ASSERT_NE(h, nullptr);
  void* ballast = nullptr;
  struct Row { std::size_t size; char before; bool ok; std::size_t count; };
  const Row rows[] = {
      {1000, ' ', true, 1000}, {10, ' ', true, 10},    {3000, 'f', false, 10},
      {3000, 'b', false, 10},  {4, 'b', true, 4},      {0, ' ', true, 0},
      {50, ' ', true, 50},
  };
  for (const Row& r : rows) {
    if (r.before == 'f') FailAllocationAt(1);
    if (r.before == 'b') ballast = ballast ? ballast : AllocMemory(5000);  // count past the limit
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

TEST_F(CountingAllocators, RequestsOfTwoGibibytesNeverLowerTheCount) {
  // Refused by the limit (count past it): nothing changes.
  SetMemoryBudget(4096);
  SetBytesInUse(5000);
  EXPECT_EQ(AllocMemory(std::size_t{3} << 30), nullptr);
  EXPECT_EQ(GetBytesInUse(), 5000u);
  // Sizes that no allocator can satisfy are refused without counting.
  SetBytesInUse(0);
  EXPECT_EQ(AllocMemory(SIZE_MAX), nullptr);
  EXPECT_EQ(AllocMemory(SIZE_MAX / 2 + 1), nullptr);
  EXPECT_EQ(AllocTempHandle(SIZE_MAX), nullptr);
  EXPECT_EQ(GetBytesInUse(), 0u);
}

TEST_F(CountingAllocators, GrantedRequestOfTwoGibibytesRaisesTheCountByItsSize) {
  // Taken as a signed 32-bit amount, 2 GiB + 1 would lower the count by about 2 GiB.
  const std::size_t start = GetBytesInUse();
  const std::size_t big = (std::size_t{2} << 30) + 1;
  void* p = AllocMemory(big);  // never touched: costs address space, not memory
  ASSERT_NE(p, nullptr);
  EXPECT_GE(GetBytesInUse() - start, big);
  FreeMemory(p);
  EXPECT_EQ(GetBytesInUse(), start);
}

TEST_F(CountingAllocators, RandomAllocFreeReturnsCountToStart) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<std::size_t> size(0, 70000);
  const std::size_t start = GetBytesInUse();
  std::vector<void*> blocks;
  std::vector<Handle> handles;
  for (int round = 0; round < 400; ++round) {
    if (rng() % 3 != 0) {
      void* p = AllocMemory(size(rng), rng() % 2 == 0);
      ASSERT_NE(p, nullptr);
      blocks.push_back(p);
    } else {
      Handle h = rng() % 2 ? AllocTempHandle(size(rng)) : AllocPurgeableTempHandle(size(rng));
      ASSERT_NE(h, nullptr);
      handles.push_back(h);
    }
    if (!blocks.empty() && rng() % 4 == 0) {
      std::size_t i = rng() % blocks.size();
      FreeMemory(blocks[i]);
      blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  ASSERT_GT(GetBytesInUse(), start);
  PurgeHandlesForTest();  // purged handles still uncount what they were charged
  for (void* p : blocks) FreeMemory(p);
  for (Handle h : handles) DisposeCountedHandle(h);
  EXPECT_EQ(GetBytesInUse(), start);
}

TEST_F(CountingAllocators, CountsUsableSizeAndClearsWhenAsked) {
  const std::size_t start = GetBytesInUse();
  auto* p = static_cast<unsigned char*>(AllocMemory(4099, true));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(GetBytesInUse() - start, MallocSize(p));
  EXPECT_GE(MallocSize(p), 4099u);
  for (int i = 0; i < 4099; ++i) ASSERT_EQ(p[i], 0) << i;
  FreeMemory(p);
  EXPECT_EQ(GetBytesInUse(), start);
}

TEST_F(CountingAllocators, NullReleasesChangeNothing) {
  const std::size_t start = GetBytesInUse();
  const std::size_t handles = LiveHandleCount();
  FreeMemory(nullptr);
  DisposeCountedHandle(nullptr);
  EXPECT_EQ(GetBytesInUse(), start);
  EXPECT_EQ(LiveHandleCount(), handles);
  EXPECT_EQ(HandleDeref(nullptr), nullptr);
}

TEST_F(CountingAllocators, FreeNeverWrapsBelowZero) {
  void* p = AllocMemory(64);
  ASSERT_NE(p, nullptr);
  SetBytesInUse(10);  // a test seam set the count below what the block holds
  FreeMemory(p);
  EXPECT_EQ(GetBytesInUse(), 0u);
}

TEST_F(CountingAllocators, HandleDerefIsNullOncePurged) {
  Handle h = AllocPurgeableTempHandle(32);
  ASSERT_NE(h, nullptr);
  EXPECT_NE(HandleDeref(h), nullptr);
  EXPECT_TRUE(PurgeHandleForTest(h));
  EXPECT_EQ(HandleDeref(h), nullptr);
  EXPECT_EQ(GetHandleSize(h), 0u);
  DisposeCountedHandle(h);
}

TEST_F(CountingAllocators, CopyBytesMatchesMemmoveBothDirections) {
  struct Row { std::size_t dst, src, n; };
  const Row rows[] = {{0, 5, 20}, {5, 0, 20}, {3, 3, 10}, {0, 31, 1}, {10, 0, 0}};
  for (const Row& r : rows) {
    unsigned char a[32], b[32];
    for (int i = 0; i < 32; ++i) a[i] = b[i] = static_cast<unsigned char>(i * 7 + 1);
    CopyBytes(a + r.dst, a + r.src, r.n);
    std::memmove(b + r.dst, b + r.src, r.n);
    EXPECT_EQ(std::memcmp(a, b, 32), 0) << r.dst << "<-" << r.src;
  }
  unsigned char z[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  ZeroBytes(z + 2, 5);
  const unsigned char want[9] = {1, 2, 0, 0, 0, 0, 0, 8, 9};
  EXPECT_EQ(std::memcmp(z, want, 9), 0);
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
  FreeMemory(a);
  DisposeCountedHandle(b);
  FreeMemory(d);
  FailAllocationAt(2, true);
  a = AllocMemory(8);
  EXPECT_NE(a, nullptr);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(AllocMemory(8), nullptr);
  FreeMemory(a);
  EXPECT_EQ(GetBytesInUse(), start);
}

}  // namespace
