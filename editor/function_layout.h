// Layout handlers of function application and evaluation: f(x), the derivative operators d/dx
// and ∂/∂x alone or applied to a function (the derivative form, which writes the function into
// the operator's numerator), substitution bars, the Bessel function, gradient and Laplacian.
// An applied derivative operator reads its parent to know it is applied; the function handler
// then grows the operator's box over the numerator it fills.
#pragma once

#include <cstdint>

struct ExprNode;

// Name child 0 and argument child 1: "(" and ")" of the text slot round the argument, or the
// derivative form when the name is optotal or oppartial and the argument a char, tensor or
// indexes node (nothing drawn by the function then).
void LayoutFunction(ExprNode* node, int32_t mode);
// Whether a derivative operator stands as the name of a function in the derivative form.
bool IsAppliedDerivative(const ExprNode* op);
// Variables child 0 and 2.. under a bar, each after the kind's glyph; the order (child 1) as an
// exponent of the numerator's glyph. The reference line is the bar (flag 0).
void LayoutDerivativeOperator(ExprNode* node, int32_t mode);
// f|, f|_a and f|_a^b: the values (one script level smaller) after an evaluation bar.
void LayoutSubstitution(ExprNode* node, int32_t mode);
// "J", the order (child 1) lowered as a subscript, then the argument in parentheses.
void LayoutBesselJ(ExprNode* node, int32_t mode);
// A nabla before the operand, with an optional subscript (child 1) lowered after it.
void LayoutGrad(ExprNode* node, int32_t mode);
// A nabla with a small "2" at the next level's size, then the operand.
void LayoutLaplacian(ExprNode* node, int32_t mode);
