// The layout handler contract. Every node kind is measured (mode 0) and drawn (mode 1) by one
// handler, found through the kind table's handler id. Before a call the layout driver has
// selected slot 0, the size S of the node's script level, the plain face and black. Measuring
// reads the finished boxes of the children, sets their relative positions and the node's
// descent, ascent, width and baseline flag; drawing paints only what belongs to the node itself.
// A box's reference point is its lower-left corner and y grows downwards. Kinds without a handler
// of their own lay their children side by side on one baseline and draw nothing.
#pragma once

#include <cstdint>

#include "editor/typeset_units.h"
#include "kernel/trees/node_kinds.h"

struct ExprNode;
struct TypesetBox;

enum : int32_t { kLayoutMeasure = 0, kLayoutDraw = 1 };
using LayoutHandlerFn = void (*)(ExprNode* node, int32_t mode);

// Installs the handler of a handler id (the next steps add the operator, fraction, bracket ...
// handlers this way); null puts the side-by-side layout back. Returns the handler replaced.
LayoutHandlerFn RegisterLayoutHandler(LayoutHandler id, LayoutHandlerFn handler);
// The handler of a kind; never null (kinds without a row get the side-by-side layout).
LayoutHandlerFn LayoutHandlerForKind(uint32_t kind);

// Children in a row in order, no gap and no glyph, baselines aligned; descent at least 0,
// ascent at least S; baseline flag 1. Draws nothing.
void LayoutSideBySide(ExprNode* node, int32_t mode);

// A child's extents about its baseline: a box on the math axis (flag 0) gains a above and loses
// it below. Uses the current size.
struct BaselineMetrics {
  Fixed descent;
  Fixed ascent;
};
BaselineMetrics ChildBaselineMetrics(const TypesetBox& child);
// Places a child at horizontal offset x with its baseline on the baseline of a node whose
// descent is nodeDescent.
void AlignChildOnBaseline(TypesetBox& child, Fixed x, Fixed nodeDescent);

// Child 0 after a gap, baselines aligned; descent at least S/4, ascent at least S (the tight
// form: at least 0); width gap + child width; flag 1.
void PrefixBox(ExprNode* node, Fixed gap);
void PrefixBoxTight(ExprNode* node, Fixed gap);
// Script placement, with S/20 the raw size / 20 (not t): min(h/2 - S/20, 3d/4) and
// min(3h/4 - S/20, 85e/100).
Fixed SubscriptDrop(Fixed h, Fixed d);
Fixed SuperscriptRaise(Fixed h, Fixed e);

// Moves the pen to the node's baseline point plus dx, through the line table.
void MoveToBaselinePoint(const ExprNode* node, Fixed dx);
