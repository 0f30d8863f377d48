// Solving an equation for the selected subexpression: the operations between the top of the
// selected side and the selection are undone one by one on the other side (principal branch), the
// other side is simplified and the selection stands alone on the left.
// Invariants: only a two-sided equal is solved; wherever the solved side and the equation's other
// side have values, the solved value satisfies the equation (an inverse that holds for some values
// only makes it undefined where there is no solution); a node on the path that cannot be inverted
// is selected and nothing else changes; the new equation replaces the old in one step, so a
// refused allocation leaves it as it was; the caret ends on a node that exists.
#pragma once

#include <cstdint>

struct ExprNode;

// times, plus, minus, over, power, sqrt, log, ln, id and the 24 trigonometric and hyperbolic
// functions and their inverses (sin ... asech); not sgn.
bool IsInvertibleKind(uint32_t kind);
// The direct function of an arc function and the other way round (sin <-> asin, sech <-> asech);
// 0 for other kinds.
uint32_t InverseFunctionKind(uint32_t kind);

// The isolate command on the current editor. The selection s a side of its equation: with two
// sides and s the right one, the sides are exchanged. Otherwise, below a two-sided equal:
// IsolateSelection, then, when the selection is the equation's right side, the sides are
// exchanged. The layout is invalidated whenever something may have changed.
void MathCommand2016();
// Walks from the selection's parent up to the equation; the first node whose kind or shape has no
// inverse here is selected (mode 0) and nothing else happens; else SolveForSelection.
void IsolateSelection(ExprNode* equation);
// Undoes each operation on the path on the other side (InvertStep), simplifies it
// (SimplifyTreeBottomUp, NormalizeSigns), puts the selection in place of its side and selects
// that side (mode 0). Where a step's inverse holds for some values y of the other side only, the
// solved side becomes (value if conditions), the conditions (simplified, joined by wedge) on y as
// it stood before the step: y >= 0 for sqrt u = y as u = y^2, for an n-th root of even or unknown
// n, and for u^e = y as y^(1/e) when u^e >= 0 and y^(1/e) has a value for y < 0 (e = 1/2, 3/2,
// 0.5, a letter); b > 0 for log(u, b) = y as b^y and for log(x, u) = y as x^(1/y) (x > 0); y in
// the range of an arc function inverted by its direct function (-pi/2 <= y <= pi/2 for asin,
// y >= 0 for acosh). u^2 = y gives y^(1/2), undefined for y < 0 by itself, unless a later step
// raises to a power (which may cancel that root): then y >= 0 is stated too. A condition true for
// every value of its letters (known by sign, or of numbers alone) is left out.
void SolveForSelection(ExprNode* equation);
// Applies to side o of the equation the inverse of node's operation on its operand k:
//   plus: y + (-(the rest)); times: y / (the rest) (a single other operand alone); minus: -y;
//   over a/b: y b (k = 0), 1 / (y / a) (k = 1); power a^b: y^(1/b) (k = 0), ln y for a = e,
//   else log(y, a) (k = 1); sqrt a: y^2; sqrt(a, n): y^n (k = 0), 1 / log(y, a) (k = 1);
//   log a: 10^y; log(x, b): b^y (k = 0), x^(1/y) (k = 1); ln: e^y; a function: its inverse of y;
//   id: y. `node` is not changed. False when memory was refused (the side may be part way).
bool InvertStep(ExprNode* equation, int o, const ExprNode* node, int k);
