// Layout handlers of the table-like kinds: indexes (a base with groups of lower and upper
// indices), matrix (rows x columns of cells, vectors being one-column matrices) and atop (a
// centred column), with the centred column that branch shares. The shape words are checked
// against the operands: a missing cell or index is a prompt-sized gap, and operands past a
// matrix's cells open new rows, so no operand is left unplaced and none is read past the end.
#pragma once

#include <cstdint>

#include "editor/typeset_units.h"

struct ExprNode;

// The children of a node as one column, stacked from the top with `gap` between them, each
// centred on a common vertical line `centre` from the column's left edge.
struct ChildColumn {
  Fixed centre, width, height;
};
ChildColumn MeasureChildColumn(const ExprNode* node, Fixed gap);
// Places the column with its left edge at x and its bottom `up` above the node's bottom.
void PlaceChildColumn(ExprNode* node, const ChildColumn& column, Fixed gap, Fixed x, Fixed up);

// Measure only. Indices are set at their own level: the lower group (value word's second half,
// k) is dropped by SubscriptDrop under the base's bottom, the upper group raised over its top,
// both 38u after the base.
void LayoutIndexes(ExprNode* node, int32_t mode);
// 400u gutters, cells centred in their columns on their rows' baselines, rows stacked from the
// bottom; centred on the math axis (flag 0); square brackets drawn as rules.
void LayoutMatrix(ExprNode* node, int32_t mode);
// A centred column with 500u between rows; ascent and descent halve the height (flag 0).
void LayoutAtop(ExprNode* node, int32_t mode);
