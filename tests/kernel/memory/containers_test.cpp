// Containers: GrowArray growth and failure, ChunkPool addressing and stability, BlockPool
// reuse, trim, chunk sizing and a randomised run against a reference set.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "kernel/memory/block_pool.h"
#include "kernel/memory/chunk_pool.h"
#include "kernel/memory/growable_array.h"
#include "tests/kernel/memory/memory_test_support.h"

namespace {

using GrowArrays = MemoryBudgetTest;
using ChunkPools = MemoryBudgetTest;
using BlockPools = MemoryBudgetTest;

TEST_F(GrowArrays, CapacityIs16After1And16Appends32After17) {
  GrowArray<std::int32_t> a;
  const std::int32_t want[] = {16, 16, 32};  // after 1, 16, 17 appends
  const int appends[] = {1, 16, 17};
  int done = 0;
  for (int k = 0; k < 3; ++k) {
    while (done < appends[k]) ASSERT_TRUE(GrowArrayAppend(a, done++));
    EXPECT_EQ(a.capacity, want[k]);
    EXPECT_EQ(GrowArrayCount(a), appends[k]);
    EXPECT_TRUE(CheckGrowArray(a));
  }
  for (int i = 0; i < 17; ++i) EXPECT_EQ(*GrowArrayAt(a, i), i);
  GrowArrayFree(a);
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(a.capacity, 0);
}

TEST_F(GrowArrays, FailedGrowthLeavesArrayUnchangedAndLaterAppendsWork) {
  const std::size_t start = GetBytesInUse();
  GrowArray<double> a;
  FailAllocationAt(1);
  EXPECT_FALSE(GrowArrayAppend(a, 1.0));
  EXPECT_EQ(a.data, nullptr);
  EXPECT_EQ(a.count, 0);
  EXPECT_EQ(a.capacity, 0);
  FailAllocationAt(0);
  for (int i = 0; i < 16; ++i) ASSERT_TRUE(GrowArrayAppend(a, i * 1.5));
  double* before = a.data;
  FailAllocationAt(1, true);
  EXPECT_FALSE(GrowArrayAppend(a, 99.0));
  EXPECT_FALSE(GrowArrayInsert(a, 99.0, 3));
  EXPECT_EQ(a.data, before);
  EXPECT_EQ(a.count, 16);
  EXPECT_EQ(a.capacity, 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(a.data[i], i * 1.5);
  FailAllocationAt(0);
  EXPECT_TRUE(GrowArrayAppend(a, 24.0));
  EXPECT_EQ(a.capacity, 32);
  EXPECT_EQ(a.data[16], 24.0);
  GrowArrayFree(a);
  EXPECT_EQ(GetBytesInUse(), start);
}

TEST_F(GrowArrays, InsertMovesLaterItemsAndChecksItsIndex) {
  GrowArray<char> a;
  for (char c : std::string("bdf")) ASSERT_TRUE(GrowArrayAppend(a, c));
  struct Row { char item; std::int32_t index; bool ok; };
  const Row rows[] = {{'a', 0, true}, {'c', 2, true}, {'g', 5, true}, {'e', 4, true},
                      {'x', -1, false}, {'x', 8, false}, {'x', 100, false}};
  for (const Row& r : rows) EXPECT_EQ(GrowArrayInsert(a, r.item, r.index), r.ok) << r.item << r.index;
  EXPECT_EQ(std::string(a.data, static_cast<std::size_t>(a.count)), "abcdefg");
  GrowArrayFree(a);
}

// Some callers read a non-zero append result as failure; success is true for every form.
TEST_F(GrowArrays, NamedAppendsReportSuccessAsTrue) {
  int x = 0;
  PtrArray<int> ptrs;
  EXPECT_TRUE(PtrArrayAppend(ptrs, &x));
  EXPECT_EQ(ptrs.data[0], &x);
  struct Row16 { double key; void* handle; };
  GrowArray<Row16> rows16;
  while (rows16.count < 16) ASSERT_TRUE(Array16Append(rows16, Row16{2.5, &x}));
  FailAllocationAt(1, true);
  WordArray empty;
  EXPECT_FALSE(WordArrayAppend(empty, 1));
  EXPECT_FALSE(Array16Append(rows16, Row16{}));  // growth refused
  EXPECT_EQ(rows16.count, 16);
  FailAllocationAt(0);
  GrowArrayFree(ptrs);
  GrowArrayFree(rows16);
}

struct Item12 { std::int32_t a, b, c; };

TEST_F(ChunkPools, ItemsStayPutAndItem1024StartsChunk1) {
  const std::size_t start = GetBytesInUse();
  ChunkPool<Item12, 1024> pool;
  ASSERT_EQ(ChunkPoolAppend(pool, Item12{0, 0, 0}), 0);
  Item12* first = ChunkPoolAt(pool, 0);
  std::vector<Item12*> addresses{first};
  for (std::int32_t i = 1; i < 5000; ++i) {
    ASSERT_EQ(ChunkPoolAppend12(pool, Item12{i, -i, i * 3}), 0);
    addresses.push_back(ChunkPoolAt12(pool, i));
  }
  EXPECT_TRUE(CheckChunkPool(pool));
  EXPECT_EQ(ChunkPoolCount(pool), 5000);
  EXPECT_EQ(pool.chunks.count, 5);
  EXPECT_EQ(ChunkPoolAt(pool, 1024), pool.chunks.data[1]);  // item 1025: offset 0 of chunk 1
  EXPECT_EQ(ChunkPoolAt(pool, 1023), pool.chunks.data[0] + 1023);
  for (std::int32_t i = 0; i < 5000; ++i) {
    ASSERT_EQ(ChunkPoolAt(pool, i), addresses[static_cast<std::size_t>(i)]);  // never moved
    ASSERT_EQ(ChunkPoolAt(pool, i)->b, -i);
  }
  ChunkPoolClear(pool);
  EXPECT_EQ(GetBytesInUse(), start);
  EXPECT_EQ(pool.total, 0);
  EXPECT_TRUE(CheckChunkPool(pool));
}

TEST_F(ChunkPools, FailedAppendLeavesPoolUnchangedAndReportsOne) {
  struct P16 { double x, y; };
  ChunkPool<P16, 256> pool;
  // First attempt refused: no chunk.
  FailAllocationAt(1);
  EXPECT_EQ(ChunkPoolAppend16(pool, P16{1, 2}), 1);
  EXPECT_EQ(pool.total, 0);
  EXPECT_EQ(pool.chunks.count, 0);
  // Chunk granted, table refused: the chunk is given back.
  const std::size_t start = GetBytesInUse();
  FailAllocationAt(2);
  EXPECT_EQ(ChunkPoolAppend16(pool, P16{1, 2}), 1);
  EXPECT_EQ(GetBytesInUse(), start);
  EXPECT_TRUE(CheckChunkPool(pool));
  FailAllocationAt(0);
  for (int i = 0; i < 256; ++i) ASSERT_EQ(ChunkPoolAppend16(pool, P16{double(i), 0}), 0);
  // Chunk 2 refused while chunk 1 is full.
  FailAllocationAt(1);
  EXPECT_EQ(ChunkPoolAppend16(pool, P16{7, 7}), 1);
  EXPECT_EQ(pool.total, 256);
  EXPECT_EQ(pool.usedInLast, 256);
  FailAllocationAt(0);
  EXPECT_EQ(ChunkPoolAppend16(pool, P16{7, 7}), 0);
  EXPECT_EQ(ChunkPoolAt(pool, 256)->x, 7);
  ChunkPoolFree(pool);
  EXPECT_EQ(pool.chunks.data, nullptr);
}

TEST_F(ChunkPools, SpareChunkIsUsedBeforeANewOne) {
  struct I48 { double v[6]; };
  ChunkPool<I48, 1024> pool;
  I48* spare = static_cast<I48*>(AllocMemory(1024 * sizeof(I48), true));
  ASSERT_NE(spare, nullptr);
  pool.spare = spare;
  FailAllocationAt(1, true);  // chunk table still needs one allocation ...
  EXPECT_EQ(ChunkPoolAppend48(pool, I48{}), 1);
  EXPECT_EQ(pool.spare, spare);  // ... so the spare went back to its slot
  FailAllocationAt(0);
  EXPECT_EQ(ChunkPoolAppend48(pool, I48{{1, 2, 3, 4, 5, 6}}), 0);
  EXPECT_EQ(pool.spare, nullptr);
  EXPECT_EQ(ChunkPoolAt48(pool, 0), spare);
  EXPECT_EQ(ChunkPoolAt48(pool, 0)->v[5], 6);
  ChunkPoolClear(pool);
}

// Blocks per chunk from the rule min(255, 4096 / size), sizes rounded up to a pointer.
TEST(BlockPoolSizing, BlocksPerChunkFollowTheRule) {
  struct Row { std::size_t item; std::uint32_t block; int perChunk; };
  const Row rows[] = {{4, 8, 255}, {8, 8, 255}, {12, 12, 255}, {16, 16, 255}, {24, 24, 170},
                      {32, 32, 128}, {40, 40, 102}, {1, 8, 255}, {4096, 4096, 1}, {5000, 5000, 1}};
  for (const Row& r : rows) {
    BlockPoolCore pool;
    BlockPoolInit(pool, r.item);
    EXPECT_EQ(pool.blockSize, r.block) << r.item;
    EXPECT_EQ(pool.blocksPerChunk, r.perChunk) << r.item;
  }
  struct N24 { char b[24]; };
  static constinit BlockPool<N24> typed;  // ready before any static constructor runs
  EXPECT_EQ(typed.core.blocksPerChunk, 170);
  EXPECT_EQ(typed.core.blockSize, 24u);
}

TEST_F(BlockPools, ReleasedBlockComesBackWithoutAChunkScan) {
  BlockPoolCore pool;
  BlockPoolInit(pool, 24);
  void* a = BlockPoolAlloc(pool);
  void* b = BlockPoolAlloc(pool);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(static_cast<char*>(b) - static_cast<char*>(a), 24);
  const std::uint64_t scans = pool.chunkScans;
  BlockPoolFree(pool, a);
  EXPECT_EQ(BlockPoolAlloc(pool), a);
  EXPECT_EQ(pool.chunkScans, scans);
  BlockPoolFree(pool, b);
  BlockPoolFree(pool, a);
  EXPECT_EQ(BlockPoolAlloc(pool), a);  // most recent first
  EXPECT_EQ(BlockPoolAlloc(pool), b);
  EXPECT_TRUE(CheckBlockPool(pool));
  BlockPoolFree(pool, nullptr);
  EXPECT_EQ(BlockPoolDeferredCount(pool), 0u);
  BlockPoolDestroy(pool);
}

TEST_F(BlockPools, TrimFreesWhollyFreeChunksAndShrinksTheTable) {
  const std::size_t start = GetBytesInUse();
  BlockPool<std::int64_t> pool;  // 8-byte blocks, 255 a chunk
  std::vector<std::int64_t*> blocks;
  for (int i = 0; i < 255 * 3 + 1; ++i) {
    std::int64_t* p = BlockPoolAlloc(pool);
    ASSERT_NE(p, nullptr);
    *p = i;
    blocks.push_back(p);
  }
  ASSERT_EQ(pool.core.chunks.count, 4);
  EXPECT_EQ(pool.core.chunks.capacity, 16);
  const std::size_t full = GetBytesInUse();
  // Free every block of chunk 1 and one block of chunk 0.
  auto freedFirst = [](std::size_t i) { return (i >= 255 && i < 510) || i == 3; };
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    if (freedFirst(i)) BlockPoolFree(pool, blocks[i]);
  }
  EXPECT_EQ(GetBytesInUse(), full);  // release is deferred
  BlockPoolTrim(pool);
  EXPECT_TRUE(CheckBlockPool(pool));
  EXPECT_EQ(pool.core.chunks.count, 3);
  EXPECT_EQ(pool.core.chunks.capacity, 3);  // shrunk to fit
  EXPECT_LT(GetBytesInUse(), full);
  EXPECT_EQ(BlockPoolBlocksInUse(pool.core), 255u * 3 + 1 - 256);
  // The survivors are untouched; freeing them gives everything back and releases the table.
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    if (freedFirst(i)) continue;
    ASSERT_EQ(*blocks[i], static_cast<std::int64_t>(i));
    ASSERT_GE(BlockPoolChunkOf(pool.core, blocks[i]), 0);
    BlockPoolFree(pool, blocks[i]);
  }
  BlockPoolTrim(pool);
  EXPECT_EQ(pool.core.chunks.count, 0);
  EXPECT_EQ(pool.core.chunks.data, nullptr);
  EXPECT_EQ(pool.core.allocCursor, -1);
  EXPECT_EQ(GetBytesInUse(), start);
  EXPECT_TRUE(CheckBlockPool(pool));
}

TEST_F(BlockPools, FailedChunkLeavesPoolUnchanged) {
  const std::size_t start = GetBytesInUse();
  BlockPoolCore pool;
  BlockPoolInit(pool, 40);
  FailAllocationAt(1);  // chunk storage refused
  EXPECT_EQ(BlockPoolAlloc(pool), nullptr);
  EXPECT_EQ(pool.chunks.count, 0);
  FailAllocationAt(2);  // storage granted, table refused: storage given back
  EXPECT_EQ(BlockPoolAlloc(pool), nullptr);
  EXPECT_EQ(pool.chunks.count, 0);
  EXPECT_EQ(GetBytesInUse(), start);
  FailAllocationAt(0);
  void* p = BlockPoolAlloc(pool);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(CheckBlockPool(pool));
  BlockPoolFree(pool, p);
  BlockPoolDestroy(pool);
  EXPECT_EQ(GetBytesInUse(), start);
}

TEST_F(BlockPools, TrimKeepsTheRoomierTableWhenShrinkingFails) {
  BlockPoolCore pool;
  BlockPoolInit(pool, 2048);  // 2 blocks a chunk: chunks come cheap
  std::vector<void*> blocks;
  for (int i = 0; i < 2 * 17; ++i) blocks.push_back(BlockPoolAlloc(pool));
  ASSERT_EQ(pool.chunks.count, 17);
  ASSERT_EQ(pool.chunks.capacity, 32);
  BlockPoolFree(pool, blocks[0]);
  BlockPoolFree(pool, blocks[1]);
  FailAllocationAt(1);
  BlockPoolTrim(pool);
  EXPECT_EQ(pool.chunks.count, 16);
  EXPECT_EQ(pool.chunks.capacity, 32);
  EXPECT_TRUE(CheckBlockPool(pool));
  FailAllocationAt(0);
  for (std::size_t i = 2; i < blocks.size(); ++i) BlockPoolFree(pool, blocks[i]);
  BlockPoolDestroy(pool);
}

TEST_F(BlockPools, DestroyReturnsEverythingIncludingBlocksStillOut) {
  const std::size_t start = GetBytesInUse();
  BlockPoolCore pool;
  BlockPoolInit(pool, 12);
  for (int i = 0; i < 600; ++i) ASSERT_NE(BlockPoolAlloc(pool), nullptr);
  BlockPoolDestroy(pool);
  EXPECT_EQ(GetBytesInUse(), start);
  EXPECT_EQ(pool.chunks.count, 0);
  EXPECT_EQ(pool.blockSize, 12u);
  EXPECT_NE(BlockPoolAlloc(pool), nullptr);  // still usable
  BlockPoolDestroy(pool);
}

// 400 chunks' blocks released in random order: placing a block examines a handful of chunk
// records (a search of the table), not a share of the table, so the trim stays linear.
TEST_F(BlockPools, TrimPlacesRandomlyReleasedBlocksInFewProbes) {
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
TEST_F(BlockPools, ForeignBlockIsCaughtInDebugBuilds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        BlockPoolCore pool;
        BlockPoolInit(pool, 16);
        (void)BlockPoolAlloc(pool);
        alignas(16) unsigned char foreign[16];
        BlockPoolFree(pool, foreign);
        BlockPoolTrim(pool);
      },
      "does not belong");
}
#endif

// Randomised alloc/free/trim against a reference set: no block is handed out twice, every
// block lies inside a chunk, and the pool's invariants hold after every step.
TEST_F(BlockPools, RandomisedRunNeverHandsOutABlockTwice) {
  for (std::size_t itemSize : {4, 12, 24, 40, 200}) {
    const std::size_t start = GetBytesInUse();
    BlockPoolCore pool;
    BlockPoolInit(pool, itemSize);
    std::mt19937 rng(static_cast<unsigned>(itemSize) * 7919u);
    std::map<void*, std::uint32_t> live;  // block -> stamp written into it
    std::vector<void*> order;
    std::uint32_t stamp = 0;
    for (int step = 0; step < 6000; ++step) {
      const unsigned dice = rng() % 100;
      if (dice < 55 || live.empty()) {
        if (rng() % 50 == 0) FailAllocationAt(1);
        void* p = BlockPoolAlloc(pool);
        FailAllocationAt(0);
        if (p == nullptr) continue;
        ASSERT_EQ(live.count(p), 0u) << "handed out twice";
        ASSERT_GE(BlockPoolChunkOf(pool, p), 0) << "outside every chunk";
        ++stamp;
        std::memcpy(p, &stamp, 4);
        live[p] = stamp;
        order.push_back(p);
      } else if (dice < 97) {
        std::size_t i = rng() % order.size();
        void* p = order[i];
        order[i] = order.back();
        order.pop_back();
        std::uint32_t seen;
        std::memcpy(&seen, p, 4);
        ASSERT_EQ(seen, live[p]) << "a live block was overwritten";
        live.erase(p);
        BlockPoolFree(pool, p);
      } else {
        BlockPoolTrim(pool);
        ASSERT_LE(pool.chunks.capacity, pool.chunks.count);
      }
      if (step % 97 == 0) {
        ASSERT_TRUE(CheckBlockPool(pool)) << step;
      }
      ASSERT_EQ(BlockPoolBlocksInUse(pool), live.size());
    }
    for (void* p : order) BlockPoolFree(pool, p);
    BlockPoolTrim(pool);
    EXPECT_TRUE(CheckBlockPool(pool));
    EXPECT_EQ(pool.chunks.count, 0);
    EXPECT_EQ(pool.foreignBlocks, 0u);
    EXPECT_EQ(GetBytesInUse(), start) << itemSize;
  }
}

}  // namespace
