// MeshBuilder: the zero set of f(x, y, z) inside a box as a triangle mesh, found on an n x n x n
// grid of cubes, each split into twelve tetrahedra around its centre (every face cut along one
// diagonal into two triangles, each triangle a tetrahedron with the centre). A tetrahedron whose
// corner values change sign gets one triangle (three crossed edges) or two (four). The build runs
// under a deadline and resumes where it stopped.
// Invariants: every grid value and every edge crossing is computed once and handed to every cube
// that shares it, so neighbouring cubes share their vertices and a closed zero set gives a closed
// mesh; cubes are visited x fastest, then y, then z, and the clock is read every 32 cubes, so any
// slicing of the build gives the same pools in the same order; a value below 0 is negative, 0 and
// above non-negative, NaN neither (no crossing); no vertex has a non-finite position or normal, and
// normals are unit or (0, 0, 0); every triangle faces from its tetrahedron's negative corners towards
// its non-negative ones (the gradient's side), with or without a gradient.
#pragma once

#include <cstdint>

#include "graphics/gl/gl_mesh.h"
#include "kernel/numeric/numeric_helpers.h"

// The mesher's constant tables, data in one place.
struct CubeMesherTables {
  // The nine points as fractions of the cell: the corners, then the centre.
  double point[9][3];
  // The 26 edges as point pairs: 0..17 lie on the cube's faces (1, 6, 9, 12, 15, 17 are face
  // diagonals), 18..25 join the corners to the centre.
  uint8_t edge[26][2];
  // The twelve tetrahedra as six edges each, in the order their crossings are taken, and as their
  // four points.
  uint8_t tetrahedron[12][6];
  uint8_t tetrahedronPoints[12][4];
};
extern const CubeMesherTables kCubeMesherTables;

// What the builder evaluates; each is called as (0, 0, x, y, z, 0). A gradient or condition whose
// `evaluate` is null is absent: without a gradient the normals are taken from the faces, without a
// condition every crossing counts; with one a crossing counts where it is exactly 1.0.
struct ImplicitField {
  RealEvaluator value;
  RealEvaluator gradient[3];
  RealEvaluator condition;
};

enum class MeshBuildProgress { kUnfinished, kFinished, kFailed };

class MeshBuilder {
 public:
  MeshBuilder() = default;
  ~MeshBuilder();
  MeshBuilder(const MeshBuilder&) = delete;
  MeshBuilder& operator=(const MeshBuilder&) = delete;

  // Starts over with n cubes a side (at least 1) over the box (x, y, z low and high) and the field,
  // which must outlive the build. False, with error 7 posted and no caches, when the caches are
  // refused.
  bool Start(int32_t n, const double box[6], const ImplicitField& field);
  // Appends vertices and triangles to the pools until the deadline (read every 32 cubes) or the
  // last cube. kFailed (the pools as they were left; error 7 is the caller's to post) when an
  // append is refused; a finished or failed build has freed its caches.
  MeshBuildProgress Build(uint32_t deadline, MeshVertexPool& vertices, MeshTrianglePool& triangles) {
    return Run(deadline, vertices, &triangles);
  }
  // The same without triangles, for callers that want only the surface's points: the vertices are
  // those of a full build, their normals (0, 0, 0) where there is no gradient.
  MeshBuildProgress BuildVertices(uint32_t deadline, MeshVertexPool& vertices) {
    return Run(deadline, vertices, nullptr);
  }
  bool HasCaches() const { return planes_ != nullptr; }
  void FreeCaches();

  int32_t CubesPerSide() const { return n_; }
  // The next cube to mesh, as i + n (j + n k); n^3 once finished.
  int64_t NextCube() const;

 private:
  // A grid point of the plane below the slab of cubes being meshed, or of the plane above it: its
  // value, whether that is known, and its three edges in the plane (+x, +y and the xy diagonal).
  struct PlanePoint {
    double value;
    uint32_t edge[3];
    uint8_t known;
  };
  // A grid point of the lower plane and its three edges into the slab (+z, xz and yz diagonals).
  struct SlabPoint {
    uint32_t edge[3];
  };
  PlanePoint& Plane(int32_t level, int32_t a, int32_t b) { return (level == 0 ? bottom_ : top_)[b * (n_ + 1) + a]; }
  // The cube's corner and centre values (NaN where f is undefined) and points.
  void CubeValues(double value[9], double point[9][3]);
  const double* Axis(int32_t c) const { return coordinates_ + size_t(c) * size_t(2 * n_ + 1); }
  // The crossing of edge e into *record (position, and the unit gradient as its normal where there
  // is one); false when the edge has none (no sign change, no root, or the condition fails there).
  bool FindCrossing(int32_t e, const double value[9], const double point[9][3], MeshVertexRecord* record);
  // The vertex number of face edge e's crossing (0: none), found once and kept for the cubes that
  // share the edge; false when a vertex append was refused.
  bool EdgeVertex(int32_t e, const double value[9], const double point[9][3], MeshVertexPool& vertices,
                  uint32_t* number);
  // The vertex numbers of the cube's 26 edges (0: none); false when a vertex append was refused.
  bool CubeVertices(const double value[9], const double point[9][3], MeshVertexPool& vertices,
                    uint32_t edgeVertex[26]);
  bool CubeTriangles(const uint32_t edgeVertex[26], const double value[9], const double point[9][3],
                     MeshVertexPool& vertices, MeshTrianglePool& triangles);
  // Build's loop; no triangles (nor face normals) when `triangles` is null.
  MeshBuildProgress Run(uint32_t deadline, MeshVertexPool& vertices, MeshTrianglePool* triangles);
  // Past the last cube of a slab: the upper plane becomes the lower one.
  void NextSlab();

  int32_t n_ = 0;
  double tolerance_ = 0.0;
  ImplicitField field_{};
  // Per axis the n + 1 grid coordinates (exact on the far wall, so a crossing there lies on the
  // wall), then the n centres of the cells.
  double* coordinates_ = nullptr;
  PlanePoint* planes_ = nullptr;  // two planes of (n + 1)^2 points
  PlanePoint* bottom_ = nullptr;
  PlanePoint* top_ = nullptr;
  SlabPoint* slab_ = nullptr;
  int32_t i_ = 0, j_ = 0, k_ = 0;
  uint32_t cubesSinceClock_ = 0;
};
