// Expansion by kind. Each rule builds its result from copies (Build frees what it was given when
// a piece is refused) and the node takes it in one step.
#include "algebra/expansion_by_kind.h"

#include "algebra/differentiation.h"
#include "algebra/rewrite_primitives.h"
#include "algebra/sign_knowledge.h"
#include "algebra/simplifier.h"
#include "algebra/substitution.h"
#include "editor/layout_driver.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/trees/expr_node.h"

namespace {

ExprNode* C(const ExprNode* node) { return CopyTree(node); }

// b^n as n copies of b, for an integral n in 1..19.
ExprNode* PowerAsProduct(const ExprNode* node) {
  int32_t n;
  if (node->arity != 2 || !IsNumberNode(node->children[1]) || !AsInt32(NumberValue(node->children[1]), &n) || n < 1 ||
      n > 19) {
    return nullptr;
  }
  const ExprNode* base = node->children[0];
  return n == 1 ? C(base) : BuildEach(KindTimes, n, [base](int) { return C(base); });
}

// The logarithm of a product splits only where each factor is positive wherever the product is:
// at most one factor of unknown sign (ln(x a) has a value at x = a = -1, ln x none). The
// logarithm of b^n is n log b where b^n has the sign of b (b known non-negative, n an odd ratio),
// n log |b| for an even n (ln(x^2) = 2 ln |x|); any other stays.
ExprNode* SplitLogarithm(const ExprNode* node) {
  const uint32_t kind = node->kind;
  if (node->arity == 2) return Build(KindOver, {Build(KindLn, {C(node->children[0])}), Build(KindLn, {C(node->children[1])})});
  if (node->arity != 1) return nullptr;
  const ExprNode* u = node->children[0];
  if (u->kind == KindTimes && u->arity > 0) {
    if (!AtMostOneOfUnknownSign(u)) return nullptr;
    return BuildEach(KindPlus, u->arity, [&](int k) { return Build(kind, {C(u->children[k])}); });
  }
  if (!IsShape(u, KindPower, 2)) return nullptr;
  const ExprNode* b = u->children[0];
  const ExprNode* n = u->children[1];
  if (KnownNonNegative(b) || IsOddRatio(n)) return Build(KindTimes, {C(n), Build(kind, {C(b)})});
  if (IsEvenRatio(n)) return Build(KindTimes, {C(n), Build(kind, {Build(KindAbs, {C(b)})})});
  return nullptr;
}

// |M| of a 1 by 1 or 2 by 2 matrix whose cells are all there (simplified by the caller once it
// stands in the node's place).
ExprNode* Determinant(const ExprNode* node) {
  const ExprNode* m = node->arity == 1 ? node->children[0] : nullptr;
  if (m == nullptr || m->kind != KindMatrix) return nullptr;
  const int rows = m->value.halves.first;
  if (rows != m->value.halves.second || rows * rows != m->arity || (rows != 1 && rows != 2)) return nullptr;
  const ExprNode* const* c = m->children;
  return rows == 1 ? C(c[0])
                   : Build(KindPlus, {Build(KindTimes, {C(c[0]), C(c[3])}),
                                      Build(KindMinus, {Build(KindTimes, {C(c[1]), C(c[2])})})});
}

ExprNode* Fact(ExprNode* x) { return Build(KindFact, {x}); }

ExprNode* BinomialAsFactorials(const ExprNode* node) {
  if (node->arity != 2) return nullptr;
  const ExprNode* n = node->children[0];
  const ExprNode* k = node->children[1];
  return Build(KindOver, {Fact(C(n)), Build(KindTimes, {Fact(C(k)), Fact(Build(KindPlus, {C(n), Build(KindMinus, {C(k)})}))})});
}

}  // namespace

void ExpandNodeByKind(ExprNode* node) {
  if (node == nullptr) return;
  RemoveIdWrappers(node);
  ExprNode* result = nullptr;
  switch (node->kind) {
    case KindPower: result = PowerAsProduct(node); break;
    case KindLog:
    case KindLn: result = SplitLogarithm(node); break;
    case KindFact:
      if (node->arity == 1 && IsNumberNode(node->children[0]) && NumberValue(node->children[0]) >= 0) {
        ReplaceWithNumber(node, Factorial(NumberValue(node->children[0])));
      }
      return;
    case KindAbs:
      if (ExprNode* determinant = Determinant(node)) {
        ReplaceExpression(determinant, node);
        SimplifyAndNormalizeSigns(node);
      }
      return;
    case KindChoice: result = BinomialAsFactorials(node); break;
    case KindSubstitution: ApplySubstitutionNode(node); return;
    case KindIntegral: ExpandDefiniteIntegral(node); return;
    default: return;
  }
  if (result != nullptr) ReplaceExpression(result, node);
}

void ExpandDefiniteIntegral(ExprNode* node) {
  if (node->kind != KindIntegral || node->arity != 4) return;
  const ExprNode* const* c = node->children;
  ExprNode* result = Build(KindSubstitution, {Build(KindIntegral, {C(c[0]), C(c[1])}), Build(KindEqual, {C(c[1]), C(c[2])}), C(c[3])});
  if (result != nullptr) ReplaceExpression(result, node);
}

void SimplifySelectionWithDerivatives(ExprNode* node) {
  if (node == nullptr) return;
  RemoveIdWrappers(node);
  SimplifyTreeBottomUp(node);
  DerivativeOperatorsToNodes(node);
  DifferentiateDerivativeNodes(node);
  DerivativeNodesToOperators(node);
  SimplifyAndNormalizeSigns(node);
}

void SimplifySelectionAndSubstitute() {
  const FormulaEditor* editor = TypesettingGlobals().currentEditor;
  if (editor == nullptr || editor->caretNode == nullptr) return;
  SimplifySelectionWithDerivatives(editor->caretNode);
  ExpandNodeByKind(editor->caretNode);
  InvalidateFormulaLayout();
}
