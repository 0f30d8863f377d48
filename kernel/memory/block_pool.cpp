// Block pools. Cursors are indices, not pointers: the chunk table reallocates when it grows
// and when the trim shrinks it. The trim sorts the table by address in place and finds each
// released block's chunk by binary search, so it is O((chunks + blocks) log chunks) and
// allocates nothing on the out-of-memory path; a block found in no chunk, or in a chunk
// already wholly free, is counted and leaked (and asserted on in debug builds).
#include "kernel/memory/block_pool.h"

#include <algorithm>
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

// Blocks of different chunks are compared as integers: pointers into distinct objects are
// not ordered by the language.
std::uintptr_t Address(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }

bool ChunkHolds(const BlockPoolCore& pool, const BlockChunk& c, const std::uint8_t* p) {
  return c.storage != nullptr && Address(p) >= Address(c.storage) &&
         Address(p) - Address(c.storage) < ChunkBytes(pool);
}

void* Serve(BlockPoolCore& pool, BlockChunk& c) {
  std::uint8_t* block = c.storage + static_cast<std::size_t>(c.firstFree) * pool.blockSize;
  c.firstFree = block[0];
  --c.freeCount;
  return block;
}

// The chunk holding p in a table sorted by storage address, or -1. The chunk of the previous
// block is tried first: blocks released together often share one. The search has no data-
// dependent branch, since released blocks come in any order.
std::int32_t FindChunkSorted(BlockPoolCore& pool, std::int32_t previous, const std::uint8_t* p) {
  ++pool.trimProbes;
  if (previous >= 0 && ChunkHolds(pool, pool.chunks.data[previous], p)) return previous;
  const BlockChunk* base = pool.chunks.data;
  std::int32_t n = pool.chunks.count;  // the last chunk starting at or below p is in base[0, n)
  if (n == 0) return -1;
  while (n > 1) {
    ++pool.trimProbes;
    const std::int32_t half = n / 2;
    base = Address(base[half].storage) <= Address(p) ? base + half : base;
    n -= half;
  }
  return ChunkHolds(pool, *base, p) ? static_cast<std::int32_t>(base - pool.chunks.data) : -1;
}

// A block from the deferred list, else from a chunk with room, else from a new chunk; null when
// none can be had.
void* HandOut(BlockPoolCore& pool) {
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
  return Serve(pool, pool.chunks.data[pool.allocCursor]);
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
  void* block = HandOut(pool);
  if (block != nullptr) ++pool.handedOut;
  return block;
}

void BlockPoolFree(BlockPoolCore& pool, void* block) {
  if (block == nullptr) return;
  --pool.handedOut;
  SetLink(block, pool.deferred);
  pool.deferred = block;
}

void BlockPoolTrim(BlockPoolCore& pool) {
  if (pool.deferred != nullptr) {
    std::sort(pool.chunks.data, pool.chunks.data + pool.chunks.count,
              [](const BlockChunk& x, const BlockChunk& y) { return Address(x.storage) < Address(y.storage); });
  }
  std::int32_t previous = -1;
  while (pool.deferred != nullptr) {
    auto* block = static_cast<std::uint8_t*>(pool.deferred);
    pool.deferred = LinkOf(block);
    const std::int32_t k = FindChunkSorted(pool, previous, block);
    if (k < 0 || (block - pool.chunks.data[k].storage) % pool.blockSize != 0 ||
        pool.chunks.data[k].freeCount == pool.blocksPerChunk) {
      ++pool.foreignBlocks;
      assert(!"a block was released twice or into a pool it does not belong to");
      continue;
    }
    previous = k;
    BlockChunk& c = pool.chunks.data[k];
    block[0] = c.firstFree;
    c.firstFree = static_cast<std::uint8_t>((block - c.storage) / pool.blockSize);
    ++c.freeCount;
  }
  // Wholly free chunks go in one pass, after the search: dropping them earlier would break
  // the order it relies on.
  std::int32_t kept = 0;
  for (std::int32_t k = 0; k < pool.chunks.count; ++k) {
    if (pool.chunks.data[k].freeCount == pool.blocksPerChunk) {
      BlockChunkRelease(pool.chunks.data[k]);
    } else {
      pool.chunks.data[kept++] = pool.chunks.data[k];
    }
  }
  pool.chunks.count = kept;
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
  pool.allocCursor = pool.chunks.count > 0 ? 0 : -1;
}

void BlockPoolDestroy(BlockPoolCore& pool) {
  BlockPoolTrim(pool);
  for (std::int32_t k = 0; k < pool.chunks.count; ++k) BlockChunkRelease(pool.chunks.data[k]);
  GrowArrayFree(pool.chunks);
  pool.allocCursor = -1;
  pool.deferred = nullptr;
  pool.handedOut = 0;
}

std::size_t BlockPoolDeferredCount(const BlockPoolCore& pool) {
  std::size_t n = 0;
  for (void* b = pool.deferred; b != nullptr; b = LinkOf(b)) ++n;
  return n;
}

std::size_t BlockPoolBlocksInUse(const BlockPoolCore& pool) { return pool.handedOut; }

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
  // The count handed out is what no list holds.
  return static_cast<std::size_t>(std::count(free.begin(), free.end(), false)) == pool.handedOut;
}
