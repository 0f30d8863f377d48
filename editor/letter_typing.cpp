// Letters, symbols and name recognition. Names are tried in a fixed order, first match wins:
// the inverse trigonometric kinds, asinh..asech, sgn and log, sin..sec, sinh..sech, grad, div,
// curl, lap, floor and ceil, ln..real, the named-function kinds from real up, then the
// symbols inf, pi, theta, phi and degree.
#include "editor/letter_typing.h"

#include <cstring>

#include "editor/caret_edits.h"
#include "editor/caret_navigation.h"
#include "editor/layout_driver.h"
#include "editor/node_notation.h"
#include "editor/number_typing.h"
#include "editor/structural_deletion.h"
#include "kernel/trees/expr_node.h"

namespace {

struct KindRun {
  uint32_t first;
  uint32_t last;
  bool namedFunctionsOnly;
};

constexpr KindRun kNameKinds[] = {
    {KindAsin, KindAsec, false}, {KindAsinh, KindLog, false}, {KindSin, KindSec, false},
    {KindSinh, KindSech, false}, {KindGrad, KindLap, false},  {KindFloor, KindCeil, false},
    {KindLn, KindReal, false},   {KindReal, kLastNodeKind, true},
};
constexpr int16_t kNameSymbols[] = {SymInf, SymPi, SymTheta, SymPhi, SymDegree};

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }

// The n letters of `name` end at operand `last` of the product, none marked.
bool SpellsName(const ExprNode* product, int32_t last, const char* name) {
  const int32_t n = static_cast<int32_t>(std::strlen(name));
  if (last + 1 < n) return false;
  for (int32_t k = 0; k < n; ++k) {
    const ExprNode* letter = product->children[last - n + 1 + k];
    if (letter->kind != KindChar || letter->value.symbol != static_cast<unsigned char>(name[k])) return false;
    if (letter->box && letter->box->nameBreakFlag) return false;
  }
  return true;
}

// Removes the n letters ending at operand `last` of the product, the last first. A product left
// with one operand takes that operand's content, and a caret on it moves to the product.
void RemoveLetters(ExprNode* product, int32_t last, int32_t n) {
  for (int32_t k = last; k > last - n; --k) RemoveOperandAndFreeKeepingCaret(product, k);
}

// The operands after the letters become the function's argument: none (a new prompt), one, or
// several grouped into one product.
void ConvertLettersToFunction(ExprNode* product, int32_t last, int32_t n, uint32_t kind) {
  FormulaEditor* e = Editor();
  const int32_t following = product->arity - 1 - last;
  if (following == 0) {
    if (!InsertOperatorAfterCaret(KindTimes)) return;
  } else if (following >= 2) {
    e->caretNode = product;
    e->selectionMode = SelectionChildRange;
    e->selectionStart = last + 1;
    e->selectionEnd = product->arity - 1;
    if (!GroupSelectedRange()) return;
  } else {
    SetFormulaSelection(product->children[last + 1], SelectionCaretNode);
  }
  if (WrapCaretNodeInKind(kind, 1, 0)) RemoveLetters(product, last, n);
}

void ConvertLettersToSymbol(ExprNode* product, int32_t last, int32_t n, int16_t symbol) {
  if (!InsertOperatorAfterCaret(KindTimes)) return;
  TypeLetter(symbol);
  RemoveLetters(product, last, n);
}

void RecogniseName(ExprNode* letter) {
  ExprNode* product = letter->parent;
  const int32_t last = IndexInParent(letter);
  for (const KindRun& run : kNameKinds) {
    for (uint32_t kind = run.first; kind <= run.last; ++kind) {
      if (run.namedFunctionsOnly && !IsNamedFunctionKind(kind)) continue;
      const char* name = NodeKindName(kind);
      if (SpellsName(product, last, name)) {
        ConvertLettersToFunction(product, last, static_cast<int32_t>(std::strlen(name)), kind);
        return;
      }
    }
  }
  for (int16_t symbol : kNameSymbols) {
    const char* name = SymbolName(symbol);
    if (SpellsName(product, last, name)) {
      ConvertLettersToSymbol(product, last, static_cast<int32_t>(std::strlen(name)), symbol);
      return;
    }
  }
}

// "f" after the letter i: the i goes, and the expression below the nearest relation, list-like
// or stacking operator becomes the value of a condition whose test the caret waits in.
void TypeConditional() {
  DeleteBackward();
  ExprNode* n = Editor()->caretNode;
  auto bounds = [](uint32_t k) {
    return k == KindAtop || k == KindBranch || k == KindLparen || k == KindComma || k == KindEqual ||
           (k >= KindLessthan && k <= KindGeq);
  };
  while (n->parent && !bounds(n->parent->kind)) n = n->parent;
  SetFormulaSelection(n, SelectionCaretNode);
  WrapCaretNodeInKind(KindIf, 2, 0);  // what inserting the two-dimensional if kind does in mode 0
}

// "h" before the first operand of a trigonometric function (through postfix signs and first
// operands of operators and powers) makes it hyperbolic.
bool MakeEnclosingTrigonometryHyperbolic() {
  ExprNode* n = Editor()->caretNode;
  ExprNode* a = n->parent;
  while (a && (IsPostfixNode(a) || ((IsInfixNode(a) || a->kind == KindPower) && IsChildAt(n, 0)))) {
    n = a;
    a = a->parent;
  }
  if (!a || !IsTrigonometricKind(a->kind) || OperandCount(a) == 0) return false;
  a->kind += kHyperbolicOffset;
  SetFormulaSelection(a->children[0], SelectionCaretBefore);
  return true;
}

// "d" inside an integral: a product factor after the integrand, holding a differential.
bool StartDifferential() {
  FormulaEditor* e = Editor();
  ExprNode* integral = e->caretNode->parent;
  while (integral && integral->kind != KindInt) integral = integral->parent;
  if (!integral || OperandCount(integral) == 0) return false;
  e->caretNode = integral->children[0];
  e->selectionMode = SelectionCaretAfter;
  if (InsertOperatorAfterCaret(KindTimes)) WrapCaretNodeInKind(KindDiff, 1, 0);
  return true;
}

void TypeLetterByMode(FormulaEditor* e, int32_t code) {
  if (e->selectionMode == SelectionOperator) ReplaceSelectedOperator();
  switch (e->selectionMode) {
    case SelectionCaretNode: InsertSymbolAtCaret(code); break;
    case SelectionChildRange:
      if (GroupSelectedRange()) InsertSymbolAtCaret(code);
      break;
    case SelectionCaretAfter: {
      ClimbFromAttachedGroup();
      const ExprNode* c = e->caretNode;
      if (code == 'f' && c->kind == KindChar && c->value.symbol == 'i') {
        TypeConditional();
      } else if (InsertOperatorAfterCaret(KindTimes)) {
        InsertSymbolAtCaret(code);
      }
      break;
    }
    case SelectionCaretBefore:
      if (code == 'h' && MakeEnclosingTrigonometryHyperbolic()) break;
      if (InsertOperatorBeforeCaret(e->caretNode->kind == KindMinus ? KindPlus : KindTimes)) InsertSymbolAtCaret(code);
      break;
    default: break;
  }
}

}  // namespace

void InsertSymbolAtCaret(int32_t code) {
  FormulaEditor* e = Editor();
  if (!e) return;
  ExprNode* letter = NewSymbolNode(static_cast<int16_t>(code));
  if (!letter) return;
  ExprNode* c = e->caretNode;
  ReplaceExpression(letter, c);
  if (c->box) c->box->nameBreakFlag = 0;  // the box stays with the node: the mark must not
  SetFormulaSelection(c, SelectionCaretAfter);
  ExprNode* p = c->parent;
  if (p && IsTrigonometricKind(p->kind) && code == 'h') {
    ExprNode* prompt = NewPromptNode();
    if (!prompt) return;
    p->kind += kHyperbolicOffset;
    ReplaceExpression(prompt, c);
    SetFormulaSelection(c, SelectionCaretNode);
  } else if (p && p->kind == KindTimes) {
    RecogniseName(c);
  }
}

void TypeLetter(int32_t code) {
  FormulaEditor* e = Editor();
  if (!e || e->selectionMode == SelectionMatrixBlock || e->selectionMode == SelectionText) return;
  if (e->selectionMode == SelectionDigits) LeaveNumberDigits();
  if (code == 'E' && e->selectionMode == SelectionCaretAfter && e->caretNode->kind == KindNum) {
    WrapCaretNodeInKind(KindSn, 2, 0);  // the mantissa's exponent comes next
  } else if (code != 'd' || !StartDifferential()) {
    TypeLetterByMode(e, code);
  }
  InvalidateFormulaLayout();
}
