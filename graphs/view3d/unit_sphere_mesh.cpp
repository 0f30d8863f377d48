// The geodesic sphere: each pass splits every triangle of the pass's start into four through its
// edges' midpoints pushed out to the sphere.
#include "graphs/view3d/unit_sphere_mesh.h"

#include <cmath>

namespace {

int32_t gBuildCount = 0;

// The vertex equal to p in all three coordinates, appended when there is none.
uint32_t VertexOf(UnitSphere& s, const double p[3]) {
  for (int32_t k = 0; k < s.vertexCount; ++k) {
    if (s.vertices[k][0] == p[0] && s.vertices[k][1] == p[1] && s.vertices[k][2] == p[2]) return uint32_t(k);
  }
  for (int i = 0; i < 3; ++i) s.vertices[s.vertexCount][i] = p[i];
  return uint32_t(s.vertexCount++);
}

uint32_t Midpoint(UnitSphere& s, uint32_t a, uint32_t b) {
  double m[3];
  for (int i = 0; i < 3; ++i) m[i] = (s.vertices[a][i] + s.vertices[b][i]) / 2;
  const double n = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
  for (double& c : m) c /= n;
  return VertexOf(s, m);
}

void Build(UnitSphere& s) {
  ++gBuildCount;
  const double h = 1 / std::sqrt(2.0);
  const double octahedron[6][3] = {{0, 0, 1}, {0, 0, -1}, {-h, -h, 0}, {h, -h, 0}, {h, h, 0}, {-h, h, 0}};
  const uint32_t faces[8][3] = {{0, 3, 4}, {0, 4, 5}, {0, 5, 2}, {0, 2, 3}, {1, 4, 3}, {1, 5, 4}, {1, 2, 5}, {1, 3, 2}};
  s.vertexCount = 6;
  s.triangleCount = 8;
  for (int k = 0; k < 6; ++k)
    for (int i = 0; i < 3; ++i) s.vertices[k][i] = octahedron[k][i];
  for (int k = 0; k < 8; ++k)
    for (int i = 0; i < 3; ++i) s.triangles[k][i] = faces[k][i];
  for (int pass = 0; pass < 3; ++pass) {
    const int32_t count = s.triangleCount;
    for (int32_t t = 0; t < count; ++t) {
      uint32_t* tri = s.triangles[t];
      const uint32_t a = tri[0], b = tri[1], c = tri[2];
      const uint32_t ab = Midpoint(s, a, b), bc = Midpoint(s, b, c), ca = Midpoint(s, c, a);
      const uint32_t added[3][3] = {{a, ab, ca}, {ab, b, bc}, {bc, c, ca}};
      for (const auto& n : added) {
        for (int i = 0; i < 3; ++i) s.triangles[s.triangleCount][i] = n[i];
        ++s.triangleCount;
      }
      tri[0] = ab, tri[1] = bc, tri[2] = ca;
    }
  }
}

}  // namespace

const UnitSphere& UnitSphereMesh() {
  static UnitSphere sphere;
  static const bool built = (Build(sphere), true);
  (void)built;
  return sphere;
}

int32_t UnitSphereBuildCount() { return gBuildCount; }
