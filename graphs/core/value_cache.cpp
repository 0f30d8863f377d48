// ValueCache rows: exact-key look-up, appends that take over a handle, a clear that returns every
// charged byte to the budget, the store and restore of whole arrays, which never read a purged
// handle, and the frame cache's rule over them.
#include "graphs/core/value_cache.h"

#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"

Handle ValueCacheFind(const ValueCache& cache, double key) {
  for (int32_t i = 0; i < cache.count; ++i) {
    if (cache.data[i].key == key) return cache.data[i].handle;  // NaN compares unequal
  }
  return nullptr;
}

bool ValueCacheAdd(ValueCache& cache, double key, Handle handle) {
  if (handle == nullptr) return false;
  return Array16Append(cache, ValueCacheRow{key, handle});
}

void ValueCacheClear(ValueCache& cache) {
  for (int32_t i = 0; i < cache.count; ++i) DisposeCountedHandle(cache.data[i].handle);
  GrowArrayFree(cache);
}

CacheStore ValueCacheStore(ValueCache& cache, double key, const void* bytes, size_t size) {
  Handle handle = AllocPurgeableTempHandle(size);
  if (handle == nullptr) {
    ValueCacheClear(cache);
    return CacheStore::kRefused;
  }
  void* data = HandleDeref(handle);
  if (data == nullptr || GetHandleSize(handle) != size) {
    DisposeCountedHandle(handle);
    return CacheStore::kPurged;
  }
  CopyBytes(data, bytes, size);
  if (!ValueCacheAdd(cache, key, handle)) {
    DisposeCountedHandle(handle);
    ValueCacheClear(cache);
    return CacheStore::kRefused;
  }
  return CacheStore::kStored;
}

CacheRestore ValueCacheRestore(const ValueCache& cache, double key, void* bytes, size_t size) {
  Handle handle = ValueCacheFind(cache, key);
  if (handle == nullptr) return CacheRestore::kMissing;
  if (HandleIsPurged(handle) || HandleDeref(handle) == nullptr || GetHandleSize(handle) != size) {
    return CacheRestore::kPurged;
  }
  HLock(handle);  // nothing may purge it while it is read
  CopyBytes(bytes, HandleDeref(handle), size);
  HUnlock(handle);
  return CacheRestore::kRestored;
}

bool IsFrameCacheSymbol(int32_t symbol) { return symbol != 0 && symbol == ParameterLetter(); }

void FrameCacheStoreIfAsked(FrameCache& cache, const void* bytes, size_t size) {
  if (cache.storePending == 0 || cache.off != 0) return;
  if (ValueCacheStore(cache.rows, cache.key, bytes, size) == CacheStore::kStored) {
    cache.storePending = 0;
  } else {
    cache.off = 1;  // memory is short (the rows are freed) or the handle went at once
  }
}

CacheRestore FrameCacheRestore(FrameCache& cache, double value, void* bytes, size_t size) {
  const CacheRestore restored = ValueCacheRestore(cache.rows, value, bytes, size);
  cache.storePending = restored == CacheRestore::kMissing ? 1 : 0;
  if (restored == CacheRestore::kMissing) cache.key = value;
  if (restored == CacheRestore::kPurged) cache.off = 1;  // evicted: nothing more is cached
  return restored;
}

bool CheckValueCache(const ValueCache& cache) {
  if (!CheckGrowArray(cache)) return false;
  for (int32_t i = 0; i < cache.count; ++i) {
    if (cache.data[i].handle == nullptr) return false;
  }
  return true;
}
