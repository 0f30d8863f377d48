// Hit tests over the boxes of the last layout. A node without a box (not laid out yet) contains no
// point, so a hit never descends into it.
#include "editor/hit_testing.h"

#include <cmath>

#include "editor/caret_navigation.h"
#include "editor/document_services.h"
#include "editor/node_notation.h"
#include "editor/node_text_edits.h"
#include "editor/selection_geometry.h"
#include "kernel/trees/expr_node.h"

namespace {

FixedRect RectOf(const ExprNode* node) {
  FixedRect r{0, 0, 0, 0};
  GetNodeRect(node, &r);
  return r;
}

}  // namespace

bool PointInNodeRect(FixedPoint point, const ExprNode* node) {
  FixedRect r;
  if (!GetNodeRect(node, &r)) return false;
  return point.v >= r.top && point.v <= r.bottom && point.h >= r.left && point.h <= r.right;
}

ExprNode* HitTestNode(ExprNode* node, FixedPoint point) {
  for (bool descended = true; descended;) {
    descended = false;
    for (int32_t i = OperandCount(node) - 1; i >= 0; --i) {
      if (PointInNodeRect(point, node->children[i])) {
        node = node->children[i];
        descended = true;
        break;
      }
    }
  }
  if (!IsInfixNode(node)) return node;
  const int32_t n = OperandCount(node);
  for (int32_t i = 0; i < n; ++i) {
    const FixedRect a = RectOf(node->children[i]);
    if (point.h < a.left) return node->children[i];
    if (i + 1 < n) {
      const FixedRect b = RectOf(node->children[i + 1]);
      if (point.h < b.right) {
        const Fixed middle = SaturateFixed((int64_t{a.right} + b.left) / 2);
        return node->children[point.h >= middle ? i + 1 : i];
      }
    }
  }
  return node;
}

ExprNode* HitTestFormula(FixedPoint point) {
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  if (!e) return nullptr;
  return PointInNodeRect(point, e->root) ? HitTestNode(e->root, point) : e->root;
}

int32_t CharIndexAtH(Fixed h, const ExprNode* node) {
  NodeTextFont font(node);
  const int32_t length = NodeTextLength(node);
  if (length == 0) return 0;
  const Fixed x = SubFixed(h, RectOf(node).left);
  if (x < font.CharWidth(0) / 2) return 0;
  if (x > SubFixed(font.PrefixWidth(length), font.CharWidth(length - 1) / 2)) return length;
  int32_t i = 1;
  int64_t boundary = int64_t{font.CharWidth(0)} + (length > 1 ? font.CharWidth(1) / 2 : 0);
  while (boundary < x && i < length - 1) {
    boundary += font.CharWidth(i) / 2 + font.CharWidth(i + 1) / 2;
    ++i;
  }
  return i;
}

ExprNode* ClickToCaret(FixedPoint point) {
  FormulaEditor* e = TypesettingGlobals().currentEditor;
  ExprNode* hit = HitTestFormula(point);
  if (!hit) return nullptr;
  const FixedRect r = RectOf(hit);
  if (hit->kind == KindPrompt) {
    SetFormulaSelection(hit, SelectionCaretNode);
  } else if (point.h > SaturateFixed((int64_t{r.left} + r.right) / 2)) {
    const bool beforeArgument = IsNamedFunctionKind(hit->kind) && OperandCount(hit) == 1 &&
                                point.h < RectOf(hit->children[0]).left;
    SetFormulaSelection(beforeArgument ? hit->children[0] : hit, beforeArgument ? SelectionCaretBefore : SelectionCaretAfter);
  } else {
    e->caretNode = hit;  // stored as is: before this node, not after its left neighbour
    e->selectionMode = SelectionCaretBefore;
    e->selectionStart = e->selectionEnd = 0;
  }
  const int32_t length = NodeTextLength(hit);
  const bool finiteNumber = hit->kind == KindNum && hit->value.number && std::isfinite(hit->value.number->value);
  if (length > 1 && (hit->kind == KindString || finiteNumber)) {
    const int32_t i = CharIndexAtH(point.h, hit);
    e->caretNode = hit;
    e->selectionMode = i == 0 ? SelectionCaretBefore : i == length ? SelectionCaretAfter
                     : hit->kind == KindString ? SelectionText : SelectionDigits;
    e->selectionStart = e->selectionEnd = (i == 0 || i == length) ? 0 : i;
  }
  if (e->caretNode->kind == KindPrompt) RedrawOwnerPane();
  return hit;
}
