// Start-up and shut-down of the graphics layer; see graphics_layer.h.
#include "graphics/graphics_layer.h"

#include "kernel/memory/memory_budget.h"

namespace {

void* CountedAlloc(size_t bytes) { return AllocMemory(bytes); }
void CountedRelease(void* block) { FreeMemory(block); }
const DrawAllocator kCountedAllocator{CountedAlloc, CountedRelease};

}  // namespace

GraphicsLayerState& GraphicsGlobals() {
  static GraphicsLayerState state;
  return state;
}

bool InitGraphicsLayer() {
  GraphicsLayerState& g = GraphicsGlobals();
  SetDrawAllocator(&kCountedAllocator);
  if (!g.gridPattern16) g.gridPattern16 = GetPixPat(250);
  if (!g.gridPattern32) g.gridPattern32 = GetPixPat(251);
  g.initialised = true;
  return g.gridPattern16 && g.gridPattern32;
}

void ShutdownGraphicsLayer() {
  GraphicsLayerState& g = GraphicsGlobals();
  DisposePixPat(g.gridPattern16);
  DisposePixPat(g.gridPattern32);
  g.gridPattern16 = g.gridPattern32 = nullptr;
  g.initialised = false;
}
