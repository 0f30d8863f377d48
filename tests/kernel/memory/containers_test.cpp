// Containers against their invariants: growth of arrays and chunk pools with each allocation
// attempt refused in turn, the trim, and a randomised block-pool run against a reference set.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "kernel/memory/block_pool.h"
#include "kernel/memory/chunk_pool.h"
#include "kernel/memory/growable_array.h"
#include "tests/kernel/memory/memory_test_support.h"

namespace {

using Containers = MemoryBudgetTest;

// Inserts at varied places against a model; capacity goes 0 -> 16 -> 32 -> 64, and a refused
// growth (only items 0, 16 and 32 need one) leaves the array exactly as it was.
TEST_F(Containers, GrowArrayInsertsLikeTheModelAndARefusedGrowthChangesNothing) {
  const std::size_t start = GetBytesInUse();
  GrowArray<int> a;
  std::vector<int> model;
  for (int i = 0; i < 33; ++i) {
    const GrowArray<int> before = a;
    const auto at = static_cast<std::int32_t>((i * 7) % (a.count + 1));
    FailAllocationAt(1);
    EXPECT_EQ(GrowArrayInsert(a, i, at), i != 0 && i != 16 && i != 32) << i;
    FailAllocationAt(0);
    if (a.count == before.count) {
      EXPECT_TRUE(a.data == before.data && a.capacity == before.capacity);
      ASSERT_TRUE(GrowArrayInsert(a, i, at));
    }
    model.insert(model.begin() + at, i);
    ASSERT_TRUE(CheckGrowArray(a));
  }
  EXPECT_EQ(std::vector<int>(a.data, a.data + a.count), model);
  EXPECT_EQ(a.capacity, 64);
  EXPECT_FALSE(GrowArrayInsert(a, 0, -1) || GrowArrayInsert(a, 0, a.count + 1));
  GrowArrayFree(a);
  EXPECT_EQ(GetBytesInUse(), start);
}

// Each append is retried with attempt 1, 2, ... refused until it succeeds: a refused chunk or
// chunk table leaves the pool and the count as they were (the spare chunk goes back to its
// slot). Items never move; item 1024 opens chunk 1.
TEST_F(Containers, ChunkPoolKeepsItemsInPlaceWhateverAttemptIsRefused) {
  struct Item12 { std::int32_t a, b, c; };
  const std::size_t start = GetBytesInUse();
  ChunkPool<Item12, 1024> pool;
  Item12* const spare = pool.spare = static_cast<Item12*>(AllocMemory(1024 * sizeof(Item12)));
  std::vector<Item12*> addresses;
  int refusals = 0;
  for (std::int32_t i = 0; i < 3000; ++i) {
    for (std::uint64_t n = 1;; ++n, ++refusals) {
      const std::size_t before = GetBytesInUse();
      FailAllocationAt(n);
      const int failed = ChunkPoolAppend12(pool, Item12{i, -i, 3 * i});
      FailAllocationAt(0);
      ASSERT_TRUE(CheckChunkPool(pool));
      if (failed == 0) break;
      ASSERT_TRUE(ChunkPoolCount(pool) == i && GetBytesInUse() == before) << i;
    }
    addresses.push_back(ChunkPoolAt12(pool, i));
  }
  EXPECT_EQ(refusals, 3);  // the table for item 0 (its chunk is the spare), chunks for 1024, 2048
  EXPECT_EQ(addresses[0], spare);
  EXPECT_EQ(ChunkPoolAt(pool, 1024), pool.chunks.data[1]);
  for (std::int32_t i = 0; i < 3000; ++i) {
    ASSERT_TRUE(ChunkPoolAt(pool, i) == addresses[static_cast<std::size_t>(i)] && addresses[i]->b == -i);
  }
  ChunkPoolClear(pool);
  EXPECT_EQ(GetBytesInUse(), start);
}

// 400 chunks' blocks released in random order: placing a block examines a handful of chunk
// records (a search of the table), not a share of the table, so the trim stays linear.
TEST_F(Containers, BlockPoolTrimPlacesRandomlyReleasedBlocksInFewProbes) {
  BlockPoolCore pool;
  BlockPoolInit(pool, 24);  // 170 blocks a chunk
  std::vector<void*> blocks(170 * 400);
  for (void*& b : blocks) ASSERT_NE(b = BlockPoolAlloc(pool), nullptr);
  std::shuffle(blocks.begin(), blocks.end(), std::mt19937(7));
  for (std::size_t i = 0; i < blocks.size(); i += 2) BlockPoolFree(pool, blocks[i]);
  BlockPoolTrim(pool);
  EXPECT_TRUE(CheckBlockPool(pool));
  EXPECT_LE(pool.trimProbes, blocks.size() / 2 * 12);  // log2(400) + 3 a block
  for (std::size_t i = 1; i < blocks.size(); i += 2) BlockPoolFree(pool, blocks[i]);
  BlockPoolTrim(pool);
  EXPECT_EQ(pool.chunks.count, 0);
  EXPECT_EQ(pool.foreignBlocks, 0u);
}

#ifndef NDEBUG
TEST_F(Containers, BlockPoolCatchesAForeignBlockInDebugBuilds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  BlockPoolCore pool;
  BlockPoolInit(pool, 16);
  alignas(16) unsigned char foreign[16];
  EXPECT_DEATH(((void)BlockPoolAlloc(pool), BlockPoolFree(pool, foreign), BlockPoolTrim(pool)),
               "does not belong");
  BlockPoolDestroy(pool);
}
#endif

// Randomised alloc/free/trim against a reference set, with the chunk storage, the chunk
// table or the fitted table of a trim refused now and then: no block is handed out twice or
// overwritten while out, release is deferred to the trim, which leaves the table fitted
// unless refused, and destroy takes the blocks still out. Blocks per chunk follow
// min(255, 4096 / size), sizes rounded up to a pointer.
TEST_F(Containers, BlockPoolRandomisedRunNeverHandsOutABlockTwice) {
  const struct { std::size_t item; int perChunk; } sizes[] = {
      {4, 255}, {12, 255}, {24, 170}, {40, 102}, {200, 20}};
  for (const auto& size : sizes) {
    const std::size_t start = GetBytesInUse();
    BlockPoolCore pool;
    BlockPoolInit(pool, size.item);
    EXPECT_EQ(pool.blocksPerChunk, size.perChunk);
    std::mt19937 rng(static_cast<unsigned>(size.item));
    std::map<void*, std::uint32_t> live;  // block -> stamp written into it
    std::vector<void*> order;
    for (std::uint32_t step = 0; step < 6000; ++step) {
      const unsigned dice = rng() % 100;
      const bool refuse = rng() % 50 == 0;
      if (dice < 55 || live.empty()) {
        FailAllocationAt(refuse ? 1 + rng() % 2 : 0);
        void* p = BlockPoolAlloc(pool);
        FailAllocationAt(0);
        if (p == nullptr) continue;
        ASSERT_TRUE(live.count(p) == 0 && BlockPoolChunkOf(pool, p) >= 0) << "handed out twice, or outside";
        std::memcpy(p, &step, 4);
        live[p] = step;
        order.push_back(p);
      } else if (dice < 97) {
        const std::size_t i = rng() % order.size();
        void* p = std::exchange(order[i], order.back());
        order.pop_back();
        std::uint32_t seen;
        std::memcpy(&seen, p, 4);
        ASSERT_EQ(seen, live[p]) << "a live block was overwritten";
        live.erase(p);
        const std::size_t before = GetBytesInUse();
        BlockPoolFree(pool, p);
        ASSERT_EQ(GetBytesInUse(), before);
      } else {
        FailAllocationAt(refuse ? 1 : 0);
        BlockPoolTrim(pool);
        FailAllocationAt(0);
        ASSERT_TRUE(refuse || pool.chunks.capacity == pool.chunks.count) << step;
      }
      ASSERT_TRUE(step % 97 != 0 || CheckBlockPool(pool)) << step;
      ASSERT_EQ(BlockPoolBlocksInUse(pool), live.size());
    }
    BlockPoolDestroy(pool);
    EXPECT_EQ(pool.foreignBlocks, 0u);
    EXPECT_EQ(GetBytesInUse(), start) << size.item;
  }
}

}  // namespace
