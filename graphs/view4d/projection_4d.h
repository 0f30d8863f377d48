// Projection4D: how the 4D view maps its space onto the three drawn coordinates. The view rebuilds
// the record from its orientation at every tick and frame; the 4D graphs keep a pointer to it, map
// world samples into the cube [-1, 1]^4 by its ranges once, and project them at every drawing pass,
// so a rotation or a spin never resamples a graph.
// Invariants: axisX, axisY, axisZ and axisDepth are orthonormal and axisDepth points from the eye
// to the origin; a parallel projection (no division by distance), so a direction projects by dot
// products alone.
#pragma once

#include <cmath>

struct Projection4D {
  double eye[4];
  double axisX[4];  // the 4D directions that become the drawn coordinates 0, 1, 2
  double axisY[4];
  double axisZ[4];
  double axisDepth[4];  // the unit viewing direction
  double ranges[8];     // xMin, xMax, yMin, yMax, zMin, zMax, wMin, wMax
  double depthScale;    // depth = (distance along axisDepth) depthScale + depthOffset, 0..1 in the cube
  double depthOffset;
};

// d = point - eye; out3 = (d.axisX, d.axisY, d.axisZ); *depth = (d.axisDepth) depthScale +
// depthOffset (negative: in front of the near plane, behind the eye's clipping).
void Project4DPoint(const Projection4D& projection, const double point[4], double out3[3], double* depth);
// A direction's drawn coordinates: (v.axisX, v.axisY, v.axisZ). The eye lies on the viewing axis,
// so this is the difference of the projections of two points v apart.
void Project4DDirection(const Projection4D& projection, const double v[4], double out3[3]);
// The fixed perspective of the axis labels: eye (50, 0, 0), d = point3 - eye, n = -d.x;
// *h = 50 d.y / n, *v = -50 d.z / n.
void ProjectAxisPoint3D(const double point3[3], double* h, double* v);

// The map of one axis into the cube: c' = scale (c - centre), scale = 2 / (max - min), centre
// = (min + max) / 2, so min goes to -1 and max to 1. Every 4D graph maps by it.
struct CubeAxis {
  double scale;
  double centre;
};
CubeAxis CubeAxisOf(double min, double max);
// The four axes of a projection's ranges.
void CubeAxesOf(const Projection4D& projection, CubeAxis out[4]);
// A world point mapped into the cube by the axes. True when all four cube coordinates are finite;
// *maxRadius is then raised to the point's length when that is larger. The length is scaled before
// it is squared, so a far finite point gives a finite length (infinite only past the largest double).
bool MapIntoCube(const double world[4], const CubeAxis axes[4], double out[4], double* maxRadius);

// All four coordinates finite.
inline bool IsFinite4(const double v[4]) {
  return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]) && std::isfinite(v[3]);
}
