// Kind insertion by mode and notation. After any call that wraps, splits or merges, the caret node
// is read back from the editor: those calls may free or replace the node it was.
#include "editor/structure_insertion.h"

#include <initializer_list>

#include "editor/caret_edits.h"
#include "editor/caret_navigation.h"
#include "editor/formula_editor.h"
#include "editor/layout_driver.h"
#include "editor/node_notation.h"
#include "editor/number_typing.h"
#include "editor/string_typing.h"
#include "editor/structural_deletion.h"
#include "editor/typeset_state.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"

namespace {

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }

bool IsSignKind(uint32_t kind) { return kind == KindPm || kind == KindMp || kind == KindMinus; }

bool IsFunctionLike(const ExprNode* n) { return IsNamedFunctionKind(n->kind) || n->kind == KindLog; }

ExprNode* WrapUnary(uint32_t kind) { return WrapCaretNodeInKind(kind, 1, 0); }

// A new factor prompt after the caret node, wrapped in the kind.
void WrapNewFactor(uint32_t kind) {
  if (InsertOperatorAfterCaret(KindTimes)) WrapUnary(kind);
}

// A string after a node (a new factor) or in place of a prompt.
void InsertString(bool before) {
  const ExprNode* c = Editor()->caretNode;
  if (c->kind != KindPrompt && !(before ? InsertOperatorBeforeCaret(KindTimes) : InsertOperatorAfterCaret(KindTimes)))
    return;
  MakeCaretNodeString();
}

void SelectNextFactor() {
  ExprNode* c = Editor()->caretNode;
  SetFormulaSelection(c->parent->children[IndexInParent(c) + 1], SelectionCaretNode);
}

void ClimbAttached() {
  FormulaEditor* e = Editor();
  while (IsAttachedOperand(e->caretNode)) e->caretNode = e->caretNode->parent;
}

// "." after the gradient sign makes a divergence, a cross a curl; elsewhere both are products.
void InsertDotOrCross(uint32_t kind) {
  ExprNode* p = Editor()->caretNode->parent;
  if (p && p->kind == KindGrad) {
    p->kind = kind == KindDot ? KindDiv : KindCurl;
  } else {
    WrapCaretNodeInKind(kind, 2, 0);
  }
}

// The rest of a kind by its notation: operators after the caret node, signs and brackets around
// it, two-dimensional kinds with the caret node as first operand.
void InsertByNotation(uint32_t kind, bool intervalAroundPrompt) {
  switch (NotationOf(kind)) {
    case NotationInfix: InsertOperatorAfterCaret(kind); break;
    case NotationPostfix:
    case NotationPrefix:
    case NotationEnclosing: WrapUnary(kind); break;
    case NotationTwoDimensional:
      WrapCaretNodeInKind(kind, 2, intervalAroundPrompt && Editor()->caretNode->kind == KindPrompt ? 1 : 0);
      break;
    default: break;
  }
}

// Mode 0: the kind on the selected node.
void InsertKindOnNode(uint32_t kind) {
  const ExprNode* c = Editor()->caretNode;
  if (kind == KindPlus) {
    InsertOperatorAfterCaret(KindPlus);
  } else if (kind == KindTimes) {
    InsertOperatorBeforeCaret(KindTimes);
  } else if (kind == KindString) {
    InsertString(false);
  } else if (kind == KindMatrix) {
    WrapCaretNodeInMatrix();
  } else if (IsSignKind(kind) && c->kind != KindPrompt) {
    if (InsertOperatorAfterCaret(KindPlus)) WrapUnary(kind);  // a difference is a sum of a negated term
  } else if (kind == KindDot || kind == KindCross) {
    InsertDotOrCross(kind);
  } else {
    InsertByNotation(kind, kind == KindInterval);
  }
}

// Mode 3 between two factors of a product.
void InsertKindBetweenFactors(uint32_t kind) {
  if (kind == KindTimes) {
    InsertOperatorAfterCaret(KindTimes);
  } else if (IsSignKind(kind)) {
    if (SplitProductAtCaret(KindPlus)) InsertKindBeforeCaret(kind);
  } else if (kind == KindString) {
    InsertString(false);
  } else if (kind == KindMatrix) {
    if (InsertOperatorAfterCaret(KindTimes)) WrapCaretNodeInMatrix();
  } else {
    switch (NotationOf(kind)) {
      case NotationInfix: SplitProductAtCaret(kind); break;
      case NotationPostfix: WrapUnary(kind); break;
      case NotationPrefix:  // applied to the next factor, the caret before it
        SelectNextFactor();
        InsertKindBeforeCaret(kind);
        break;
      case NotationEnclosing: WrapNewFactor(kind); break;
      case NotationTwoDimensional: WrapCaretNodeInKind(kind, 2, 0); break;
      default: break;
    }
  }
}

// Mode 3 anywhere else.
void InsertKindAfterNode(uint32_t kind) {
  FormulaEditor* e = Editor();
  if (kind == KindPlus || IsSignKind(kind)) {
    ClimbAttached();
    if (InsertOperatorAfterCaret(KindPlus) && kind != KindPlus) WrapUnary(kind);
  } else if (kind == KindTimes) {
    ExprNode* n = e->caretNode;
    while (IsAttachedOperand(n)) n = n->parent;
    const bool product = n->kind == KindTimes && n->arity > 0 && IsFunctionLike(n->children[n->arity - 1]);
    if (IsFunctionLike(n) || product) e->caretNode = n;  // sin(x)·y, not sin(x·y)
    InsertOperatorAfterCaret(KindTimes);
  } else if (kind == KindString || kind == KindMatrix) {
    InsertKindBetweenFactors(kind);
  } else if (kind == KindDot || kind == KindCross) {
    InsertDotOrCross(kind);
  } else {
    switch (NotationOf(kind)) {
      case NotationInfix: InsertOperatorAfterCaret(kind); break;
      case NotationPostfix: WrapUnary(kind); break;
      case NotationPrefix:
      case NotationEnclosing: WrapNewFactor(kind); break;
      case NotationTwoDimensional: WrapCaretNodeInKind(kind, 2, 0); break;
      default: break;
    }
  }
}

void InsertKindAfterCaret(uint32_t kind) {
  FormulaEditor* e = Editor();
  ExprNode* c = e->caretNode;
  // "*" typed after any letter, not only after a, marks it out of name recognition: a break the
  // user typed is never read through, so a*sin stays a·sin, p*i stays p·i and c*os stays c·o·s.
  if (kind == KindTimes && c->kind == KindChar && EnsureNodeBox(c)) c->box->nameBreakFlag = 1;
  if (IsCaretBetweenFactors()) {
    InsertKindBetweenFactors(kind);
  } else {
    InsertKindAfterNode(kind);
  }
}

// "+", "-" and "*" on a block of matrix cells with a clipboard tree: each cell plus (minus) the
// matching cell of a clipboard matrix of the block's shape, or times a clipboard tree that is no
// matrix. All copies and joining nodes are made before any cell changes.
void MatrixBlockArithmetic(uint32_t kind) {
  const ExprNode* clip = TypesetGlobals().clipboard.expression;
  MatrixBlock b;
  if (!clip || !SelectedMatrixBlock(&b)) return;
  const bool additive = kind == KindPlus || kind == KindMinus;
  const int32_t count = b.Height() * b.Width();
  const bool sameShape = clip->kind == KindMatrix && clip->value.halves.first == b.Height() &&
                         clip->value.halves.second == b.Width() && clip->arity == count;
  if (additive ? !sameShape : kind != KindTimes || clip->kind == KindMatrix) return;
  ExprNode* m = Editor()->caretNode;
  auto** made = static_cast<ExprNode**>(AllocMemory(sizeof(ExprNode*) * 2 * static_cast<size_t>(count), true));
  if (!made) return;
  const uint64_t reports = NodeExhaustionReports();
  bool complete = true;
  for (int32_t k = 0; k < count && complete; ++k) {
    const ExprNode* cell = m->children[b.Cell(k)];
    ExprNode* operand = CopyExpression(additive ? clip->children[k] : clip);
    if (operand && kind == KindMinus) {
      ExprNode* negated = MakeNegate(operand);
      if (!negated) FreeExpression(operand);
      operand = negated;
    }
    const bool intoProduct = kind == KindTimes && cell->kind == KindTimes;
    ExprNode* joiner = operand ? NewNode(additive ? KindPlus : KindTimes, intoProduct ? cell->arity + 1 : 2) : nullptr;
    made[2 * k] = operand;
    made[2 * k + 1] = joiner;
    complete = joiner && NodeExhaustionReports() == reports;
  }
  for (int32_t k = 0; k < count; ++k) {
    ExprNode *operand = made[2 * k], *joiner = made[2 * k + 1];
    if (!complete) {
      FreeExpression(operand);
      if (joiner) FreeNode(joiner);
      continue;
    }
    const int32_t index = b.Cell(k);
    ExprNode* cell = m->children[index];
    if (joiner->arity > 2) {  // one more factor of a product cell, which keeps its place
      for (int32_t j = 0; j < cell->arity; ++j) SetChild(joiner, j, cell->children[j]);
      SetChild(joiner, cell->arity, operand);
      MoveNodeInto(joiner, cell);
    } else {
      SetChild(m, index, joiner);
      SetChild(joiner, 0, cell);
      SetChild(joiner, 1, operand);
    }
  }
  FreeMemory(made);
}

bool IsTopLevel(const ExprNode* n) {
  const ExprNode* p = n->parent;
  return !p || (p->kind == KindComma && !p->parent) ||
         (p->kind == KindFunction && p->arity > 0 && p->children[0]->kind == KindChar);
}

// A node whose mode-2 selection is an operator between two operands.
bool HasOperatorGap(const ExprNode* n) {
  return IsInfixNode(n) || n->kind == KindDot || n->kind == KindCross || n->kind == KindDivide || n->kind == KindFract;
}

bool HoldsBounds(uint32_t kind) {
  return kind == KindSubstitution || kind == KindSum || kind == KindProd || kind == KindBigcup || kind == KindBigcap;
}

// Most operands a node with bound slots takes, 0 for other nodes.
int32_t BoundSlotLimit(const ExprNode* n) {
  if (n->kind == KindOppartial || n->kind == KindOptotal) return kMaxArity;
  if (n->kind == KindIntegral) return 4;
  const NodeKindRow* row = GetNodeKindRow(n->kind);
  if (n->kind == KindSubstitution || (row && row->handler == LayoutHandler::BigOperator)) return 3;
  if (n->kind == KindLog || n->kind == KindGrad || n->kind == KindSqrt) return 2;
  return 0;
}

// The caret's node is a list item: below a list, stack, branch or set, an argument list or a
// non-smooth function, or parentheses in one of the last two.
bool EndsListItem(const ExprNode* n) {
  const ExprNode* p = n->parent;
  auto argumentOf = [](const ExprNode* node, const ExprNode* parent) {
    return IsNonSmoothKind(parent->kind) || (parent->kind == KindFunction && IsChildAt(node, 1));
  };
  if (p->kind == KindList || p->kind == KindAtop || p->kind == KindBranch || p->kind == KindSet) return true;
  return argumentOf(n, p) || (p->kind == KindId && p->parent && argumentOf(p, p->parent));
}

// The operator after the node a relation or separator climbed to, whatever the mode: a block of
// a matrix or a caret in a string's text relates (lists) the expression around them too. A refused
// insertion puts the caret back, since a block or text caret is only valid on its own node.
void InsertOperatorAfterClimb(ExprNode* climbed, uint32_t kind) {
  FormulaEditor* e = Editor();
  ExprNode* const caret = e->caretNode;
  e->caretNode = climbed;
  if (!InsertOperatorAfterCaret(kind)) e->caretNode = caret;
}

}  // namespace

bool WrapCaretNodeInMatrix() {
  ExprNode* m = WrapUnary(KindMatrix);
  if (m) m->value.halves = NodeHalves{1, 1};
  return m != nullptr;
}

bool IsCaretBetweenFactors() {
  FormulaEditor* e = Editor();
  ExprNode* n = e->caretNode;
  for (ExprNode* p = n->parent; p; p = n->parent) {
    if (!(IsPrefixNode(p) && IsChildAt(n, 0)) && !(p->kind == KindTimes && IsLastOperand(n))) break;
    n = p;
  }
  if (n->parent && n->parent->kind == KindTimes) e->caretNode = n;  // stored as is
  const ExprNode* c = e->caretNode;
  return e->selectionMode == SelectionCaretAfter && c->parent && c->parent->kind == KindTimes && !IsLastOperand(c);
}

bool SplitProductAtCaret(uint32_t kind) {
  ExprNode* c = Editor()->caretNode;
  ExprNode* product = c->parent;
  if (!product || product->kind != KindTimes) return false;
  const int32_t n = product->arity, split = IndexInParent(c) + 1;  // operands before `split` go left
  if (split >= n) return false;
  ExprNode* joint = NewNode(kind, 2);
  ExprNode* left = split > 1 ? NewNode(KindTimes, split) : nullptr;
  ExprNode* right = n - split > 1 ? NewNode(KindTimes, n - split) : nullptr;
  if (!joint || (split > 1 && !left) || (n - split > 1 && !right)) {
    for (ExprNode* made : {joint, left, right})
      if (made) FreeNode(made);
    return false;
  }
  if (left) {
    for (int32_t k = 0; k < split; ++k) SetChild(left, k, product->children[k]);
  } else {
    left = product->children[0];
  }
  if (right) {
    for (int32_t k = split; k < n; ++k) SetChild(right, k - split, product->children[k]);
  } else {
    right = product->children[split];
  }
  SetChild(joint, 0, left);
  SetChild(joint, 1, right);
  MoveNodeInto(joint, product);  // the product's place keeps its identity
  // A side of the kind gives its operands to the new node (an empty one stays: it may be the target).
  const bool flattenRight = right->kind == kind && OperandCount(right) > 0;
  ExprNode* target = flattenRight ? right->children[0] : right;
  if (flattenRight) FlattenChildInto(product, 1);
  if (left->kind == kind && OperandCount(left) > 0) FlattenChildInto(product, 0);
  if (product->parent && product->parent->kind == kind) FlattenChildInto(product->parent, IndexInParent(product));
  SetFormulaSelection(target, SelectionCaretBefore);
  return true;
}

void PrepareOperandForStructure() {
  FormulaEditor* e = Editor();
  switch (e->selectionMode) {
    case SelectionCaretAfter:
      if (IsCaretBetweenFactors()) {
        SelectNextFactor();
      } else {
        InsertOperatorAfterCaret(KindTimes);  // the structure goes into a new factor
      }
      break;
    case SelectionChildRange: GroupSelectedRange(); break;
    case SelectionCaretBefore: SetFormulaSelection(e->caretNode, SelectionCaretNode); break;
    default: break;
  }
}

void AddBoundSlotIfRoom() {
  FormulaEditor* e = Editor();
  for (ExprNode* n = e->caretNode; n; n = n->parent) {
    const int32_t limit = BoundSlotLimit(n);
    if (limit == 0) continue;
    // A slot past the operand limit is refused and told; the other kinds simply have no more.
    if (n->arity < limit || limit == kMaxArity) InsertPromptOperand(n, n->arity);
    return;
  }
}

void InsertKindBeforeCaret(uint32_t kind) {
  FormulaEditor* e = Editor();
  ExprNode* c = e->caretNode;
  if (kind == KindString) {
    InsertString(true);  // a new factor before the node, which stays
  } else if (kind == KindMatrix) {
    WrapCaretNodeInMatrix();
  } else if (IsSignKind(kind)) {
    if (c->parent && c->parent->kind == KindTimes && IsChildAt(c, 0)) e->caretNode = c->parent;
    WrapUnary(kind);
  } else {
    const uint8_t notation = NotationOf(kind);
    if (notation == NotationPrefix || notation == NotationPostfix || notation == NotationEnclosing) {
      WrapUnary(kind);
    } else if (notation == NotationTwoDimensional) {
      WrapCaretNodeInKind(kind, 2, 1);
    }
  }
}

void InsertKindAtCaret(uint32_t kind) {
  FormulaEditor* e = Editor();
  if (!e) return;
  if (e->selectionMode == SelectionMatrixBlock) {
    MatrixBlockArithmetic(kind);
    InvalidateFormulaLayout();
    return;
  }
  if (e->selectionMode == SelectionText) return;
  if (e->selectionMode == SelectionOperator) {
    if (kind == KindPower && IsNamedFunctionKind(e->caretNode->kind)) {
      SetFormulaSelection(e->caretNode, SelectionCaretNode);  // the power takes the application as base
    } else {
      ReplaceSelectedOperator();
    }
  }
  if (e->selectionMode == SelectionDigits) LeaveNumberDigits();
  switch (e->selectionMode) {
    case SelectionChildRange:
      if (!GroupSelectedRange()) break;
      [[fallthrough]];
    case SelectionCaretNode: InsertKindOnNode(kind); break;
    case SelectionCaretBefore: InsertKindBeforeCaret(kind); break;
    case SelectionCaretAfter: InsertKindAfterCaret(kind); break;
    default: break;
  }
  InvalidateFormulaLayout();
}

void InsertRelation(uint32_t kind) {
  FormulaEditor* e = Editor();
  if (!e) return;
  ExprNode* c = e->caretNode;
  const int32_t mode = e->selectionMode;
  InvalidateFormulaLayout();
  if (mode == SelectionOperator && OperandCount(c) == 2 && HasOperatorGap(c) && IsTopLevel(c)) {
    c->kind = kind;  // a selected a = b becomes a < b
    return;
  }
  ExprNode* sum = c->parent;
  if (mode == SelectionOperator && c->kind == KindMinus && OperandCount(c) == 1 && sum && sum->kind == KindPlus &&
      sum->arity == 2 && IsChildAt(c, 1) && IsTopLevel(sum)) {
    UnwrapNodeKeepingCaret(c);  // a - b with the minus selected becomes a = b
    sum->kind = kind;
    e->caretNode = sum;
    e->selectionStart = e->selectionEnd = 0;
    return;
  }
  if (mode == SelectionCaretAfter && IsCaretBetweenFactors() && IsTopLevel(e->caretNode->parent)) {
    SplitProductAtCaret(kind);
    return;
  }
  if (mode == SelectionChildRange) e->selectionMode = SelectionCaretNode;
  ExprNode* n = e->caretNode;
  for (ExprNode* p = n->parent; p; p = n->parent) {
    const uint32_t k = p->kind;
    if (k == KindList || k == KindAtop || k == KindBranch || k == KindIf || k == KindComma) break;
    if (kind == KindEqual && HoldsBounds(k) && IsChildAt(n, 1)) break;  // k = 0 below a sum
    n = p;
  }
  InsertOperatorAfterClimb(n, kind);
}

void InsertListSeparator() {
  FormulaEditor* e = Editor();
  if (!e) return;
  if (e->selectionMode == SelectionChildRange) e->selectionMode = SelectionCaretNode;
  ExprNode* n = e->caretNode;
  while (n->parent && !EndsListItem(n)) n = n->parent;
  InsertOperatorAfterClimb(n, KindComma);
  InvalidateFormulaLayout();
}

void Negate() {
  FormulaEditor* e = Editor();
  if (!e) return;
  const int32_t mode = e->selectionMode;
  if (mode == SelectionOperator || mode == SelectionMatrixBlock || mode == SelectionText) return;
  if (mode == SelectionChildRange && !GroupSelectedRange()) return;
  // Only a caret after a node can stand between factors; asking in other modes would move a
  // selected argument up to its function.
  if (mode == SelectionCaretAfter && IsCaretBetweenFactors()) {
    SelectNextFactor();
    InsertKindBeforeCaret(KindMinus);
  } else {
    WrapUnary(KindMinus);
  }
  InvalidateFormulaLayout();
}
