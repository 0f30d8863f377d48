// ValueCache: the raster-like 2D kinds keep one finished array per parameter value here, as rows
// of (key, counted handle), with the store-once-complete rule they share (FrameCache). The cache
// owns its handles. Invariants (CheckValueCache): the row array is a valid GrowArray; every row
// holds a live handle; rows are found by exact key, first row first; a NaN key never matches.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kernel/memory/growable_array.h"
#include "platform/handles.h"

struct ValueCacheRow {
  double key;
  Handle handle;  // charged to the memory budget (AllocTempHandle); owned by the cache
};
static_assert(sizeof(ValueCacheRow) == 16, "one 16-byte row a key");

using ValueCache = GrowArray<ValueCacheRow>;

// The handle of the first row whose key equals `key` exactly; null when none does (always for
// NaN and for an empty cache).
Handle ValueCacheFind(const ValueCache& cache, double key);
// Appends a row that takes over the handle. True on success; false leaves the cache unchanged and
// the handle the caller's.
bool ValueCacheAdd(ValueCache& cache, double key, Handle handle);
// Disposes every row's handle (uncharging it) and frees the rows; the cache is empty and reusable.
void ValueCacheClear(ValueCache& cache);
// Keeping a finished array for a key: bytes copied into a new purgeable handle appended to the
// cache (kStored); a refused handle or row frees the whole cache (kRefused: memory is short); a
// handle that is purged before it is filled is dropped (kPurged). The caller stops caching on
// anything but kStored.
enum class CacheStore { kStored, kRefused, kPurged };
CacheStore ValueCacheStore(ValueCache& cache, double key, const void* bytes, size_t size);
// Getting it back: kRestored with the bytes copied out, kMissing when no row has the key, kPurged
// when the row's handle was evicted (or no longer holds `size` bytes): nothing is read from it then.
enum class CacheRestore { kRestored, kMissing, kPurged };
CacheRestore ValueCacheRestore(const ValueCache& cache, double key, void* bytes, size_t size);
// Verifies the invariants; true when they hold.
bool CheckValueCache(const ValueCache& cache);

// The cache of a kind that keeps one finished array per value of the parameter variable: the
// array computed for a value that had none is stored once complete; a purged row or a refused
// store turns caching off for the graph's life (rows may still be restored, none is stored).
struct FrameCache {
  ValueCache rows;
  double key = 0.0;          // the value the array being computed is for, while storePending
  uint8_t storePending = 0;  // store the array once it is complete
  uint8_t off = 0;
};
// The symbol is the parameter variable, the one whose values frame caches key on (never symbol 0).
bool IsFrameCacheSymbol(int32_t symbol);
// Stores the finished array when one is pending and caching is on; a store that fails turns it off.
void FrameCacheStoreIfAsked(FrameCache& cache, const void* bytes, size_t size);
// The parameter took `value`: kRestored with the array copied into `bytes` (nothing pending);
// kMissing, the array of `value` is pending; kPurged, caching turns off. The caller computes the
// array again on anything but kRestored.
CacheRestore FrameCacheRestore(FrameCache& cache, double value, void* bytes, size_t size);

// The 2D raster kinds call the same two operations by these names.
inline Handle FindCachedFrame(const ValueCache& cache, double key) { return ValueCacheFind(cache, key); }
inline void ClearFrameCache(ValueCache& cache) { ValueCacheClear(cache); }
