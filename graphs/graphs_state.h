// Process-wide state of the graph subsystem, in one struct with one reset for tests: the picture
// that colour index 999 turns into a texture.
#pragma once

#include "platform/draw/picture.h"

struct GraphsState {
  // The document sets it to an equation row's picture just before it sends colour index 999 to
  // that row's graphs, and clears it right after. Not owned.
  const Picture* currentTexturePicture = nullptr;
};

GraphsState& GraphsGlobals();
// Puts every field back to its default (tests).
void ResetGraphsStateForTests();
