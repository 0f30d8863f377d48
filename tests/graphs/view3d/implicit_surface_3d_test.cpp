// The implicit surface graph and its companion. Golden values worked by hand: grids of 4 and 40 cubes
// at grain 0 and 1 (trunc(36 g + 4)); statuses by the sign of f over space and over the box
// (x^2 + y^2 + z^2 + 1 > 0 everywhere: 6; a sphere about (10, 0, 0) is positive in -2..2: 12; the
// square of a sphere touches 0 without a sign change: 13), the same however the build is cut up.
// The companion's identity and mirror maps are checked against the parent's vertices and its own
// faces; its parent meshes again at two other sizes under ASan.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "graphs/core/compute_worker.h"
#include "graphs/view3d/implicit_surface_3d.h"
#include "graphs/view3d/surface_companion_3d.h"
#include "kernel/application_state.h"
#include "kernel/diagnostics/error_register.h"
#include "kernel/eval/evaluation_seams.h"
#include "kernel/memory/memory_budget.h"
#include "kernel/numeric/numeric_constants.h"
#include "kernel/threads/timers.h"
#include "platform/clock.h"
#include "tests/graphs/view3d/surface_test_support.h"

namespace {

using surface_test::FunctionOf;
using surface_test::kAll;
using graphs_test::CutComputeIntoTurns;

constexpr const char* kSphere = "plus[power[x,2],power[y,2],power[z,2],minus[1]]";

class ImplicitSurfaceTest : public surface_test::SurfaceTest {
 protected:
  void TearDown() override {
    SetBenchmarkRunning(false);
    SurfaceTest::TearDown();
  }
  GraphImplicitSurface3D* Implicit(const std::string& f, double grain, double colourIndex = 1,
                                   const std::string& condition = "") {
    return Keep(new GraphImplicitSurface3D(FunctionOf(f), grain, 1.0, Colour(colourIndex),
                                           condition.empty() ? nullptr : FunctionOf(condition), &frame.box[0],
                                           &frame.box[1], &frame.box[2], &frame.box[3], &frame.box[4], &frame.box[5],
                                           context));
  }
  GraphSurfaceCompanion3D* Companion(GraphImplicitSurface3D* parent, const char* x, const char* y, const char* z) {
    return Keep(new GraphSurfaceCompanion3D(FunctionOf(x), FunctionOf(y), FunctionOf(z), parent, context));
  }
  void InstallSphereGradient() {
    surface_test::InstallDerivatives(
        {{kSphere, 'x', "times[2,x]"}, {kSphere, 'y', "times[2,y]"}, {kSphere, 'z', "times[2,z]"}});
  }
  static surface_test::Topology TopologyOf(const GraphImplicitSurface3D* s) {
    return surface_test::TopologyOf(s->TriangleCount(),
                                    [s](int64_t f) { return ChunkPoolAt(s->Triangles(), int32_t(f))->index; });
  }
};

TEST_F(ImplicitSurfaceTest, TheGridFollowsTheGrain) {
  const struct {
    double grain;
    int32_t n;
  } cases[] = {{0, 4}, {1, 40}, {0.5, 22}, {kUndefinedReal, 22}, {-0.08, 1}, {-1, 22}, {1000, 22},
               {(256.5 - 4) / 36, kMaxImplicitGrid}};
  for (const auto& c : cases) {
    GraphImplicitSurface3D* s = Implicit("x", c.grain);
    s->Compute(0);  // the first call makes the builder
    EXPECT_EQ(s->CubesPerSide(), c.n) << c.grain;
    DeleteGraphs();
  }
  GraphImplicitSurface3D* s = Implicit("x", 0);
  s->Compute(kAll);
  s->SetOption(8, 1);
  s->Compute(0);
  EXPECT_EQ(s->CubesPerSide(), 40);
  EXPECT_EQ(s->Extent(), std::sqrt(12.0));
}

// The sphere through the graph: the gradient of the derivatives makes the normals, the mesh is
// closed with Euler characteristic 2, and it goes to the mesh once complete.
TEST_F(ImplicitSurfaceTest, TheSphereIsMeshedClosedAndHandedOver) {
  InstallSphereGradient();
  GraphImplicitSurface3D* s = Implicit(kSphere, 0.5);
  ASSERT_TRUE(s->HasGradient());
  s->Compute(kAll);
  ASSERT_TRUE(s->IsComplete());
  EXPECT_EQ(s->Status(), 0);
  const surface_test::Topology topology = TopologyOf(s);
  EXPECT_TRUE(topology.Closed());
  EXPECT_EQ(topology.Euler(), 2);
  for (int32_t v = 0; v < s->VertexCount(); ++v) {
    const MeshVertexRecord* r = ChunkPoolAt(s->Vertices(), v);
    const double* p = r->position;
    EXPECT_NEAR(std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]), 1.0, 1e-7);
    EXPECT_GT(r->normal[0] * p[0] + r->normal[1] * p[1] + r->normal[2] * p[2], 0.999);
  }
  // The first finished mesh went over in Compute (partial uploads were still on).
  EXPECT_TRUE(s->Uploaded());
  EXPECT_EQ(s->Mesh().triangleCount, uint32_t(s->TriangleCount()));
}

// f and the status of its finished build: never satisfied, not satisfied in the box, no surface
// found, and a surface.
const struct {
  const char* f;
  int32_t status;
} kStatusCases[] = {{"plus[power[x,2],power[y,2],power[z,2],1]", 6},
                    {"plus[power[plus[x,minus[10]],2],power[y,2],power[z,2],minus[1]]", 12},
                    {"power[plus[power[x,2],power[y,2],power[z,2],minus[1]],2]", 13},
                    {kSphere, 0}};

TEST_F(ImplicitSurfaceTest, TheStatusTellsWhyThereIsNoSurface) {
  for (const auto& c : kStatusCases) {
    GraphImplicitSurface3D* s = Implicit(c.f, 0.2);
    EXPECT_EQ(s->Status(), 0) << c.f;  // nothing to say before the build has finished
    s->Compute(kAll);
    ASSERT_TRUE(s->IsComplete());
    EXPECT_EQ(s->Status(), c.status) << c.f;
    DeleteGraphs();
  }
}

class ImplicitSurfaceTurnsTest : public ImplicitSurfaceTest {
 protected:
  void TearDown() override {
    CutComputeIntoTurns(false);  // a suspended Compute is abandoned before its graph goes
    ImplicitSurfaceTest::TearDown();
  }
  // Computes the surface whole on the worker, suspended at every evaluation and abandoned at the
  // suspensions listed; returns the suspensions.
  static int InTurns(GraphImplicitSurface3D* s, const std::set<int>& abandons) {
    int suspensions = 0;
    for (int calls = 0; !s->IsComplete() && calls < 1000000; ++calls) {
      if (ComputeInTurns(s, kAll) == ComputeOutcome::kSuspended && abandons.count(++suspensions) != 0) {
        AbandonSuspendedCompute();
      }
    }
    return suspensions;
  }
};

// The statuses above with the build cut up three ways: in turns; in turns abandoned at the last two
// (the verdict's interval evaluations, or the last cube's); abandoned again and again off the
// worker. Each gives the status of one go, and reading it starts no evaluation.
TEST_F(ImplicitSurfaceTurnsTest, TheStatusIsTheSameHoweverTheBuildIsCutUpAndReadingItEvaluatesNothing) {
  for (const auto& c : kStatusCases) {
    CutComputeIntoTurns(true);
    const int suspensions = InTurns(Implicit(c.f, 0.2), {});
    const int cutUp = InTurns(Implicit(c.f, 0.2), {suspensions - 1, suspensions});
    CutComputeIntoTurns(false);
    EXPECT_GT(graphs_test::ComputeAbandonedAgainAndAgain(Implicit(c.f, 0.2)), 0) << c.f;
    EXPECT_GT(cutUp, suspensions) << c.f << ": the abandoned evaluations ran again";
    CutComputeIntoTurns(true);
    for (GraphKind3D* s : graphs) {
      ASSERT_TRUE(s->IsComplete()) << c.f;
      const uint64_t runs = MainThreadRunsForTests();
      EXPECT_EQ(s->Status(), c.status) << c.f;
      EXPECT_EQ(MainThreadRunsForTests(), runs) << c.f;
    }
    CutComputeIntoTurns(false);
    DeleteGraphs();
  }
}

// Small budgets on the real clock mesh the same surface as one budget.
TEST_F(ImplicitSurfaceTest, SmallBudgetsGiveTheMeshOfOne) {
  const char* gyroid = "plus[times[sin[x],cos[y]],times[sin[y],cos[z]],times[sin[z],cos[x]]]";
  GraphImplicitSurface3D* whole = Implicit(gyroid, 0.4);
  whole->Compute(kAll);
  GraphImplicitSurface3D* sliced = Implicit(gyroid, 0.4);
  int calls = 0;
  while (!sliced->IsComplete() && calls < 1000000) {
    sliced->Compute(1);
    ++calls;
  }
  EXPECT_GT(calls, 2);
  ASSERT_EQ(whole->VertexCount(), sliced->VertexCount());
  ASSERT_EQ(whole->TriangleCount(), sliced->TriangleCount());
  for (int32_t v = 0; v < whole->VertexCount(); ++v) {
    EXPECT_EQ(std::memcmp(ChunkPoolAt(whole->Vertices(), v), ChunkPoolAt(sliced->Vertices(), v), 48), 0);
  }
  for (int32_t f = 0; f < whole->TriangleCount(); ++f) {
    EXPECT_EQ(std::memcmp(ChunkPoolAt(whole->Triangles(), f), ChunkPoolAt(sliced->Triangles(), f), 12), 0);
  }
}

// With a fake clock a budget of 0 meshes 32 cubes a call. The partial mesh goes over once 60 ticks
// have passed, then not again for 60 more, and never while the benchmark runs.
TEST_F(ImplicitSurfaceTest, PartialMeshesGoOverAtMostOnceASecondAndNotDuringTheBenchmark) {
  FakeClock clock(1000);
  GraphImplicitSurface3D* s = Implicit(kSphere, 1);
  const uint32_t second = TicksToTimerUnits(60);
  auto uploadedTriangles = [&] { return s->Mesh().triangleCount; };
  for (int k = 0; k < 600; ++k) s->Compute(0);  // 19,200 of 64,000 cubes: past the sphere's lowest point
  ASSERT_FALSE(s->BuildFinished());
  ASSERT_GT(s->TriangleCount(), 0);
  EXPECT_EQ(uploadedTriangles(), 0u);
  graphs_test::SpendUnits(second - 1);
  s->Compute(0);
  EXPECT_EQ(uploadedTriangles(), 0u);
  graphs_test::SpendUnits(1);
  s->Compute(0);
  const uint32_t first = uploadedTriangles();
  EXPECT_GT(first, 0u);
  for (int k = 0; k < 100; ++k) s->Compute(0);
  EXPECT_EQ(uploadedTriangles(), first);
  SetBenchmarkRunning(true);
  graphs_test::SpendUnits(second);
  for (int k = 0; k < 100; ++k) s->Compute(0);
  EXPECT_EQ(uploadedTriangles(), first);
  SetBenchmarkRunning(false);
  s->Compute(0);
  EXPECT_GT(uploadedTriangles(), first);
  EXPECT_LT(uploadedTriangles(), uint32_t(s->TriangleCount()) + 1);
}

// Expression colours are made per vertex after the build; a parameter used only by them recolours
// without meshing again, and the new colours go over with option 5.
TEST_F(ImplicitSurfaceTest, ExpressionColoursFollowTheVerticesAndTheirParameter) {
  GraphColor* colour = Colour(1);
  colour->mode = kColorRGBExpressions;
  const char* c[3] = {"times[a,x]", "0", "1"};
  for (int k = 0; k < 3; ++k) colour->component[k] = FunctionOf(c[k]);
  auto* s = Keep(new GraphImplicitSurface3D(FunctionOf(kSphere), 0.2, 1.0, colour, nullptr, &frame.box[0],
                                            &frame.box[1], &frame.box[2], &frame.box[3], &frame.box[4], &frame.box[5],
                                            context));
  s->Compute(kAll);
  ASSERT_TRUE(s->IsComplete());
  ASSERT_EQ(s->ColoredCount(), s->VertexCount());
  const MeshVertexPool& vertices = s->Vertices();
  for (int32_t v = 0; v < s->VertexCount(); ++v) {
    const double x = ChunkPoolAt(vertices, v)->position[0];
    EXPECT_FLOAT_EQ(s->VertexColors()[3 * v], float(std::clamp(x, 0.0, 1.0)));  // a reads as 1
  }
  const int32_t triangles = s->TriangleCount();
  const uint32_t serial = s->MeshSerial();
  s->VariableChanged('a', 2);
  EXPECT_FALSE(s->IsComplete());
  s->Compute(kAll);
  EXPECT_TRUE(s->IsComplete());
  EXPECT_EQ(s->MeshSerial(), serial);
  EXPECT_EQ(s->TriangleCount(), triangles);
  s->SetOption(5, 0);
  EXPECT_NE(s->Mesh().colors, nullptr);
}

// Every counted allocation of a build refused in turn: refused storage leaves the graph complete
// with nothing (message 11, error 7); a refused evaluation of f's constant parts (NaN values, error 7)
// finds no surface. Either way a new grain builds again, with the constants evaluated afresh.
TEST_F(ImplicitSurfaceTest, ARefusedBuildLeavesTheSurfaceCompleteWithItsReason) {
  int refused = 0;
  for (uint64_t n = 1; n < 20; ++n) {
    GraphImplicitSurface3D* s = Implicit(kSphere, 0.2, 13);
    ResetErrorRegister();
    FailAllocationAt(n);
    s->Compute(kAll);
    FailAllocationAt(0);
    ASSERT_TRUE(s->IsComplete()) << n;
    if (s->TriangleCount() == 0) {
      refused += s->Status() == 11;
      EXPECT_EQ(PendingError(), kErrorOutOfMemory);
      s->SetOption(5, 0);
      EXPECT_FALSE(MeshHasData(&s->Mesh()));
      EXPECT_TRUE(s->Draw());
      s->SetOption(8, 0.2);
      s->Compute(kAll);
      EXPECT_GT(s->TriangleCount(), 0);
    }
    DeleteGraphs();
  }
  EXPECT_GT(refused, 2);
}

// ---- The companion ----

TEST_F(ImplicitSurfaceTest, TheCompanionWaitsForItsParent) {
  GraphImplicitSurface3D* parent = Implicit(kSphere, 0.5);
  GraphSurfaceCompanion3D* companion = Companion(parent, "x", "y", "z");
  FakeClock clock(1000);
  parent->Compute(0);
  ASSERT_FALSE(parent->IsComplete());
  companion->Compute(kAll);
  EXPECT_FALSE(companion->IsComplete());
  EXPECT_EQ(companion->MappedCount(), 0);
  EXPECT_EQ(companion->Vertices(), nullptr);
}

// The identity maps give the parent's vertices and triangles back, with unit normals from the faces
// pointing out of the sphere; a mirror x -> -x turns every triangle to face its first vertex's normal.
TEST_F(ImplicitSurfaceTest, TheCompanionMapsTheVerticesAndTurnsItsFaces) {
  InstallSphereGradient();
  GraphImplicitSurface3D* parent = Implicit(kSphere, 0.4);
  parent->Compute(kAll);
  GraphSurfaceCompanion3D* same = Companion(parent, "x", "y", "z");
  GraphSurfaceCompanion3D* mirror = Companion(parent, "minus[x]", "y", "z");
  for (GraphSurfaceCompanion3D* c : {same, mirror}) {
    c->Compute(kAll);
    ASSERT_TRUE(c->IsComplete());
    ASSERT_EQ(c->VertexCount(), parent->VertexCount());
    EXPECT_EQ(c->TriangleCount(), parent->TriangleCount());
  }
  for (int32_t v = 0; v < parent->VertexCount(); ++v) {
    const double* p = ChunkPoolAt(parent->Vertices(), v)->position;
    const float* q = same->Vertices() + 3 * v;
    const float* n = same->Normals() + 3 * v;
    for (int c = 0; c < 3; ++c) EXPECT_EQ(q[c], float(p[c]));
    EXPECT_NEAR(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2], 1.0, 1e-6);
    EXPECT_GT(n[0] * p[0] + n[1] * p[1] + n[2] * p[2], 0.9) << v;
    EXPECT_EQ(mirror->Vertices()[3 * v], -float(p[0]));
  }
  for (int32_t t = 0; t < mirror->TriangleCount(); ++t) {
    const uint32_t* tri = mirror->Triangles() + 3 * t;
    const float *P = mirror->Vertices() + 3 * tri[0], *Q = mirror->Vertices() + 3 * tri[1],
                *R = mirror->Vertices() + 3 * tri[2];
    const std::array<double, 3> face = surface_test::FaceNormal(P, Q, R);
    const float* n = mirror->Normals() + 3 * tri[0];
    EXPECT_GE(face[0] * n[0] + face[1] * n[1] + face[2] * n[2], 0.0) << t;
  }
}

// A parameter only the parent's colour expressions use recolours the parent without a new mesh; the
// companion, complete all along, hands the new colours to its mesh at the next upload (it kept the
// old ones: 497 of 1,040 differed). A parameter of nothing leaves both as they are.
TEST_F(ImplicitSurfaceTest, TheCompanionTakesItsParentsNewColours) {
  static double a = 1;
  a = 1;
  SetDefinedValueLookup([](Complex* out, int32_t) { *out = Complex{a, 0}; });
  GraphColor* colour = Colour(1);
  colour->mode = kColorRGBExpressions;
  const char* c[3] = {"times[a,x]", "y", "0.5"};
  for (int k = 0; k < 3; ++k) colour->component[k] = FunctionOf(c[k]);
  auto* parent = Keep(new GraphImplicitSurface3D(FunctionOf(kSphere), 0.3, 1.0, colour, nullptr, &frame.box[0],
                                                 &frame.box[1], &frame.box[2], &frame.box[3], &frame.box[4],
                                                 &frame.box[5], context));
  GraphSurfaceCompanion3D* companion = Companion(parent, "x", "y", "z");
  auto settle = [&] {
    for (int n = 0; n < 10 && !(parent->IsComplete() && companion->IsComplete()); ++n) {
      parent->Compute(kAll);
      companion->Compute(kAll);
    }
    ASSERT_TRUE(parent->IsComplete() && companion->IsComplete());
    companion->SetOption(5, 0);  // the companion first: the order of the views is not promised
    parent->SetOption(5, 0);
  };
  auto meshColours = [&] {
    const GLMesh& m = companion->Mesh();
    if (m.colors == nullptr) return std::vector<float>{};
    return std::vector<float>(m.colors, m.colors + 3 * size_t(m.vertexCount));
  };
  auto parentColours = [&] {
    return std::vector<float>(parent->VertexColors(), parent->VertexColors() + 3 * size_t(parent->VertexCount()));
  };
  settle();
  ASSERT_EQ(meshColours(), parentColours());
  const std::vector<float> first = meshColours();
  const uint32_t serial = parent->MeshSerial();
  for (double value : {3.0, -1.0, -1.0}) {
    a = value;
    for (GraphKind3D* g : {static_cast<GraphKind3D*>(parent), static_cast<GraphKind3D*>(companion)}) {
      g->VariableChanged('a', value);
    }
    settle();
    EXPECT_EQ(parent->MeshSerial(), serial) << value;  // the same mesh, recoloured
    EXPECT_EQ(meshColours(), parentColours()) << value;
    EXPECT_NE(meshColours(), first) << value;
  }
  companion->VariableChanged('q', 1);  // nothing mentions q
  EXPECT_TRUE(companion->IsComplete());
}

// A parent whose f has no derivatives (a max) still faces outwards (its triangles are turned by
// their tetrahedra's signs), so the companion's accumulated normals do too, and the identity map
// keeps every face and normal outward.
TEST_F(ImplicitSurfaceTest, ASurfaceWithoutDerivativesAndItsCompanionFaceOutwards) {
  GraphImplicitSurface3D* parent = Implicit("max[plus[power[x,2],power[y,2],power[z,2],minus[1]],minus[5]]", 0.4);
  parent->Compute(kAll);
  ASSERT_TRUE(parent->IsComplete());
  ASSERT_FALSE(parent->HasGradient());
  GraphSurfaceCompanion3D* same = Companion(parent, "x", "y", "z");
  same->Compute(kAll);
  ASSERT_TRUE(same->IsComplete());
  ASSERT_GT(parent->TriangleCount(), 100);
  auto outward = [](const auto* P, const auto* Q, const auto* R) {
    const std::array<double, 3> face = surface_test::FaceNormal(P, Q, R);
    return face[0] * (P[0] + Q[0] + R[0]) + face[1] * (P[1] + Q[1] + R[1]) + face[2] * (P[2] + Q[2] + R[2]) >= 0;
  };
  int32_t inward = 0, inwardMapped = 0;
  for (int32_t t = 0; t < parent->TriangleCount(); ++t) {
    const uint32_t* tri = ChunkPoolAt(parent->Triangles(), t)->index;
    const MeshVertexPool& v = parent->Vertices();
    inward += !outward(ChunkPoolAt(v, int32_t(tri[0]))->position, ChunkPoolAt(v, int32_t(tri[1]))->position,
                       ChunkPoolAt(v, int32_t(tri[2]))->position);
    const uint32_t* mapped = same->Triangles() + 3 * t;
    const float* w = same->Vertices();
    inwardMapped += !outward(w + 3 * mapped[0], w + 3 * mapped[1], w + 3 * mapped[2]);
  }
  EXPECT_EQ(inward, 0) << parent->TriangleCount();
  EXPECT_EQ(inwardMapped, 0);
  for (int32_t v = 0; v < same->VertexCount(); ++v) {
    const float* p = same->Vertices() + 3 * v;
    const float* n = same->Normals() + 3 * v;
    EXPECT_GT(n[0] * p[0] + n[1] * p[1] + n[2] * p[2], 0.5) << v;
  }
}

// A parent through grid corners has zero-area triangles: their faces add nothing and no normal is NaN.
TEST_F(ImplicitSurfaceTest, DegenerateParentTrianglesGiveNoNaNNormal) {
  GraphImplicitSurface3D* parent = Implicit("x", 0);  // the plane x = 0 through the corners of 4 cubes
  parent->Compute(kAll);
  ASSERT_GT(parent->TriangleCount(), 0);
  GraphSurfaceCompanion3D* c = Companion(parent, "x", "y", "z");
  c->Compute(kAll);
  ASSERT_TRUE(c->IsComplete());
  EXPECT_TRUE(surface_test::Finite(c->Normals(), size_t(3 * c->VertexCount())));
}

// The parent meshes again, larger and then smaller, through options the companion never hears (the
// plotting mode comes through the same table row; the grain is the parent's own here): the
// companion drops its arrays and maps the new mesh into arrays of the new size, each time without a
// write past them (ASan) and complete with the parent's new counts.
TEST_F(ImplicitSurfaceTest, TheCompanionFollowsItsParentToOtherSizes) {
  GraphImplicitSurface3D* parent = Implicit(kSphere, 0.2);
  GraphSurfaceCompanion3D* c = Companion(parent, "x", "times[2,y]", "z");
  parent->Compute(kAll);
  c->Compute(kAll);
  ASSERT_TRUE(c->IsComplete());
  c->SetOption(5, 0);
  int32_t previous = parent->VertexCount();
  for (double grain : {0.9, 0.05, 0.5}) {
    parent->SetOption(8, grain);
    parent->SetOption(0, 1);
    EXPECT_FALSE(c->IsComplete());
    parent->Compute(kAll);
    ASSERT_TRUE(parent->IsComplete());
    EXPECT_NE(parent->VertexCount(), previous);
    EXPECT_FALSE(c->IsComplete());  // its arrays are for the old mesh
    c->Compute(kAll);
    ASSERT_TRUE(c->IsComplete()) << grain;
    EXPECT_EQ(c->VertexCount(), parent->VertexCount());
    EXPECT_EQ(c->TriangleCount(), parent->TriangleCount());
    c->SetOption(5, 0);
    EXPECT_EQ(c->Mesh().vertexCount, uint32_t(parent->VertexCount()));
    previous = parent->VertexCount();
  }
}

TEST_F(ImplicitSurfaceTest, TheCompanionHearsItsMapsAndItsParentsBox) {
  GraphImplicitSurface3D* parent = Implicit(kSphere, 0.2);
  GraphSurfaceCompanion3D* c = Companion(parent, "times[b,x]", "y", "z");
  parent->Compute(kAll);
  c->Compute(kAll);
  ASSERT_TRUE(c->IsComplete());
  c->VariableChanged('q', 1);
  EXPECT_TRUE(c->IsComplete());
  c->VariableChanged('b', 2);
  EXPECT_FALSE(c->IsComplete());
  c->Compute(kAll);
  ASSERT_TRUE(c->IsComplete());
  c->SetOption(5, 0);
  frame.box[1] = 3;  // the view zoomed: the next draw starts the companion over
  EXPECT_TRUE(c->Draw());
  EXPECT_FALSE(c->IsComplete());
  frame.box[1] = 2;
}

}  // namespace
