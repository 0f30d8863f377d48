// Selecting with the mouse in a formula, and dragging a selected term. A press places the caret;
// dragging extends the selection (characters of a number or string, an operator symbol, a range
// of operands, a block of matrix cells, else the smallest subtree holding both ends); Shift
// extends the current selection; a press inside a movable selection drags the term sideways, one
// algebra move per 12-pixel crossing, the whole drag one undo step. Points are layout points.
#pragma once

#include <cstdint>

#include "editor/line_mapping.h"

struct ExprNode;

// One press, handled until the button is released. `extend`: Shift is held; `selectOnClick`
// selects the node pressed at once; `dragAllowed` lets a press in a movable selection drag it.
void FormulaMouseDown(FixedPoint point, bool extend, bool selectOnClick, bool dragAllowed);
// One step of drag selection from the anchor node (null: the node under the press) to (v, h);
// true when the caret node, mode, start or end changed. A step within a pixel of the last point
// does nothing.
bool TrackFormulaDrag(Fixed v, Fixed h, ExprNode* anchor);
// The Shift-arrow form: a step from the anchor node, as if pressed at its middle, that always runs.
bool ExtendSelectionToPoint(Fixed v, Fixed h, ExprNode* anchor);
// Follows the button while it is down; true when the pointer went more than 3 pixels from the
// press (then every later point runs DragTermStep).
bool TrackTermDrag(FixedPoint point);
// Moves the selected term one place left (right) when the point lies beyond the selection and
// more than 12 pixels from the anchor; true when a move ran.
bool DragTermStep(Fixed v, Fixed h);

// Operand i such that the point lies horizontally between operands i and i + 1 (edges included),
// or -1.
int32_t IndexOfOperatorGap(const ExprNode* node, FixedPoint point);
// The lowest node that is an ancestor-or-self of both (null when they share no tree).
ExprNode* CommonAncestor(ExprNode* a, ExprNode* b);
// The index of the ancestor's child on the path down to the node; -1 when it is not below it.
int32_t IndexOfBranchToward(const ExprNode* ancestor, const ExprNode* node);
bool IsAncestorOrSelf(const ExprNode* ancestor, const ExprNode* node);
