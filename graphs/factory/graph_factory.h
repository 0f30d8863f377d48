// The graph factory: one equation of a document, after BuildGraphsForEquationSet, becomes the
// graph objects that draw it: classified, prepared (comma parts, conditions, parameter values,
// side swap), turned into compiled functions of the graph's own parameters and attached to the
// views with a graph-table row. Forms whose graph kinds do not exist yet build nothing and say
// so with the graph result message of their view.
// Invariants: the result is the table row this call added (-1 when it added none, never an
// earlier equation's row); whatever a failed construction made is freed and the tables are left
// as they were; the colour belongs to exactly one graph or is freed.
#pragma once

#include <cstdint>

#include "graphs/factory/factory_helpers.h"

class DocumentServices;
struct ExprNode;

// Builds the graphs of `equation` (a private copy the factory rewrites in place; the caller frees
// it). The five numbers are the EquationRow's color, grain (detail), opacity (detail2),
// plottingMode (drawOption) and xyType (displayKind). Returns the last graph-table row index when this call
// added a row, else -1; then *message (when given) is the graph result message to show: 14, 24
// or 25 ("can't graph this" in a 2D, 3D or 4D view) for a form whose kinds do not exist yet, 0
// for form 0 (the caller explains it with ClassifyEquationList) and for a construction that ran
// out of memory (error 7 is posted). `side` 1 puts the graphs in the second view of their kind, as
// an equation in the primed coordinates goes there (a 4D graph stays in the one 4D view).
int32_t CreateGraphsForEquation(GraphViewSet* set, ExprNode* equation, bool is3D, bool is4D,
                                const CoordinateTransform* transform, double colorIndex, double detail, double detail2,
                                double drawOption, double displayKind, DocumentServices* document,
                                int32_t* message = nullptr, int32_t side = 0);
