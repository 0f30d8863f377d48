// Process-wide state of the graphics layer: the counted allocator behind every offscreen
// buffer, region and pattern of the drawing layer, the two grid patterns loaded at start-up,
// and the vector-unit switch (always present in our portable build). One struct, one reset.
#pragma once

#include "platform/draw/shapes.h"

struct GraphicsLayerState {
  PixPatHandle gridPattern16 = nullptr;  // pixel pattern 250: window-scale graph paper
  PixPatHandle gridPattern32 = nullptr;  // pixel pattern 251: the double-size buffer's paper
  bool vectorUnit = true;                // the grid and halving routines always take the fast path
  int cacheLineBytes = 64;
  bool initialised = false;
};
GraphicsLayerState& GraphicsGlobals();

// Routes the drawing layer's memory through AllocMemory/FreeMemory and loads patterns 250 and
// 251. Returns false when a pattern cannot be loaded (the fills then draw nothing). Idempotent.
bool InitGraphicsLayer();
// Disposes the patterns; the drawing layer keeps the counted allocator.
void ShutdownGraphicsLayer();
