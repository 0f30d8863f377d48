// Mouse selection over the boxes of the last layout. The press's state lives in the typesetting
// state and is reset at each press. "Within a pixel" is strict: a point a whole pixel from the
// last one is a new point, so the nudged first steps of a press always run.
#include "editor/mouse_selection.h"

#include <algorithm>
#include <cmath>

#include "editor/caret_navigation.h"
#include "editor/document_services.h"
#include "editor/edit_commands.h"
#include "editor/hit_testing.h"
#include "editor/layout_driver.h"
#include "editor/node_notation.h"
#include "editor/node_text_edits.h"
#include "editor/pointer_tracking.h"
#include "editor/selection_geometry.h"
#include "editor/selection_highlight.h"
#include "editor/typeset_state.h"
#include "kernel/trees/node_builders.h"

namespace {

constexpr Fixed kPixel = kFixedOne;
constexpr int64_t kTermDragStart = 3 * int64_t{kFixedOne};  // a press becomes a term drag
constexpr int64_t kTermCrossing = 12 * int64_t{kFixedOne};  // each crossing moves the term once

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }
FormulaMouseState& Mouse() { return TypesetGlobals().mouse; }

FixedRect RectOf(const ExprNode* node) {
  FixedRect r{0, 0, 0, 0};
  GetNodeRect(node, &r);
  return r;
}

int64_t Distance(Fixed a, Fixed b) { return std::abs(int64_t{a} - b); }

bool NearLastPoint(Fixed v, Fixed h) {
  const FormulaMouseState& m = Mouse();
  return Distance(v, m.lastV) < kPixel && Distance(h, m.lastH) < kPixel;
}

Fixed Middle(Fixed a, Fixed b) { return SaturateFixed((int64_t{a} + b) / 2); }

bool IsSignKind(uint32_t kind) { return kind == KindPm || kind == KindMp || kind == KindMinus; }

bool IsFiniteNumber(const ExprNode* n) {
  return n->kind == KindNum && n->value.number && std::isfinite(n->value.number->value);
}

// Stored as is, without normalising.
void Store(ExprNode* node, int32_t mode, int32_t start, int32_t end) {
  FormulaEditor* e = Editor();
  e->caretNode = node;
  e->selectionMode = mode;
  e->selectionStart = start;
  e->selectionEnd = end;
}

// After a drag in a number's digits: all of them is the number selected, a caret at the end is
// the caret after it, and a caret at the start the caret before it (stored as is, so the next
// step of the drag still starts in these digits; the release normalises it). A digit caret is
// thus never left at either edge, where splitting the number would leave an empty one.
void NormalizeNumberSelection() {
  FormulaEditor* e = Editor();
  ExprNode* c = e->caretNode;
  const int32_t length = NodeTextLength(c);
  const int32_t lo = std::min(e->selectionStart, e->selectionEnd), hi = std::max(e->selectionStart, e->selectionEnd);
  if (length > 0 && lo == 0 && hi == length) {
    SetFormulaSelection(c, SelectionCaretNode);
  } else if (lo == hi && lo == length) {
    SetFormulaSelection(c, SelectionCaretAfter);
  } else if (lo == hi && lo == 0) {
    Store(c, SelectionCaretBefore, 0, 0);
  }
}

// Cells of a matrix between the two ends: the block their rows and columns span.
bool SelectBlock(ExprNode* m, const ExprNode* anchor, const ExprNode* current) {
  const int32_t columns = m->value.halves.second;
  if (columns < 1 || m->value.halves.first * columns != m->arity) return false;
  const int32_t a = IndexOfBranchToward(m, anchor), b = IndexOfBranchToward(m, current);
  const int32_t r0 = std::min(a, b) / columns, r1 = std::max(a, b) / columns;
  const int32_t c0 = std::min(a % columns, b % columns), c1 = std::max(a % columns, b % columns);
  Store(m, SelectionMatrixBlock, c0 + columns * r0, c1 + columns * r1);
  return true;
}

// Two ends in different operands of an operator: the operator symbol when both points lie in the
// gap of two neighbours (not in a branch, stack or product, nor before a subtracted term), else
// the range of operands, or the node when the range is all of them.
void SelectOperands(ExprNode* n, const ExprNode* anchor, const ExprNode* current, FixedPoint from, FixedPoint to) {
  int32_t a = IndexOfBranchToward(n, anchor), b = IndexOfBranchToward(n, current);
  if (a > b) std::swap(a, b);
  const bool gap = b == a + 1 && n->kind != KindBranch && n->kind != KindAtop && n->kind != KindTimes &&
                   !(n->kind == KindPlus && IsSignKind(n->children[b]->kind));
  const Fixed left = RectOf(n->children[a]).right, right = RectOf(n->children[b]).left;
  if (gap && from.h >= left && from.h <= right && to.h >= left && to.h <= right) {
    Store(n, SelectionOperator, a, a);
  } else if (a == 0 && b == n->arity - 1) {
    SetFormulaSelection(n, SelectionCaretNode);
  } else {
    Store(n, SelectionChildRange, a, b);
  }
}

// What a drag step selects, the first rule that applies: characters of one text, a block of cells,
// operands or the operator between them, an operator beside the common node, a prefix sign, or
// else the common node.
void SelectByDrag(ExprNode* anchor, ExprNode* current, ExprNode* common, FixedPoint from, FixedPoint to) {
  FormulaEditor* e = Editor();
  const int32_t mode = e->selectionMode;
  const bool oneNode = anchor == current && anchor == e->caretNode;
  if (mode == SelectionText && oneNode && anchor->kind == KindString) {
    e->selectionEnd = CharIndexAtH(to.h, anchor);
    return;
  }
  if (mode == SelectionDigits && oneNode && anchor->kind == KindNum) {
    e->selectionEnd = CharIndexAtH(to.h, anchor);
    NormalizeNumberSelection();
    return;
  }
  if ((mode == SelectionCaretBefore || mode == SelectionCaretAfter) && oneNode && IsFiniteNumber(anchor)) {
    const int32_t start = mode == SelectionCaretBefore ? 0 : NodeTextLength(anchor);
    Store(anchor, SelectionDigits, start, CharIndexAtH(to.h, anchor));
    NormalizeNumberSelection();
    return;
  }
  const bool between = common != anchor && common != current;
  if (between && common->kind == KindMatrix && SelectBlock(common, anchor, current)) return;
  if (between && IsInfixNode(common)) {
    SelectOperands(common, anchor, current, from, to);
    return;
  }
  const ExprNode* p = common->parent;
  const bool gapParent = p && (IsInfixNode(p) || p->kind == KindDivide || p->kind == KindFract || p->kind == KindDot ||
                               p->kind == KindCross) && p->kind != KindAtop && p->kind != KindTimes;
  if (gapParent && common->kind != KindMinus) {
    const int32_t i = IndexOfOperatorGap(p, from);
    if (i >= 0 && i == IndexOfOperatorGap(p, to) && !(p->kind == KindPlus && IsSignKind(p->children[i + 1]->kind))) {
      Store(common->parent, SelectionOperator, i, i);
      return;
    }
  }
  if (IsPrefixNode(common) && OperandCount(common) == 1 && anchor == common && current == common &&
      common->kind != KindOptotal && common->kind != KindOppartial) {
    const Fixed operandLeft = RectOf(common->children[0]).left;
    if (from.h <= operandLeft && to.h <= operandLeft) {
      Store(common, SelectionOperator, 0, 0);  // the sign or name before the operand
      return;
    }
  }
  SetFormulaSelection(common, SelectionCaretNode);
}

// Redraws the owner pane unless the mode and both highlight rectangles stayed the same.
void RedrawIfSelectionChanged(int32_t oldMode, bool hadRects, const FixedRect& oldRect, const FixedRect& oldSecond) {
  FixedRect rect{}, second{};
  const bool hasRects = ComputeSelectionGeometry(&rect, &second);
  auto same = [](const FixedRect& a, const FixedRect& b) {
    return a.top == b.top && a.left == b.left && a.bottom == b.bottom && a.right == b.right;
  };
  if (oldMode == Editor()->selectionMode && hadRects == hasRects && same(rect, oldRect) && same(second, oldSecond))
    return;
  RedrawOwnerPane();
}

bool Inside(FixedPoint p, const FixedRect& r) { return p.v >= r.top && p.v <= r.bottom && p.h >= r.left && p.h <= r.right; }

void StoreSelectionRect() {
  FixedRect second;
  if (!ComputeSelectionGeometry(&Mouse().selection, &second)) Mouse().selection = FixedRect{0, 0, 0, 0};
}

}  // namespace

bool TrackFormulaDrag(Fixed v, Fixed h, ExprNode* anchor) {
  FormulaEditor* e = Editor();
  FormulaMouseState& m = Mouse();
  if (!e || NearLastPoint(v, h)) return false;
  const FixedPoint from{m.anchorV, m.anchorH}, to{v, h};
  if (!anchor) anchor = HitTestFormula(from);
  const ExprNode* oldNode = e->caretNode;
  const int32_t oldMode = e->selectionMode, oldStart = e->selectionStart, oldEnd = e->selectionEnd;
  FixedRect oldRect{}, oldSecond{};
  const bool hadRects = ComputeSelectionGeometry(&oldRect, &oldSecond);
  if (m.caretDrawn && e->documentFlag) DrawCurrentEquationCaret();  // this click's caret goes
  ExprNode* current = HitTestFormula(to);
  if (ExprNode* common = anchor && current ? CommonAncestor(anchor, current) : nullptr)
    SelectByDrag(anchor, current, common, from, to);
  RedrawIfSelectionChanged(oldMode, hadRects, oldRect, oldSecond);
  m.lastV = v;
  m.lastH = h;
  return e->caretNode != oldNode || e->selectionMode != oldMode || e->selectionStart != oldStart ||
         e->selectionEnd != oldEnd;
}

bool ExtendSelectionToPoint(Fixed v, Fixed h, ExprNode* anchor) {
  FormulaMouseState& m = Mouse();
  const FixedRect r = RectOf(anchor);
  m = FormulaMouseState{};
  m.anchorV = Middle(r.top, r.bottom);
  m.anchorH = Middle(r.left, r.right);
  m.lastV = m.lastH = INT32_MIN;  // far from any point: the step runs
  return TrackFormulaDrag(v, h, anchor);
}

void FormulaMouseDown(FixedPoint point, bool extend, bool selectOnClick, bool dragAllowed) {
  FormulaEditor* e = Editor();
  if (!e) return;
  FormulaMouseState& m = Mouse();
  m = FormulaMouseState{};
  ResetEditCommandHistory();
  m.anchorV = m.lastV = point.v;
  m.anchorH = m.lastH = point.h;
  StoreSelectionRect();
  ExprNode* anchor = nullptr;
  FixedPoint first = point;
  bool firstStep = true;
  if (extend) {
    anchor = e->caretNode;
    if (e->selectionMode == SelectionChildRange && OperandCount(anchor) > 0) {  // from the end farther from the click
      const int32_t i = point.h > m.selection.left ? e->selectionStart : e->selectionEnd;
      anchor = anchor->children[std::clamp(i, 0, anchor->arity - 1)];
    }
    m.lastH = SaturateFixed(int64_t{m.lastH} + 2 * kPixel);
  } else {
    if (dragAllowed && CanDragSelection() && Inside(point, m.selection) && TrackTermDrag(point)) return;
    ExprNode* hit = ClickToCaret(point);
    if (!selectOnClick) {
      DrawCurrentEquationCaret();
      m.caretDrawn = true;
      firstStep = false;
    } else if (hit && hit->kind == KindNum) {
      SetFormulaSelection(hit, SelectionCaretNode);  // a click selects a whole number
      RedrawOwnerPane();
    } else {
      first.h = SaturateFixed(int64_t{point.h} + kPixel);
    }
  }
  if (firstStep) TrackFormulaDrag(first.v, first.h, anchor);
  FixedPoint p{};
  while (TrackFormulaMousePinned(&p)) TrackFormulaDrag(p.v, p.h, anchor);
  if (m.caretDrawn && e->documentFlag) DrawCurrentEquationCaret();
  SetFormulaSelection(e->caretNode, e->selectionMode);
}

bool TrackTermDrag(FixedPoint point) {
  FormulaMouseState& m = Mouse();
  m.anchorV = m.lastV = point.v;
  m.anchorH = m.lastH = point.h;
  StoreSelectionRect();
  // The moves of one drag are one undo step, not one each: the user made one gesture, and one Undo
  // must put the term back where the press found it. The dispatcher already groups a run of
  // stepwise moves, so the first move takes the snapshot and the rest join it; the history is
  // emptied here and again at the end so that no edit before or after the drag joins it.
  ResetEditCommandHistory();
  bool dragging = false;
  FixedPoint p{};
  while (TrackFormulaMouse(&p)) {
    dragging = dragging || Distance(p.h, m.anchorH) > kTermDragStart || Distance(p.v, m.anchorV) > kTermDragStart;
    if (dragging) DragTermStep(p.v, p.h);
  }
  if (dragging) ResetEditCommandHistory();
  return dragging;
}

bool DragTermStep(Fixed v, Fixed h) {
  FormulaMouseState& m = Mouse();
  if (NearLastPoint(v, h)) return false;
  int32_t code = 0;
  if (h < m.selection.left && int64_t{m.anchorH} - h > kTermCrossing) {
    code = kCodeMoveTermLeft;
  } else if (h > m.selection.right && int64_t{h} - m.anchorH > kTermCrossing) {
    code = kCodeMoveTermRight;
  }
  if (code) {
    DoFormulaEditCommand(code);
    LayoutFormula();  // the next steps measure against the moved term
    RedrawOwnerPane();
    m.anchorV = v;
    m.anchorH = h;
    StoreSelectionRect();
  }
  m.lastV = v;
  m.lastH = h;
  return code != 0;
}

int32_t IndexOfOperatorGap(const ExprNode* node, FixedPoint point) {
  for (int32_t i = 0; i + 1 < OperandCount(node); ++i) {
    if (point.h >= RectOf(node->children[i]).right && point.h <= RectOf(node->children[i + 1]).left) return i;
  }
  return -1;
}

bool IsAncestorOrSelf(const ExprNode* ancestor, const ExprNode* node) {
  for (; node; node = node->parent)
    if (node == ancestor) return true;
  return false;
}

ExprNode* CommonAncestor(ExprNode* a, ExprNode* b) {
  auto depth = [](const ExprNode* n) {
    int32_t d = 0;
    for (; n->parent; n = n->parent) ++d;
    return d;
  };
  int32_t da = depth(a), db = depth(b);
  for (; da > db; --da) a = a->parent;
  for (; db > da; --db) b = b->parent;
  while (a != b) {
    a = a->parent;
    b = b->parent;
  }
  return a;
}

int32_t IndexOfBranchToward(const ExprNode* ancestor, const ExprNode* node) {
  for (; node && node->parent; node = node->parent)
    if (node->parent == ancestor) return IndexInParent(node);
  return -1;
}
