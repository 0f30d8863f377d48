// Caret-keeping kernel edits and the insertions at the caret. Insertions allocate every new node
// before they link anything, so a refusal leaves the tree and the caret as they were.
#include "editor/caret_edits.h"

#include "editor/caret_navigation.h"
#include "editor/document_services.h"
#include "editor/node_notation.h"
#include "kernel/trees/expr_node.h"

namespace {

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }

void Retarget(const ExprNode* from, ExprNode* to) {
  FormulaEditor* e = Editor();
  if (e && e->caretNode == from) e->caretNode = to;
}

// Searched from the top down: the subtree is about to be freed, a walk of the same length, while
// the climb from a caret deep in a long formula would cost the formula's depth at every key.
bool InSubtree(const ExprNode* node, ExprNode* top) {
  if (node == nullptr) return false;
  TreeCursor cursor(top, WalkOrder::kPreOrder);
  for (const ExprNode* n = top; n; n = cursor.Next())
    if (n == node) return true;
  return false;
}

}  // namespace

void MoveNodeIntoKeepingCaret(ExprNode* source, ExprNode* destination) {
  MoveNodeInto(source, destination);
  Retarget(source, destination);
}

bool UnwrapNodeKeepingCaret(ExprNode* node) {
  if (OperandCount(node) != 1 || !node->children[0]) return false;
  ExprNode* inner = node->children[0];
  MoveNodeInto(inner, node);
  Retarget(inner, node);
  return true;
}

ExprNode* RemoveOperandKeepingCaret(ExprNode* node, int32_t i) {
  if (OperandCount(node) <= i || i < 0) return nullptr;
  ExprNode* survivor = node->arity == 2 ? node->children[1 - i] : nullptr;
  ExprNode* removed = RemoveOperand(node, i);
  if (removed) Retarget(survivor, node);
  return removed;
}

bool RemoveOperandAndFreeKeepingCaret(ExprNode* node, int32_t i) {
  ExprNode* removed = RemoveOperandKeepingCaret(node, i);
  if (!removed) return false;
  FreeSubtreeKeepingCaret(removed, node);
  return true;
}

void FreeSubtreeKeepingCaret(ExprNode* subtree, ExprNode* heir) {
  FormulaEditor* e = Editor();
  if (e && InSubtree(e->caretNode, subtree)) e->caretNode = heir;
  FreeExpression(subtree);
}

ExprNode* WrapCaretNodeInKind(uint32_t kind, int32_t arity, int32_t slot) {
  FormulaEditor* e = Editor();
  if (!e || arity < 1 || slot < 0 || slot >= arity) return nullptr;
  ExprNode* wrapper = NewNode(kind, arity);
  if (!wrapper) return nullptr;
  for (int32_t i = 0; i < arity; ++i) {
    if (i == slot) continue;
    ExprNode* prompt = NewPromptNode();
    if (!prompt) {
      for (int32_t j = 0; j < i; ++j)
        if (j != slot) FreeNode(wrapper->children[j]);
      FreeNode(wrapper);
      return nullptr;
    }
    SetChild(wrapper, i, prompt);
  }
  ExprNode* c = e->caretNode;
  if (ExprNode* parent = c->parent) {
    SetChild(parent, IndexInParent(c), wrapper);
  } else {
    e->root = wrapper;
  }
  SetChild(wrapper, slot, c);
  if (arity >= 2) {
    SetFormulaSelection(wrapper->children[slot == 0 ? 1 : 0], SelectionCaretNode);
  } else if (IsPaletteCommand() && kind != KindOppartial && c->kind != KindPrompt) {
    SetFormulaSelection(wrapper, SelectionCaretNode);
  } else if (c->kind == KindPrompt) {
    SetFormulaSelection(c, SelectionCaretNode);
  } else if (IsPostfixNode(wrapper)) {
    SetFormulaSelection(wrapper, SelectionCaretAfter);
  } else if (IsPrefixNode(wrapper)) {
    SetFormulaSelection(c, SelectionCaretBefore);
  }
  return wrapper;
}

bool InsertPromptOperand(ExprNode* node, int32_t index) {
  const int32_t n = node->arity;
  if (IsTextLeaf(node) || index < 0 || index > n) return false;
  if (n >= kMaxArity) return RefuseAtOperandLimit();
  ExprNode* prompt = NewPromptNode();
  if (!prompt) return false;
  if (!InsertOperand(node, index, prompt)) {
    FreeNode(prompt);
    return false;
  }
  SetFormulaSelection(prompt, SelectionCaretNode);
  return true;
}

bool InsertOperatorAfterCaret(uint32_t kind) {
  FormulaEditor* e = Editor();
  if (!e) return false;
  ExprNode* c = e->caretNode;
  if (c->kind == kind && !IsTextLeaf(c)) return InsertPromptOperand(c, c->arity);
  if (c->parent && c->parent->kind == kind) return InsertPromptOperand(c->parent, IndexInParent(c) + 1);
  return WrapCaretNodeInKind(kind, 2, 0) != nullptr;
}

bool InsertOperatorBeforeCaret(uint32_t kind) {
  FormulaEditor* e = Editor();
  if (!e) return false;
  ExprNode* c = e->caretNode;
  if (c->kind == kind && !IsTextLeaf(c)) return InsertPromptOperand(c, 0);
  if (c->parent && c->parent->kind == kind) return InsertPromptOperand(c->parent, IndexInParent(c));
  if (kind == KindTimes && c->parent && c->parent->kind == KindPower && IsChildAt(c, 0)) e->caretNode = c->parent;
  return WrapCaretNodeInKind(kind, 2, 1) != nullptr;
}

bool IsAttachedOperand(const ExprNode* node) {
  const ExprNode* p = node->parent;
  if (!p) return false;
  return p->kind == KindTimes || p->kind == KindMinus || IsNamedFunctionKind(p->kind) || p->kind == KindLn ||
         (p->kind == KindLog && IsChildAt(node, 0)) ||
         (p->kind == KindPower && IsChildAt(node, 0) && IsNamedFunctionKind(node->kind));
}

void ClimbFromAttachedGroup() {
  FormulaEditor* e = Editor();
  if (!e || e->caretNode->kind != KindId) return;
  ExprNode* n = e->caretNode;
  while (IsAttachedOperand(n)) n = n->parent;
  e->caretNode = n;  // the caret stays after it (mode 3)
}
