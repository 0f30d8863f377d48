// Where the drawing layer takes its memory: a seam the layer above fills at start-up with its
// counted allocator (the platform may not include kernel headers). Every block remembers the
// allocator it came from, so switching allocators later never frees a block through the wrong one.
#pragma once

#include <cstddef>

struct DrawAllocator {
  void* (*alloc)(size_t bytes);  // null on refusal
  void (*release)(void* block);  // null ignored
};

// malloc/free; the default until SetDrawAllocator is called.
const DrawAllocator* SystemDrawAllocator();
const DrawAllocator* CurrentDrawAllocator();
// Null restores the system allocator. The allocator must outlive every block taken from it.
void SetDrawAllocator(const DrawAllocator* allocator);
