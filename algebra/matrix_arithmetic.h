// Matrix and vector arithmetic written in a formula carried out: sums of neighbouring matrices of
// one shape, matrix products, scalar multiples, negation and division of a matrix, dot and cross
// products and the length of a 2- or 3-vector. A matrix's cells are its children in row order.
// Invariants: a matrix node counts as a matrix only when rows and columns are at least 1 and
// rows x cols is its arity (a product holding any other matrix node is left alone); only
// MatrixProduct simplifies; each rewrite is whole or not at all.
#pragma once

struct ExprNode;

// A matrix node whose value word agrees with its arity.
bool IsWellFormedMatrix(const ExprNode* node);

// Post-order over the tree (the successor taken after a node was rewritten), each node by kind:
// plus: AddAdjacentMatrices; times: MultiplyOutMatrixFactors; minus(M): M with every cell c as -c;
// over(M, d): M with every cell c as c / d (a copy of d each, matrix or not); dot(a, b) of vectors
// of n cells each: a1 b1 + ... + an bn; cross(a, b) of 3-cell matrices: the cross product in b's
// shape; abs of a 2- or 3-cell matrix: sqrt(c1^2 + ...). Other nodes, and other shapes, stay.
void SymbolicRewritePass(ExprNode* tree);
// SymbolicRewritePass on the current editor's caret node; the layout is invalidated.
void SymbolicRewriteSelection();

// Term i - 1 and term i of the sum, both matrices of one shape, become one matrix of the sums
// (cell of i - 1) + (cell of i); repeated at the same index, so only neighbours add (a scalar
// between two matrices keeps them apart). True when the sum changed.
bool AddAdjacentMatrices(ExprNode* sum);
// Repeated until nothing changes: two leading matrices multiply (MatrixProduct; incompatible
// shapes end the sweeps); a leading matrix takes the scalar after it, or the matrix after a
// leading scalar takes it (ScaleMatrix); with neither, the first matrix further on takes the
// leading scalar in front of its cells, so a b M gives cells b a c. True when the product changed.
bool MultiplyOutMatrixFactors(ExprNode* product);
// Every cell c of operand `matrix` becomes c s (scalar after it) or s c, a copy of s each, a
// product cell getting the factor as its last or first factor; the scalar operand is removed.
bool ScaleMatrix(ExprNode* product, int matrix, int scalar);
// Operands a and b (a before b) multiplied when a's columns equal b's rows: cell (i, j) is the sum
// of the products a(i, k) b(k, j), each product and the sum simplified once; a 1 by 1 result is
// its only cell. The result takes a's place, b is removed, and the product node is simplified
// bottom-up with signs normalised where it stands (a negative scalar result under a factor
// negates that product). False (nothing changed) for other shapes.
bool MatrixProduct(ExprNode* product, int a, int b);
