// The mapping between the one-line layout of a formula and its display lines: a layout x belongs
// to the last line whose start is not greater than it; that line's start is taken off x and its
// top added to y. A display y belongs to the last line whose top lies strictly above it (a y on a
// line's top is the line above). With fewer than two lines both coordinate systems coincide.
#pragma once

#include "editor/typeset_units.h"

struct FormulaEditor;

// A 16.16 point, vertical first.
struct FixedPoint {
  Fixed v;
  Fixed h;
};

// The display line (0-based) of a layout x in the current editor.
int32_t LayoutXToLine(Fixed x);
Fixed LayoutXToLineX(Fixed x);
Fixed LayoutXToLineOffsetY(Fixed x);
// TypesetMoveTo / TypesetLineTo of the layout point mapped to its display line.
void LineMoveTo(Fixed x, Fixed y);
void LineLineTo(Fixed x, Fixed y);
// A display point of the current editor becomes a layout point, in place. Points below the last
// line's top stay on the last line.
void DisplayToLayoutPoint(FixedPoint* point);

// Height of all lines (each as tall as the root box); width of the one line, or the width limit
// once the formula is broken.
Fixed FormulaTextHeight(const FormulaEditor* editor);
Fixed FormulaTextWidth(const FormulaEditor* editor);
