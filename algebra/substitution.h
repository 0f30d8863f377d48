// Substitution nodes and bounded sums: an expression evaluated at var = value (or between two
// bounds) and the peeling of one term from a bounded sum or product.
// Invariants: a substitution replaces only the subtrees of the original expression (the copies it
// puts in are never examined, so a value holding its own variable goes in once); every change is
// whole or not at all (a refused allocation leaves the node as it was); the walks stop at the
// next node once IsMemoryShort answers true.
#pragma once

struct ExprNode;

// A new tree: f with every subtree equal to var (ExpressionsAndShapesEqual) replaced by a copy of
// value, compared in post-order with f itself last; not simplified (the caller simplifies it once
// it stands in its place). Null when memory was refused.
ExprNode* Substituted(const ExprNode* f, const ExprNode* var, const ExprNode* value);
// True when node equals old, after it was replaced by a copy of value (false when the copy was
// refused or they differ).
bool ReplaceIfEqual(ExprNode* node, const ExprNode* old, const ExprNode* value);

// substitution(f, var = value), f not an integral: the node becomes Substituted(f, var, value),
// then SimplifyAndNormalizeSigns where it stands.
// substitution(f, var = a, b): the node becomes substitution(f, var = b) + (-substitution(f,
// var = a)), the two left for a later application; with a bare lower bound a it becomes
// substitution(f, b) + (-substitution(f, a)), which no later application changes. Any other shape
// stays.
void ApplySubstitutionNode(ExprNode* node);
// ApplySubstitutionNode on every substitution node in post-order (the successor taken after the
// node was rewritten, so what one application built is not applied in the same walk).
void ApplySubstitutions(ExprNode* root);
// ApplySubstitutions on the current editor's caret node; the layout is invalidated.
void ApplySubstitutionsInFormula();

// A sum (isSum) or product of three operands (f, i = a, b): with a equal to b the node becomes f
// at i = a; otherwise f at i = a is taken out in front (+ or x) and the lower bound becomes a + 1,
// simplified. The term is simplified where it stands (a negative term negates the product). Numeric bounds with a above b (or NaN) leave the node alone: there is no term.
void PeelSumTerm(ExprNode* node, bool isSum);
// PeelSumTerm on every sum and prod node in post-order: one term from each.
void FoldSums(ExprNode* root);
// FoldSums on the current editor's caret node, then RemoveIdWrappers, SimplifyTreeBottomUp and
// NormalizeSigns there; the layout is invalidated.
void FoldSumsInFormula();
