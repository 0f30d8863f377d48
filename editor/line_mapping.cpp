// Line mapping on the current editor's line table (see line_breaking.h for how it is built).
#include "editor/line_mapping.h"

#include <algorithm>

#include "editor/typeset_primitives.h"
#include "kernel/trees/expr_node.h"

int32_t LayoutXToLine(Fixed x) {
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  if (!e || e->lineCount < 2 || !e->lineTable) return 0;
  // Starts ascend: the first row starting right of x, found by bisection (every pen move asks).
  const FormulaLine* rows = e->lineTable;
  const FormulaLine* after =
      std::upper_bound(rows + 1, rows + e->lineCount, x, [](Fixed v, const FormulaLine& l) { return v < l.start; });
  return static_cast<int32_t>(after - rows) - 1;
}

Fixed LayoutXToLineX(Fixed x) {
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  int32_t line = LayoutXToLine(x);
  return line > 0 ? SubFixed(x, e->lineTable[line].start) : x;
}

Fixed LayoutXToLineOffsetY(Fixed x) {
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  int32_t line = LayoutXToLine(x);
  return line > 0 ? e->lineTable[line].top : 0;
}

void LineMoveTo(Fixed x, Fixed y) { TypesetMoveTo(LayoutXToLineX(x), SumFixed(y, LayoutXToLineOffsetY(x))); }
void LineLineTo(Fixed x, Fixed y) { TypesetLineTo(LayoutXToLineX(x), SumFixed(y, LayoutXToLineOffsetY(x))); }

void DisplayToLayoutPoint(FixedPoint* point) {
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  if (!e || e->lineCount < 2 || !e->lineTable) return;
  int32_t k = 1;
  while (k < e->lineCount && point->v > e->lineTable[k].top) ++k;  // the bound first: no row n
  const FormulaLine& line = e->lineTable[k - 1];
  point->h = SaturateFixed(int64_t{point->h} + line.start);
  point->v = SaturateFixed(int64_t{point->v} - line.top);
}

Fixed FormulaTextHeight(const FormulaEditor* editor) {
  const TypesetBox* box = editor->root ? editor->root->box : nullptr;
  if (!box) return 0;
  return SaturateFixed((int64_t{box->descent} + box->ascent) * std::max(editor->lineCount, 1));
}

Fixed FormulaTextWidth(const FormulaEditor* editor) {
  if (editor->lineCount >= 2) return editor->widthLimit;
  return editor->root && editor->root->box ? editor->root->box->width : 0;
}
