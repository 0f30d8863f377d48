// ValueCache rows: exact-key look-up, appends that take over a handle, a clear that returns every
// charged byte to the budget, and the store and restore of whole arrays, which never read a
// purged handle.
#include "graphs/value_cache.h"

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

bool CheckValueCache(const ValueCache& cache) {
  if (!CheckGrowArray(cache)) return false;
  for (int32_t i = 0; i < cache.count; ++i) {
    if (cache.data[i].handle == nullptr) return false;
  }
  return true;
}
