// Numeric evaluation of subtrees: complex and interval values of an expression through a
// temporary compiled function, and the replacement of every evaluable part of a selection by its
// value. The real value of a node is the kernel's NodeToNumber (compiled_function.h), which
// evaluates a compiled copy over private slots and so is safe while another evaluation runs.
// Invariants: the caller's tree is never handed to the compiler (a copy is, and is disposed of on
// every path); NaN results are stored as they come.
#pragma once

#include "kernel/numeric/complex.h"

struct ExprNode;

// The value with only the parameter slot set (EvaluateComplexAt0), compiled as a complex function
// whatever the tree names: sqrt(-4) is 2i, ln(-1) is i pi. NaN + NaN i without memory.
void EvaluateExpressionAsComplex(Complex* out, const ExprNode* node);
// The bounds over x in [0, 0] and y in [0, 0] (EvaluateIntervalXY); NaN bounds without memory.
void EvaluateExpressionAsInterval(const ExprNode* node, double* lower, double* upper);
// Some node of the tree is an interval.
bool TreeHasInterval(const ExprNode* tree);

// Pre-order over the subtree: each node that is not a number and whose subtree the evaluator
// accepts (AllNodesClassifiable: the parameter letter included) becomes its value, an interval
// of two numbers when it holds an interval; the walk then goes on after it. Never replaced: an
// equation under a sum (its index range), a part holding the index of a sum or product around it
// (an index i is no imaginary unit), the letter e as a power's base, and an exponent
// p/q (or -(p/q)) of whole p and q with an odd reduced q above 1, which stays a quotient so that
// the compiled power takes the real root of a negative base: x^(1/3) at x = -8 is -2 (a reduced
// q of 1 is a whole number and becomes one: x^(-(4/2)) gives x^-2). A part whose
// value is complex with no real number (i + 1) is left as written and its parts are evaluated.
void EvaluateSubtreesNumerically(ExprNode* root);
// RemoveIdWrappers, EvaluateSubtreesNumerically and NormalizeSigns on the current editor's caret
// node; the layout is invalidated. No editor: nothing.
void EvaluateSelectionNumerically();
