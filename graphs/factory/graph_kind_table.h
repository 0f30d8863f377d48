// The constructors of the graph kinds that exist, as the factory reaches them: each kind's own,
// unless a replacement stands in the graph subsystem's state (tests put recorders there).
// Invariant: a null entry is a kind that has not landed; the factory builds nothing for it.
#pragma once

#include "graphs/core/graphs_state.h"

// The traced graph, the relation region, the raster, the level lines, the plane and the space
// vector field, the parametric and implicit surfaces with the companion, the space curve, the
// arrows, the space point and the fields on surfaces, the 4D curves and surface; the mesh and image
// kinds are null until they land.
GraphConstructors GraphKindConstructors();
