// MeshBuilder: the tables, the caches that hand values and crossings from cube to cube, and the
// tetrahedra's triangles. The caches are two planes of grid points (below and above the slab of
// cubes being meshed: their values and the edges lying in the plane) and the points of the lower
// plane with the three edges that rise from them into the slab; each of the 18 face edges of a
// cube has one place there, found from its points by EdgePlace.
#include "graphs/view3d/cube_mesher.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "graphs/core/surface_grid.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/threads/timers.h"

const CubeMesherTables kCubeMesherTables = {
    {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {0, 0, 1}, {0, 1, 1}, {1, 1, 1}, {1, 0, 1}, {0.5, 0.5, 0.5}},
    {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {2, 3}, {0, 4}, {0, 7}, {3, 7}, {4, 7}, {0, 5}, {1, 5}, {4, 5}, {1, 6},
     {2, 6}, {5, 6}, {3, 6}, {6, 7}, {4, 6}, {0, 8}, {1, 8}, {2, 8}, {3, 8}, {4, 8}, {5, 8}, {6, 8}, {7, 8}},
    {{1, 2, 4, 21, 20, 18},
     {0, 1, 3, 20, 19, 18},
     {2, 6, 7, 25, 21, 18},
     {5, 6, 8, 25, 22, 18},
     {5, 9, 11, 23, 22, 18},
     {0, 9, 10, 23, 19, 18},
     {10, 12, 14, 24, 23, 19},
     {3, 12, 13, 24, 20, 19},
     {4, 13, 15, 24, 21, 20},
     {7, 15, 16, 24, 25, 21},
     {11, 14, 17, 24, 22, 23},
     {8, 16, 17, 24, 22, 25}},
    {{0, 2, 3, 8},
     {0, 1, 2, 8},
     {0, 3, 7, 8},
     {0, 4, 7, 8},
     {0, 4, 5, 8},
     {0, 1, 5, 8},
     {1, 5, 6, 8},
     {1, 2, 6, 8},
     {2, 3, 6, 8},
     {3, 6, 7, 8},
     {4, 5, 6, 8},
     {4, 6, 7, 8}},
};

namespace {

constexpr int32_t kFaceEdges = 18;
constexpr int32_t kEdges = 26;
constexpr uint32_t kNoVertex = 0xFFFFFFFFu;  // an edge looked at that has no crossing
constexpr uint32_t kClockEvery = 32;
// The secant's bracket tolerance, as a fraction of the edge.
constexpr double kSecantTolerance = 1e-9;

// Where a face edge of the cube keeps its crossing: the lower (0) or upper (1) plane for an edge in a
// plane z = constant, the slab (2) for one rising in z; at the grid point (i + di, j + dj); in slot
// 0, 1 or 2 (+x, +y, xy diagonal in a plane; +z, xz, yz diagonal in the slab).
struct EdgePlace {
  uint8_t store, di, dj, slot;
};

std::array<EdgePlace, kFaceEdges> MakeEdgePlaces() {
  std::array<EdgePlace, kFaceEdges> places{};
  for (int32_t e = 0; e < kFaceEdges; ++e) {
    const double* a = kCubeMesherTables.point[kCubeMesherTables.edge[e][0]];
    const double* b = kCubeMesherTables.point[kCubeMesherTables.edge[e][1]];
    int32_t low[3], dir[3];
    for (int c = 0; c < 3; ++c) {
      low[c] = int32_t(std::min(a[c], b[c]));
      dir[c] = int32_t(std::fabs(a[c] - b[c]));
    }
    EdgePlace& p = places[size_t(e)];
    p.di = uint8_t(low[0]);
    p.dj = uint8_t(low[1]);
    if (dir[2] == 0) {
      p.store = uint8_t(low[2]);
      p.slot = uint8_t(dir[0] && dir[1] ? 2 : dir[0] ? 0 : 1);
    } else {
      p.store = 2;
      p.slot = uint8_t(dir[0] ? 1 : dir[1] ? 2 : 0);
    }
  }
  return places;
}
const std::array<EdgePlace, kFaceEdges> kEdgePlaces = MakeEdgePlaces();

// The corners' offsets in whole cells, from the table's fractions.
std::array<std::array<int32_t, 3>, 8> MakeCornerOffsets() {
  std::array<std::array<int32_t, 3>, 8> offsets{};
  for (int p = 0; p < 8; ++p) {
    for (int c = 0; c < 3; ++c) offsets[size_t(p)][size_t(c)] = int32_t(kCubeMesherTables.point[p][c]);
  }
  return offsets;
}
const std::array<std::array<int32_t, 3>, 8> kCornerOffsets = MakeCornerOffsets();

void Cross(const double a[3], const double b[3], double out[3]) {
  out[0] = a[1] * b[2] - a[2] * b[1];
  out[1] = a[2] * b[0] - a[0] * b[2];
  out[2] = a[0] * b[1] - a[1] * b[0];
}

bool IsZero(const double v[3]) { return v[0] == 0.0 && v[1] == 0.0 && v[2] == 0.0; }

}  // namespace

MeshBuilder::~MeshBuilder() { FreeCaches(); }

void MeshBuilder::FreeCaches() {
  FreeMemory(coordinates_);
  FreeMemory(planes_);
  FreeMemory(slab_);
  coordinates_ = nullptr;
  planes_ = bottom_ = top_ = nullptr;
  slab_ = nullptr;
}

int64_t MeshBuilder::NextCube() const { return i_ + int64_t(n_) * (j_ + int64_t(n_) * k_); }

bool MeshBuilder::Start(int32_t n, const double box[6], const ImplicitField& field) {
  FreeCaches();
  n_ = std::max(n, 1);
  tolerance_ = kSecantTolerance;
  field_ = field;
  i_ = j_ = k_ = 0;
  cubesSinceClock_ = 0;
  const size_t points = size_t(n_ + 1) * size_t(n_ + 1);
  planes_ = static_cast<PlanePoint*>(AllocMemory(2 * points * sizeof(PlanePoint), true));
  slab_ = static_cast<SlabPoint*>(AllocMemory(points * sizeof(SlabPoint), true));
  coordinates_ = static_cast<double*>(AllocMemory(3 * size_t(2 * n_ + 1) * sizeof(double)));
  if (planes_ == nullptr || slab_ == nullptr || coordinates_ == nullptr) {
    PostError(kErrorOutOfMemory);
    FreeCaches();
    return false;
  }
  for (int c = 0; c < 3; ++c) {
    double* axis = coordinates_ + size_t(c) * size_t(2 * n_ + 1);
    const double low = box[2 * c], high = box[2 * c + 1], cell = (high - low) / n_;
    for (int32_t a = 0; a < n_; ++a) {
      axis[a] = std::fma(double(a), cell, low);
      axis[n_ + 1 + a] = low + (a + 0.5) * cell;
    }
    axis[n_] = high;
  }
  bottom_ = planes_;
  top_ = planes_ + points;
  return true;
}

void MeshBuilder::NextSlab() {
  std::swap(bottom_, top_);
  const size_t points = size_t(n_ + 1) * size_t(n_ + 1);
  ZeroBytes(top_, points * sizeof(PlanePoint));
  ZeroBytes(slab_, points * sizeof(SlabPoint));
}

void MeshBuilder::CubeValues(double value[9], double point[9][3]) {
  const int32_t index[3] = {i_, j_, k_};
  const double* axis[3] = {Axis(0), Axis(1), Axis(2)};
  for (int c = 0; c < 3; ++c) point[8][c] = axis[c][n_ + 1 + index[c]];
  value[8] = field_.value(0, 0, point[8][0], point[8][1], point[8][2], 0);
  for (int32_t p = 0; p < 8; ++p) {
    const std::array<int32_t, 3>& o = kCornerOffsets[size_t(p)];
    for (int c = 0; c < 3; ++c) point[p][c] = axis[c][index[c] + o[size_t(c)]];
    PlanePoint& g = Plane(o[2], i_ + o[0], j_ + o[1]);
    if (!g.known) {
      g.value = field_.value(0, 0, point[p][0], point[p][1], point[p][2], 0);
      g.known = 1;
    }
    value[p] = g.value;
  }
}

bool MeshBuilder::FindCrossing(int32_t e, const double value[9], const double point[9][3],
                               MeshVertexRecord* record) {
  const int32_t a = kCubeMesherTables.edge[e][0], b = kCubeMesherTables.edge[e][1];
  const double fa = value[a], fb = value[b];
  if (!((fa < 0.0 && fb >= 0.0) || (fa >= 0.0 && fb < 0.0))) return false;
  double x, y, z;
  const double* pa = point[a];
  const double* pb = point[b];
  if (!FindRootSecant(field_.value, 0.0, tolerance_, fa, fb, pa[0], pb[0], pa[1], pb[1], pa[2], pb[2], &x, &y, &z)) {
    return false;
  }
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return false;
  if (field_.condition.evaluate != nullptr && field_.condition(0, 0, x, y, z, 0) != 1.0) return false;
  *record = MeshVertexRecord{{x, y, z}, {0, 0, 0}};
  if (field_.gradient[0].evaluate != nullptr && field_.gradient[1].evaluate != nullptr &&
      field_.gradient[2].evaluate != nullptr) {
    const double g[3] = {field_.gradient[0](0, 0, x, y, z, 0), field_.gradient[1](0, 0, x, y, z, 0),
                         field_.gradient[2](0, 0, x, y, z, 0)};
    float unit[3];
    if (UnitNormal(g, unit)) {
      for (int c = 0; c < 3; ++c) record->normal[c] = unit[c];
    }
  }
  return true;
}

bool MeshBuilder::EdgeVertex(int32_t e, const double value[9], const double point[9][3], MeshVertexPool& vertices,
                             uint32_t* number) {
  const EdgePlace& place = kEdgePlaces[size_t(e)];
  const int32_t a = i_ + place.di, b = j_ + place.dj;
  uint32_t& kept =
      place.store == 2 ? slab_[b * (n_ + 1) + a].edge[place.slot] : Plane(place.store, a, b).edge[place.slot];
  if (kept == 0) {
    // Found, appended and kept with no evaluation between: a build abandoned while finding it
    // finds it again, and one abandoned later reuses it.
    MeshVertexRecord record;
    if (!FindCrossing(e, value, point, &record)) {
      kept = kNoVertex;
    } else {
      if (ChunkPoolAppend(vertices, record) != 0) return false;
      kept = uint32_t(ChunkPoolCount(vertices));
    }
  }
  *number = kept == kNoVertex ? 0 : kept;
  return true;
}

bool MeshBuilder::CubeVertices(const double value[9], const double point[9][3], MeshVertexPool& vertices,
                               uint32_t edgeVertex[26]) {
  for (int32_t e = 0; e < kFaceEdges; ++e) {
    if (!EdgeVertex(e, value, point, vertices, &edgeVertex[e])) return false;
  }
  // The edges to the centre are this cube's alone and kept nowhere: all their crossings are found
  // before any is appended, so a build abandoned in one of their evaluations appends none twice.
  MeshVertexRecord inner[kEdges - kFaceEdges];
  bool found[kEdges - kFaceEdges];
  for (int32_t e = kFaceEdges; e < kEdges; ++e) {
    found[e - kFaceEdges] = FindCrossing(e, value, point, &inner[e - kFaceEdges]);
  }
  for (int32_t e = kFaceEdges; e < kEdges; ++e) {
    edgeVertex[e] = 0;
    if (!found[e - kFaceEdges]) continue;
    if (ChunkPoolAppend(vertices, inner[e - kFaceEdges]) != 0) return false;
    edgeVertex[e] = uint32_t(ChunkPoolCount(vertices));
  }
  return true;
}

bool MeshBuilder::CubeTriangles(const uint32_t edgeVertex[26], const double value[9], const double point[9][3],
                                MeshVertexPool& vertices, MeshTrianglePool& triangles) {
  for (int32_t h = 0; h < 12; ++h) {
    const uint8_t* row = kCubeMesherTables.tetrahedron[h];
    uint32_t v[4];
    int count = 0;
    for (int32_t k = 0; k < 6; ++k) {
      const uint32_t e = edgeVertex[row[k]];
      if (e != 0 && count < 4) v[count++] = e;
    }
    if (count < 3) continue;
    // From the tetrahedron's negative corners towards its non-negative ones: the side its triangles
    // face, known from the signs alone, so no gradient is needed. NaN corners take no side.
    double towards[3] = {0, 0, 0};
    int32_t negatives = 0, nonNegatives = 0;
    for (uint8_t p : kCubeMesherTables.tetrahedronPoints[h]) {
      negatives += value[p] < 0.0;
      nonNegatives += value[p] >= 0.0;
    }
    for (uint8_t p : kCubeMesherTables.tetrahedronPoints[h]) {
      const double weight = value[p] < 0.0 ? -1.0 / negatives : value[p] >= 0.0 ? 1.0 / nonNegatives : 0.0;
      for (int c = 0; c < 3; ++c) towards[c] += weight * point[p][c];
    }
    for (int t = 0; t + 2 < count && t < 2; ++t) {
      // (first, second, third), then with four crossings (first, third, fourth): the crossings of
      // a tetrahedron with two corners on each side come in row order round the quadrilateral.
      uint32_t corner[3] = {v[0] - 1, v[t + 1] - 1, v[t + 2] - 1};
      MeshVertexRecord* r[3];
      for (int c = 0; c < 3; ++c) r[c] = ChunkPoolAt(vertices, int32_t(corner[c]));
      double q[3], s[3], face[3];
      for (int c = 0; c < 3; ++c) {
        q[c] = r[1]->position[c] - r[0]->position[c];
        s[c] = r[2]->position[c] - r[0]->position[c];
      }
      Cross(q, s, face);
      if (face[0] * towards[0] + face[1] * towards[1] + face[2] * towards[2] < 0.0) {
        std::swap(corner[1], corner[2]);
        for (double& c : face) c = -c;
      }
      float unit[3];
      UnitNormal(face, unit);  // (0, 0, 0) for a degenerate triangle, never NaN
      for (MeshVertexRecord* record : r) {
        if (!IsZero(record->normal)) continue;
        for (int c = 0; c < 3; ++c) record->normal[c] = unit[c];
      }
      const MeshTriangleRecord triangle{{corner[0], corner[1], corner[2]}};
      if (ChunkPoolAppend(triangles, triangle) != 0) return false;
    }
  }
  return true;
}

MeshBuildProgress MeshBuilder::Run(uint32_t deadline, MeshVertexPool& vertices, MeshTrianglePool* triangles) {
  if (!HasCaches()) return k_ >= n_ ? MeshBuildProgress::kFinished : MeshBuildProgress::kFailed;
  while (k_ < n_) {
    double value[9];
    double point[9][3];
    CubeValues(value, point);
    // A cube whose nine values are all on one side has no crossing: its edges are left for the
    // cubes that share them, which find the same values.
    bool negative = false, nonNegative = false;
    for (double v : value) {
      negative = negative || v < 0.0;
      nonNegative = nonNegative || v >= 0.0;
    }
    if (negative && nonNegative) {
      uint32_t edgeVertex[kEdges];
      if (!CubeVertices(value, point, vertices, edgeVertex)) {
        FreeCaches();
        return MeshBuildProgress::kFailed;
      }
      if (triangles != nullptr && !CubeTriangles(edgeVertex, value, point, vertices, *triangles)) {
        FreeCaches();
        return MeshBuildProgress::kFailed;
      }
    }
    if (++i_ == n_) {
      i_ = 0;
      if (++j_ == n_) {
        j_ = 0;
        ++k_;
        NextSlab();
      }
    }
    if (++cubesSinceClock_ == kClockEvery) {
      cubesSinceClock_ = 0;
      if (k_ < n_ && DeadlineReached(ElapsedTimerUnits(), deadline)) return MeshBuildProgress::kUnfinished;
    }
  }
  FreeCaches();
  return MeshBuildProgress::kFinished;
}
