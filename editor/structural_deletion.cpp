// Backspace and clear. Every removal goes through RemoveChildAt or the caret-keeping edits, so a
// caret on a freed node always moves to the node that took its place before it is placed again.
#include "editor/structural_deletion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "editor/caret_edits.h"
#include "editor/caret_navigation.h"
#include "editor/formula_editor.h"
#include "editor/layout_driver.h"
#include "editor/node_notation.h"
#include "editor/node_text_edits.h"
#include "kernel/text/number_settings.h"
#include "kernel/trees/expr_node.h"

namespace {

// Two numbers typed side by side join into one while their texts stay shorter than this.
constexpr int32_t kJoinedNumberLimit = 24;

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }

bool IsBigOperatorNode(const ExprNode* n) {
  const NodeKindRow* row = GetNodeKindRow(n->kind);
  return row && row->handler == LayoutHandler::BigOperator;
}

// A node whose first operand is the body its other operands bound: a big operator, a substitution
// bar, or an integral (whose integrand comes before its variable and limits, so removing it would
// make the variable the integrand).
bool HoldsBoundBody(const ExprNode* n) {
  return IsBigOperatorNode(n) || n->kind == KindSubstitution || n->kind == KindIntegral;
}

bool IsNegationKind(uint32_t kind) { return kind == KindPm || kind == KindMp || kind == KindMinus; }

bool IsNegatedTerm(const ExprNode* n) {
  return IsNegationKind(n->kind) && n->parent && n->parent->kind == KindPlus && !IsChildAt(n, 0);
}

void SetCaret(ExprNode* node, int32_t mode, int32_t at) {
  FormulaEditor* e = Editor();
  e->caretNode = node;
  e->selectionMode = mode;
  e->selectionStart = e->selectionEnd = at;
}

// Removes operand i; returns the node the caret goes to, or null when memory was refused (then
// nothing changed). A single operand leaves its parent (which takes its content); one of two is
// freed and the other takes the parent's place, except under the derivative operators, big
// operators and matrices, which only shrink.
ExprNode* RemoveChildAt(ExprNode* parent, int32_t i) {
  if (parent->arity == 1) {
    UnwrapNodeKeepingCaret(parent);
    return parent;
  }
  ExprNode* gone = parent->children[i];
  bool keepsShape = parent->kind == KindOptotal || parent->kind == KindOppartial || IsBigOperatorNode(parent) ||
                    parent->kind == KindMatrix;
  if (parent->arity == 2 && !keepsShape) {
    MoveNodeIntoKeepingCaret(parent->children[1 - i], parent);  // lets go of `gone` first
    FreeSubtreeKeepingCaret(gone, parent);
    return parent;
  }
  if (!RemoveChildSlot(parent, i)) return nullptr;
  FreeSubtreeKeepingCaret(gone, parent);
  return parent->children[i == 0 ? 0 : i - 1];
}

// Removes operand i of an index structure whose counts the caller has already lowered; a refusal
// puts the counts back.
void RemoveIndexAt(ExprNode* node, int32_t i, uint32_t oldKind, NodeValue oldValue) {
  ExprNode* target = RemoveChildAt(node, i);
  if (!target) {
    node->kind = oldKind;
    node->value = oldValue;
    return;
  }
  SetFormulaSelection(target, SelectionCaretAfter);
}

// A negated term goes with its sign.
ExprNode* RemoveFromParent(ExprNode* node) {
  ExprNode* p = node->parent;
  if (p->kind == KindMinus && p->parent && p->parent->kind == KindPlus) return RemoveChildAt(p->parent, IndexInParent(p));
  return RemoveChildAt(p, IndexInParent(node));
}

void DeleteIndex(ExprNode* list, int32_t i) {
  const NodeValue old = list->value;
  NodeHalves& counts = list->value.halves;  // raised, lowered (operands 1..lowered)
  if (i > counts.second) {
    counts.first = static_cast<int16_t>(std::max(counts.first - 1, 0));
  } else {
    counts.second = static_cast<int16_t>(std::max(counts.second - 1, 0));
  }
  RemoveIndexAt(list, i, KindIndexes, old);
}

// Index i of a tensor is operand i; its raised flag is bit i - 1 of the mask.
void DeleteTensorIndex(ExprNode* tensor, int32_t i) {
  const NodeValue old = tensor->value;
  uint32_t mask = static_cast<uint32_t>(tensor->value.tensorMask);
  uint32_t below = i > 1 ? mask & ((1u << (i - 1)) - 1) : 0;
  uint32_t above = i < 32 ? (mask >> i) << (i - 1) : 0;
  tensor->value.tensorMask = static_cast<int32_t>(below | above);
  RemoveIndexAt(tensor, i, KindTensor, old);
  SimplifyTensorToIndexes(tensor);  // a tensor that collapsed into its base is left alone
}

// The operands after the base fill the present places of the four, in order.
void DeleteChemIndex(ExprNode* chem, int32_t i) {
  const NodeValue old = chem->value;
  uint8_t* places = chem->value.chem;
  for (int32_t place = 0, seen = 0; place < 4; ++place) {
    if (places[place] && ++seen == i) {
      places[place] = 0;
      break;
    }
  }
  if (!places[0] && !places[2]) {
    NodeHalves counts{static_cast<int16_t>(places[1] != 0), static_cast<int16_t>(places[3] != 0)};
    chem->kind = KindIndexes;
    chem->value.raw = 0;
    chem->value.halves = counts;
  }
  RemoveIndexAt(chem, i, KindChem, old);
}

void DeleteVectorElement(ExprNode* matrix, int32_t i) {
  const NodeValue old = matrix->value;
  NodeHalves& size = matrix->value.halves;  // rows, columns
  if (size.first == 1 && size.second > 1 && matrix->arity == size.second) {
    --size.second;
  } else if (size.second == 1 && size.first > 1 && matrix->arity == size.first) {
    --size.first;
  } else {
    CaretToParent();
    return;
  }
  RemoveIndexAt(matrix, i, KindMatrix, old);
}

void DeletePromptAgainInProduct() {
  const ExprNode* c = Editor()->caretNode;
  if (c->kind == KindPrompt && c->parent && c->parent->kind == KindTimes) DeletePrompt();
}

// Deletes the operator between operands j and j + 1: operand j and the operand after it become
// one product (the whole node after operand j when `wholeNode`), flattened where either side is a
// product. The caret goes after the former operand j (its last factor when a product). Every
// node is made before anything moves, so a refusal changes nothing.
void MergeOperands(ExprNode* node, int32_t j, bool wholeNode) {
  if (j < 0 || j + 1 >= OperandCount(node)) return;
  ExprNode* w = node->children[j];
  ExprNode* target = w->kind == KindTimes && w->arity > 0 ? w->children[w->arity - 1] : w;
  ExprNode* product = node;
  if (node->arity == 2) {
    node->kind = KindTimes;  // (w, other) already stand in product order
    node->value.raw = 0;
  } else if (wholeNode) {
    ExprNode* rest = MoveContentToNewNode(node, KindTimes, 2);  // node: times(null, null)
    if (!rest) return;
    if (!RemoveChildSlot(rest, j)) {
      MoveNodeInto(rest, node);
      return;
    }
    SetChild(node, 0, w);
    SetChild(node, 1, rest);
  } else {
    product = NewNode(KindTimes, 2);
    if (!product) return;
    ExprNode* next = node->children[j + 1];
    if (!RemoveChildSlot(node, j)) {
      FreeNode(product);
      return;
    }
    SetChild(node, j, product);
    SetChild(product, 0, w);
    SetChild(product, 1, next);
  }
  for (int32_t side : {1, 0}) {  // an empty product is left alone: the caret may be on it
    const ExprNode* factor = product->children[side];
    if (factor->kind == KindTimes && factor->arity > 0) FlattenChildInto(product, side);
  }
  SetFormulaSelection(target, SelectionCaretAfter);
}

void MergeWithPrevious(ExprNode* node, int32_t j) { MergeOperands(node, j, false); }
// In a two-dimensional node the product takes the whole node: a/b with the caret before b is a·b.
void MergeIntoNode(ExprNode* node, int32_t j) { MergeOperands(node, j, true); }

bool HasSeparator(const ExprNode* number) { return std::strchr(NodeText(number), GetDecimalSeparator()) != nullptr; }

// 12·34 with the caret before 34 becomes 1234 with the caret where the two met. The right number
// goes first, so a refused removal leaves both numbers as they were.
bool JoinNumbers(ExprNode* product, int32_t i) {
  ExprNode* left = product->children[i - 1];
  ExprNode* right = product->children[i];
  const int32_t at = NodeTextLength(left), count = NodeTextLength(right);
  if (at + count >= kJoinedNumberLimit || (HasSeparator(left) && HasSeparator(right))) return false;
  char digits[kNumberTextMax + 1];
  std::memcpy(digits, NodeText(right), static_cast<size_t>(count));
  ExprNode* joined = RemoveChildAt(product, i);
  if (!joined) return true;  // nothing changed, and nothing else is tried
  InsertNodeText(joined, at, digits, count);
  RereadNumberValue(joined);
  SetCaret(joined, SelectionDigits, at);
  return true;
}

// Dissolves a one-operand sign or bracket; a negated term then joins the term before it.
void DissolveSign(ExprNode* sign, bool replacing) {
  if (IsNegatedTerm(sign)) {
    ExprNode* sum = sign->parent;
    int32_t j = IndexInParent(sign);
    UnwrapNodeKeepingCaret(sign);
    MergeWithPrevious(sum, j - 1);
  } else {
    UnwrapNodeKeepingCaret(sign);
    if (replacing) {
      SetCaret(sign, SelectionCaretBefore, 0);
    } else {
      SetFormulaSelection(sign, SelectionCaretBefore);
    }
  }
}

void DeleteOperator(bool replacing) {
  ExprNode* c = Editor()->caretNode;
  const int32_t start = Editor()->selectionStart;
  if (IsPrefixNode(c) && OperandCount(c) == 1) {
    DissolveSign(c, replacing);
  } else if ((IsInfixNode(c) || c->kind == KindDot || c->kind == KindCross || c->kind == KindDivide ||
              c->kind == KindFract) && start >= 0 && start + 1 < OperandCount(c)) {
    MergeWithPrevious(c, start);
  }
}

// A number whose every digit is cleared becomes a prompt (never an empty number); a string may
// be empty.
void ClearText(FormulaEditor* e) {
  ExprNode* c = e->caretNode;
  const int32_t length = NodeTextLength(c);
  const int32_t lo = std::clamp(std::min(e->selectionStart, e->selectionEnd), 0, length);
  const int32_t hi = std::clamp(std::max(e->selectionStart, e->selectionEnd), 0, length);
  if (lo >= hi) return;
  if (c->kind == KindNum && lo == 0 && hi == length) {
    DeleteCaretNode();
    return;
  }
  RemoveNodeText(c, lo, hi);
  RereadNumberValue(c);
  e->selectionStart = e->selectionEnd = lo;
  if (hi == length) {
    e->selectionMode = SelectionCaretAfter;
  } else if (lo == 0) {
    e->selectionMode = SelectionCaretBefore;
  }
}

}  // namespace

void DeleteCaretNode() {
  FormulaEditor* e = Editor();
  ExprNode* c = e->caretNode;
  if (!c->parent && c->kind == KindPrompt) return;
  ExprNode* prompt = NewPromptNode();
  if (!prompt) return;
  ReplaceExpression(prompt, c);
  SetFormulaSelection(c, SelectionCaretNode);
  if (c->parent && c->parent->kind == KindTimes) DeletePrompt();
}

void DeletePrompt() {
  ExprNode* c = Editor()->caretNode;
  ExprNode* p = c->parent;
  if (!p || c->kind != KindPrompt) return;
  const int32_t slot = IndexInParent(c);
  const bool signed_ = p->kind == KindMinus && p->parent && p->parent->kind == KindPlus;
  const int32_t i = signed_ ? IndexInParent(p) : slot;
  bool indexStructure = p->kind == KindIndexes || p->kind == KindTensor || p->kind == KindChem;
  if (indexStructure && slot == 0) {
    CaretToParent();
  } else if (p->kind == KindIndexes) {
    DeleteIndex(p, slot);
  } else if (p->kind == KindTensor) {
    DeleteTensorIndex(p, slot);
  } else if (p->kind == KindChem) {
    DeleteChemIndex(p, slot);
  } else if (p->kind == KindMatrix) {
    DeleteVectorElement(p, slot);
  } else if (slot == 0 && p->arity > 1 && HoldsBoundBody(p)) {
    CaretToParent();  // an emptied body stays a prompt: the operator is selected instead
  } else {
    SetFormulaSelection(RemoveFromParent(c), i == 0 ? SelectionCaretBefore : SelectionCaretAfter);
  }
}

void DeleteBeforeCaret() {
  FormulaEditor* e = Editor();
  for (;;) {
    ExprNode* c = e->caretNode;
    if (OperandCount(c) == 1 && (IsPostfixNode(c) || IsEnclosingNode(c))) {
      UnwrapNodeKeepingCaret(c);
      const ExprNode* p = c->parent;
      bool sameOperator = p && (c->kind == KindTimes || c->kind == KindPlus) && p->kind == c->kind;
      if (sameOperator && c->arity > 0) {
        ExprNode* last = c->children[c->arity - 1];
        FlattenChildInto(c->parent, IndexInParent(c));
        SetFormulaSelection(last, SelectionCaretAfter);
      } else {
        SetFormulaSelection(c, SelectionCaretAfter);
      }
      return;
    }
    if (c->kind == KindNum && c->value.number) {
      NumberRecord& r = *c->value.number;
      const int32_t length = NodeTextLength(c);
      if (r.moreDigits) {  // the first backspace shows the whole number
        r.moreDigits = 0;
        RereadNumberValue(c);
      } else if (length <= 1 || std::isinf(r.value)) {
        DeleteCaretNode();
        DeletePromptAgainInProduct();
      } else {
        RemoveNodeText(c, length - 1, length);
        RereadNumberValue(c);
      }
      return;
    }
    if ((c->kind == KindTimes || c->kind == KindPlus) && c->arity > 0) {
      e->caretNode = c->children[c->arity - 1];
      continue;
    }
    DeleteCaretNode();
    DeletePromptAgainInProduct();
    return;
  }
}

void DeleteStringCharacter() {
  ExprNode* c = Editor()->caretNode;
  const int32_t length = NodeTextLength(c);
  if (length > 0) {
    RemoveNodeText(c, length - 1, length);
  } else {
    DeleteCaretNode();
  }
}

void DeleteOperatorBefore() {
  FormulaEditor* e = Editor();
  for (;;) {
    ExprNode* c = e->caretNode;
    ExprNode* p = c->parent;
    if (!p) return;
    const int32_t i = IndexInParent(c);
    if (OperandCount(p) == 1 && (IsPrefixNode(p) || IsEnclosingNode(p))) {
      DissolveSign(p, false);
    } else if (IsInfixNode(p) && i > 0) {
      bool numbers = p->kind == KindTimes && c->kind == KindNum && p->children[i - 1]->kind == KindNum;
      if (!numbers || !JoinNumbers(p, i)) MergeWithPrevious(p, i - 1);
    } else if (IsTwoDimensionalNode(p) && i > 0) {
      MergeIntoNode(p, i - 1);
    } else if ((IsInfixNode(p) || IsPostfixNode(p)) && i == 0) {
      e->caretNode = p;  // at the start of an operand: the structure around it
      continue;
    }
    return;
  }
}

void DeleteSelectedOperator() { DeleteOperator(false); }
void ReplaceSelectedOperator() { DeleteOperator(true); }

void ClearSelection() {
  FormulaEditor* e = Editor();
  if (!e) return;
  switch (e->selectionMode) {
    case SelectionMatrixBlock: ClearMatrixBlock(); return;
    case SelectionText:
    case SelectionDigits: ClearText(e); return;
    case SelectionChildRange:
      if (!GroupSelectedRange()) return;
      [[fallthrough]];
    case SelectionCaretNode:
    case SelectionOperator: {
      if (e->caretNode->kind != KindPrompt) DeleteCaretNode();
      const ExprNode* c = e->caretNode;
      if (c->kind == KindPrompt && c->parent && c->parent->arity > 1) DeletePrompt();
      return;
    }
    default: return;
  }
}

bool SelectedMatrixBlock(MatrixBlock* block) {
  const FormulaEditor* e = Editor();
  if (!e || e->selectionMode != SelectionMatrixBlock) return false;
  const ExprNode* m = e->caretNode;
  const int32_t rows = m->value.halves.first, columns = m->value.halves.second;
  if (m->kind != KindMatrix || rows < 1 || columns < 1 || rows * columns != m->arity) return false;
  const int32_t a = std::clamp(e->selectionStart, 0, m->arity - 1), b = std::clamp(e->selectionEnd, 0, m->arity - 1);
  *block = MatrixBlock{rows, columns, std::min(a, b) / columns, std::max(a, b) / columns,
                       std::min(a % columns, b % columns), std::max(a % columns, b % columns)};
  return true;
}

void ClearMatrixBlock() {
  FormulaEditor* e = Editor();
  MatrixBlock b;
  if (!SelectedMatrixBlock(&b)) return;
  ExprNode* m = e->caretNode;
  const bool wholeColumns = b.Height() == b.rows && b.Width() < b.columns;
  const bool wholeRows = b.Width() == b.columns && b.Height() < b.rows;
  if (!wholeColumns && !wholeRows) return;
  auto removed = [&](int32_t cell) {
    const int32_t row = cell / b.columns, column = cell % b.columns;
    return wholeColumns ? column >= b.c0 && column <= b.c1 : row >= b.r0 && row <= b.r1;
  };
  const int32_t keptRows = wholeRows ? b.rows - b.Height() : b.rows;
  const int32_t keptColumns = wholeColumns ? b.columns - b.Width() : b.columns;
  ExprNode* kept = NewNode(KindMatrix, keptRows * keptColumns);
  if (!kept) return;
  kept->value.halves = NodeHalves{static_cast<int16_t>(keptRows), static_cast<int16_t>(keptColumns)};
  for (int32_t cell = 0, k = 0; cell < m->arity; ++cell) {
    ExprNode* child = m->children[cell];
    if (removed(cell)) {
      FreeSubtreeKeepingCaret(child, m);
    } else {
      SetChild(kept, k++, child);
    }
  }
  MoveNodeIntoKeepingCaret(kept, m);
  SetFormulaSelection(m, SelectionCaretNode);
}

void SimplifyTensorToIndexes(ExprNode* tensor) {
  if (tensor->kind != KindTensor || tensor->arity < 2) return;
  const int32_t indices = tensor->arity - 1;
  const uint32_t used = indices >= 32 ? 0xFFFFFFFFu : (1u << indices) - 1;
  const uint32_t raised = static_cast<uint32_t>(tensor->value.tensorMask) & used;
  if (raised != 0 && raised != used) return;
  const int16_t count = static_cast<int16_t>(indices);
  tensor->kind = KindIndexes;
  tensor->value.raw = 0;
  tensor->value.halves = raised == 0 ? NodeHalves{0, count} : NodeHalves{count, 0};
}

void DeleteBackward() {
  FormulaEditor* e = Editor();
  if (!e) return;
  switch (e->selectionMode) {
    case SelectionChildRange:
      if (!GroupSelectedRange()) break;
      [[fallthrough]];
    case SelectionCaretNode:
      if (e->caretNode->kind == KindPrompt) {
        DeletePrompt();
      } else {
        DeleteCaretNode();
      }
      break;
    case SelectionOperator: DeleteSelectedOperator(); break;
    case SelectionCaretAfter:
      if (e->caretNode->kind == KindString) {
        DeleteStringCharacter();
      } else {
        DeleteBeforeCaret();
      }
      break;
    case SelectionCaretBefore: DeleteOperatorBefore(); break;
    case SelectionMatrixBlock: ClearMatrixBlock(); break;
    case SelectionText:
    case SelectionDigits:
      if (e->selectionStart == e->selectionEnd) {
        if (e->selectionStart <= 0) break;
        --e->selectionStart;  // the one character before the caret
      }
      ClearSelection();
      break;
    default: break;
  }
  InvalidateFormulaLayout();
}
