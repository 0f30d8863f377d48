// The unit sphere every 3D point graph draws (scaled and placed in its own copy of the vertices):
// a geodesic subdivision of the octahedron, three passes, 258 vertices and 512 triangles, built
// once on first use and kept for the life of the program (static storage, nothing allocated).
// Invariants: every vertex has unit length; the triangles are wound outwards (face normal and
// centroid point the same way); each edge belongs to exactly two triangles, because a midpoint is
// looked up by exact equality and (a + b) / 2 is the same number from either of its triangles.
#pragma once

#include <cstdint>

inline constexpr int32_t kSphereVertices = 258;
inline constexpr int32_t kSphereTriangles = 512;

struct UnitSphere {
  double vertices[kSphereVertices][3];
  uint32_t triangles[kSphereTriangles][3];
  int32_t vertexCount;
  int32_t triangleCount;
};

// The shared sphere, built on the first call (main thread only).
const UnitSphere& UnitSphereMesh();
// How many times the sphere was built: 1 once anything asked for it.
int32_t UnitSphereBuildCount();
