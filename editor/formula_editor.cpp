// Formula editor records and the current editor.
#include "editor/formula_editor.h"

#include <algorithm>
#include <cstring>

#include "editor/document_services.h"
#include "editor/edit_commands.h"
#include "editor/handler_registry.h"
#include "editor/typeset_primitives.h"
#include "editor/typeset_state.h"
#include "kernel/kernel_startup.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/trees/expr_node.h"

namespace {

bool InTree(const ExprNode* root, const ExprNode* node) {
  const ExprNode* top = node;
  while (top && top->parent) top = top->parent;
  return node && top == root;
}

// Largest selection index of a mode: the last child for ranges and operators, the length for
// text and digits (a caret may stand after the last character).
int32_t SelectionLimit(const ExprNode* node, int32_t mode) {
  if (mode == SelectionText) return node->kind == KindString && node->text ? int32_t(std::strlen(node->text)) : 0;
  if (mode == SelectionDigits) return node->kind == KindNum ? int32_t(std::strlen(node->value.number->text)) : 0;
  return node->arity - 1;
}

}  // namespace

void InitTypesetting() {
  TypesettingState& t = TypesettingGlobals();
  if (t.initialised) return;
  InitTypesetFonts();
  RegisterHandlerFamilies();
  TypesetGlobals().currentStyle = TypesetGlobals().defaultFontSizes;
  InitTypesettingKernel();
  InstallStructureCommandHandlers();
  t.initialised = true;
}

FormulaEditor* NewFormulaEditor() {
  InitTypesetting();
  FormulaEditor* e = AllocFormulaEditor();
  if (!e) return nullptr;
  std::memset(e, 0, sizeof *e);
  e->root = NewPromptNode();
  if (!e->root) {
    FreeFormulaEditor(e);
    return nullptr;
  }
  e->lineCount = 1;
  e->style = TypesetGlobals().defaultFontSizes;
  e->widthLimit = kDefaultWidthLimit;
  e->caretNode = e->root;
  e->selectionMode = SelectionCaretNode;
  return e;
}

void DisposeFormulaEditor(FormulaEditor* editor) {
  if (!editor) return;
  TypesettingState& t = TypesettingGlobals();
  if (t.currentEditor == editor) t.currentEditor = nullptr;
  FreeMemory(editor->lineTable);
  FreeExpression(editor->root);
  FreeFormulaEditor(editor);
}

void SetCurrentFormulaEditor(FormulaEditor* editor, void* owner) {
  TypesettingGlobals().currentEditor = editor;
  TypesetState& g = TypesetGlobals();
  if (!editor) return;
  LoadDocumentTextStyle(editor, owner);
  g.originV = editor->frame.top;
  g.originH = editor->frame.left;
}

void ActivateFormulaEditor(FormulaEditor* editor, void* owner) {
  if (FormulaEditor* previous = TypesettingGlobals().currentEditor) previous->active = 0;
  if (editor) editor->active = 1;
  SetCurrentFormulaEditor(editor, owner);
}

void ResetFormulaCaret() {
  ResetEditCommandHistory();
  FormulaEditor* e = TypesettingGlobals().currentEditor;
  if (!e) return;
  e->caretNode = e->root;
  e->selectionMode = SelectionCaretNode;
  e->selectionStart = e->selectionEnd = 0;
}

ExprNode* FlattenChildInto(ExprNode* node, int32_t i) {
  if (!node || node->kind == KindString || i < 0 || i >= node->arity) return node;
  ExprNode* child = node->children[i];
  const int32_t n = node->arity, k = child->kind == KindString ? 0 : child->arity;
  if (n + k - 1 > kMaxArity) return node;
  if (k > 1 && !SetChildCount(node, n + k - 1)) return node;
  if (k == 0) {
    if (!RemoveChildSlot(node, i)) return node;
  } else {
    for (int32_t j = n - 1; j > i; --j) SetChild(node, j + k - 1, node->children[j]);
    for (int32_t j = 0; j < k; ++j) SetChild(node, i + j, child->children[j]);
  }
  FormulaEditor* e = TypesettingGlobals().currentEditor;
  if (e && e->caretNode == child) {
    e->caretNode = node;
    e->selectionMode = SelectionCaretNode;
    e->selectionStart = e->selectionEnd = 0;
  }
  FreeNode(child);
  return node;
}

bool CheckFormulaEditor(const FormulaEditor* editor, const char** message) {
  const char* why = "";
  const ExprNode* root = editor->root;
  if (!root || root->parent) {
    why = "no root, or a root with a parent";
  } else if (!CheckExpressionTree(root, &why)) {
  } else if (!InTree(root, editor->caretNode)) {
    why = "the caret node is not in the tree";
  } else if (editor->lineCount < 1) {
    why = "no line";
  } else {
    const ExprNode* caret = editor->caretNode;
    int32_t mode = editor->selectionMode, a = editor->selectionStart, b = editor->selectionEnd;
    int32_t limit = SelectionLimit(caret, mode);
    bool ordered = mode == SelectionChildRange || mode == SelectionOperator;
    bool text = mode == SelectionText || mode == SelectionDigits;  // a drag may run either way
    if (mode < SelectionCaretNode || mode > SelectionDigits) why = "an unknown selection mode";
    if ((ordered && (a < 0 || b < a || b > limit)) || (text && (std::min(a, b) < 0 || std::max(a, b) > limit)))
      why = "selection out of range";
    if ((mode == SelectionText && caret->kind != KindString) || (mode == SelectionDigits && caret->kind != KindNum))
      why = "a text caret outside a text";
    if (mode == SelectionMatrixBlock &&
        (caret->kind != KindMatrix || a < 0 || b < 0 || a >= caret->arity || b >= caret->arity))
      why = "a block outside a matrix";
  }
  if (message) *message = why;
  return *why == 0;
}
