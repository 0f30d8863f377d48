// String text at the caret. A refused character changes nothing; typing over a range replaces it
// and leaves the caret after the new character.
#include "editor/string_typing.h"

#include <algorithm>

#include "editor/caret_navigation.h"
#include "editor/layout_driver.h"
#include "editor/node_text_edits.h"
#include "kernel/trees/expr_node.h"

namespace {

constexpr int32_t kStringLimit = 61;

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }

bool IsPrintable(int32_t code) { return code >= 32 && code != 127 && code < 256; }

}  // namespace

void MakeCaretNodeString() {
  FormulaEditor* e = Editor();
  if (!e) return;
  ExprNode* text = NewStringNode("", 0);
  if (!text) return;
  ExprNode* c = e->caretNode;
  ReplaceExpression(text, c);
  SetFormulaSelection(c, SelectionCaretAfter);
  InvalidateFormulaLayout();
}

void TypeIntoString(int32_t code) {
  FormulaEditor* e = Editor();
  if (!e || e->caretNode->kind != KindString || !IsPrintable(code)) return;
  const char c = static_cast<char>(code);
  if (NodeTextLength(e->caretNode) < kStringLimit && AppendCharToCString(&e->caretNode->text, c))
    InvalidateFormulaLayout();
}

void TypeIntoStringText(int32_t code) {
  FormulaEditor* e = Editor();
  ExprNode* s = e ? e->caretNode : nullptr;
  if (!s || s->kind != KindString || !IsPrintable(code)) return;
  const int32_t lo = std::min(e->selectionStart, e->selectionEnd), hi = std::max(e->selectionStart, e->selectionEnd);
  RemoveNodeText(s, lo, hi);
  const int32_t at = std::clamp(lo, 0, NodeTextLength(s));
  e->selectionStart = e->selectionEnd = at;
  const char c = static_cast<char>(code);
  if (NodeTextLength(s) < kStringLimit && InsertNodeText(s, at, &c, 1)) e->selectionStart = e->selectionEnd = at + 1;
  InvalidateFormulaLayout();
}
