// Operators, relations and structures typed at the caret. By the kind's notation and the selection
// mode a kind becomes an operator after or before the caret node, splits the caret's product in
// two, or wraps the caret node; relations first climb to the expression they relate; on a matrix
// block with a clipboard tree "+", "-" and "*" work cell by cell. Each leaves the caret on the slot
// filled next and invalidates the layout; a refused allocation leaves the tree as it was.
#pragma once

#include <cstdint>

// Every node kind code (string, matrix and the later kinds).
void InsertKindAtCaret(uint32_t kind);
// The kind typed with the caret before the caret node (mode 4).
void InsertKindBeforeCaret(uint32_t kind);
// "=", "<", ">", "<=", ">=": a selected relation or subtracted sign changes kind; between two
// factors of a top-level product the product splits; otherwise the relation takes the whole
// expression up to the nearest list, stack, branch, condition or comma (an equal sign in a sum's
// or substitution's bound stays there: k = 0).
void InsertRelation(uint32_t kind);
// The list separator: a comma after the list item or function argument the caret is in.
void InsertListSeparator();
// Control-minus: the caret node (or the factor after the caret) negated.
void Negate();

// Mode 3 between two factors of a product. The caret first climbs out of the first operand of a
// prefix node and the last factor of a product; when the node reached is a factor it becomes the
// caret node (so the caret may move even when the answer is false).
bool IsCaretBetweenFactors();
// A new node of the kind joins the caret's product up to the caret node (a product of two or
// more, else the single factor) and the rest, in the product's place; the right side gets the
// caret before it. Sides and a parent of the kind are flattened into it. False, unchanged, when
// the caret node is not a factor before the last or memory is refused.
bool SplitProductAtCaret(uint32_t kind);
// Makes the operand a structure will take: mode 3 selects the next factor (between factors) or
// a new factor prompt, mode 1 groups the range, mode 4 selects the node. Structures are then
// built only in mode 0.
void PrepareOperandForStructure();
// From the caret node up, the first node with bound slots (substitution, big operator, log,
// grad, sqrt, integral, derivative operator) gets one more prompt operand, selected, while it
// has room; otherwise nothing.
void AddBoundSlotIfRoom();
// The caret node wrapped in a one-cell matrix.
bool WrapCaretNodeInMatrix();
