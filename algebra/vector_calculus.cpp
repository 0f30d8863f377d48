// Vector-calculus operators. Each result is built from copies of the entries and moves into the
// operator's node in one step (ReplaceExpression frees the operand with its matrix shell). The
// walks run on a copy, since a derivative node that cannot go back to operator form becomes
// undefined: the formula changes only when every operator and derivative could be written.
#include "algebra/vector_calculus.h"

#include "algebra/differentiation.h"
#include "algebra/rewrite_primitives.h"
#include "editor/layout_driver.h"
#include "kernel/trees/expr_node.h"

namespace {

constexpr char kCoordinates[] = "xyz";

// The internal partial derivative of a copy of f by coordinate k.
ExprNode* Partial(const ExprNode* f, int k) {
  return Build(KindDerivativePartial, {CopyTree(f), NewSymbolNode(kCoordinates[k])});
}

ExprNode* Column(ExprNode* entries) {
  if (entries != nullptr) entries->value.halves = NodeHalves{3, 1};
  return entries;
}

ExprNode* Expansion(const ExprNode* node) {
  if (node->arity < 1) return nullptr;
  const ExprNode* f = node->children[0];
  const bool vector = f->kind == KindMatrix;
  ExprNode* const* F = f->children;
  switch (node->kind) {
    case KindGrad: return Column(BuildEach(KindMatrix, 3, [f](int k) { return Partial(f, k); }));
    case KindDiv:
      if (!vector || (f->arity != 2 && f->arity != 3)) return nullptr;
      return BuildEach(KindPlus, f->arity, [F](int k) { return Partial(F[k], k); });
    case KindCurl:
      if (!vector || f->arity != 3) return nullptr;
      return Column(BuildEach(KindMatrix, 3, [F](int k) {
        const int i = (k + 1) % 3, j = (k + 2) % 3;  // component k: dFj/di - dFi/dj
        return Build(KindPlus, {Partial(F[j], i), Build(KindMinus, {Partial(F[i], j)})});
      }));
    default:
      return nullptr;
  }
}

// Every operator of the tree expanded, post-order, and the derivatives turned into operators.
bool ExpandedWithOperators(ExprNode* tree) {
  ForEachPostOrder(tree, ExpandVectorOperator);
  DerivativeNodesToOperators(tree);
  return true;
}

}  // namespace

void ExpandVectorOperator(ExprNode* node) {
  if (ExprNode* result = Expansion(node)) ReplaceExpression(result, node);
}

void ExpandVectorOperators(ExprNode* root) {
  if (root != nullptr) RewriteCopy(root, ExpandedWithOperators);
}

void ExpandVectorOperatorsInFormula() {
  const FormulaEditor* editor = TypesettingGlobals().currentEditor;
  if (editor == nullptr || editor->caretNode == nullptr) return;
  RewriteCopy(editor->caretNode, [](ExprNode* copy) {
    ExpandVectorOperator(copy);
    DerivativeNodesToOperators(copy);
    return true;
  });
  InvalidateFormulaLayout();
}
