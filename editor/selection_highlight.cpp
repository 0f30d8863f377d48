// Highlight drawing, pixel rectangles and the caret bar. Rectangles measured with the caret on
// another node always put the caret back before returning.
#include "editor/selection_highlight.h"

#include <climits>

#include "editor/layout_driver.h"
#include "editor/line_mapping.h"
#include "editor/selection_geometry.h"
#include "editor/typeset_primitives.h"
#include "editor/typeset_state.h"
#include "kernel/trees/expr_node.h"
#include "kernel/trees/node_builders.h"
#include "platform/draw/qd_geometry.h"

namespace {

FormulaEditor* Editor() { return TypesettingGlobals().currentEditor; }

double WindowPixels(int32_t origin, Fixed value) { return origin + value / 65536.0; }

PixelRect ToWindow(const FixedRect& r) {
  const TypesetState& g = TypesetGlobals();
  return PixelRect{PinCoordinate(g.originV + FixedToPixels(r.top)), PinCoordinate(g.originH + FixedToPixels(r.left)),
                   PinCoordinate(g.originV + FixedToPixels(r.bottom)), PinCoordinate(g.originH + FixedToPixels(r.right))};
}

bool Contains(const PixelRect& r, QDPoint p) { return p.v >= r.top && p.v <= r.bottom && p.h >= r.left && p.h <= r.right; }

// The geometry of the node in mode 0, the caret put back afterwards.
bool NodeRectInMode0(ExprNode* node, PixelRect* rect) {
  FormulaEditor* e = Editor();
  ExprNode* caret = e->caretNode;
  const int32_t mode = e->selectionMode;
  e->caretNode = node;
  e->selectionMode = SelectionCaretNode;
  bool found = GetFormulaSelectionRect(rect);
  e->caretNode = caret;
  e->selectionMode = mode;
  return found;
}

// The display line of a layout x: rows are searched from `from` while x is not left of a start.
int32_t LineFrom(const FormulaEditor& e, int32_t from, Fixed x) {
  int32_t i = from;
  while (i < e.lineCount && x >= e.lineTable[i].start) ++i;
  return i - 1;
}

FixedRect Shifted(const FixedRect& r, Fixed left, Fixed right, Fixed down) {
  return FixedRect{SaturateFixed(int64_t{r.top} + down), left, SaturateFixed(int64_t{r.bottom} + down), right};
}

}  // namespace

void DrawHiliteRoundRect(const FixedRect& rect, bool plain) {
  const TypesetState& g = TypesetGlobals();
  CurrentTypesetPort().FillRoundedRect(WindowPixels(g.originH, rect.left), WindowPixels(g.originV, rect.top),
                                       WindowPixels(g.originH, rect.right), WindowPixels(g.originV, rect.bottom),
                                       kHighlightCornerRadius, plain ? nullptr : &kHighlightColour);
}

void DrawMultiLineSelection(const FixedRect& rect, bool plain) {
  const FormulaEditor* e = Editor();
  if (!e || e->lineCount < 2 || !e->lineTable) {
    DrawHiliteRoundRect(rect, plain);
    return;
  }
  const FormulaLine* lines = e->lineTable;
  const int32_t first = LineFrom(*e, 1, rect.left);
  const int32_t last = LineFrom(*e, first + 1, rect.right);
  if (first == last) {
    const Fixed start = lines[first].start;
    DrawHiliteRoundRect(Shifted(rect, SubFixed(rect.left, start), SubFixed(rect.right, start), lines[first].top), plain);
    return;
  }
  DrawHiliteRoundRect(Shifted(rect, SubFixed(rect.left, lines[first].start), e->widestLine, lines[first].top), false);
  for (int32_t k = first + 1; k < last; ++k)
    DrawHiliteRoundRect(FixedRect{lines[k].top, 0, lines[k + 1].top, e->widestLine}, false);
  DrawHiliteRoundRect(Shifted(rect, 0, SubFixed(rect.right, lines[last].start), lines[last].top), false);
}

bool GetFormulaSelectionRect(PixelRect* rect) {
  FixedRect r, second;
  if (!ComputeSelectionGeometry(&r, &second)) return false;
  *rect = ToWindow(r);
  return true;
}

bool GetCaretRectKeepMode(PixelRect* rect) {
  FormulaEditor* e = Editor();
  if (!e) return false;
  if (e->selectionMode != SelectionOperator) return GetFormulaSelectionRect(rect);
  e->selectionMode = SelectionCaretNode;
  bool found = GetFormulaSelectionRect(rect);
  e->selectionMode = SelectionOperator;
  return found;
}

bool GetWholeFormulaRect(PixelRect* rect) {
  FormulaEditor* e = Editor();
  return e && NodeRectInMode0(e->root, rect);
}

bool GetSymbolCharRect(int32_t symbol, PixelRect* rect) {
  FormulaEditor* e = Editor();
  if (!e) return false;
  TreeCursor cursor(e->root, WalkOrder::kPreOrder);
  for (ExprNode* n = cursor.Current(); n; n = cursor.Next())
    if (n->kind == KindChar && n->value.symbol == symbol) return NodeRectInMode0(n, rect);
  return false;
}

bool PointInDraggableSelection(QDPoint point) {
  PixelRect r;
  return CanDragSelection() && GetFormulaSelectionRect(&r) && Contains(r, point);
}

bool PointInCaretRect(QDPoint point) {
  const FormulaEditor* e = Editor();
  PixelRect r;
  return e && e->selectionMode == SelectionCaretNode && GetCaretRectKeepMode(&r) && Contains(r, point);
}

void DrawCurrentEquationCaret() {
  FormulaEditor* e = Editor();
  if (!e || !e->layoutValid) return;
  const int32_t mode = e->selectionMode;
  const bool collapsed = (mode == SelectionText || mode == SelectionDigits) && e->selectionStart == e->selectionEnd;
  const bool promptCaret = e->caretNode->kind == KindPrompt && TypesettingGlobals().promptCaretPending;
  if (mode != SelectionCaretAfter && mode != SelectionCaretBefore && !collapsed && !promptCaret) return;
  Fixed x = INT32_MIN, bottom = 0, top = 0;
  GetCaretBar(&x, &bottom, &top);
  if (x == INT32_MIN) return;
  TypesetPort& port = CurrentTypesetPort();
  port.SavePen();
  port.PenSize(1);
  port.PenMode(TypesetPenMode::kXor);
  LineMoveTo(x, top);
  LineLineTo(x, bottom);
  port.PenMode(TypesetPenMode::kCopy);
  port.PenSize(1);
  e->documentFlag ^= 1;
  port.RestorePen();
}
