// From a point of the laid-out formula (layout coordinates) to a node and a caret. The node under
// a point is found by descending into the last operand whose box holds it; inside an operator
// the middle of the gap between two operands decides which of them a point belongs to. A click
// puts the caret after a node when it falls right of the node's middle and before it otherwise,
// or between the characters of a number or string of more than one character.
#pragma once

#include <cstdint>

#include "editor/line_mapping.h"

struct ExprNode;

// The root for a point outside the root's box; else HitTestNode from the root.
ExprNode* HitTestFormula(FixedPoint point);
ExprNode* HitTestNode(ExprNode* node, FixedPoint point);
// The point lies in the node's box (edges included); false without a box.
bool PointInNodeRect(FixedPoint point, const ExprNode* node);
// The character boundary (0..length) nearest to a horizontal position in a number's or string's
// text, at the node's size and face.
int32_t CharIndexAtH(Fixed h, const ExprNode* node);
// Places the caret for a click at the point and returns the node hit.
ExprNode* ClickToCaret(FixedPoint point);
