// How the space forms become x, y and z: a point given in Cartesian, spherical (r, theta, phi) or
// cylindrical (r, theta, z) coordinates turned into the three trees of x, y, z, and the table of
// the surface forms (explicit in a coordinate, or parametric in u and v) with the parameters their
// function is renamed into, the two ranges those parameters run over and the ranges they mark.
// Contract: every operation takes over the trees it is given and either hands back complete trees
// or frees everything (the node pools post error 7); nothing is shared between the results.
#pragma once

#include <cstdint>

struct ExprNode;

enum class CoordinateSystem : uint8_t { kCartesian, kSpherical, kCylindrical };

// (a, b, c) of the system as x, y, z: Cartesian (a, b, c); spherical with r = a, theta = b,
// phi = c: (a sin c cos b, a sin c sin b, a cos c); cylindrical with r = a, theta = b, z = c:
// (a cos b, a sin b, c). Takes over a, b, c; false (all freed) when a node is refused.
bool ToCartesian(CoordinateSystem system, ExprNode* a, ExprNode* b, ExprNode* c, ExprNode* out[3]);

// A surface of u and v as one of the surface forms builds it, and where its parameters come from:
// the range indexes (RangeIndex of factory_helpers.h) of u and v, and up to two further ranges the
// form marks in use (-1 none).
struct SurfaceParameterisation {
  ExprNode* coordinate[3];  // x, y, z of u and v (owned by the caller)
  int32_t uRange, vRange;
  int32_t marks[2];
};

// The surface of `equation` as surface form `form` builds it: the explicit forms 5 to 12 and 14 (a
// coordinate as a function of two others, on either side) and the parametric forms 26 to 28 (a
// triple of u and v); a field-on-surface form (55 to 66) stands for the form of its surface.
// False, with nothing made, for other forms or shapes, and when memory is refused.
bool ParameteriseSurface(int32_t form, const ExprNode* equation, SurfaceParameterisation* out);
// The same for an explicit form given its function alone (the side that is not the coordinate it
// solves for, or a lone expression read as that side).
bool ParameteriseExplicitSurface(int32_t form, const ExprNode* function, SurfaceParameterisation* out);
// The surface form a field-on-surface form (55 to 66) draws on; 0 for any other form.
int32_t SurfaceFormOfField(int32_t form);
