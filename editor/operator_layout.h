// Layout handlers of operators set on one line: the n-ary infix handler (sums, products,
// relations, lists, and the one-line fallback of too-wide fractions and powers), prefix
// operators, named functions, signs, log and postfix operators. Each draws only its glyphs; the
// glyph between two operands is drawn where the measure left room for it, by the same rules.
#pragma once

#include <cstdint>

#include "editor/typeset_units.h"

struct ExprNode;

// Operands in a row with the kind's glyph between them. In a plus an operand of kind minus, pm or
// mp takes the place of the plus sign; in a times a dot is shown only where TimesShowsDot says.
void LayoutInfix(ExprNode* node, int32_t mode);
// Whether operand i of a node the infix handler sets in one line is put in parentheses: the
// numerator, denominator, base or exponent of a too-wide fraction or power that is itself a row
// of operators (an infix kind, a fraction or power set in one line too) or reaches to whatever
// follows it (a sign, a named function, a big operator), so that the line keeps the reading of
// the built-up form.
bool NeedsOneLineParentheses(const ExprNode* node, int32_t i);
// The room of the closing parenthesis drawn right after an operand in that case (at its parent's
// size), else 0. Reads the style of the layout in progress.
Fixed OneLineClosingRoom(const ExprNode* operand);
// Whether a times node shows its dot between factors i and i + 1: after a prefix operator, next
// to a prompt, and between a number and a number, a power of a number or a minus.
bool TimesShowsDot(const ExprNode* node, int32_t i);
// div and curl after a nabla, uequal with 500u after its sign; the glyph, then the operand.
void LayoutPrefixOperator(ExprNode* node, int32_t mode);
// The keyword name in the text font after two thin spaces, then the argument 100u after it.
void LayoutNamedFunction(ExprNode* node, int32_t mode);
// pm, mp and minus: the sign's width (that of the plus-minus) and 250u in a plus, else 150u.
void LayoutSign(ExprNode* node, int32_t mode);
// "log" with an optional base (child 1) lowered by SubscriptDrop before the argument.
void LayoutLog(ExprNode* node, int32_t mode);
// fact "!", prime "'" and postfix "$" right after the operand.
void LayoutPostfix(ExprNode* node, int32_t mode);
