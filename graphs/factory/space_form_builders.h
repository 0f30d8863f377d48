// The graph factory's builders of the space curves (and plane curves drawn in space), the arrows
// between two constant points (in the plane and in space), the points of space and the vector
// fields drawn on surfaces: each turns its form's equation into the functions of its kind, makes
// the graph, attaches it to the view with its graph-table row, builds its companion under a
// coordinate transformation and marks the ranges it uses.
// Contract: kBuilt when the graph was attached; kKindMissing when its view or kind does not exist.
// A builder takes the colour (and, for the kinds with a condition, the condition) from the request
// once its graph is made, clearing them there; a graph whose attachment is then refused is deleted
// with them. Any other outcome leaves the tables as they were; whatever the builder made is freed
// (error 7 posted when memory was refused).
#pragma once

#include <cstdint>

#include "graphs/factory/factory_helpers.h"

// What the factory hands every builder: where the graph goes and what it takes over.
struct SpaceFormRequest {
  GraphViewSet* set;
  int32_t viewIndex;  // 0 the first view of the kind, 1 the second
  const CoordinateTransform* transform;
  double grain;
  GraphColor** colour;          // taken (cleared) by a builder that attaches a graph
  CompiledFunction** condition;  // likewise; the kinds without a condition leave it
};

// The curve forms in space: 15, 18, 38 and 46 (plane curves of t at height 0, built so in 3D),
// 19 and 47 (Cartesian), 24 (spherical) and 25 (cylindrical) over the t range, and 39 (x + i y
// = f(z)) over the z range. `node` is the equation (or the lone vector of 46 and 47).
FormBuild BuildSpaceCurveForm(const SpaceFormRequest& request, int32_t form, const ExprNode* node);
// Form 51: the plane arrow of the two constant 2-vectors of the comma list `node`.
FormBuild BuildPlaneArrowForm(const SpaceFormRequest& request, const ExprNode* node);
// Forms 52 and 53: the space arrow of the two constant 3-vectors of the comma list `node`, or the
// point of the constant 3-vector `node`.
FormBuild BuildSpaceArrowForm(const SpaceFormRequest& request, const ExprNode* node);
FormBuild BuildSpacePointForm(const SpaceFormRequest& request, const ExprNode* node);
// Forms 54 to 66: the field of the comma list's first item drawn on the surface of its second, an
// implicit surface (54) in the view's box or an explicit or parametric one over its ranges.
FormBuild BuildFieldOnSurfaceForm(const SpaceFormRequest& request, int32_t form, const ExprNode* node);
