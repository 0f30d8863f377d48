// Matrix and vector arithmetic. Results of one step are built from copies; sums and products,
// which take several steps, are worked on a detached copy of the node (RewriteCopy), so a refused
// allocation part way leaves the formula as it was. The one sign step a detached copy cannot take,
// the product node's own (a negative scalar result negates a product around it), is taken once
// the copy stands in its place.
#include "algebra/matrix_arithmetic.h"

#include "algebra/rewrite_primitives.h"
#include "algebra/simplifier.h"
#include "editor/layout_driver.h"
#include "kernel/trees/expr_node.h"

namespace {

ExprNode* C(const ExprNode* node) { return CopyTree(node); }
int Rows(const ExprNode* m) { return m->value.halves.first; }
int Cols(const ExprNode* m) { return m->value.halves.second; }
bool IsVector(const ExprNode* m) { return IsWellFormedMatrix(m) && (Rows(m) == 1 || Cols(m) == 1); }
bool SameShape(const ExprNode* a, const ExprNode* b) { return Rows(a) == Rows(b) && Cols(a) == Cols(b); }

// A new matrix of the shape of `like` whose cell k is cell(k), or null.
template <class Cell>
ExprNode* MatrixOfCells(const ExprNode* like, int cells, Cell cell) {
  ExprNode* m = BuildEach(KindMatrix, cells, cell);
  if (m != nullptr) m->value.halves = like->value.halves;
  return m;
}

// The product of a and b as a detached tree, each cell's products and sum simplified once; null
// for incompatible shapes or without memory.
ExprNode* ProductOf(const ExprNode* a, const ExprNode* b) {
  const int n = Cols(a), rows = Rows(a), cols = Cols(b);
  if (n != Rows(b)) return nullptr;
  ExprNode* r = BuildEach(KindMatrix, rows * cols, [&](int cell) {
    const int i = cell / cols, j = cell % cols;
    ExprNode* sum = BuildEach(KindPlus, n, [&](int k) {
      ExprNode* p = Build(KindTimes, {C(a->children[i * n + k]), C(b->children[k * cols + j])});
      SimplifyNode(p);
      return p;
    });
    SimplifyNode(sum);
    return sum;
  });
  if (r == nullptr) return nullptr;
  r->value.halves = NodeHalves{static_cast<int16_t>(rows), static_cast<int16_t>(cols)};
  if (r->arity == 1) BecomeOperand(r, 0);  // a row times a column is a scalar
  return r;
}

// MatrixProduct without the sign step of the product node itself, which needs the node's parent.
bool MultiplyPair(ExprNode* product, int a, int b) {
  ExprNode* r = ProductOf(product->children[a], product->children[b]);
  if (r == nullptr) return false;
  ReplaceExpression(r, product->children[a]);
  if (!RemoveOperandAndFree(product, b)) return false;
  SimplifyTreeBottomUp(product);
  NormalizeSignsBelow(product);
  return true;
}

// MultiplyOutMatrixFactors without the sign step of the product node itself; `multiplied` tells
// whether a matrix product was taken (and so that step is due).
bool SweepMatrixFactors(ExprNode* product, bool* multiplied) {
  bool changed = false;
  while (product->kind == KindTimes && product->arity >= 2) {
    const bool first = IsWellFormedMatrix(product->children[0]), second = IsWellFormedMatrix(product->children[1]);
    bool swept;
    if (first && second) {
      swept = MultiplyPair(product, 0, 1);
      *multiplied = *multiplied || swept;
    } else if (first || second) {
      swept = ScaleMatrix(product, first ? 0 : 1, first ? 1 : 0);
    } else {
      int k = 2;
      while (k < product->arity && !IsWellFormedMatrix(product->children[k])) ++k;
      swept = k < product->arity && ScaleMatrix(product, k, 0);
    }
    if (!swept) break;
    changed = true;
  }
  return changed;
}

// The cross product's cell k: a(i) b(j) - a(j) b(i) with i, j the two cells after k, cyclically.
ExprNode* CrossCell(const ExprNode* a, const ExprNode* b, int k) {
  const int i = (k + 1) % 3, j = (k + 2) % 3;
  ExprNode* const* p = a->children;
  ExprNode* const* q = b->children;
  return Build(KindPlus, {Build(KindTimes, {C(p[i]), C(q[j])}), Build(KindMinus, {Build(KindTimes, {C(p[j]), C(q[i])})})});
}

// The new content of a node whose rewrite takes one step, or null when none applies.
ExprNode* OneStepResult(const ExprNode* node) {
  const ExprNode* a = node->arity > 0 ? node->children[0] : nullptr;
  const ExprNode* b = node->arity > 1 ? node->children[1] : nullptr;
  switch (node->kind) {
    case KindMinus:
      if (node->arity != 1 || !IsWellFormedMatrix(a)) return nullptr;
      return MatrixOfCells(a, a->arity, [a](int k) { return Build(KindMinus, {C(a->children[k])}); });
    case KindOver:
      if (node->arity != 2 || !IsWellFormedMatrix(a)) return nullptr;
      return MatrixOfCells(a, a->arity, [a, b](int k) { return Build(KindOver, {C(a->children[k]), C(b)}); });
    case KindDot:
      if (node->arity != 2 || !IsVector(a) || !IsVector(b) || a->arity != b->arity) return nullptr;
      return BuildEach(KindPlus, a->arity, [a, b](int k) { return Build(KindTimes, {C(a->children[k]), C(b->children[k])}); });
    case KindCross:
      if (node->arity != 2 || !IsWellFormedMatrix(a) || !IsWellFormedMatrix(b) || a->arity != 3 || b->arity != 3) return nullptr;
      return MatrixOfCells(b, 3, [a, b](int k) { return CrossCell(a, b, k); });
    case KindAbs:
      if (node->arity != 1 || !IsWellFormedMatrix(a) || (a->arity != 2 && a->arity != 3)) return nullptr;
      return Build(KindSqrt, {BuildEach(KindPlus, a->arity, [a](int k) { return Build(KindPower, {C(a->children[k]), NewNumberNode(2)}); })});
    default:
      return nullptr;
  }
}

// Some operand is a well-formed matrix and none is a malformed one.
bool HoldsOnlyWellFormedMatrices(const ExprNode* node) {
  bool any = false;
  for (int i = 0; i < node->arity; ++i) {
    const ExprNode* operand = node->children[i];
    if (operand->kind == KindMatrix && !IsWellFormedMatrix(operand)) return false;
    any = any || operand->kind == KindMatrix;
  }
  return any;
}

bool HasAdjacentPair(const ExprNode* sum) {
  for (int i = 1; i < sum->arity; ++i) {
    const ExprNode* p = sum->children[i - 1];
    const ExprNode* t = sum->children[i];
    if (IsWellFormedMatrix(p) && IsWellFormedMatrix(t) && SameShape(p, t)) return true;
  }
  return false;
}

void RewriteNode(ExprNode* node) {
  if (node->kind == KindPlus) {
    if (HasAdjacentPair(node)) RewriteCopy(node, AddAdjacentMatrices);
  } else if (node->kind == KindTimes) {
    bool multiplied = false;
    if (HoldsOnlyWellFormedMatrices(node) &&
        RewriteCopy(node, [&multiplied](ExprNode* copy) { return SweepMatrixFactors(copy, &multiplied); }) && multiplied) {
      NormalizeSignsAt(node);
    }
  } else if (ExprNode* result = OneStepResult(node)) {
    ReplaceExpression(result, node);
  }
}

}  // namespace

bool IsWellFormedMatrix(const ExprNode* node) {
  return node != nullptr && node->kind == KindMatrix && Rows(node) >= 1 && Cols(node) >= 1 &&
         Rows(node) * Cols(node) == node->arity;
}

void SymbolicRewritePass(ExprNode* tree) {
  if (tree != nullptr) ForEachPostOrder(tree, RewriteNode);
}

void SymbolicRewriteSelection() {
  const FormulaEditor* editor = TypesettingGlobals().currentEditor;
  if (editor == nullptr || editor->caretNode == nullptr) return;
  SymbolicRewritePass(editor->caretNode);
  InvalidateFormulaLayout();
}

bool AddAdjacentMatrices(ExprNode* sum) {
  bool changed = false;
  for (int i = 1; sum->kind == KindPlus && i < sum->arity;) {
    const ExprNode* p = sum->children[i - 1];
    ExprNode* t = sum->children[i];
    if (!IsWellFormedMatrix(p) || !IsWellFormedMatrix(t) || !SameShape(p, t)) {
      ++i;
      continue;
    }
    for (int k = 0; k < t->arity; ++k) {
      ExprNode* cell = t->children[k];
      if (!Attach(C(p->children[k]), [cell](ExprNode* left) { return WrapInBinary(cell, left, 0, KindPlus); })) return changed;
    }
    changed = true;
    if (!RemoveOperandAndFree(sum, i - 1)) return changed;  // the same index is examined again
  }
  return changed;
}

bool ScaleMatrix(ExprNode* product, int matrix, int scalar) {
  ExprNode* m = product->children[matrix];
  const ExprNode* s = product->children[scalar];
  for (int k = 0; k < m->arity; ++k) {
    ExprNode* cell = m->children[k];
    if (!Attach(C(s), [=](ExprNode* f) { return scalar > matrix ? AppendFactor(cell, f) : PrependFactor(cell, f); })) return false;
  }
  return RemoveOperandAndFree(product, scalar);
}

bool MatrixProduct(ExprNode* product, int a, int b) {
  if (!MultiplyPair(product, a, b)) return false;
  NormalizeSignsAt(product);
  return true;
}

bool MultiplyOutMatrixFactors(ExprNode* product) {
  bool multiplied = false;
  const bool changed = SweepMatrixFactors(product, &multiplied);
  if (multiplied) NormalizeSignsAt(product);
  return changed;
}
