// C-string primitives and the kernel's handle helpers.
// Invariants: nothing here allocates except CopyHandleToTemp, which goes through the
// counted temporary-handle allocator and answers null on refusal.
#include "kernel/text/string_helpers.h"

#include <cstring>

#include "kernel/memory/memory_budget.h"

size_t CStringLength(const char* s) { return s ? std::strlen(s) : 0; }

char* CStringCopy(char* destination, const char* source) {
  if (!destination) return destination;
  if (!source) {
    destination[0] = '\0';
    return destination;
  }
  std::memmove(destination, source, std::strlen(source) + 1);
  return destination;
}

size_t CStringCopyBounded(char* destination, size_t capacity, const char* text) {
  if (!destination || capacity == 0) return 0;
  size_t n = CStringLength(text);
  if (n >= capacity) n = capacity - 1;
  if (n > 0) std::memcpy(destination, text, n);
  destination[n] = '\0';
  return n;
}

int CStringEqual(const char* a, const char* b) {
  if (!a || !b) return a == b ? 1 : 0;
  return std::strcmp(a, b) == 0 ? 1 : 0;
}

int CStringStartsWith(const char* s, const char* prefix) {
  if (!s || !prefix || prefix[0] == '\0') return 0;
  // "First occurrence is at the start" is the same as "s starts with prefix".
  return std::strncmp(s, prefix, std::strlen(prefix)) == 0 ? 1 : 0;
}

void MemDisposeHandle(Handle h) {
  if (h) DisposeHandle(h);
}

Handle CopyHandleToTemp(Handle h) {
  if (!h || HandleIsPurged(h)) return nullptr;
  const size_t size = GetHandleSize(h);
  Handle copy = AllocTempHandle(size);
  if (!copy) return nullptr;
  if (size > 0) CopyBytes(HandleDeref(copy), HandleDeref(h), size);
  return copy;
}
