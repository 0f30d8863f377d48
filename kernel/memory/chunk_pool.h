// ChunkPool<T, PerChunk>: an append-only sequence stored in equal chunks that never move,
// so item addresses stay valid while the pool grows. One spare chunk is kept for reuse.
// Result sense: ChunkPool appends return 0 on success and 1 on failure (the opposite of
// GrowArray); a failure leaves the pool unchanged.
// The system's pools take 1024 items a chunk, except 256 for 16-byte and 64 for 20-byte items.
// Invariant: total = (chunks - 1) * PerChunk + usedInLast when chunks > 0, else 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "kernel/memory/growable_array.h"
#include "kernel/memory/memory_budget.h"

template <typename T, std::int32_t PerChunk = 1024>
struct ChunkPool {
  static_assert(std::is_trivially_copyable_v<T>, "items are copied with memcpy");
  static_assert(PerChunk > 0 && (PerChunk & (PerChunk - 1)) == 0, "per-chunk is a power of two");
  static constexpr std::int32_t kPerChunk = PerChunk;
  GrowArray<T*> chunks;
  T* spare = nullptr;
  std::int32_t usedInLast = 0;
  std::int32_t total = 0;
};

// Appends a copy of `item`. 0 on success, 1 on failure (pool unchanged).
template <typename T, std::int32_t P>
[[nodiscard]] int ChunkPoolAppend(ChunkPool<T, P>& pool, const T& item) {
  if (pool.total == INT32_MAX) return 1;
  if (pool.chunks.count == 0 || pool.usedInLast == P) {
    T* chunk = pool.spare;
    bool fromSpare = chunk != nullptr;
    if (fromSpare) {
      pool.spare = nullptr;
    } else {
      chunk = static_cast<T*>(AllocMemory(static_cast<std::size_t>(P) * sizeof(T), true));
      if (chunk == nullptr) return 1;
    }
    if (!GrowArrayAppend(pool.chunks, chunk)) {
      if (fromSpare) pool.spare = chunk; else FreeMemory(chunk);
      return 1;
    }
    pool.usedInLast = 0;
  }
  T* last = pool.chunks.data[pool.chunks.count - 1];
  std::memcpy(static_cast<void*>(last + pool.usedInLast), &item, sizeof(T));
  ++pool.usedInLast;
  ++pool.total;
  return 0;
}

// Address of item i; the caller guarantees 0 <= i < total.
template <typename T, std::int32_t P>
T* ChunkPoolAt(ChunkPool<T, P>& pool, std::int32_t i) {
  constexpr int kShift = __builtin_ctz(static_cast<unsigned>(P));
  return pool.chunks.data[i >> kShift] + (i & (P - 1));
}
template <typename T, std::int32_t P>
const T* ChunkPoolAt(const ChunkPool<T, P>& pool, std::int32_t i) {
  constexpr int kShift = __builtin_ctz(static_cast<unsigned>(P));
  return pool.chunks.data[i >> kShift] + (i & (P - 1));
}

template <typename T, std::int32_t P>
std::int32_t ChunkPoolCount(const ChunkPool<T, P>& pool) { return pool.total; }

// Frees every chunk, the chunk table and the spare chunk; all counts become 0.
template <typename T, std::int32_t P>
void ChunkPoolClear(ChunkPool<T, P>& pool) {
  for (std::int32_t k = 0; k < pool.chunks.count; ++k) FreeMemory(pool.chunks.data[k]);
  GrowArrayFree(pool.chunks);
  FreeMemory(pool.spare);
  pool.spare = nullptr;
  pool.usedInLast = 0;
  pool.total = 0;
}

// Verifies the invariants; true when they hold.
template <typename T, std::int32_t P>
bool CheckChunkPool(const ChunkPool<T, P>& pool) {
  if (!CheckGrowArray(pool.chunks)) return false;
  if (pool.chunks.count == 0) return pool.total == 0 && pool.usedInLast == 0;
  if (pool.usedInLast < 1 || pool.usedInLast > P) return false;
  for (std::int32_t k = 0; k < pool.chunks.count; ++k) {
    if (pool.chunks.data[k] == nullptr || pool.chunks.data[k] == pool.spare) return false;
  }
  return static_cast<std::int64_t>(pool.total) ==
         static_cast<std::int64_t>(pool.chunks.count - 1) * P + pool.usedInLast;
}

// Names other modules call. Same senses as above: appends return 0 on success and
// non-zero (1) on failure; ChunkPoolFree is ChunkPoolClear.
template <typename T, std::int32_t P>
void ChunkPoolFree(ChunkPool<T, P>& pool) { ChunkPoolClear(pool); }

#define QV_CHUNK_POOL_SIZED_NAMES(N)                                               \
  template <typename T, std::int32_t P>                                            \
  [[nodiscard]] int ChunkPoolAppend##N(ChunkPool<T, P>& pool, const T& item) {     \
    static_assert(sizeof(T) == (N), "ChunkPoolAppend" #N " takes " #N "-byte items"); \
    return ChunkPoolAppend(pool, item);                                            \
  }                                                                                \
  template <typename T, std::int32_t P>                                            \
  T* ChunkPoolAt##N(ChunkPool<T, P>& pool, std::int32_t i) {                       \
    static_assert(sizeof(T) == (N), "ChunkPoolAt" #N " takes " #N "-byte items");  \
    return ChunkPoolAt(pool, i);                                                   \
  }
QV_CHUNK_POOL_SIZED_NAMES(8)
QV_CHUNK_POOL_SIZED_NAMES(12)
QV_CHUNK_POOL_SIZED_NAMES(16)
QV_CHUNK_POOL_SIZED_NAMES(24)
QV_CHUNK_POOL_SIZED_NAMES(48)
#undef QV_CHUNK_POOL_SIZED_NAMES
