// Line breaking, the last layout pass. A formula wider than its editor's width limit is cut into
// display lines at the right edges of the children of its too-wide chain; the layout stays one
// long line and the line table records where each display line starts and how far it moves
// down (index x the root's height). Invariants of the table: rows in ascending start order,
// row 0 at (0, 0), every line of a broken formula wider than zero; the widest line is the largest line width.
#pragma once

#include <cstdint>

#include "editor/typeset_units.h"

struct ExprNode;

// Resets the current editor's table to one line and breaks every line wider than the limit at
// the candidates of the chain where breaks may fall (the root, and under a node on it each
// too-wide child that may be broken inside); the too-wide flags are left as measured. A line is
// only broken strictly inside itself: never at or past its end (the root's width for the last
// line), never at or before its start.
void BreakFormulaLines();
// Adds a line starting at x, keeping the rows sorted, recomputing every top and the widest
// line. False (table unchanged) when memory is refused.
bool InsertLineBreak(Fixed x);
// Whether lines may be broken inside a node of this kind (and arity). A number in scientific
// notation never is: its mantissa and its power of ten read as one number.
bool CanBreakInside(const ExprNode* node);
// Width of line i (1-based): the next line's start, or the root's width, minus its start.
Fixed LineWidth(int32_t i);
// Verifies the table invariants of the current editor; `message` gets the reason.
bool CheckLineTable(const char** message = nullptr);
