// The box operations every layout handler family shares: children side by side, prefix boxes,
// baseline conversion for children on the math axis, script placement and the pen at a node's
// baseline point. A box's reference point is its lower-left corner and y grows downwards.
#pragma once

#include <cstdint>

#include "editor/typeset_units.h"

struct ExprNode;
struct TypesetBox;

enum : int32_t { kLayoutMeasure = 0, kLayoutDraw = 1 };

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
