// Symbolic differentiation. Derivative operator applications function(optotal(v[, n]), f) and
// function(oppartial(v[, n]), f) become internal derivative nodes (expression, variable), which
// are differentiated in place, innermost first; what cannot be differentiated goes back to
// operator form. Invariants: every walk takes a node's successor after the node was rewritten,
// so nothing built for a node is visited again; no internal derivative node survives
// ExpandDerivativesPass; a node whose rule cannot have its memory becomes the symbol inf
// (undefined), as does everything differentiated while memory is short.
#pragma once

#include <cstdint>

struct ExprNode;

// UnwrapIdNodes, DerivativeOperatorsToNodes, DifferentiateDerivativeNodes and
// DerivativeNodesToOperators over the tree, in place (the root keeps its identity). The kernel
// reaches it as ExpandDerivatives through the seam InstallAlgebraSeams fills.
void ExpandDerivativesPass(ExprNode* tree);

// Post-order: an operator application with the variable alone becomes the internal node of the
// operator's kind; with an order n the application stays, its expression is wrapped in the
// internal node and n becomes n + (-1). A numeric order 0 leaves the expression itself; a
// negative or fractional numeric order leaves the application unchanged.
void DerivativeOperatorsToNodes(ExprNode* tree);
// Post-order: each internal node (e, v) is replaced by the derivative of e.
void DifferentiateDerivativeNodes(ExprNode* tree);
// Post-order: each internal node (e, v) left becomes function(op(v), e).
void DerivativeNodesToOperators(ExprNode* tree);

// e becomes its derivative by v in place; `kind` is KindDerivativePartial or
// KindDerivativeTotal. v is neither changed nor kept.
void DifferentiateExpression(ExprNode* e, uint32_t kind, const ExprNode* v);
// e does not depend on v: for a char v, no char of e has v's id; otherwise no subtree of e
// equals v, shapes included (a column does not hold the row of its cells).
bool ExpressionIndependentOf(const ExprNode* e, const ExprNode* v);
// e becomes the internal node kind(former e, copy of v); the symbol inf without memory.
void MakeUnevaluatedDerivative(ExprNode* e, const ExprNode* v, uint32_t kind);
