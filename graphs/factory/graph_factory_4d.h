// The graphs of the 4D forms, built by the factory once it has prepared the equation: form 20
// (x, y, u, v) = f(t) and form 23 (a list of constant 4-vectors) as 4D curves, form 21
// (x, y, u, v) = f(u, v) and form 22 (w = f(z), drawn over the complex plane) as 4D surfaces, each
// attached to the 4D view with its graph-table row and its ranges marked in use.
// Invariant: the condition and the colour are taken over exactly when a graph was made; on every
// other outcome they stay the caller's and whatever was made here is freed.
#pragma once

#include <cstdint>

#include "graphs/factory/factory_helpers.h"
#include "graphs/viewset/graph_view_set.h"

class GraphColor;
struct CompiledFunction;
struct ExprNode;

// `node` is the equation (forms 20 to 22: an equal node whose right side is the 4-vector, or the
// expression of z) or the whole list (form 23). The grain sets the samples, the opacity is the
// surfaces'. Any other form is kKindMissing.
FormBuild BuildGraph4D(GraphViewSet* set, int32_t form, const ExprNode* node, CompiledFunction** condition,
                       GraphColor** colour, double grain, double opacity);
