// The layout handler contract. Every node kind is measured (mode 0) and drawn (mode 1) by one
// handler, found through the kind table's handler id. Before a call the layout driver has
// selected slot 0, the size S of the node's script level, the plain face and black. Measuring
// reads the finished boxes of the children, sets their relative positions and the node's
// descent, ascent, width and baseline flag; drawing paints only what belongs to the node itself.
// A box's reference point is its lower-left corner and y grows downwards. Kinds without a handler
// of their own lay their children side by side on one baseline and draw nothing.
#pragma once

#include <cstdint>

#include "editor/layout_boxes.h"
#include "kernel/trees/node_kinds.h"

using LayoutHandlerFn = void (*)(ExprNode* node, int32_t mode);

// Installs the handler of a handler id (the next steps add the operator, fraction, bracket ...
// handlers this way); null puts the side-by-side layout back. Returns the handler replaced.
LayoutHandlerFn RegisterLayoutHandler(LayoutHandler id, LayoutHandlerFn handler);
// The handler of a kind; never null (kinds without a row get the side-by-side layout).
LayoutHandlerFn LayoutHandlerForKind(uint32_t kind);
