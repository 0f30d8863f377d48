// The passes every tree goes through before it is compiled: id groups removed, negated number
// literals folded, non-smooth calls over a comma list given the list's items as operands, and
// indexed sums turned into the compiler's bounded sums.
// Invariants: each pass walks the tree in post-order, changes only the node it stands on, keeps
// every node's identity (parents keep their pointers) and never fails.
#pragma once

#include "algebra/rewrite_primitives.h"

// The first pass, UnwrapIdNodes, is shared with the other algebra rewrites: rewrite_primitives.h.

// Replaces every negation of a number node by the number with its sign flipped (-0 gives -0.0).
void FoldNegatedNumberLiterals(ExprNode* tree);
// A mod, min, max, clamp or slider node whose single operand is a comma list takes the list's
// items as its operands; with more operands the node is left alone.
void UnwrapNonSmoothCalls(ExprNode* tree);
// A sum with three operands (body, equal(index, start), end) whose second operand is an equal of
// two operands becomes a bounded sum (equal(index, start), end, body); others are left alone.
void ConvertIndexedSums(ExprNode* tree);

// The four passes in order, as InitFunction runs them.
void NormaliseForCompilation(ExprNode* tree);
