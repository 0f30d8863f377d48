// Block pools. Cursors are indices, not pointers: the chunk table reallocates when it grows
// and when the trim shrinks it. The trim's chunk search is bounded by the table, so a block
// released into the wrong pool is counted and leaked (and asserted on in debug builds)
// instead of looping or reading out of bounds.
#include "kernel/memory/block_pool.h"

#include <cassert>
#include <cstring>
#include <vector>

#include "kernel/memory/memory_budget.h"

namespace {

void* LinkOf(const void* block) {
  void* next;
  std::memcpy(&next, block, sizeof(void*));  // blocks need not be pointer-aligned
  return next;
}

void SetLink(void* block, void* next) { std::memcpy(block, &next, sizeof(void*)); }

std::size_t ChunkBytes(const BlockPoolCore& pool) {
  return static_cast<std::size_t>(pool.blockSize) * pool.blocksPerChunk;
}

bool ChunkHolds(const BlockPoolCore& pool, const BlockChunk& c, const std::uint8_t* p) {
  return c.storage != nullptr && p >= c.storage && p < c.storage + ChunkBytes(pool);
}

void* Serve(BlockPoolCore& pool, BlockChunk& c) {
  std::uint8_t* block = c.storage + static_cast<std::size_t>(c.firstFree) * pool.blockSize;
  c.firstFree = block[0];
  --c.freeCount;
  return block;
}

// Outward search from the release cursor: the cursor, one lower, one higher, two lower, ...
std::int32_t FindChunkOutward(const BlockPoolCore& pool, const std::uint8_t* p) {
  const std::int32_t n = pool.chunks.count;
  if (n == 0) return -1;
  const std::int32_t start = (pool.releaseCursor >= 0 && pool.releaseCursor < n) ? pool.releaseCursor : 0;
  for (std::int32_t d = 0; start - d >= 0 || start + d < n; ++d) {
    std::int32_t lo = start - d;
    if (lo >= 0 && ChunkHolds(pool, pool.chunks.data[lo], p)) return lo;
    std::int32_t hi = start + d;
    if (d > 0 && hi < n && ChunkHolds(pool, pool.chunks.data[hi], p)) return hi;
  }
  return -1;
}

}  // namespace

void BlockChunkLink(BlockChunk& chunk, std::uint32_t blockSize, std::uint8_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    chunk.storage[static_cast<std::size_t>(i) * blockSize] = static_cast<std::uint8_t>(i + 1);
  }
  chunk.firstFree = 0;
  chunk.freeCount = count;
}

void BlockChunkInit(BlockChunk& chunk, std::uint32_t blockSize, std::uint8_t count) {
  chunk = BlockChunk();
  chunk.storage = static_cast<std::uint8_t*>(AllocMemory(static_cast<std::size_t>(blockSize) * count));
  if (chunk.storage != nullptr) BlockChunkLink(chunk, blockSize, count);
}

void BlockChunkRelease(BlockChunk& chunk) {
  FreeMemory(chunk.storage);
  chunk = BlockChunk();
}

void BlockPoolInit(BlockPoolCore& pool, std::size_t itemSize) { pool = MakeBlockPoolCore(itemSize); }

void* BlockPoolAlloc(BlockPoolCore& pool) {
  if (pool.deferred != nullptr) {
    void* block = pool.deferred;
    pool.deferred = LinkOf(block);
    return block;
  }
  const std::int32_t n = pool.chunks.count;
  if (pool.allocCursor >= 0 && pool.allocCursor < n && pool.chunks.data[pool.allocCursor].freeCount > 0) {
    return Serve(pool, pool.chunks.data[pool.allocCursor]);
  }
  ++pool.chunkScans;
  for (std::int32_t k = 0; k < n; ++k) {
    if (pool.chunks.data[k].freeCount > 0) {
      pool.allocCursor = k;
      return Serve(pool, pool.chunks.data[k]);
    }
  }
  BlockChunk fresh;
  BlockChunkInit(fresh, pool.blockSize, pool.blocksPerChunk);
  if (fresh.storage == nullptr) return nullptr;
  if (!GrowArrayAppend(pool.chunks, fresh)) {
    BlockChunkRelease(fresh);
    return nullptr;
  }
  pool.allocCursor = pool.chunks.count - 1;
  pool.releaseCursor = 0;
  return Serve(pool, pool.chunks.data[pool.allocCursor]);
}

void BlockPoolFree(BlockPoolCore& pool, void* block) {
  if (block == nullptr) return;
  SetLink(block, pool.deferred);
  pool.deferred = block;
}

void BlockPoolTrim(BlockPoolCore& pool) {
  while (pool.deferred != nullptr) {
    auto* block = static_cast<std::uint8_t*>(pool.deferred);
    pool.deferred = LinkOf(block);
    std::int32_t k = FindChunkOutward(pool, block);
    if (k < 0 || (block - pool.chunks.data[k].storage) % pool.blockSize != 0) {
      ++pool.foreignBlocks;
      assert(!"a block was released into a pool it does not belong to");
      continue;
    }
    pool.releaseCursor = k;
    BlockChunk& c = pool.chunks.data[k];
    block[0] = c.firstFree;
    c.firstFree = static_cast<std::uint8_t>((block - c.storage) / pool.blockSize);
    ++c.freeCount;
    if (c.freeCount == pool.blocksPerChunk) {
      // Wholly free: exchange with the last record and drop it.
      const std::int32_t last = pool.chunks.count - 1;
      BlockChunk freed = c;
      c = pool.chunks.data[last];
      BlockChunkRelease(freed);
      pool.chunks.count = last;
      pool.allocCursor = pool.releaseCursor = last > 0 ? 0 : -1;
    }
  }
  if (pool.chunks.count == 0) {
    GrowArrayFree(pool.chunks);
  } else if (pool.chunks.capacity > pool.chunks.count) {
    auto* fitted = static_cast<BlockChunk*>(
        AllocMemory(static_cast<std::size_t>(pool.chunks.count) * sizeof(BlockChunk)));
    if (fitted != nullptr) {  // otherwise the roomier table stays
      std::memcpy(static_cast<void*>(fitted), pool.chunks.data,
                  static_cast<std::size_t>(pool.chunks.count) * sizeof(BlockChunk));
      FreeMemory(pool.chunks.data);
      pool.chunks.data = fitted;
      pool.chunks.capacity = pool.chunks.count;
    }
  }
  pool.allocCursor = pool.releaseCursor = pool.chunks.count > 0 ? 0 : -1;
}

void BlockPoolDestroy(BlockPoolCore& pool) {
  BlockPoolTrim(pool);
  for (std::int32_t k = 0; k < pool.chunks.count; ++k) BlockChunkRelease(pool.chunks.data[k]);
  GrowArrayFree(pool.chunks);
  pool.allocCursor = pool.releaseCursor = -1;
  pool.deferred = nullptr;
}

std::size_t BlockPoolDeferredCount(const BlockPoolCore& pool) {
  std::size_t n = 0;
  for (void* b = pool.deferred; b != nullptr; b = LinkOf(b)) ++n;
  return n;
}

std::size_t BlockPoolBlocksInUse(const BlockPoolCore& pool) {
  std::size_t used = 0;
  for (std::int32_t k = 0; k < pool.chunks.count; ++k) {
    used += pool.blocksPerChunk - pool.chunks.data[k].freeCount;
  }
  return used - BlockPoolDeferredCount(pool);
}

std::int32_t BlockPoolChunkOf(const BlockPoolCore& pool, const void* p) {
  const auto* b = static_cast<const std::uint8_t*>(p);
  for (std::int32_t k = 0; k < pool.chunks.count; ++k) {
    const BlockChunk& c = pool.chunks.data[k];
    if (ChunkHolds(pool, c, b)) return (b - c.storage) % pool.blockSize == 0 ? k : -1;
  }
  return -1;
}

bool CheckBlockPool(const BlockPoolCore& pool) {
  if (pool.blockSize < sizeof(void*) || pool.blocksPerChunk != BlocksPerChunkFor(pool.blockSize)) return false;
  if (!CheckGrowArray(pool.chunks)) return false;
  const std::int32_t n = pool.chunks.count;
  if (pool.allocCursor < -1 || pool.allocCursor >= n) return false;
  if (pool.releaseCursor < -1 || pool.releaseCursor >= n) return false;
  const std::size_t per = pool.blocksPerChunk;
  // free[k * per + i]: block i of chunk k is on its chunk's list or the deferred list.
  std::vector<bool> free(static_cast<std::size_t>(n) * per, false);
  for (std::int32_t k = 0; k < n; ++k) {
    const BlockChunk& c = pool.chunks.data[k];
    if (c.storage == nullptr || c.freeCount > per) return false;
    std::uint32_t idx = c.firstFree;
    for (std::uint32_t step = 0; step < c.freeCount; ++step) {
      if (idx >= per || free[k * per + idx]) return false;
      free[k * per + idx] = true;
      idx = c.storage[idx * pool.blockSize];
    }
  }
  std::size_t walked = 0;
  for (void* b = pool.deferred; b != nullptr; b = LinkOf(b)) {
    if (++walked > free.size()) return false;  // a cycle: some block released twice
    std::int32_t k = BlockPoolChunkOf(pool, b);
    if (k < 0) return false;
    std::size_t idx = static_cast<std::size_t>(static_cast<const std::uint8_t*>(b) - pool.chunks.data[k].storage) /
                      pool.blockSize;
    if (free[k * per + idx]) return false;
    free[k * per + idx] = true;
  }
  return true;
}
