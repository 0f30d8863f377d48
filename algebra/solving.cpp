// Solving for the selection. The inverses are applied to a detached copy of the equation
// (RewriteCopy), whose path to the selection runs in step with the original's.
#include "algebra/solving.h"

#include "algebra/rewrite_primitives.h"
#include "algebra/simplifier.h"
#include "editor/caret_navigation.h"
#include "editor/layout_driver.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

// Each direct function with its arc function.
constexpr uint32_t kArcPairs[][2] = {
    {KindSin, KindAsin},   {KindCos, KindAcos},   {KindTan, KindAtan},   {KindCot, KindAcot},
    {KindCsc, KindAcsc},   {KindSec, KindAsec},   {KindSinh, KindAsinh}, {KindCosh, KindAcosh},
    {KindTanh, KindAtanh}, {KindCoth, KindAcoth}, {KindCsch, KindAcsch}, {KindSech, KindAsech},
};

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }

void ExchangeSides(ExprNode* equation) {
  ExprNode* left = equation->children[0];
  SetChild(equation, 0, equation->children[1]);
  SetChild(equation, 1, left);
}

bool IsRightSide(const ExprNode* node) {
  const ExprNode* p = node->parent;
  return p != nullptr && IsShape(p, KindEqual, 2) && p->children[1] == node;
}

bool IsBelow(const ExprNode* node, const ExprNode* top) {
  for (node = node->parent; node != nullptr; node = node->parent) {
    if (node == top) return true;
  }
  return false;
}

// The operand index of `top` whose subtree holds `node` (strictly below top).
int OperandTowards(const ExprNode* top, const ExprNode* node) {
  while (node->parent != top) node = node->parent;
  return IndexInParent(node);
}

// The kind has an inverse and the node the operand count that InvertStep reads.
bool HasInverse(const ExprNode* node) {
  switch (node->kind) {
    case KindPlus:
    case KindTimes: return node->arity >= 2;
    case KindOver:
    case KindPower: return node->arity == 2;
    case KindSqrt:
    case KindLog: return node->arity == 1 || node->arity == 2;
    default: return IsInvertibleKind(node->kind) && node->arity == 1;
  }
}

}  // namespace

uint32_t InverseFunctionKind(uint32_t kind) {
  for (const auto& pair : kArcPairs) {
    if (pair[0] == kind) return pair[1];
    if (pair[1] == kind) return pair[0];
  }
  return 0;
}

bool IsInvertibleKind(uint32_t kind) {
  switch (kind) {
    case KindTimes:
    case KindPlus:
    case KindMinus:
    case KindOver:
    case KindPower:
    case KindSqrt:
    case KindLog:
    case KindLn:
    case KindId: return true;
    default: return InverseFunctionKind(kind) != 0;
  }
}

bool InvertStep(ExprNode* equation, int o, const ExprNode* node, int k) {
  ExprNode* y = equation->children[o];
  ExprNode* const* c = node->children;
  auto copy = [c](int i) { return CopyTree(c[i]); };
  auto raise = [y](ExprNode* e) { return RaiseNodeTo(y, e); };
  auto logTo = [y](ExprNode* base) { return WrapInBinary(y, base, 1, KindLog); };
  auto powerOf = [y](ExprNode* base) { return WrapInBinary(y, base, 0, KindPower); };
  switch (node->kind) {
    case KindPlus: return Attach(Build(KindMinus, {CopyWithout(node, k)}), [y](ExprNode* m) { return AddToNode(y, m); });
    case KindTimes: return Attach(CopyWithout(node, k), [y](ExprNode* rest) { return DivideNodeBy(y, rest); });
    case KindMinus: return NegateNode(y);
    case KindOver:
      if (k == 0) return Attach(copy(1), [y](ExprNode* b) { return AppendFactor(y, b); });
      return Attach(copy(0), [y](ExprNode* a) { return DivideNodeBy(y, a); }) && InvertNode(y);
    case KindPower:
      if (k == 0) return Attach(Build(KindOver, {NewNumberNode(1), copy(1)}), raise);
      return IsConstantSymbol(c[0], kSymbolE) ? WrapInUnary(y, KindLn) : Attach(copy(0), logTo);
    case KindSqrt:
      if (node->arity == 1) return Attach(NewNumberNode(2), raise);
      return k == 0 ? Attach(copy(1), raise) : Attach(copy(0), logTo) && InvertNode(y);
    case KindLog:
      if (node->arity == 1) return Attach(NewNumberNode(10), powerOf);
      return k == 0 ? Attach(copy(1), powerOf) : InvertNode(y) && Attach(copy(0), powerOf);
    case KindLn:
      // Where a sum, product or integral binds the letter e, e^y would read as that name.
      if (AnyEnclosingIndex(y, [](int32_t name) { return name == kSymbolE; })) return WrapInUnary(y, KindExp);
      return Attach(NewSymbolNode(kSymbolE), powerOf);
    case KindId: return true;
    default: {
      const uint32_t inverse = InverseFunctionKind(node->kind);
      return inverse != 0 && WrapInUnary(y, inverse);
    }
  }
}

void SolveForSelection(ExprNode* equation) {
  FormulaEditor* editor = Editor();
  const ExprNode* selection = editor != nullptr ? editor->caretNode : nullptr;
  if (selection == nullptr || !IsShape(equation, KindEqual, 2) || !IsBelow(selection, equation)) return;
  const int s = OperandTowards(equation, selection), o = 1 - s;
  const bool solved = RewriteCopy(equation, [&](ExprNode* work) {
    const ExprNode* t = equation->children[s];
    ExprNode* mirror = work->children[s];
    while (t != selection) {
      const int k = OperandTowards(t, selection);
      if (!InvertStep(work, o, mirror, k)) return false;
      t = t->children[k];
      mirror = mirror->children[k];
    }
    SimplifyTreeBottomUp(work->children[o]);
    NormalizeSigns(work->children[o]);
    ReplaceExpression(mirror, work->children[s]);  // the selection's copy is cut out first
    return true;
  });
  if (solved) SetFormulaSelection(equation->children[s], SelectionCaretNode);
}

void IsolateSelection(ExprNode* equation) {
  FormulaEditor* editor = Editor();
  if (editor == nullptr || editor->caretNode == nullptr) return;
  for (ExprNode* n = editor->caretNode->parent; n != nullptr && n != equation; n = n->parent) {
    if (!HasInverse(n)) {
      SetFormulaSelection(n, SelectionCaretNode);
      return;
    }
  }
  SolveForSelection(equation);
}

void MathCommand2016() {
  FormulaEditor* editor = Editor();
  ExprNode* selection = editor != nullptr ? editor->caretNode : nullptr;
  if (selection == nullptr || selection->parent == nullptr) return;
  if (selection->parent->kind == KindEqual) {
    if (IsRightSide(selection)) {
      ExchangeSides(selection->parent);
      InvalidateFormulaLayout();
    }
    return;
  }
  ExprNode* equation = selection->parent;
  while (equation != nullptr && equation->kind != KindEqual) equation = equation->parent;
  if (equation == nullptr || equation->arity != 2) return;
  IsolateSelection(equation);
  if (IsRightSide(editor->caretNode)) ExchangeSides(editor->caretNode->parent);
  InvalidateFormulaLayout();
}
