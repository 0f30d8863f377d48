// Caret placement, the arrow keys, Tab and ")". Every motion ends in SetFormulaSelection or
// writes the caret fields of a node it found in the tree, so the caret node stays in the tree.
// A Right (Left) arrow on a prompt with nothing after (before) it stays put: only Tab wraps, so
// repeated arrows always come to rest at an end of the formula.
#include "editor/caret_navigation.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "editor/edit_commands.h"
#include "editor/layout_driver.h"
#include "editor/node_notation.h"
#include "editor/typeset_state.h"
#include "kernel/trees/expr_node.h"

namespace {

// The rules only move down the tree, from a letter up to its prime (whose own rules stop there)
// or from before a node to after its left neighbour, so normalisation ends; this bounds it.
constexpr int32_t kNormaliseStepLimit = 1 << 24;

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }

ExprNode* FirstLeaf(ExprNode* n) {
  while (OperandCount(n) > 0) n = n->children[0];
  return n;
}

ExprNode* LastLeaf(ExprNode* n) {
  while (OperandCount(n) > 0) n = n->children[n->arity - 1];
  return n;
}

// The first leaf of what follows the caret node's subtree; at the end of the formula the first
// leaf of the root when wrapping (Tab), else none (the arrows stop at the end).
ExprNode* CaretToNextLeaf(const ExprNode* caret, ExprNode* root, bool wrap) {
  ExprNode* next = NextSiblingOrAncestorSibling(caret);
  return next ? FirstLeaf(next) : wrap ? FirstLeaf(root) : nullptr;
}

ExprNode* CaretToPreviousLeaf(const ExprNode* caret, ExprNode* root, bool wrap) {
  ExprNode* previous = PrevSiblingOrAncestorSibling(caret);
  return previous ? LastLeaf(previous) : wrap ? LastLeaf(root) : nullptr;
}

int32_t TextLength(const ExprNode* n) {
  if (n->kind == KindNum && n->value.number) return static_cast<int32_t>(std::strlen(n->value.number->text));
  if (n->kind == KindString && n->text) return static_cast<int32_t>(std::strlen(n->text));
  return 0;
}

void SetTextCaret(FormulaEditor* e, int32_t mode, int32_t at) {
  e->selectionMode = mode;
  e->selectionStart = e->selectionEnd = at;
}

// Rule 4 of SetFormulaSelection: the position before a factor (not a number after a number) or
// before a subtracted term is the position after the operand on its left.
ExprNode* LeftNeighbourOwningGap(const ExprNode* node) {
  const ExprNode* p = node->parent;
  int32_t i = IndexInParent(node);
  if (!p || i <= 0) return nullptr;
  ExprNode* left = p->children[i - 1];
  bool numbers = node->kind == KindNum && left->kind == KindNum;
  if ((p->kind == KindTimes && !numbers) || (node->kind == KindMinus && p->kind == KindPlus)) return left;
  return nullptr;
}

// A prefix or enclosing node is entered (caret before its first operand); anything else is
// passed (caret after it).
void CaretPastOrInto(ExprNode* node) {
  if ((IsPrefixNode(node) || IsEnclosingNode(node)) && OperandCount(node) > 0) {
    SetFormulaSelection(node->children[0], SelectionCaretBefore);
  } else {
    SetFormulaSelection(node, SelectionCaretAfter);
  }
}

// The structure the caret leaves by going right from the end of its last operand: a postfix,
// enclosing or two-dimensional node or a root; a fraction, index list or power gives none (the
// caller leaves those by their operand 1). The last cell of a matrix is no structure to stop at:
// the caret after an atom cell, or after a sum or function cell (which normalises back to after
// its last operand), is where the caret already stands, so the Right arrow could never leave the
// matrix; the climb goes on, and the caret leaves it as the Left arrow does from its first cell.
ExprNode* EnclosingStructureToExit(ExprNode* node) {
  for (ExprNode* n = node;;) {
    ExprNode* p = n->parent;
    if (!p || !IsLastOperand(n)) return nullptr;
    n = p;
    if (n->kind == KindOver || n->kind == KindIndexes || n->kind == KindPower) return nullptr;
    if (IsPostfixNode(n) || IsEnclosingNode(n) || IsTwoDimensionalNode(n) || n->kind == KindSqrt) return n;
  }
}

void CaretRightFromAfter(ExprNode* caret) {
  if (ExprNode* structure = EnclosingStructureToExit(caret)) {
    SetFormulaSelection(structure, SelectionCaretAfter);
    return;
  }
  ExprNode* n = caret;
  while (n->parent && IsPrefixNode(n->parent) && n->parent->kind != KindSqrt) n = n->parent;
  ExprNode* a = n->parent;
  if (a && (a->kind == KindOver || a->kind == KindIndexes || a->kind == KindPower) && IsChildAt(n, 1)) {
    SetFormulaSelection(a, SelectionCaretAfter);
    return;
  }
  if (ExprNode* next = NextSiblingOrAncestorSibling(caret)) {
    const ExprNode* p = next->parent;
    int32_t i = IndexInParent(next);
    bool factor = p->kind == KindTimes && (i == 0 || !(next->kind == KindNum && p->children[i - 1]->kind == KindNum));
    bool subtracted = p->kind == KindPlus && next->kind == KindMinus && i > 0;
    if (factor || subtracted) {
      CaretPastOrInto(next);
    } else {
      SetFormulaSelection(next, SelectionCaretBefore);
    }
    return;
  }
  for (a = caret->parent; a && ((IsPrefixNode(a) && a->kind != KindSqrt) || IsInfixNode(a));) a = a->parent;
  if (a) SetFormulaSelection(a, SelectionCaretAfter);
}

void CaretLeftFromBefore(ExprNode* caret) {
  for (ExprNode* n = caret; n->parent && IsChildAt(n, 0);) {
    n = n->parent;
    if (IsPrefixNode(n) || IsEnclosingNode(n)) {
      SetFormulaSelection(n, SelectionCaretBefore);
      return;
    }
  }
  if (ExprNode* previous = PrevSiblingOrAncestorSibling(caret)) {
    SetFormulaSelection(previous, SelectionCaretAfter);
    return;
  }
  ExprNode* a = caret->parent;
  while (a && (IsPostfixNode(a) || IsInfixNode(a))) a = a->parent;
  if (a) SetFormulaSelection(a, SelectionCaretBefore);
}

// Moves within digits or text by one character; past an end the caret leaves the node.
void StepInText(FormulaEditor* e, int32_t step) {
  int32_t at = step > 0 ? std::max(e->selectionStart, e->selectionEnd) + 1
                        : std::min(e->selectionStart, e->selectionEnd) - 1;
  if (step > 0 && at >= TextLength(e->caretNode)) {
    SetFormulaSelection(e->caretNode, SelectionCaretAfter);
  } else if (step < 0 && at <= 0) {
    SetFormulaSelection(e->caretNode, SelectionCaretBefore);
  } else {
    e->selectionStart = e->selectionEnd = at;
  }
}

int32_t ClampedIndex(const ExprNode* n, int32_t i) { return std::clamp(i, 0, n->arity - 1); }

void ExtendSelection(bool right) {
  FormulaEditor* e = Editor();
  if (!e) return;
  LayoutFormula();
  const FormulaEditor saved = *e;
  const int32_t steps = e->selectionMode <= SelectionOperator ? 2 : 1;
  for (int32_t i = 0; i < steps; ++i) right ? CaretRight() : CaretLeft();
  Fixed x = INT32_MIN, bottom = 0, top = 0;
  GetCaretBar(&x, &bottom, &top);
  e->caretNode = saved.caretNode;
  e->selectionMode = saved.selectionMode;
  e->selectionStart = saved.selectionStart;
  e->selectionEnd = saved.selectionEnd;
  auto drag = TypesetGlobals().editing.handlers.trackFormulaDrag;
  if (x == INT32_MIN || !drag) return;
  Fixed v = SaturateFixed((int64_t{top} + bottom) / 2);
  drag(v, right ? x : SaturateFixed(int64_t{x} + FixedFromInt(3)), saved.caretNode);
}

// Operand 1 of `want` is reached from the caret (mode 3) along last operands, before a node of
// kind `stopper`, a root, or an enclosing or postfix parent.
bool CaretEndsOperandOne(uint32_t want, uint32_t stopper) {
  const FormulaEditor* e = Editor();
  if (!e || e->selectionMode != SelectionCaretAfter) return false;
  for (const ExprNode* n = e->caretNode;; n = n->parent) {
    const ExprNode* p = n->parent;
    if (!p || n->kind == stopper) return false;
    if (p->kind == want && IsChildAt(n, 1)) return true;
    if (!IsLastOperand(n) || IsEnclosingNode(p) || IsPostfixNode(p)) return false;
  }
}

uint32_t KindNamed(const char* name) {
  for (uint32_t kind = kFirstNodeKind; kind <= kLastNodeKind; ++kind)
    if (std::strcmp(NodeKindName(kind), name) == 0) return kind;
  return 0;
}

}  // namespace

ExprNode* NextSiblingOrAncestorSibling(const ExprNode* node) {
  for (const ExprNode* n = node; n && n->parent; n = n->parent) {
    int32_t i = IndexInParent(n);
    if (i >= 0 && i + 1 < n->parent->arity) return n->parent->children[i + 1];
  }
  return nullptr;
}

ExprNode* PrevSiblingOrAncestorSibling(const ExprNode* node) {
  for (const ExprNode* n = node; n && n->parent; n = n->parent) {
    int32_t i = IndexInParent(n);
    if (i > 0) return n->parent->children[i - 1];
  }
  return nullptr;
}

void SetFormulaSelection(ExprNode* node, int32_t mode) {
  FormulaEditor* e = Editor();
  if (!e || !node) return;
  for (int32_t step = 0; step < kNormaliseStepLimit; ++step) {
    if (node->kind == KindPrompt) mode = SelectionCaretNode;
    const int32_t n = OperandCount(node);
    if (mode == SelectionCaretAfter && n > 0 && (IsInfixNode(node) || IsPrefixNode(node)) && node->kind != KindSqrt) {
      node = node->children[n - 1];
    } else if (mode == SelectionCaretBefore && n > 0 && (IsInfixNode(node) || IsPostfixNode(node)) &&
               node->kind != KindPrime) {
      node = node->children[0];
    } else if (ExprNode* left = mode == SelectionCaretBefore ? LeftNeighbourOwningGap(node) : nullptr) {
      node = left;
      mode = SelectionCaretAfter;
    } else if (mode == SelectionCaretBefore && node->kind == KindChar && node->parent &&
               node->parent->kind == KindPrime) {
      node = node->parent;
    } else {
      break;
    }
  }
  e->caretNode = node;
  e->selectionMode = mode;
  if (mode == SelectionCaretNode || mode == SelectionCaretAfter || mode == SelectionCaretBefore)
    e->selectionStart = e->selectionEnd = 0;
}

void SetFormulaSelectionKeepMode(ExprNode* node) {
  if (const FormulaEditor* e = Editor()) SetFormulaSelection(node, e->selectionMode);
}

void CaretToFormulaEnd() {
  FormulaEditor* e = Editor();
  if (!e || !e->root) return;
  ExprNode* last = LastLeaf(e->root);
  if (last->kind == KindPrompt) {
    SetFormulaSelection(last, SelectionCaretNode);
    return;
  }
  SetFormulaSelection(last, SelectionCaretAfter);
  // From the last leaf Right only leaves structures, one level a step.
  for (int32_t step = 0; step < kNormaliseStepLimit; ++step) {
    const ExprNode* node = e->caretNode;
    const int32_t mode = e->selectionMode, start = e->selectionStart, end = e->selectionEnd;
    CaretRight();
    if (e->caretNode == node && e->selectionMode == mode && e->selectionStart == start && e->selectionEnd == end) break;
  }
}

void CaretRight() {
  FormulaEditor* e = Editor();
  if (!e) return;
  ExprNode* c = e->caretNode;
  const int32_t n = OperandCount(c);
  switch (e->selectionMode) {
    case SelectionCaretNode:
      if (c->kind != KindPrompt) {
        SetFormulaSelection(c, SelectionCaretAfter);
      } else if (ExprNode* leaf = CaretToNextLeaf(c, e->root, false)) {
        SetFormulaSelection(leaf, SelectionCaretNode);
      }
      break;
    case SelectionChildRange:
      CaretToLastChild();
      SetFormulaSelection(e->caretNode, SelectionCaretAfter);
      break;
    case SelectionOperator:
      if (IsInfixNode(c) && e->selectionStart + 1 < n && e->selectionStart >= 0) {
        SetFormulaSelection(c->children[e->selectionStart + 1], SelectionCaretBefore);
      } else if (IsPrefixNode(c) && n > 0) {
        SetFormulaSelection(c->children[0], SelectionCaretBefore);
      }
      break;
    case SelectionCaretAfter: CaretRightFromAfter(c); break;
    case SelectionCaretBefore:
      if (c->kind == KindNum && TextLength(c) > 1) {
        SetTextCaret(e, SelectionDigits, 1);
      } else {
        CaretPastOrInto(c);
      }
      break;
    case SelectionMatrixBlock: CaretToLastChild(); break;
    case SelectionText:
    case SelectionDigits: StepInText(e, 1); break;
    default: break;
  }
}

void CaretLeft() {
  FormulaEditor* e = Editor();
  if (!e) return;
  ExprNode* c = e->caretNode;
  const int32_t n = OperandCount(c);
  switch (e->selectionMode) {
    case SelectionCaretNode:
      if (c->kind != KindPrompt) {
        SetFormulaSelection(c, SelectionCaretBefore);
      } else if (ExprNode* leaf = CaretToPreviousLeaf(c, e->root, false)) {
        SetFormulaSelection(leaf, SelectionCaretNode);
      }
      break;
    case SelectionChildRange:
      CaretDescend();
      SetFormulaSelection(e->caretNode, SelectionCaretBefore);
      break;
    case SelectionOperator:
      if (IsInfixNode(c) && e->selectionStart >= 0 && e->selectionStart < n) {
        SetFormulaSelection(c->children[e->selectionStart], SelectionCaretAfter);
      } else if (IsPrefixNode(c)) {
        SetFormulaSelection(c, SelectionCaretBefore);
      }
      break;
    case SelectionCaretAfter:
      if (c->kind == KindNum && TextLength(c) > 1) {
        SetTextCaret(e, SelectionDigits, TextLength(c) - 1);
      } else if ((IsPostfixNode(c) || IsEnclosingNode(c)) && n > 0) {
        SetFormulaSelection(c->children[0], SelectionCaretAfter);
      } else if (IsPrefixNode(c) && n > 0) {
        SetFormulaSelection(c->children[0], SelectionCaretBefore);
      } else {
        SetFormulaSelection(c, SelectionCaretBefore);
      }
      break;
    case SelectionCaretBefore: CaretLeftFromBefore(c); break;
    case SelectionMatrixBlock: CaretDescend(); break;
    case SelectionText:
    case SelectionDigits: StepInText(e, -1); break;
    default: break;
  }
}

void CaretDescend() {
  FormulaEditor* e = Editor();
  if (!e) return;
  ExprNode* c = e->caretNode;
  const int32_t mode = e->selectionMode;
  if (OperandCount(c) == 0) {
    if (mode == SelectionCaretNode) {
      SetFormulaSelection(c, SelectionCaretAfter);
    } else if (mode == SelectionCaretAfter) {
      ExprNode* a = c->parent;
      while (a && (IsPrefixNode(a) || IsInfixNode(a))) a = a->parent;
      if (a) SetFormulaSelection(a, SelectionCaretAfter);
    }
  } else if (mode == SelectionChildRange || mode == SelectionMatrixBlock) {
    SetFormulaSelection(c->children[ClampedIndex(c, e->selectionStart)], SelectionCaretNode);
  } else if (mode != SelectionOperator) {
    SetFormulaSelection(c->children[0], mode);
  }
}

void CaretToParent() {
  FormulaEditor* e = Editor();
  if (!e) return;
  ExprNode* c = e->caretNode;
  SetFormulaSelection(e->selectionMode == SelectionCaretNode && c->parent ? c->parent : c, SelectionCaretNode);
}

void CaretToLastChild() {
  FormulaEditor* e = Editor();
  if (!e) return;
  ExprNode* c = e->caretNode;
  const int32_t mode = e->selectionMode;
  if (OperandCount(c) == 0 || mode == SelectionOperator) return;
  if (mode == SelectionChildRange || mode == SelectionMatrixBlock) {
    SetFormulaSelection(c->children[ClampedIndex(c, e->selectionEnd)], SelectionCaretNode);
  } else {
    SetFormulaSelection(c->children[c->arity - 1], mode);
  }
}

void SelectNextLeaf() {
  FormulaEditor* e = Editor();
  if (!e) return;
  SetFormulaSelection(CaretToNextLeaf(e->caretNode, e->root, true), SelectionCaretNode);
}

void SelectPreviousLeaf() {
  FormulaEditor* e = Editor();
  if (!e) return;
  SetFormulaSelection(CaretToPreviousLeaf(e->caretNode, e->root, true), SelectionCaretNode);
}

void SelectNextPrompt() {
  FormulaEditor* e = Editor();
  if (!e) return;
  ExprNode *first = nullptr, *after = nullptr;
  bool passed = false;
  TreeCursor cursor(e->root, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Current(); n && !after; n = cursor.Next()) {
    if (n->kind == KindPrompt && !first) first = n;
    if (n->kind == KindPrompt && passed) after = n;
    passed = passed || n == e->caretNode;
  }
  if (ExprNode* target = after ? after : first) SetFormulaSelection(target, SelectionCaretNode);
}

void ExtendSelectionRight() { ExtendSelection(true); }
void ExtendSelectionLeft() { ExtendSelection(false); }

void CaretExitGroup() {
  FormulaEditor* e = Editor();
  if (!e) return;
  for (ExprNode* a = e->caretNode->parent; a; a = a->parent) {
    if (a->kind == KindId || a->kind == KindFunction) {
      e->caretNode = a;  // stored as is: the caret stays after the group, not inside it
      SetTextCaret(e, SelectionCaretAfter, 0);
      return;
    }
  }
}

void FinishStringEntry() {
  FormulaEditor* e = Editor();
  if (!e || e->selectionMode != SelectionCaretAfter || e->caretNode->kind != KindString) return;
  ExprNode* c = e->caretNode;
  const char* text = c->text ? c->text : "";
  e->selectionMode = SelectionCaretNode;
  if (text[0] != '\\') return;
  const char* name = text + 1;
  if (int16_t symbol = LookUpSymbolName(name, static_cast<int>(std::strlen(name)))) {
    ExprNode* letter = NewSymbolNode(symbol);
    if (!letter) return;
    MoveNodeInto(letter, c);
    if (c->box) c->box->nameBreakFlag = 0;
    SetFormulaSelection(c, SelectionCaretNode);
    InvalidateFormulaLayout();
  } else if (uint32_t kind = KindNamed(name)) {
    DoFormulaEditCommand(kCodeClear);
    DoFormulaEditCommand(KindCode(kind));
  }
}

bool IsCaretInExponent() { return CaretEndsOperandOne(KindPower, KindOver); }
bool IsCaretInDenominator() { return CaretEndsOperandOne(KindOver, KindPower); }
