// GrowArray<T>: a contiguous array of trivially copyable items on the counting allocator.
// Capacity goes 0 -> 16 -> doubling. A failed growth leaves data, count and capacity
// exactly as they were. Result sense: GrowArray operations return true (1) on success.
// Invariant: 0 <= count <= capacity; data is null exactly when capacity is 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "kernel/memory/memory_budget.h"

template <typename T>
struct GrowArray {
  static_assert(std::is_trivially_copyable_v<T>, "items move with memcpy");
  T* data = nullptr;
  std::int32_t count = 0;
  std::int32_t capacity = 0;
};

constexpr std::int32_t kGrowArrayFirstCapacity = 16;

// Makes room for one more item. true when there is room (possibly after growing).
// Growth that would overflow the 32-bit capacity or size_t bytes is refused.
template <typename T>
[[nodiscard]] bool GrowArrayReserveOne(GrowArray<T>& a) {
  if (a.count < a.capacity) return true;
  std::int32_t newCapacity;
  if (a.capacity == 0) {
    newCapacity = kGrowArrayFirstCapacity;
  } else {
    if (a.capacity > INT32_MAX / 2) return false;
    newCapacity = a.capacity * 2;
  }
  if (static_cast<std::size_t>(newCapacity) > SIZE_MAX / sizeof(T)) return false;
  auto* grown = static_cast<T*>(AllocMemory(static_cast<std::size_t>(newCapacity) * sizeof(T)));
  if (grown == nullptr) return false;
  if (a.count > 0) std::memcpy(static_cast<void*>(grown), a.data, static_cast<std::size_t>(a.count) * sizeof(T));
  FreeMemory(a.data);
  a.data = grown;
  a.capacity = newCapacity;
  return true;
}

// Appends `item`. true on success; false leaves the array unchanged.
template <typename T>
[[nodiscard]] bool GrowArrayAppend(GrowArray<T>& a, const T& item) {
  if (!GrowArrayReserveOne(a)) return false;
  std::memcpy(static_cast<void*>(a.data + a.count), &item, sizeof(T));
  ++a.count;
  return true;
}

// Inserts `item` at `index` (0..count), moving later items up one place. true on success;
// false (array unchanged) for an index outside 0..count or a failed growth.
template <typename T>
[[nodiscard]] bool GrowArrayInsert(GrowArray<T>& a, const T& item, std::int32_t index) {
  if (index < 0 || index > a.count) return false;
  if (!GrowArrayReserveOne(a)) return false;
  std::memmove(static_cast<void*>(a.data + index + 1), a.data + index,
               static_cast<std::size_t>(a.count - index) * sizeof(T));
  std::memcpy(static_cast<void*>(a.data + index), &item, sizeof(T));
  ++a.count;
  return true;
}

// Removes item i, the items after it moving up one place (the storage stays); false (array
// unchanged) for an index outside 0..count-1.
template <typename T>
bool GrowArrayRemove(GrowArray<T>& a, std::int32_t index) {
  if (index < 0 || index >= a.count) return false;
  std::memmove(static_cast<void*>(a.data + index), a.data + index + 1,
               static_cast<std::size_t>(a.count - index - 1) * sizeof(T));
  --a.count;
  return true;
}

// Address of item i; the caller guarantees 0 <= i < count.
template <typename T>
T* GrowArrayAt(GrowArray<T>& a, std::int32_t i) { return a.data + i; }
template <typename T>
const T* GrowArrayAt(const GrowArray<T>& a, std::int32_t i) { return a.data + i; }

template <typename T>
std::int32_t GrowArrayCount(const GrowArray<T>& a) { return a.count; }

// Releases the storage; the array is empty and reusable afterwards.
template <typename T>
void GrowArrayFree(GrowArray<T>& a) {
  FreeMemory(a.data);
  a = GrowArray<T>();
}

// Verifies the invariants; true when they hold.
template <typename T>
bool CheckGrowArray(const GrowArray<T>& a) {
  if (a.count < 0 || a.capacity < 0 || a.count > a.capacity) return false;
  return (a.data == nullptr) == (a.capacity == 0);
}

// Named instances other modules call. All return true (1) on success, like GrowArray:
// a caller reading "non-zero means failure" must test for false instead.
template <typename T>
using PtrArray = GrowArray<T*>;
template <typename T>
[[nodiscard]] bool PtrArrayAppend(GrowArray<T*>& a, T* p) { return GrowArrayAppend(a, p); }

using WordArray = GrowArray<std::uint32_t>;
[[nodiscard]] inline bool WordArrayAppend(WordArray& a, std::uint32_t w) { return GrowArrayAppend(a, w); }

// Rows of exactly 16 / 32 bytes (the row types belong to the callers).
template <typename T>
[[nodiscard]] bool Array16Append(GrowArray<T>& a, const T& row) {
  static_assert(sizeof(T) == 16, "Array16Append takes 16-byte rows");
  return GrowArrayAppend(a, row);
}
template <typename T>
[[nodiscard]] bool Array32Append(GrowArray<T>& a, const T& row) {
  static_assert(sizeof(T) == 32, "Array32Append takes 32-byte rows");
  return GrowArrayAppend(a, row);
}
