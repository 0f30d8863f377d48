// Selection rectangles from the boxes of the last layout. Indexes outside the caret node's
// operands or text are clamped, so a stale selection never reads past a node.
#include "editor/selection_geometry.h"

#include <algorithm>
#include <cstring>

#include "editor/typeset_primitives.h"
#include "editor/typeset_state.h"
#include "kernel/trees/expr_node.h"

namespace {

bool Rect(const ExprNode* node, FixedRect* r) { return node && GetNodeRect(node, r) != nullptr; }

bool IsInfixNode(const ExprNode* node) {
  const NodeKindRow* row = GetNodeKindRow(node->kind);
  return row && row->notation == NotationInfix;
}

bool IsPrefixNode(const ExprNode* node) {
  const NodeKindRow* row = GetNodeKindRow(node->kind);
  return row && row->notation == NotationPrefix;
}

// Operands start..end (ordered, clamped): left to right, or top to bottom for stacked rows.
void NarrowToRange(const ExprNode* n, int32_t start, int32_t end, FixedRect* r) {
  if (n->arity == 0) return;
  int32_t lo = std::clamp(std::min(start, end), 0, n->arity - 1);
  int32_t hi = std::clamp(std::max(start, end), 0, n->arity - 1);
  FixedRect a, b;
  if (!Rect(n->children[lo], &a) || !Rect(n->children[hi], &b)) return;
  if (n->kind == KindAtop || n->kind == KindBranch) {
    r->top = a.top;
    r->bottom = b.bottom;
  } else {
    r->left = a.left;
    r->right = b.right;
  }
}

void WidenToBlock(const ExprNode* n, int32_t start, int32_t end, FixedRect* r) {
  int32_t columns = n->kind == KindMatrix ? n->value.halves.second : 0;
  if (columns <= 0 || n->arity == 0) return;
  start = std::clamp(start, 0, n->arity - 1);
  end = std::clamp(end, 0, n->arity - 1);
  int32_t r0 = std::min(start, end) / columns, r1 = std::max(start, end) / columns;
  int32_t c0 = std::min(start % columns, end % columns), c1 = std::max(start % columns, end % columns);
  bool any = false;
  for (int32_t row = r0; row <= r1; ++row) {
    for (int32_t column = c0; column <= c1; ++column) {
      FixedRect cell;
      if (row * columns + column >= n->arity || !Rect(n->children[row * columns + column], &cell)) continue;
      if (!any) *r = cell;
      r->top = std::min(r->top, cell.top);
      r->left = std::min(r->left, cell.left);
      r->bottom = std::max(r->bottom, cell.bottom);
      r->right = std::max(r->right, cell.right);
      any = true;
    }
  }
}

void NarrowToText(const ExprNode* n, int32_t start, int32_t end, FixedRect* r) {
  NodeTextFont font(n);
  int32_t length = static_cast<int32_t>(std::strlen(font.Text()));
  int32_t lo = std::clamp(std::min(start, end), 0, length), hi = std::clamp(std::max(start, end), 0, length);
  Fixed left = r->left;
  r->left = SaturateFixed(int64_t{left} + font.PrefixWidth(lo));
  r->right = SaturateFixed(int64_t{left} + font.PrefixWidth(hi));
}

// The operator symbol between operands start and start + 1, or a prefix node's sign.
void NarrowToOperator(const ExprNode* n, int32_t start, FixedRect* r) {
  FixedRect a, b;
  bool gapKind = IsInfixNode(n) || n->kind == KindDivide || n->kind == KindFract || n->kind == KindDot ||
                 n->kind == KindCross;
  if (gapKind) {
    if (start < 0 || start + 1 >= n->arity || !Rect(n->children[start], &a) || !Rect(n->children[start + 1], &b)) return;
    r->left = a.right;
    r->right = b.left;
  } else if (IsPrefixNode(n) && n->arity > 0 && Rect(n->children[0], &a)) {
    r->right = a.left;
    const ExprNode* p = n->parent;
    FixedRect exponent;
    if (n->arity == 1 && p && p->kind == KindPower && IsChildAt(n, 0) && p->arity > 1 && Rect(p->children[1], &exponent))
      r->right = SubFixed(r->right, SubFixed(exponent.right, exponent.left));
  }
}

// Mode 0: an exponent drawn after a function's name, or the variable of d/dx.
void SecondRect(const ExprNode* n, const FixedRect& r, FixedRect* second) {
  const ExprNode* p = n->parent;
  if (!p) return;
  FixedRect s;
  if (n->arity == 1 && p->kind == KindPower && IsChildAt(n, 0) && p->arity > 1 && p->box && !p->box->tooWideFlag &&
      Rect(p->children[1], &s)) {
    s.top = std::max(s.top, r.top);
    *second = s;
  } else if ((n->kind == KindOptotal || n->kind == KindOppartial) && p->kind == KindFunction && p->arity > 1) {
    const ExprNode* v = p->children[1];
    if ((v->kind == KindChar || v->kind == KindTensor || v->kind == KindIndexes) && Rect(v, &s)) {
      s.top = std::max(s.top, r.top);
      s.right = std::min(s.right, r.right);
      *second = s;
    }
  }
}

}  // namespace

NodeTextFont::NodeTextFont(const ExprNode* node) : text_("") {
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  const TypesetState& g = TypesetGlobals();
  const int32_t* style = e && e->style ? e->style : g.defaultFontSizes;
  int32_t level = node->box ? std::min<int32_t>(node->box->scriptLevel, kScriptLevelCount - 1) : 2;
  SetTypesetFont(kTextSlot);
  SetTypesetSize(style[level]);
  TypesetFacePlain();
  if (node->kind == KindString) {
    TypesetFaceCondensed();
    text_ = node->text ? node->text : "";
  } else if (node->kind == KindNum && node->value.number) {
    text_ = node->value.number->text;
  }
}

Fixed NodeTextFont::CharWidth(int32_t i) const { return TypesetCharWidth(static_cast<uint8_t>(text_[i])); }

Fixed NodeTextFont::PrefixWidth(int32_t count) const {
  int64_t width = 0;
  for (int32_t i = 0; i < count && text_[i]; ++i) width += CharWidth(i);
  return SaturateFixed(width);
}

bool ComputeSelectionGeometry(FixedRect* selection, FixedRect* second) {
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  FixedRect r;
  if (!e || !Rect(e->caretNode, &r)) return false;
  const ExprNode* n = e->caretNode;
  FixedRect extra{0, 0, 0, 0};
  switch (e->selectionMode) {
    case SelectionChildRange: NarrowToRange(n, e->selectionStart, e->selectionEnd, &r); break;
    case SelectionMatrixBlock: WidenToBlock(n, e->selectionStart, e->selectionEnd, &r); break;
    case SelectionText:
    case SelectionDigits: NarrowToText(n, e->selectionStart, e->selectionEnd, &r); break;
    case SelectionOperator: NarrowToOperator(n, e->selectionStart, &r); break;
    case SelectionCaretNode: SecondRect(n, r, &extra); break;
    default: break;
  }
  *selection = r;
  *second = extra;
  return true;
}
