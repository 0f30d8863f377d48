// Line mapping on the current editor's line table (see line_breaking.h for how it is built).
#include "editor/line_mapping.h"

#include "editor/typeset_primitives.h"
#include "kernel/trees/typeset_records.h"

int32_t LayoutXToLine(Fixed x) {
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  if (!e || e->lineCount < 2 || !e->lineTable) return 0;
  int32_t k = 1;
  while (k < e->lineCount && e->lineTable[k].start <= x) ++k;
  return k - 1;
}

Fixed LayoutXToLineX(Fixed x) {
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  int32_t line = LayoutXToLine(x);
  return line > 0 ? x - e->lineTable[line].start : x;
}

Fixed LayoutXToLineOffsetY(Fixed x) {
  const FormulaEditor* e = TypesettingGlobals().currentEditor;
  int32_t line = LayoutXToLine(x);
  return line > 0 ? e->lineTable[line].top : 0;
}

void LineMoveTo(Fixed x, Fixed y) { TypesetMoveTo(LayoutXToLineX(x), y + LayoutXToLineOffsetY(x)); }
void LineLineTo(Fixed x, Fixed y) { TypesetLineTo(LayoutXToLineX(x), y + LayoutXToLineOffsetY(x)); }
