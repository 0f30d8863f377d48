// grad, div and curl replaced by their Cartesian components in x, y and z, written with partial
// derivatives that are left as operator applications for the differentiation to work out.
// Invariants: a vector's entries are its children (their count decides, not the value word);
// an operator whose operand has another shape, or that cannot have its memory, stays unchanged.
#pragma once

struct ExprNode;

// grad f: the 3 by 1 column (df/dx, df/dy, df/dz) (a subscript operand is dropped); div of a
// matrix of 2 or 3 entries: dF1/dx + dF2/dy (+ dF3/dz); curl of a matrix of 3 entries: the
// column (dF3/dy - dF2/dz, dF1/dz - dF3/dx, dF2/dx - dF1/dy). The derivatives are internal
// partial-derivative nodes. Other nodes stay.
void ExpandVectorOperator(ExprNode* node);
// ExpandVectorOperator on every node in post-order (the successor taken after the node was
// rewritten, so div(grad f) nests the derivatives), then DerivativeNodesToOperators; whole or
// not at all (a refused allocation leaves the tree as it was).
void ExpandVectorOperators(ExprNode* root);
// ExpandVectorOperator on the current editor's caret node only, then DerivativeNodesToOperators
// there, whole or not at all; the layout is invalidated.
void ExpandVectorOperatorsInFormula();
