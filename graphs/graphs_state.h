// Process-wide state of the graph subsystem, in one struct with one reset for tests: the picture
// that colour index 999 turns into a texture, the point lists of the last mode-10 probe, and the
// text seam the 2D axes and read-out draw their labels through.
// Invariant: the two probe lists are owned here (disposed by the next probe and by the reset).
#pragma once

#include <cstdint>

#include "graphs/graph_kind.h"
#include "platform/draw/picture.h"

// How the 2D view measures and draws its label texts: the document's equation font by default;
// tests put fixed metrics in its place so label positions do not depend on installed fonts.
struct LabelTextSeam {
  void (*setFont)();                     // the equation font at the label size, in the current port
  int32_t (*width)(const char* text);    // in pixels
  void (*draw)(const char* text);        // at the pen, which it advances
};
LabelTextSeam DefaultLabelTextSeam();

struct GraphsState {
  // The document sets it to an equation row's picture just before it sends colour index 999 to
  // that row's graphs, and clears it right after. Not owned.
  const Picture* currentTexturePicture = nullptr;
  // The two point lists taken from the last mode-10 probe record; the next probe frees them.
  GrowArray<ProbePoint>* probeListA = nullptr;
  GrowArray<ProbePoint>* probeListB = nullptr;
  LabelTextSeam labelText = DefaultLabelTextSeam();
};

GraphsState& GraphsGlobals();
// Disposes the held probe lists.
void FreeProbeLists();
// Puts every field back to its default (tests); the probe lists are disposed.
void ResetGraphsStateForTests();
