// Layout handlers of the big operators with limits (sum, prod, int, oint, bigcup, bigcap,
// extended) and of the integral template (integrand, variable, optional limits). The sign is set
// at the style's level-0 size (level 1 for the integral sign) whatever the node's level, centred
// on the math axis of the node's own size; limits are centred over and under it, and the box
// holds the sign, the limits and the operands.
#pragma once

#include <cstdint>

struct ExprNode;

// Operand child 0, lower limit child 1, upper limit child 2 (limits one level smaller).
void LayoutBigOperator(ExprNode* node, int32_t mode);
// Integrand child 0, variable child 1, lower limit child 2, upper limit child 3; draws the "d".
void LayoutIntegral(ExprNode* node, int32_t mode);
