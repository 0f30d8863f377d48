// ValueCache rows: exact-key look-up, appends that take over a handle, and a clear that returns
// every charged byte to the budget.
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

bool CheckValueCache(const ValueCache& cache) {
  if (!CheckGrowArray(cache)) return false;
  for (int32_t i = 0; i < cache.count; ++i) {
    if (cache.data[i].handle == nullptr) return false;
  }
  return true;
}
