// The drawing layer's allocator seam; see draw_memory.h.
#include "platform/draw/draw_memory.h"

#include <cstdlib>

namespace {
void* SystemAlloc(size_t bytes) { return std::malloc(bytes == 0 ? 1 : bytes); }
void SystemRelease(void* block) { std::free(block); }
const DrawAllocator kSystem{SystemAlloc, SystemRelease};
const DrawAllocator* gCurrent = &kSystem;
}  // namespace

const DrawAllocator* SystemDrawAllocator() { return &kSystem; }
const DrawAllocator* CurrentDrawAllocator() { return gCurrent; }
void SetDrawAllocator(const DrawAllocator* allocator) { gCurrent = allocator ? allocator : &kSystem; }
