// The cube-grid mesher on exact fields (lambdas, exact gradients). Independent checks: the tables
// against the cube's geometry (each tetrahedron's six edges are exactly the edges of its four
// points, and the four crossings of every two-against-two split come in row order round a
// quadrilateral); the topology of the result (a sphere closed with Euler characteristic 2, a torus
// 0, a sphere cut by the six walls of the box -4 with its border on the walls); vertices on the
// zero set to the secant's tolerance; slicing every 32 cubes, or abandoning evaluations, equal to
// one run; corners exactly on the surface; NaN fields, conditions and refused memory.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <set>

#include "graphs/view3d/cube_mesher.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/threads/timers.h"
#include "tests/graphs/view3d/surface_test_support.h"

namespace {

using Fn = std::function<double(double, double, double)>;

// An exact field: f and its gradient as lambdas of (x, y, z), and an optional condition.
struct Field {
  Fn f, fx, fy, fz, condition;
  // The evaluators read (u, v, x, y, z, w).
  struct Call {
    const Fn* fn;
    double operator()(double, double, double x, double y, double z, double) const { return (*fn)(x, y, z); }
  };
  Call calls[5];
  ImplicitField Evaluators() {
    const Fn* all[5] = {&f, &fx, &fy, &fz, &condition};
    ImplicitField field{};
    RealEvaluator* slots[5] = {&field.value, &field.gradient[0], &field.gradient[1], &field.gradient[2],
                               &field.condition};
    for (int k = 0; k < 5; ++k) {
      calls[k] = Call{all[k]};
      if (*all[k]) *slots[k] = MakeRealEvaluator(calls[k]);
    }
    return field;
  }
};

Field Sphere(double r, double cx = 0) {
  return Field{[r, cx](double x, double y, double z) { return (x - cx) * (x - cx) + y * y + z * z - r * r; },
               [cx](double x, double, double) { return 2 * (x - cx); }, [](double, double y, double) { return 2 * y; },
               [](double, double, double z) { return 2 * z; }, nullptr, {}};
}

struct Mesh {
  MeshVertexPool vertices;
  MeshTrianglePool triangles;
  ~Mesh() {
    ChunkPoolClear(vertices);
    ChunkPoolClear(triangles);
  }
  surface_test::Topology Topology() const {
    return surface_test::TopologyOf(ChunkPoolCount(triangles),
                                    [this](int64_t f) { return ChunkPoolAt(triangles, int32_t(f))->index; });
  }
  const double* Position(uint32_t v) const { return ChunkPoolAt(vertices, int32_t(v))->position; }
  const double* Normal(uint32_t v) const { return ChunkPoolAt(vertices, int32_t(v))->normal; }
};

constexpr double kBox[6] = {-2, 2, -2, 2, -2, 2};
constexpr uint32_t kFarDeadline = 0x7FFFFFFF;

class CubeMesherTest : public graphs_test::GraphsTest {
 protected:
  // Meshes the field in one run (the deadline far ahead).
  void MeshWhole(Field& field, int32_t n, Mesh& mesh, const double* box = kBox) {
    MeshBuilder builder;
    ImplicitField evaluators = field.Evaluators();
    ASSERT_TRUE(builder.Start(n, box, evaluators));
    ASSERT_EQ(builder.Build(ElapsedTimerUnits() + kFarDeadline, mesh.vertices, mesh.triangles),
              MeshBuildProgress::kFinished);
    EXPECT_FALSE(builder.HasCaches());
    EXPECT_EQ(builder.NextCube(), int64_t(n) * n * n);
  }
};

TEST_F(CubeMesherTest, EveryTetrahedronRowHoldsTheSixEdgesOfItsFourPoints) {
  const CubeMesherTables& t = kCubeMesherTables;
  for (int r = 0; r < 12; ++r) {
    std::set<std::pair<int, int>> expected, listed;
    for (int a = 0; a < 4; ++a)
      for (int b = a + 1; b < 4; ++b)
        expected.insert({std::min(t.tetrahedronPoints[r][a], t.tetrahedronPoints[r][b]),
                         std::max(t.tetrahedronPoints[r][a], t.tetrahedronPoints[r][b])});
    for (uint8_t e : t.tetrahedron[r]) listed.insert({std::min(t.edge[e][0], t.edge[e][1]), std::max(t.edge[e][0], t.edge[e][1])});
    EXPECT_EQ(listed, expected) << "tetrahedron " << r;
    EXPECT_EQ(t.tetrahedronPoints[r][3], 8);  // every one has the centre
  }
  // The 24 face triangles of the twelve: each face of the cube is cut along the diagonal listed
  // (1, 6, 9, 12, 15, 17), so neighbours that share the face share its two triangles.
  for (int e = 0; e < 26; ++e) {
    const double* a = t.point[t.edge[e][0]];
    const double* b = t.point[t.edge[e][1]];
    int differing = 0;
    for (int c = 0; c < 3; ++c) differing += a[c] != b[c];
    const bool diagonal = e == 1 || e == 6 || e == 9 || e == 12 || e == 15 || e == 17;
    if (e < 18) {
      EXPECT_EQ(differing, diagonal ? 2 : 1) << "edge " << e;
    } else {
      EXPECT_EQ(t.edge[e][1], 8) << "edge " << e;
    }
  }
}

TEST_F(CubeMesherTest, TheFourCrossingsOfEverySplitGoRoundAQuadrilateral) {
  const CubeMesherTables& t = kCubeMesherTables;
  for (int r = 0; r < 12; ++r) {
    const uint8_t* p = t.tetrahedronPoints[r];
    // The three ways of putting two points against two: {p0, pk} against the rest.
    for (int k = 1; k < 4; ++k) {
      auto inA = [&](int point) { return point == p[0] || point == p[k]; };
      std::vector<int> crossing;
      for (uint8_t e : t.tetrahedron[r]) {
        if (inA(t.edge[e][0]) != inA(t.edge[e][1])) crossing.push_back(e);
      }
      ASSERT_EQ(crossing.size(), 4u);
      auto share = [&](int e, int f) {
        return t.edge[e][0] == t.edge[f][0] || t.edge[e][0] == t.edge[f][1] || t.edge[e][1] == t.edge[f][0] ||
               t.edge[e][1] == t.edge[f][1];
      };
      for (int q = 0; q < 4; ++q) EXPECT_TRUE(share(crossing[q], crossing[(q + 1) % 4])) << r << " " << k;
      EXPECT_FALSE(share(crossing[0], crossing[2])) << r << " " << k;
      EXPECT_FALSE(share(crossing[1], crossing[3])) << r << " " << k;
    }
  }
}

// The unit sphere in -2..2 on 20 cubes a side: on the sphere to the secant's tolerance, unit
// normals pointing out, every triangle facing its first vertex's normal, closed with Euler
// characteristic 2 (a crossing met twice would split an edge and show as a border).
TEST_F(CubeMesherTest, TheUnitSphereIsClosedOnTheSphereWithOutwardNormals) {
  for (int32_t n : {20, 7, 33}) {
    Field field = Sphere(1);
    Mesh mesh;
    MeshWhole(field, n, mesh);
    const int32_t vertices = ChunkPoolCount(mesh.vertices);
    ASSERT_GT(vertices, 0);
    for (int32_t v = 0; v < vertices; ++v) {
      const double* p = mesh.Position(uint32_t(v));
      const double* nv = mesh.Normal(uint32_t(v));
      const double r = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
      EXPECT_NEAR(r, 1.0, 1e-7) << n << " vertex " << v;
      EXPECT_NEAR(nv[0] * nv[0] + nv[1] * nv[1] + nv[2] * nv[2], 1.0, 1e-6);
      EXPECT_GT((nv[0] * p[0] + nv[1] * p[1] + nv[2] * p[2]) / r, 0.999999);
    }
    for (int32_t f = 0; f < ChunkPoolCount(mesh.triangles); ++f) {
      const uint32_t* t = ChunkPoolAt(mesh.triangles, f)->index;
      const std::array<double, 3> face =
          surface_test::FaceNormal(mesh.Position(t[0]), mesh.Position(t[1]), mesh.Position(t[2]));
      const double* nP = mesh.Normal(t[0]);
      EXPECT_GE(face[0] * nP[0] + face[1] * nP[1] + face[2] * nP[2], 0.0);
    }
    const surface_test::Topology topology = mesh.Topology();
    EXPECT_TRUE(topology.Closed()) << n << ": " << topology.border << " border edges";
    EXPECT_EQ(topology.Euler(), 2) << n;
    EXPECT_EQ(topology.vertices, vertices) << n;  // every vertex is used
  }
}

// Without a gradient (min, max, an absolute value: f the algebra cannot differentiate) every
// triangle still faces from f < 0 to f >= 0, found from its tetrahedron's corner signs: for these
// spheres about the origin, outwards, and every vertex takes an outward face normal. A sphere
// written with max, the outward count was 2,520 of 4,980 when the table's winding was kept.
TEST_F(CubeMesherTest, WithoutAGradientTrianglesFaceFromNegativeToNonNegative) {
  const struct Case {
    const char* name;
    Fn f;
    double sense;  // +1: f grows outwards, -1: inwards
  } cases[] = {
      {"max sphere", [](double x, double y, double z) { return std::max(x * x + y * y + z * z - 1, -5.0); }, 1},
      {"plain sphere", [](double x, double y, double z) { return x * x + y * y + z * z - 1; }, 1},
      {"inside out", [](double x, double y, double z) { return 1 - std::sqrt(x * x + y * y + z * z); }, -1},
      {"cube by max",
       [](double x, double y, double z) { return std::max({std::fabs(x), std::fabs(y), std::fabs(z)}) - 1.1; }, 1},
  };
  for (const Case& c : cases) {
    for (int32_t n : {20, 7}) {
      Field field{c.f, nullptr, nullptr, nullptr, nullptr, {}};
      Mesh mesh;
      MeshWhole(field, n, mesh);
      const int32_t triangles = ChunkPoolCount(mesh.triangles);
      ASSERT_GT(triangles, 0) << c.name;
      int32_t against = 0;
      for (int32_t f = 0; f < triangles; ++f) {
        const uint32_t* t = ChunkPoolAt(mesh.triangles, f)->index;
        const double *P = mesh.Position(t[0]), *Q = mesh.Position(t[1]), *R = mesh.Position(t[2]);
        const std::array<double, 3> face = surface_test::FaceNormal(P, Q, R);
        const double centre[3] = {(P[0] + Q[0] + R[0]) / 3, (P[1] + Q[1] + R[1]) / 3, (P[2] + Q[2] + R[2]) / 3};
        against += c.sense * (face[0] * centre[0] + face[1] * centre[1] + face[2] * centre[2]) < 0;
      }
      EXPECT_EQ(against, 0) << c.name << " n " << n << " of " << triangles;
      for (int32_t v = 0; v < ChunkPoolCount(mesh.vertices); ++v) {
        const double *p = mesh.Position(uint32_t(v)), *nv = mesh.Normal(uint32_t(v));
        EXPECT_GE(c.sense * (nv[0] * p[0] + nv[1] * p[1] + nv[2] * p[2]), 0.0) << c.name << " vertex " << v;
      }
      EXPECT_TRUE(mesh.Topology().Closed()) << c.name;
    }
  }
}

// The vertices alone (the surface field's build): the same positions in the same order as a full
// build, and no triangle pool touched.
TEST_F(CubeMesherTest, AVerticesOnlyBuildGivesTheFullBuildsVertices) {
  for (int32_t n : {9, 20}) {
    Field field = Sphere(1.3, 0.2);
    field.fx = field.fy = field.fz = nullptr;
    Mesh whole;
    MeshWhole(field, n, whole);
    MeshBuilder builder;
    ImplicitField evaluators = field.Evaluators();
    ASSERT_TRUE(builder.Start(n, kBox, evaluators));
    MeshVertexPool vertices;
    ASSERT_EQ(builder.BuildVertices(ElapsedTimerUnits() + kFarDeadline, vertices), MeshBuildProgress::kFinished);
    ASSERT_EQ(ChunkPoolCount(vertices), ChunkPoolCount(whole.vertices));
    for (int32_t v = 0; v < ChunkPoolCount(vertices); ++v) {
      EXPECT_EQ(std::memcmp(ChunkPoolAt(vertices, v)->position, whole.Position(uint32_t(v)), 3 * sizeof(double)), 0);
    }
    ChunkPoolClear(vertices);
  }
}

TEST_F(CubeMesherTest, ATorusIsClosedWithEulerCharacteristicZero) {
  Field torus{[](double x, double y, double z) {
                const double q = std::sqrt(x * x + y * y) - 1.2;
                return q * q + z * z - 0.25;
              },
              nullptr, nullptr, nullptr, nullptr, {}};
  Mesh mesh;
  MeshWhole(torus, 30, mesh);
  const surface_test::Topology topology = mesh.Topology();
  EXPECT_TRUE(topology.Closed());
  EXPECT_EQ(topology.Euler(), 0);
  // Without a gradient the normals come from the faces: unit, or (0, 0, 0) for a degenerate face.
  for (int32_t v = 0; v < ChunkPoolCount(mesh.vertices); ++v) {
    const double* nv = mesh.Normal(uint32_t(v));
    const double l = nv[0] * nv[0] + nv[1] * nv[1] + nv[2] * nv[2];
    EXPECT_TRUE(std::fabs(l - 1) < 1e-6 || l == 0) << v;
  }
}

// A sphere of radius 2.5 in the box -2..2 leaves through all six walls: the mesh is the sphere with
// six caps cut away (Euler characteristic 2 - 6), its border runs on the walls, every other edge is
// shared by two triangles, and the vertices of the cut lie exactly on their wall.
TEST_F(CubeMesherTest, ASurfaceLeavingTheBoxIsCutCleanlyByItsWalls) {
  Field field = Sphere(2.5);
  Mesh mesh;
  MeshWhole(field, 16, mesh);
  const surface_test::Topology topology = mesh.Topology();
  EXPECT_EQ(topology.overShared, 0);
  EXPECT_GT(topology.border, 0);
  EXPECT_EQ(topology.Euler(), -4);
  std::map<std::pair<uint32_t, uint32_t>, int> uses;
  for (int32_t f = 0; f < ChunkPoolCount(mesh.triangles); ++f) {
    const uint32_t* t = ChunkPoolAt(mesh.triangles, f)->index;
    for (int k = 0; k < 3; ++k) ++uses[{std::min(t[k], t[(k + 1) % 3]), std::max(t[k], t[(k + 1) % 3])}];
  }
  auto onWall = [](const double* p, int wall) { return p[wall / 2] == kBox[wall]; };
  for (const auto& [edge, count] : uses) {
    if (count != 1) continue;
    const double *a = mesh.Position(edge.first), *b = mesh.Position(edge.second);
    bool shared = false;
    for (int wall = 0; wall < 6; ++wall) shared = shared || (onWall(a, wall) && onWall(b, wall));
    EXPECT_TRUE(shared) << "border edge off the walls";
  }
  for (int32_t v = 0; v < ChunkPoolCount(mesh.vertices); ++v) {
    const double* p = mesh.Position(uint32_t(v));
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(p[c] >= -2 && p[c] <= 2);
  }
}

// The clock every 32 cubes: a deadline already passed meshes exactly 32 cubes a call, and the pools
// come out as one run makes them, byte for byte.
// A build abandoned at an evaluation (an exception thrown through the mesher, as a computation on
// the compute worker is abandoned) and run again from where it stood.
struct Abandoned {};

TEST_F(CubeMesherTest, SlicingEvery32CubesOrAbandoningEvaluationsGivesThePoolsOfOneRun) {
  const Fn wave = [](double x, double y, double z) {
    return std::sin(2 * x) * std::cos(2 * y) + std::sin(2 * y) * std::cos(2 * z) + std::sin(2 * z) * std::cos(2 * x);
  };
  Field field{wave, nullptr, nullptr, nullptr, nullptr, {}};
  Mesh whole, sliced, abandoned;
  MeshWhole(field, 12, whole);
  MeshBuilder builder;
  ImplicitField evaluators = field.Evaluators();
  ASSERT_TRUE(builder.Start(12, kBox, evaluators));
  int calls = 0;
  MeshBuildProgress progress = MeshBuildProgress::kUnfinished;
  while (progress == MeshBuildProgress::kUnfinished) {
    const int64_t before = builder.NextCube();
    progress = builder.Build(ElapsedTimerUnits(), sliced.vertices, sliced.triangles);
    if (progress == MeshBuildProgress::kUnfinished) {
      EXPECT_EQ(builder.NextCube() - before, 32);
    }
    ++calls;
  }
  EXPECT_EQ(progress, MeshBuildProgress::kFinished);
  EXPECT_EQ(calls, 12 * 12 * 12 / 32);  // 1728 cubes: 54 calls, the last ends the build
  // Abandoned after 1, 2, 3, ... evaluations more each time: at corners, secant steps and
  // gradients alike, and always further on.
  int64_t evaluations = 0, next = 1, gap = 1, abandons = 0;
  Field throwing{[&](double x, double y, double z) {
                   if (++evaluations == next) {
                     next = evaluations + ++gap;
                     throw Abandoned{};
                   }
                   return wave(x, y, z);
                 },
                 nullptr, nullptr, nullptr, nullptr, {}};
  ImplicitField throwingEvaluators = throwing.Evaluators();
  ASSERT_TRUE(builder.Start(12, kBox, throwingEvaluators));
  for (progress = MeshBuildProgress::kUnfinished; progress == MeshBuildProgress::kUnfinished;) {
    try {
      progress = builder.Build(ElapsedTimerUnits() + kFarDeadline, abandoned.vertices, abandoned.triangles);
    } catch (const Abandoned&) {
      ++abandons;
    }
  }
  EXPECT_GT(abandons, 100);
  for (const Mesh* other : {&sliced, &abandoned}) {
    ASSERT_EQ(ChunkPoolCount(whole.vertices), ChunkPoolCount(other->vertices));
    ASSERT_EQ(ChunkPoolCount(whole.triangles), ChunkPoolCount(other->triangles));
    for (int32_t v = 0; v < ChunkPoolCount(whole.vertices); ++v) {
      EXPECT_EQ(std::memcmp(ChunkPoolAt(whole.vertices, v), ChunkPoolAt(other->vertices, v), sizeof(MeshVertexRecord)),
                0);
    }
    for (int32_t f = 0; f < ChunkPoolCount(whole.triangles); ++f) {
      EXPECT_EQ(std::memcmp(ChunkPoolAt(whole.triangles, f), ChunkPoolAt(other->triangles, f), 12), 0);
    }
  }
  EXPECT_TRUE(whole.Topology().overShared == 0);
}

// The plane x = 0 through grid corners (n even): a corner value of exactly 0 counts as non-negative,
// so every vertex is a corner at x = 0 reached from a negative neighbour; nothing is NaN, and the
// degenerate triangles there have normals (0, 0, 0) or unit, never NaN.
TEST_F(CubeMesherTest, ASurfaceThroughGridCornersMakesVerticesOnlyTowardsNegativeEnds) {
  Field plane{[](double x, double, double) { return x; }, nullptr, nullptr, nullptr, nullptr, {}};
  Mesh mesh;
  MeshWhole(plane, 4, mesh);
  ASSERT_GT(ChunkPoolCount(mesh.vertices), 0);
  for (int32_t v = 0; v < ChunkPoolCount(mesh.vertices); ++v) {
    const double* p = mesh.Position(uint32_t(v));
    const double* n = mesh.Normal(uint32_t(v));
    EXPECT_EQ(p[0], 0.0);
    for (int c = 0; c < 3; ++c) EXPECT_TRUE(std::isfinite(p[c]) && std::isfinite(n[c]));
    // A corner of the grid (steps of 1), never a point inside an edge.
    EXPECT_EQ(p[1], std::round(p[1]));
    EXPECT_EQ(p[2], std::round(p[2]));
  }
  // With the plane moved off the corners every crossing is inside its edge and the sheet is whole.
  Field shifted{[](double x, double, double) { return x - 0.3; }, nullptr, nullptr, nullptr, nullptr, {}};
  Mesh sheet;
  MeshWhole(shifted, 4, sheet);
  EXPECT_EQ(sheet.Topology().overShared, 0);
  EXPECT_EQ(sheet.Topology().Euler(), 1);  // a disc
}

TEST_F(CubeMesherTest, UndefinedValuesMakeNoCrossingAndTheConditionKeepsItsSide) {
  Field undefined{[](double, double, double) { return kUndefinedReal; }, nullptr, nullptr, nullptr, nullptr, {}};
  Mesh none;
  MeshWhole(undefined, 6, none);
  EXPECT_EQ(ChunkPoolCount(none.vertices), 0);
  EXPECT_EQ(ChunkPoolCount(none.triangles), 0);

  Field half = Sphere(1);
  half.condition = [](double x, double, double) { return x > 0 ? 1.0 : 0.0; };
  Mesh mesh;
  MeshWhole(half, 10, mesh);
  ASSERT_GT(ChunkPoolCount(mesh.vertices), 0);
  for (int32_t v = 0; v < ChunkPoolCount(mesh.vertices); ++v) EXPECT_GT(mesh.Position(uint32_t(v))[0], 0.0);
  EXPECT_GT(mesh.Topology().border, 0);  // cut open along x = 0
}

TEST_F(CubeMesherTest, OneCubeASideStillMeshes) {
  Field field = Sphere(1.5);
  Mesh mesh;
  MeshWhole(field, 1, mesh);
  EXPECT_GT(ChunkPoolCount(mesh.triangles), 0);
  MeshBuilder builder;
  ImplicitField evaluators = field.Evaluators();
  ASSERT_TRUE(builder.Start(0, kBox, evaluators));  // counts as 1
  EXPECT_EQ(builder.CubesPerSide(), 1);
}

// Every counted allocation refused in turn: Start refuses with error 7 and no caches, or Build
// fails, freeing its caches; the pools keep only whole records and nothing leaks (fixture counts).
TEST_F(CubeMesherTest, RefusedMemoryFailsTheBuildAndFreesItsCaches) {
  int failed = 0;
  for (uint64_t n = 1; n < 16; ++n) {
    Field field = Sphere(1);
    Mesh mesh;
    MeshBuilder builder;
    ImplicitField evaluators = field.Evaluators();
    ResetErrorRegister();
    FailAllocationAt(n);
    MeshBuildProgress progress = MeshBuildProgress::kFailed;
    if (builder.Start(8, kBox, evaluators)) {
      progress = builder.Build(ElapsedTimerUnits() + kFarDeadline, mesh.vertices, mesh.triangles);
    } else {
      EXPECT_EQ(PendingError(), kErrorOutOfMemory);
    }
    FailAllocationAt(0);
    if (progress == MeshBuildProgress::kFailed) {
      ++failed;
      EXPECT_FALSE(builder.HasCaches());
      EXPECT_TRUE(CheckChunkPool(mesh.vertices) && CheckChunkPool(mesh.triangles));
    }
  }
  EXPECT_GT(failed, 2);
}

}  // namespace
