// The graphs of the surface forms, built by the factory once it has prepared the equation: the
// explicit and curvilinear surfaces (forms 5 to 14, and 33 and 40 as functions of the plane) and
// the parametric ones (26 to 28, 48) as GraphSurface3D over three functions of u and v and two
// ranges of the 3D view, with the companion a space transformation gives; the implicit surface of
// form 30 with its mapped companion in the second 3D view.
// Invariant: the condition and the colour are taken over exactly when a graph was made; on every
// other outcome they stay the caller's and whatever was made here is freed.
#pragma once

#include <cstdint>

#include "graphs/factory/factory_helpers.h"

class GraphColor;
struct CompiledFunction;
struct ExprNode;

enum class BuiltSurface : int32_t { kBuilt, kKindMissing, kFailed };

// `node` is the prepared equation (an equal node), or the expression itself for forms 33, 40 and 48.
// The grain sets the grid, the opacity and the plotting mode are the row's. Any other form is
// kKindMissing, and so is a view or kind that does not exist.
BuiltSurface BuildSurfaceForm(GraphViewSet* set, int32_t viewIndex, int32_t form, const ExprNode* node,
                              const CoordinateTransform* transform, CompiledFunction** condition, GraphColor** colour,
                              double grain, double opacity, int32_t plotting);
