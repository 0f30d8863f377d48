// Expansion of one node by its kind: small integer powers into products, logarithms of products,
// powers and to a base, factorials of numbers, 1 by 1 and 2 by 2 determinants, binomial
// coefficients, substitutions and definite integrals.
// Invariants: only the node itself is expanded (its descendants stay as they are, apart from id
// groups removed); every operand used comes in as a copy of its own; a shape the rule does not
// expect, or a refused allocation, leaves the node unchanged.
#pragma once

struct ExprNode;

// RemoveIdWrappers on the subtree, then the rule of the node's kind:
//   b^n, n an integer in 1..19: b b ... b (n copies; b itself for n = 1)
//   log or ln (u, w): ln u / ln w; log or ln of a product: the sum of the factors' logarithms;
//   log or ln of b^n: n log b (the node's kind kept)
//   x! of a number x >= 0: the number (the kernel's Factorial)
//   |M| of a square matrix of one or four cells (rows x cols = cells): the cell, or ad + (-(bc)),
//   then simplified and signs normalised
//   choice(n, k): n! / (k! (n + (-k))!)
//   a substitution: ApplySubstitutionNode; an integral of four operands: ExpandDefiniteIntegral
void ExpandNodeByKind(ExprNode* node);
// integral(f, x, a, b) becomes substitution(integral(f, x), x = a, b), all copies; other shapes
// stay. The remote integration falls back on it when the service gives no answer.
void ExpandDefiniteIntegral(ExprNode* node);

// The simplification the Math menu applies to a selection: id groups removed, simplified
// bottom-up, derivative operators worked out (operators to internal nodes, differentiated, the
// rest back to operators), simplified again and signs normalised.
void SimplifySelectionWithDerivatives(ExprNode* node);
// SimplifySelectionWithDerivatives, then ExpandNodeByKind, on the current editor's caret node;
// the layout is invalidated. No editor: nothing.
void SimplifySelectionAndSubstitute();
