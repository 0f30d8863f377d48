// The constructors of the graph kinds that exist, as the factory reaches them: each kind's own,
// unless a replacement stands in the graph subsystem's state (tests put recorders there).
// Invariant: a null entry is a kind that has not landed; the factory builds nothing for it.
#pragma once

#include "graphs/core/graphs_state.h"

// The traced graph, the relation region, the raster, the level lines, the plane vector field, the
// mapped picture and textured image, the plane curve, the point, the integral curves, the colour
// plot, the plane arrow, the space vector field, the parametric and implicit surfaces with the
// companion, the space curve, the space arrow and point, the fields on surfaces, the 4D curves and
// surface.
GraphConstructors GraphKindConstructors();
