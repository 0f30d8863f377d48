// The mapping from the one-line layout of a formula to its display lines: a layout x belongs
// to the last line whose start is not greater than it; that line's start is taken off x and its
// top added to y. With fewer than two lines both coordinate systems coincide.
#pragma once

#include "editor/typeset_units.h"

// The display line (0-based) of a layout x in the current editor.
int32_t LayoutXToLine(Fixed x);
Fixed LayoutXToLineX(Fixed x);
Fixed LayoutXToLineOffsetY(Fixed x);
// TypesetMoveTo / TypesetLineTo of the layout point mapped to its display line.
void LineMoveTo(Fixed x, Fixed y);
void LineLineTo(Fixed x, Fixed y);
