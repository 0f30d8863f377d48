// BlockPool: a fixed-size block allocator on the counting allocator. Chunks hold at most
// 255 blocks linked through a one-byte in-chunk free list; release is constant time onto
// a deferred list (the link is stored in the freed block), and BlockPoolTrim returns those
// blocks to their chunks and frees wholly free chunks, in time linear in the deferred blocks
// (times the log of the chunk count).
// Invariants (CheckBlockPool): every block is either handed out, on the deferred list, or
// on its chunk's free list, never two of these; the cursor is an index into the chunk table.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernel/memory/growable_array.h"

struct BlockChunk {
  std::uint8_t* storage = nullptr;  // blockSize * blocksPerChunk bytes; null on failure
  std::uint8_t firstFree = 0;       // index of the first free block
  std::uint8_t freeCount = 0;       // free blocks in the chunk
};

struct BlockPoolCore {
  std::uint32_t blockSize = 0;      // >= sizeof(void*), so the deferred link fits
  std::uint8_t blocksPerChunk = 0;  // min(255, 4096 / blockSize)
  GrowArray<BlockChunk> chunks;
  std::int32_t allocCursor = -1;    // chunk tried first by an allocation; -1 none
  void* deferred = nullptr;         // released blocks not yet returned to their chunks
  std::size_t handedOut = 0;        // blocks handed out and not released
  std::uint64_t chunkScans = 0;     // table searches by BlockPoolAlloc (for tests)
  std::uint64_t trimProbes = 0;     // chunk records the trim examined to place blocks (for tests)
  std::uint64_t foreignBlocks = 0;  // released blocks the trim could not place (leaked)
};

// Bytes per block for items of `itemSize`: at least sizeof(void*).
constexpr std::uint32_t BlockSizeFor(std::size_t itemSize) {
  return static_cast<std::uint32_t>(itemSize < sizeof(void*) ? sizeof(void*) : itemSize);
}
// min(255, 4096 / blockSize), at least 1.
constexpr std::uint8_t BlocksPerChunkFor(std::uint32_t blockSize) {
  std::uint32_t n = 4096 / blockSize;
  return static_cast<std::uint8_t>(n > 255 ? 255 : (n == 0 ? 1 : n));
}

// Sets up an empty pool of blocks holding `itemSize` bytes each (rounded up to a pointer).
void BlockPoolInit(BlockPoolCore& pool, std::size_t itemSize);
// A block (not cleared), or null when no chunk can be had (the pool is then unchanged).
void* BlockPoolAlloc(BlockPoolCore& pool);
// Releases a block of this pool in constant time; null is ignored.
void BlockPoolFree(BlockPoolCore& pool, void* block);
// Returns released blocks to their chunks, frees wholly free chunks and shrinks the table.
// Allocates only the fitted table, and keeps the roomier one when that is refused.
void BlockPoolTrim(BlockPoolCore& pool);
// Trims, frees every chunk and the table; the pool is empty and must be re-initialised
// before use (block size is kept).
void BlockPoolDestroy(BlockPoolCore& pool);

// Chunk level: allocate and link storage for `count` blocks (storage null on failure),
// free it, write the initial free list (block i holds i + 1).
void BlockChunkInit(BlockChunk& chunk, std::uint32_t blockSize, std::uint8_t count);
void BlockChunkRelease(BlockChunk& chunk);
void BlockChunkLink(BlockChunk& chunk, std::uint32_t blockSize, std::uint8_t count);

// Blocks currently handed out (not free in a chunk and not on the deferred list), in constant time.
std::size_t BlockPoolBlocksInUse(const BlockPoolCore& pool);
// Blocks on the deferred list.
std::size_t BlockPoolDeferredCount(const BlockPoolCore& pool);
// The index of the chunk holding `p` (at a block boundary), or -1.
std::int32_t BlockPoolChunkOf(const BlockPoolCore& pool, const void* p);
// Verifies every invariant above; true when they hold.
bool CheckBlockPool(const BlockPoolCore& pool);

// An empty pool for items of `itemSize`, usable in constant initialisation.
constexpr BlockPoolCore MakeBlockPoolCore(std::size_t itemSize) {
  BlockPoolCore pool;
  pool.blockSize = BlockSizeFor(itemSize);
  pool.blocksPerChunk = BlocksPerChunkFor(pool.blockSize);
  return pool;
}

// Typed face: BlockPool<T> hands out T-sized blocks (storage only; no constructors run).
// Constant-initialised, so a process-wide pool is ready before any static constructor.
template <typename T>
struct BlockPool {
  BlockPoolCore core = MakeBlockPoolCore(sizeof(T));
};

template <typename T>
T* BlockPoolAlloc(BlockPool<T>& pool) { return static_cast<T*>(BlockPoolAlloc(pool.core)); }
template <typename T>
void BlockPoolFree(BlockPool<T>& pool, T* block) { BlockPoolFree(pool.core, block); }
template <typename T>
void BlockPoolTrim(BlockPool<T>& pool) { BlockPoolTrim(pool.core); }
template <typename T>
void BlockPoolDestroy(BlockPool<T>& pool) { BlockPoolDestroy(pool.core); }
template <typename T>
bool CheckBlockPool(const BlockPool<T>& pool) { return CheckBlockPool(pool.core); }
