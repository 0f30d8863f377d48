// Numeric evaluation. A temporary function takes over a copy (InitFunction normalises it), is
// compiled, evaluated once and disposed of; a refused copy gives the undefined value.
#include "algebra/numeric_evaluation.h"

#include <cstdint>

#include "algebra/rewrite_primitives.h"
#include "algebra/simplifier.h"
#include "editor/layout_driver.h"
#include "kernel/eval/compiled_function.h"
#include "kernel/numeric/elementary_functions.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

// Compiles a copy of the node and hands the function to `evaluate`; false when the copy was
// refused (nothing evaluated).
template <class Evaluate>
bool WithCompiledCopy(const ExprNode* node, Evaluate evaluate) {
  ExprNode* copy = CopyTree(node);
  if (copy == nullptr) return false;
  CompiledFunction function{};
  InitFunction(&function, copy);
  CompileFunction(&function);
  evaluate(&function);
  DisposeFunction(&function);
  return true;
}

// The exponent (slot 1 of a two-operand power) that n is, or that the minus above it is.
bool InExponent(const ExprNode* n) {
  const ExprNode* power = n->parent;
  return power != nullptr && IsShape(power, KindPower, 2) && power->children[1] == n;
}

// n is p/q or -(p/q) in an exponent, or the p/q of such a negation, with whole p and q and q odd
// and above 1 once the fraction is reduced. A reduced denominator of 1 is a whole exponent, which
// loses nothing as a number (x^(-(4/2)) becomes x^-2).
bool IsOddRootExponent(const ExprNode* n) {
  const ExprNode* quotient = IsShape(n, KindMinus, 1) ? n->children[0] : n;
  const ExprNode* exponent = n->kind == KindOver && IsShape(n->parent, KindMinus, 1) ? n->parent : n;
  if (!IsShape(quotient, KindOver, 2) || !InExponent(exponent)) return false;
  const double p = NodeToNumber(quotient->children[0]);
  const double q = NodeToNumber(quotient->children[1]);
  int32_t whole;
  if (!AsInt32(p, &whole) || !AsInt32(q, &whole) || q == 0) return false;
  const double reduced = q / GreatestCommonDivisor(p, q);
  return AsInt32(reduced, &whole) && whole % 2 != 0 && whole != 1 && whole != -1;
}

// Replacing n would lose what it means: an index range, the base e, an odd root's exponent, or a
// part holding a name a sum, product or integral around it binds (whose value changes from term
// to term).
bool KeptAsWritten(const ExprNode* n) {
  const ExprNode* parent = n->parent;
  if (IsIndexEquation(n)) return true;
  if (IsSymbolNode(n, kSymbolE) && parent != nullptr && parent->kind == KindPower && parent->arity > 0 &&
      parent->children[0] == n) {
    return true;
  }
  return IsOddRootExponent(n) || AnyEnclosingIndex(n, [n](int32_t id) { return ContainsSymbol(n, id); });
}

// n replaced by its value (an interval when it holds one); false, n unchanged, when its value is
// complex with no real number for it: that is left as written rather than made undefined.
bool ReplaceByValue(ExprNode* n) {
  if (TreeHasInterval(n)) {
    double lower, upper;
    EvaluateExpressionAsInterval(n, &lower, &upper);
    if (ExprNode* interval = Build(KindInterval, {NewNumberNode(lower), NewNumberNode(upper)})) ReplaceExpression(interval, n);
    return true;
  }
  const double value = NodeToNumber(n);
  if (value != value && UsesComplexNumbers(n)) return false;
  ReplaceWithNumber(n, value);
  return true;
}

}  // namespace

void EvaluateExpressionAsComplex(Complex* out, const ExprNode* node) {
  *out = Complex{kUndefinedReal, kUndefinedReal};
  WithCompiledCopy(node, [out](CompiledFunction* f) {
    // The compiler marks a function complex only when its tree names complex numbers, and a
    // real function's constant parts are bound with real values (sqrt(-4) undefined). Asked for
    // the complex value, every part is worked out complex: sqrt(-4) is 2i, ln(-1) is i pi.
    f->complex = 1;
    if (f->code != nullptr) f->code->complex = 1;
    f->bindingsEvaluated = 0;
    EvaluateComplexAt0(out, f);
  });
}

void EvaluateExpressionAsInterval(const ExprNode* node, double* lower, double* upper) {
  *lower = *upper = kUndefinedReal;
  WithCompiledCopy(node, [=](CompiledFunction* f) { EvaluateIntervalXY(f, 0, 0, 0, 0, lower, upper); });
}

bool TreeHasInterval(const ExprNode* tree) {
  TreeCursor cursor(const_cast<ExprNode*>(tree), WalkOrder::kPreOrder);
  for (const ExprNode* n = cursor.Current(); n != nullptr; n = cursor.Next()) {
    if (n->kind == KindInterval) return true;
  }
  return false;
}

void EvaluateSubtreesNumerically(ExprNode* root) {
  TreeCursor cursor(root, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Current(); n != nullptr;) {
    // A replaced node keeps its place and has no children left to enter: Pass goes on after it.
    const bool replaced = n->kind != KindNum && AllNodesClassifiable(n) && !KeptAsWritten(n) && ReplaceByValue(n);
    n = replaced ? cursor.Pass() : cursor.Next();
  }
}

void EvaluateSelectionNumerically() {
  const FormulaEditor* editor = TypesettingGlobals().currentEditor;
  if (editor == nullptr || editor->caretNode == nullptr) return;
  RemoveIdWrappers(editor->caretNode);
  EvaluateSubtreesNumerically(editor->caretNode);
  NormalizeSigns(editor->caretNode);
  InvalidateFormulaLayout();
}
